// The hotkey field as a user meets it: clicked into, then real key presses and releases
// (Windows key included), Backspace, combinations it refuses, the dialog keys it leaves to
// the dialog, and its colours.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "engine/keyboard.h"
#include "ui/widgets/hotkey_field.h"
#include "ui/widgets/hotkey_text.h"
#include "windows/ui/widgets/widget_test_support.h"

using namespace quillon;
using namespace quillon::test;

namespace {

constexpr int kDialog = 200;
constexpr int kPlaceholder = 1014;
constexpr int kEdit = 1008;
constexpr WORD kF11Value = VK_F11 << 8; // a value no row ends in, set before each row

bool NoKeysPending() {
    return (HIWORD(::GetQueueStatus(QS_KEY)) & QS_KEY) == 0;
}

// The field over the placeholder, with a real click into it.
struct FieldScript {
    CScriptedDialog dialog{kDialog};
    CHotKeyField field;
    explicit FieldScript(std::uint16_t initial) {
        dialog.onInit = [this, initial](CScriptedDialog& d) {
            field.CreateInPlaceOf(d.m_hWnd, kPlaceholder);
            field.SetHotKeyValue(initial);
        };
        dialog.WaitUntil("the dialog shown", [this] { return dialog.IsWindowVisible(); })
            .Do("click into the field",
                [this] {
                    MoveMouse(CentreOf(field.m_hWnd));
                    LeftButton(true);
                    LeftButton(false);
                })
            .WaitUntil("the field to take the focus", [this] { return ::GetFocus() == field.m_hWnd; });
    }
    // Keys sent together, then a wait until the field has seen them all and holds the value,
    // showing it or, for a refused combination, why not.
    void Keys(const std::string& what, const std::vector<std::pair<WORD, bool>>& keys, std::uint16_t value,
              keyboard::Refusal refusal = keyboard::Refusal::None) {
        dialog.Do(what, [keys] { SendKeys(keys); })
            .WaitUntil(
                what + " to leave " + std::to_string(value),
                [this, value, refusal] {
                    return NoKeysPending() && field.GetHotKeyValue() == value &&
                           field.GetRefusal() == refusal &&
                           (refusal != keyboard::Refusal::None ||
                            field.GetDisplayText() == FormatHotKeyValue(value));
                },
                5000,
                [this] {
                    return "value " + std::to_string(field.GetHotKeyValue()) + ", shows \"" +
                           Utf8Of(field.GetDisplayText()) + "\"";
                });
    }
};

struct Row {
    const char* what;
    std::vector<std::pair<WORD, bool>> keys;
    std::uint16_t value;
    keyboard::Refusal refusal = keyboard::Refusal::None;
};

} // namespace

