// Hotkey texts: modifier order, the arrow keys' extended names, "None", and key names as
// the machine's own keyboard layout gives them.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "ui/widgets/hotkey_text.h"

using namespace quillon;

namespace {

// The layout's name of a key, asked directly.
std::wstring LayoutName(UINT vk, bool extended) {
    wchar_t name[256] = {};
    LONG param =
        static_cast<LONG>((::MapVirtualKeyW(vk, MAPVK_VK_TO_VSC) << 16) | (extended ? 1u << 24 : 0u));
    int n = ::GetKeyNameTextW(param, name, 256);
    return std::wstring(name, n > 0 ? n : 0);
}

} // namespace

TEST(HotKeyText, KeyNamesComeFromTheLayout) {
    for (UINT vk : {UINT('A'), UINT('Q'), UINT(VK_F5), UINT(VK_CONTROL), UINT(VK_ESCAPE), UINT(VK_SPACE)}) {
        EXPECT_FALSE(KeyNameOf(vk, false).empty()) << vk;
        EXPECT_EQ(KeyNameOf(vk, false), LayoutName(vk, false)) << vk;
    }
    EXPECT_EQ(KeyNameOf(VK_UP, true), LayoutName(VK_UP, true));
}

TEST(HotKeyText, NoneOnlyWhenNothingIsSet) {
    EXPECT_EQ(FormatHotKey(0, 0), L"None");
    EXPECT_EQ(FormatHotKeyValue(0), L"None");
    EXPECT_NE(FormatHotKeyValue(0x0100), L"None");
}

TEST(HotKeyText, ModifiersInFixedOrderThenTheKey) {
    const std::wstring ctrl = LayoutName(VK_CONTROL, false), shift = LayoutName(VK_SHIFT, false),
                       alt = LayoutName(VK_MENU, false);
    EXPECT_EQ(FormatHotKeyValue(0x4503), ctrl + L" + " + alt + L" + " + LayoutName('E', false));
    EXPECT_EQ(FormatHotKeyValue(0x4108), L"Win + " + LayoutName('A', false));
    // All four, whatever order the flags are given in.
    EXPECT_EQ(FormatHotKeyValue(0x580F),
              ctrl + L" + " + shift + L" + " + alt + L" + Win + " + LayoutName('X', false));
    EXPECT_EQ(FormatHotKeyValue(0x7400), LayoutName(VK_F5, false));
    EXPECT_EQ(FormatHotKeyValue(0x1B00), LayoutName(VK_ESCAPE, false));
}

TEST(HotKeyText, ModifiersWithoutAKeyEndInTheSeparator) {
    EXPECT_EQ(FormatHotKey(0, MOD_SHIFT), LayoutName(VK_SHIFT, false) + L" + ");
    EXPECT_EQ(FormatHotKey(0, MOD_WIN), L"Win + ");
}

TEST(HotKeyText, OnlyTheArrowKeysTakeExtendedNames) {
    // The ends of the arrows' range, and the keypad-shared keys beside it on either side.
    for (UINT vk : {UINT(VK_LEFT), UINT(VK_DOWN)})
        EXPECT_EQ(FormatHotKey(vk, 0), LayoutName(vk, true)) << vk;
    for (UINT vk : {UINT(VK_HOME), UINT(VK_INSERT)})
        EXPECT_EQ(FormatHotKey(vk, 0), LayoutName(vk, false)) << vk;
}

TEST(HotKeyText, KeysWithoutANameGiveEmptyText) {
    // No scan code: the layout has no name, and nothing breaks.
    EXPECT_EQ(KeyNameOf(0xFF, false), LayoutName(0xFF, false));
    EXPECT_EQ(FormatHotKey(0xFF, MOD_CONTROL),
              LayoutName(VK_CONTROL, false) + L" + " + LayoutName(0xFF, false));
}
