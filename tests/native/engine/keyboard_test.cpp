// The hotkey rules in one table, the modifier keys' twins as the keyboard hook meets them, and
// the user's own keys as the hook records them.
#include <gtest/gtest.h>

#include "engine/keyboard.h"
#include "engine/system.h"
#include "engine/user_keys.h"

using namespace quillon;
using namespace quillon::keyboard;

namespace {

constexpr unsigned kCtrl = kModControl, kAlt = kModAlt, kShift = kModShift, kWin = kModWin;

struct Case {
    const char* what;
    unsigned key;
    unsigned modifiers;
    Refusal expected;
};

const Case kCases[] = {
    {"Win+A", 'A', kWin, Refusal::None},
    {"Ctrl+Alt+E", 'E', kCtrl | kAlt, Refusal::None},
    {"a function key alone", vk::kF1 + 4, 0, Refusal::None},
    {"Shift+F5", vk::kF1 + 4, kShift, Refusal::None},
    {"Ctrl+Tab", vk::kTab, kCtrl, Refusal::None},
    {"Ctrl+Backspace", vk::kBack, kCtrl, Refusal::None},
    {"Alt+Delete", vk::kDelete, kAlt, Refusal::None},
    {"Ctrl+Shift+Z", 'Z', kCtrl | kShift, Refusal::None},
    {"a bare letter", 'Q', 0, Refusal::NeedsCommand},
    {"Shift and a letter types a capital", 'Q', kShift, Refusal::NeedsCommand},
    {"Tab", vk::kTab, 0, Refusal::NeedsCommand},
    {"Shift+Tab", vk::kTab, kShift, Refusal::NeedsCommand},
    {"Enter", vk::kReturn, 0, Refusal::NeedsCommand},
    {"Escape", vk::kEscape, 0, Refusal::NeedsCommand},
    {"an arrow", vk::kLeft, 0, Refusal::NeedsCommand},
    {"Backspace", vk::kBack, 0, Refusal::NeedsCommand},
    {"Home", vk::kHome, 0, Refusal::NeedsCommand},
    {"Ctrl+A", 'A', kCtrl, Refusal::OwnKeys},
    {"Ctrl+Shift+C", 'C', kCtrl | kShift, Refusal::OwnKeys},
    {"Win+Ctrl+V", 'V', kCtrl | kWin, Refusal::OwnKeys},
    {"Alt+V is not Quillon's", 'V', kAlt, Refusal::None},
    {"Alt+Tab", vk::kTab, kAlt, Refusal::SystemKeys},
    {"Alt+Shift+Tab", vk::kTab, kAlt | kShift, Refusal::SystemKeys},
    {"Alt+F4", vk::kF4, kAlt, Refusal::SystemKeys},
    {"Ctrl+Alt+Delete", vk::kDelete, kCtrl | kAlt, Refusal::SystemKeys},
    {"Alt+Esc", vk::kEscape, kAlt, Refusal::SystemKeys},
    {"Ctrl+Esc", vk::kEscape, kCtrl, Refusal::SystemKeys},
    {"F12, kept for debuggers", vk::kF12, 0, Refusal::SystemKeys},
    {"modifiers alone", 0, kCtrl | kAlt, Refusal::NoMainKey},
    {"a modifier as the main key", vk::kLControl, kAlt, Refusal::NoMainKey},
};

} // namespace

TEST(HotKeyRules, TakeWhatTheUserCanPressSafelyAndSayWhyNot) {
    for (const Case& c : kCases) {
        EXPECT_EQ(CheckHotKey(c.key, c.modifiers), c.expected) << c.what;
        EXPECT_EQ(CheckHotKeyValue(Pack(c.key, c.modifiers)), c.expected) << c.what << " (packed)";
        EXPECT_EQ(*RefusalText(c.expected) == u'\0', c.expected == Refusal::None) << c.what;
    }
    EXPECT_EQ(Pack('A', kWin), 0x4108);
    EXPECT_EQ(KeyOf(0x580F), 'X');
    EXPECT_EQ(ModifiersOf(0x580F), kCtrl | kShift | kAlt | kWin);
}

// The first press of a new user: Windows refuses every combination with the Windows key to
// programs, and Ctrl+Alt is AltGr, with which a letter, digit or sign key types a character.
TEST(HotKeyRules, TheDefaultIsOneWindowsLetsAProgramHaveAndThatTypesNothing) {
    const unsigned key = KeyOf(hotkey::kDefault), modifiers = ModifiersOf(hotkey::kDefault);
    EXPECT_EQ(CheckHotKeyValue(hotkey::kDefault), Refusal::None);
    EXPECT_EQ(modifiers & kWin, 0u);
    const bool typingKey = !(key >= vk::kF1 && key <= vk::kF24);
    EXPECT_FALSE(typingKey && (modifiers & (kCtrl | kAlt)) == (kCtrl | kAlt)) << "AltGr types with it";
}

