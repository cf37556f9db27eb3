// The keyboard hook's test of whether a released key belongs to the hotkey's modifiers.
#include <gtest/gtest.h>

#include <windows.h>

#include "app/hotkey_modifier.h"

using namespace quillon;

TEST(HotKeyModifier, EachFlagMatchesItsKeysOnly) {
    struct Case {
        UINT flag;
        std::vector<UINT> keys;
    };
    const std::vector<Case> cases = {
        {MOD_ALT, {VK_MENU, VK_LMENU, VK_RMENU}},
        {MOD_SHIFT, {VK_SHIFT, VK_LSHIFT, VK_RSHIFT}},
        {MOD_CONTROL, {VK_CONTROL, VK_LCONTROL, VK_RCONTROL}},
        {MOD_WIN, {VK_LWIN, VK_RWIN}},
    };
    for (const Case& c : cases) {
        for (const Case& other : cases) {
            for (UINT key : other.keys)
                EXPECT_EQ(IsHotKeyModifier(key, c.flag), c.flag == other.flag) << "flag " << c.flag << " key " << key;
        }
    }
}

TEST(HotKeyModifier, OrdinaryKeysAndEmptyFlagsNeverMatch) {
    for (UINT key : {UINT('A'), UINT('Q'), UINT(VK_F9), UINT(VK_SPACE), UINT(VK_APPS), UINT(VK_CAPITAL)})
        EXPECT_FALSE(IsHotKeyModifier(key, 0x0F)) << key;
    for (UINT key : {UINT(VK_LCONTROL), UINT(VK_LMENU), UINT(VK_LSHIFT), UINT(VK_LWIN)})
        EXPECT_FALSE(IsHotKeyModifier(key, 0)) << key;
    // Ctrl+Alt: both confirm, Shift does not.
    EXPECT_TRUE(IsHotKeyModifier(VK_LCONTROL, MOD_CONTROL | MOD_ALT));
    EXPECT_TRUE(IsHotKeyModifier(VK_RMENU, MOD_CONTROL | MOD_ALT));
    EXPECT_FALSE(IsHotKeyModifier(VK_RSHIFT, MOD_CONTROL | MOD_ALT));
}