TEST(HotKeyField, RealKeysCommitAWholeAllowedCombinationAndKeepTheValueOtherwise) {
    using keyboard::Refusal;
    // Win+A where the system lets a program have it.
    const WORD winKey = FreeWindowsKeyPartner('A');
    // clang-format off
    const std::vector<Row> rows = {
        {"Windows key + A or a free partner", {{VK_LWIN, true}, {winKey, true}, {winKey, false}, {VK_LWIN, false}},
         static_cast<std::uint16_t>((winKey << 8) | MOD_WIN)},
        {"Ctrl+Alt+E", {{VK_CONTROL, true}, {VK_MENU, true}, {'E', true}, {'E', false}, {VK_MENU, false},
                        {VK_CONTROL, false}}, 0x4503},
        {"Ctrl released before E", {{VK_CONTROL, true}, {'E', true}, {VK_CONTROL, false}, {'E', false}},
         kF11Value, Refusal::NeedsCommand},
        {"a bare letter", {{'Q', true}, {'Q', false}}, kF11Value, Refusal::NeedsCommand},
        {"Ctrl+Shift+C, a key Quillon sends", {{VK_CONTROL, true}, {VK_SHIFT, true}, {'C', true}, {'C', false},
                                               {VK_SHIFT, false}, {VK_CONTROL, false}}, kF11Value, Refusal::OwnKeys},
        {"Shift alone", {{VK_SHIFT, true}, {VK_SHIFT, false}}, kF11Value},
        {"Backspace clears on purpose", {{VK_BACK, true}, {VK_BACK, false}}, 0},
        {"Ctrl+Backspace", {{VK_CONTROL, true}, {VK_BACK, true}, {VK_BACK, false}, {VK_CONTROL, false}}, 0x0802},
        {"all four modifiers and X", {{VK_CONTROL, true}, {VK_SHIFT, true}, {VK_MENU, true}, {VK_LWIN, true},
                                      {'X', true}, {'X', false}, {VK_LWIN, false}, {VK_MENU, false},
                                      {VK_SHIFT, false}, {VK_CONTROL, false}}, 0x580F},
        {"Alt+E, a menu mnemonic elsewhere", {{VK_MENU, true}, {'E', true}, {'E', false}, {VK_MENU, false}}, 0x4501},
        {"F10, a system key", {{VK_F10, true}, {VK_F10, false}}, 0x7900},
        // With Ctrl the dialog's keys belong to the field.
        {"Ctrl+Tab", {{VK_CONTROL, true}, {VK_TAB, true}, {VK_TAB, false}, {VK_CONTROL, false}}, 0x0902},
        {"Ctrl+Enter", {{VK_CONTROL, true}, {VK_RETURN, true}, {VK_RETURN, false}, {VK_CONTROL, false}}, 0x0D02},
    };
    // clang-format on
    FieldScript script(0x4108);
    for (const Row& row : rows) {
        script.dialog.Do("reset", [&] { script.field.SetHotKeyValue(kF11Value); });
        script.Keys(row.what, row.keys, row.value, row.refusal);
        script.dialog.WaitUntil(
            std::string("the focus kept after ") + row.what,
            [&] { return ::GetFocus() == script.field.m_hWnd; }, 0);
    }
    EXPECT_EQ(script.dialog.Run(), "");
    EXPECT_EQ(script.dialog.KeyMenuRequests(), 0) << "Alt and F10 reached the dialog's menu";
}

TEST(HotKeyField, AHeldCombinationShowsButCountsOnlyOnceReleased) {
    FieldScript script(0x4108);
    std::wstring shownWhileHeld;
    std::uint16_t valueWhileHeld = 1;
    script.dialog.Do("press Ctrl+E and hold",
                     [] {
                         SendKeys({{VK_CONTROL, true}, {'E', true}});
                     })
        .WaitUntil(
            "Ctrl+E shown",
            [&] { return NoKeysPending() && script.field.GetDisplayText() == FormatHotKeyValue(0x4502); })
        .Do("note the value", [&] { valueWhileHeld = script.field.GetHotKeyValue(); });
    script.Keys("release E, then Ctrl", {{'E', false}, {VK_CONTROL, false}}, 0x4502);
    EXPECT_EQ(script.dialog.Run(), "");
    EXPECT_EQ(valueWhileHeld, 0x4108)
        << "the committed value stays until a whole new combination is released";
}