TEST(HotKeyRules, EitherTwinOfAModifierConfirmsOnlyItsOwnFlag) {
    const unsigned twins[][3] = {{vk::kMenu, vk::kLMenu, vk::kRMenu},
                                 {vk::kControl, vk::kLControl, vk::kRControl},
                                 {vk::kShift, vk::kLShift, vk::kRShift},
                                 {vk::kLWin, vk::kRWin, vk::kRWin}};
    const unsigned flags[] = {kAlt, kCtrl, kShift, kWin};
    for (int m = 0; m < 4; ++m)
        for (unsigned key : twins[m]) {
            EXPECT_EQ(ModifierFlagOfKey(key), flags[m]) << key;
            EXPECT_TRUE(IsKeyOfModifiers(key, flags[m] | kShift)) << key;
            EXPECT_FALSE(IsKeyOfModifiers(key, 0xF & ~flags[m])) << key;
        }
    EXPECT_FALSE(IsKeyOfModifiers('A', 0xF));
}

TEST(UserKeys, TheHookRecordsTheUsersOwnKeysOnlyAndHoldsBackCtrlReleasesDuringOurBatch) {
    CUserKeys keys;
    keys.Watch({});
    keys.OnKey(0xA3, true, 0); // the right Ctrl, pressed by the user
    EXPECT_TRUE(keys.IsDown(0x11));
    keys.OnKey(0xA2, false, kOwnKeyMark); // ours: does not count
    keys.OnKey(0xA3, false, kOwnKeyMark);
    EXPECT_TRUE(keys.IsDown(0x11));
    keys.OnKey(0xA3, false, 0x1234); // another program's keys are the user's
    EXPECT_FALSE(keys.IsDown(0x11));

    // While our batch passes, only a release of the user's Ctrl is held back, and noted.
    keys.OnKey(0xA2, true, 0);
    keys.BeginOwnBatch(2);
    EXPECT_FALSE(keys.OnKey('A', false, kOwnKeyMark));
    EXPECT_FALSE(keys.OnKey(0xA0, false, 0)) << "a Shift release passes";
    EXPECT_TRUE(keys.OnKey(0xA2, false, 0));
    EXPECT_FALSE(keys.IsDown(0x11));
    EXPECT_FALSE(keys.OwnBatchPassed());
    keys.OnKey('A', true, kOwnKeyMark);
    EXPECT_TRUE(keys.OwnBatchPassed());
    EXPECT_TRUE(keys.EndOwnBatch());
    keys.OnKey(0xA2, true, 0);
    EXPECT_FALSE(keys.OnKey(0xA2, false, 0)) << "after the batch a release passes";
    EXPECT_FALSE(keys.EndOwnBatch());

    // A recorded Ctrl the system says is up: believed while the system may still lag behind
    // the hook, taken as stale (its release missed) after that, across the tick's wrap too.
    keys.OnKey(0xA2, true, 0, 0xFFFFFF00u);
    EXPECT_TRUE(keys.IsDownCrossChecked(0x11, false, 0xFFFFFF00u + 100));
    EXPECT_FALSE(keys.IsDownCrossChecked(0x11, false, 0xFFFFFF00u + CUserKeys::kStaleMs + 300));
    EXPECT_TRUE(keys.IsDownCrossChecked(0x11, true, 0xFFFFFF00u + 100000)) << "held long";
    keys.OnKey(0xA2, false, 0, 5);
    EXPECT_FALSE(keys.IsDownCrossChecked(0x11, true, 10)) << "the hook has seen the release";

    // Held: the user's keys (not ours) are kept in order, with their scan codes, and counted
    // only when they are sent on.
    const std::uint32_t presses = keys.Presses();
    keys.Hold();
    EXPECT_TRUE(keys.OnKey(0x25, true, 0, 0, 0x4B, true)); // the left arrow
    EXPECT_FALSE(keys.OnKey('A', true, kOwnKeyMark));
    EXPECT_TRUE(keys.OnKey(0x25, false, 0, 0, 0x4B, true));
    EXPECT_EQ(keys.Presses(), presses);
    EXPECT_EQ(keys.EndHold(), (std::vector<KeyInput>{{0x25, 0x4B, false, true}, {0x25, 0x4B, true, true}}));
    EXPECT_FALSE(keys.OnKey('B', true, 0)) << "passing again";
}
