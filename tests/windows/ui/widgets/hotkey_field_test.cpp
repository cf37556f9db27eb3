// The hotkey field as a user meets it: clicked into, then real key presses and releases
// (Windows key included), Backspace, the dialog keys it keeps, and its colours.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

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

std::string Narrow(const std::wstring& s) {
    return std::string(s.begin(), s.end());
}

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
    // Keys sent together, then a wait until the field has seen them all and shows value.
    void Keys(const std::string& what, const std::vector<std::pair<WORD, bool>>& keys, std::uint16_t value) {
        dialog.Do(what, [keys] { SendKeys(keys); })
            .WaitUntil(
                what + " to commit " + std::to_string(value),
                [this, value] {
                    return NoKeysPending() && field.GetHotKeyValue() == value &&
                           field.GetDisplayText() == FormatHotKeyValue(value);
                },
                5000,
                [this] {
                    return "value " + std::to_string(field.GetHotKeyValue()) + ", shows \"" +
                           Narrow(field.GetDisplayText()) + "\"";
                });
    }
};

struct Row {
    const char* what;
    std::vector<std::pair<WORD, bool>> keys;
    std::uint16_t value;
};

} // namespace

TEST(HotKeyField, RealKeysCommitWhenTheMainKeyIsReleasedFirst) {
    // clang-format off
    const std::vector<Row> rows = {
        {"Win+A", {{VK_LWIN, true}, {'A', true}, {'A', false}, {VK_LWIN, false}}, 0x4108},
        {"Ctrl+Alt+E", {{VK_CONTROL, true}, {VK_MENU, true}, {'E', true}, {'E', false}, {VK_MENU, false},
                        {VK_CONTROL, false}}, 0x4503},
        {"Ctrl released before E", {{VK_CONTROL, true}, {'E', true}, {VK_CONTROL, false}, {'E', false}}, 0x4500},
        {"Shift alone", {{VK_SHIFT, true}, {VK_SHIFT, false}}, 0},
        {"Backspace", {{VK_BACK, true}, {VK_BACK, false}}, 0},
        {"all four modifiers and X", {{VK_CONTROL, true}, {VK_SHIFT, true}, {VK_MENU, true}, {VK_LWIN, true},
                                      {'X', true}, {'X', false}, {VK_LWIN, false}, {VK_MENU, false},
                                      {VK_SHIFT, false}, {VK_CONTROL, false}}, 0x580F},
        {"Alt+E, a menu mnemonic elsewhere", {{VK_MENU, true}, {'E', true}, {'E', false}, {VK_MENU, false}}, 0x4501},
        {"F10, a system key", {{VK_F10, true}, {VK_F10, false}}, 0x7900},
        // The dialog keys come to the field: the dialog neither closes nor moves the focus.
        {"Escape", {{VK_ESCAPE, true}, {VK_ESCAPE, false}}, 0x1B00},
        {"Enter", {{VK_RETURN, true}, {VK_RETURN, false}}, 0x0D00},
        {"Shift+Tab", {{VK_SHIFT, true}, {VK_TAB, true}, {VK_TAB, false}, {VK_SHIFT, false}}, 0x0904},
    };
    // clang-format on
    FieldScript script(0x4108);
    for (const Row& row : rows) {
        script.dialog.Do("reset", [&] { script.field.SetHotKeyValue(kF11Value); });
        script.Keys(row.what, row.keys, row.value);
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
    EXPECT_EQ(valueWhileHeld, 0) << "the press cleared the previous combination and commits nothing yet";
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
    EXPECT_EQ(style & (WS_TABSTOP | WS_BORDER), 0) << "no tab stop, and the field draws its own border";
    // The caret stands where the last paint put it: right of the text, within the box.
    const POINT expected = script.field.GetCaretPosition();
    EXPECT_EQ(caret.x, expected.x);
    EXPECT_EQ(caret.y, expected.y);
    EXPECT_GT(caret.x, 4);
    EXPECT_LT(caret.x, fieldRect.right - fieldRect.left);
    EXPECT_GE(caret.y, 0);
}