TEST(HotKeyField, KeysHeldWhenTheFocusLeavesAreForgottenAndOtherCaretsLeftAlone) {
    FieldScript script(0x4108);
    HWND edit = nullptr;
    POINT editCaret{}, editCaretAfter{};
    script.dialog.Do("hold Alt",
                     [] {
                         SendKeys({{VK_MENU, true}});
                     })
        .WaitUntil(
            "Alt shown",
            [&] { return NoKeysPending() && script.field.GetDisplayText() == FormatHotKey(0, MOD_ALT); })
        .Do("click the edit box, then let Alt go there",
            [&] {
                edit = script.dialog.GetDlgItem(kEdit);
                MoveMouse(CentreOf(edit));
                LeftButton(true);
                LeftButton(false);
            })
        .WaitUntil("the edit box to take the focus", [&] { return ::GetFocus() == edit; })
        .Do("release Alt",
            [] {
                SendKeys({{VK_MENU, false}});
            })
        .Do("set the value while the edit box has the caret",
            [&] {
                ::GetCaretPos(&editCaret);
                script.field.SetHotKeyValue(0);
                ::GetCaretPos(&editCaretAfter);
            })
        .Do("click back into the field",
            [&] {
                MoveMouse(CentreOf(script.field.m_hWnd));
                LeftButton(true);
                LeftButton(false);
            })
        .WaitUntil("the field to take the focus back", [&] { return ::GetFocus() == script.field.m_hWnd; })
        .WaitUntil("nothing shown as held",
                   [&] { return script.field.GetDisplayText() == FormatHotKeyValue(0); });
    // A new combination carries no stale Alt.
    script.Keys("Ctrl+E", {{VK_CONTROL, true}, {'E', true}, {'E', false}, {VK_CONTROL, false}}, 0x4502);
    EXPECT_EQ(script.dialog.Run(), "");
    EXPECT_EQ(editCaretAfter.x, editCaret.x) << "the edit box's caret moved";
    EXPECT_EQ(editCaretAfter.y, editCaret.y) << "the edit box's caret moved";
}

TEST(HotKeyField, InPlaceOfThePlaceholderASunkenBoxInEnabledAndDisabledColoursWithItsCaret) {
    // All four modifiers: a text wider than the box, cut with an ellipsis.
    FieldScript script(0x580F);
    auto pixelsAre = [&](int background) {
        CPixels p = Capture(script.field.m_hWnd);
        return p.width > 4 && p.At(0, 0) == ::GetSysColor(COLOR_BTNSHADOW) &&
               p.At(p.width - 1, p.height - 1) == ::GetSysColor(COLOR_3DLIGHT) &&
               p.At(2, p.height / 2) == ::GetSysColor(background) &&
               p.At(p.width - 3, p.height / 2) == ::GetSysColor(background);
    };
    auto describe = [&] {
        CPixels p = Capture(script.field.m_hWnd);
        return "corners " + Describe(p.At(0, 0)) + " " + Describe(p.At(p.width - 1, p.height - 1)) +
               ", inside " + Describe(p.At(2, p.height / 2));
    };
    POINT caret{-1, -1};
    RECT placeholderRect{}, fieldRect{};
    bool placeholderVisible = true;
    LONG style = 0;
    script.dialog
        .Do("read where the field stands",
            [&] {
                HWND placeholder = script.dialog.GetDlgItem(kPlaceholder);
                placeholderVisible = ::IsWindowVisible(placeholder);
                ::GetWindowRect(placeholder, &placeholderRect);
                ::GetWindowRect(script.field.m_hWnd, &fieldRect);
                style = ::GetWindowLongW(script.field.m_hWnd, GWL_STYLE);
            })
        .WaitUntil(
            "the enabled colours", [&] { return pixelsAre(COLOR_WINDOW); }, 5000, describe)
        .Do("note the caret", [&] { ::GetCaretPos(&caret); })
        .Do("disable the field", [&] { ::EnableWindow(script.field.m_hWnd, FALSE); })
        .WaitUntil(
            "the disabled colours", [&] { return pixelsAre(COLOR_BTNFACE); }, 5000, describe);
    ASSERT_EQ(script.dialog.Run(), "");
    EXPECT_FALSE(placeholderVisible);
    EXPECT_TRUE(::EqualRect(&placeholderRect, &fieldRect)) << "the field takes the placeholder's rectangle";
    EXPECT_EQ(style & (WS_TABSTOP | WS_BORDER), WS_TABSTOP) << "a tab stop that draws its own border";
    // The caret stands where the last paint put it: right of the text, within the box.
    const POINT expected = script.field.GetCaretPosition();
    EXPECT_EQ(caret.x, expected.x);
    EXPECT_EQ(caret.y, expected.y);
    EXPECT_GT(caret.x, 4);
    EXPECT_LT(caret.x, fieldRect.right - fieldRect.left);
    EXPECT_GE(caret.y, 0);
}
