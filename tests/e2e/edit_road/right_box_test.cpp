// The saved text goes only into the box it came from: other fields of the same window, a box
// whose text changed meanwhile, consoles and Quillon's own windows are left alone, and a
// save that was not pasted waits for its box.
#include <gtest/gtest.h>

#include "e2e/edit_road/road.h"
#include "res/resource.h"
#include "engine/edit_rules.h"

using namespace quillon::e2e;

namespace {

const std::string kBom = "\xEF\xBB\xBF";

std::wstring Wide(const char16_t* text) {
    std::u16string t(text);
    return std::wstring(t.begin(), t.end());
}

// The box still holds its text once Quillon has seen the return and done what it does then.
::testing::AssertionResult Keeps(CRoad& road, const std::wstring& text) {
    if (auto caughtUp = road.CaughtUp(); !caughtUp)
        return caughtUp;
    if (road.Box().Text(road.Current()) != text)
        return ::testing::AssertionFailure()
               << "the box's text was replaced: " << Utf8Of(Printable(road.Box().Text(road.Current())));
    return ::testing::AssertionSuccess();
}

} // namespace

TEST(RightBox, OneWindowTwoFieldsEachSaveGoesOnlyToItsOwnField) {
    // Also from an empty field: read empty, it is known to be empty, so the other field's
    // text does not pass for it.
    for (const std::wstring start : {L"alpha", L""}) {
        SCOPED_TRACE("the edit starts from \"" + Utf8Of(start) + "\"");
        CRoad road;
        ASSERT_TRUE(road.Box().Start());
        ASSERT_TRUE(road.SwitchField(1));
        ASSERT_TRUE(road.Box().SetText(CTextBoxApp::kPage, L"beta"));
        ASSERT_TRUE(road.SwitchField(0));
        std::string seen;
        ASSERT_TRUE(road.StartEditOf(start, seen, CTextBoxApp::kPage));
        EXPECT_EQ(seen, start.empty() ? "" : kBom + Utf8Of(start));
        ASSERT_TRUE(road.EditorSaves("alpha edited"));

        // Back in the same window, but in field B: its text stays, the user is told, and the
        // save is not used up.
        ASSERT_TRUE(road.SwitchField(1));
        ASSERT_TRUE(road.ComeBack());
        EXPECT_TRUE(road.WaitNotice(Wide(quillon::notice::kNotThisBox)));
        EXPECT_TRUE(Keeps(road, L"beta"));
        ASSERT_TRUE(road.SwitchField(0));
        ASSERT_TRUE(road.ComeBack());
        EXPECT_TRUE(road.WaitBoxText(L"alpha edited"));
        EXPECT_EQ(road.Notices(Wide(quillon::notice::kNotThisBox)), 1);
    }
}

TEST(RightBox, TextTypedIntoTheBoxWhileTheEditorIsOpenIsNotReplaced) {
    CRoad road;
    std::string seen;
    ASSERT_TRUE(road.StartEditOf(L"first draft\r\n", seen));
    ASSERT_TRUE(road.EditorSaves("edited draft"));
    // The user (or the page) changed the box meanwhile.
    const std::wstring typed = L"first draft\r\nand a line typed in the box";
    ASSERT_TRUE(road.Box().SetText(CTextBoxApp::kMultiLine, typed));
    ASSERT_TRUE(road.ComeBack());
    EXPECT_TRUE(road.WaitNotice(Wide(quillon::notice::kNotThisBox)));
    EXPECT_TRUE(Keeps(road, typed));
    // Once the box holds what the edit started from (trailing line break aside), the
    // waiting save goes in.
    ASSERT_TRUE(road.Box().SetText(CTextBoxApp::kMultiLine, L"first draft"));
    ASSERT_TRUE(road.ComeBack());
    EXPECT_TRUE(road.WaitBoxText(L"edited draft"));
}

TEST(RightBox, NoKeysReachAConsoleOrATerminalsInputWindowAndNothingOfAPasswordBoxIsTaken) {
    CRoad road;
    ASSERT_TRUE(road.Box().Start());
    ASSERT_TRUE(road.Start(CTextBoxApp::kConsole));
    ASSERT_TRUE(road.Hotkey());
    EXPECT_TRUE(road.WaitNotice(Wide(quillon::notice::kConsole)));
    EXPECT_EQ(road.ConsoleKeys(), 0) << "Ctrl+A and Ctrl+C interrupt a console's program";

    // A terminal keeps the focus in a child of a class of its own: its top window tells.
    ASSERT_TRUE(road.Box().Focus(CTextBoxApp::kTerminal));
    road.PollFocusNow();
    ASSERT_TRUE(road.Hotkey());
    EXPECT_TRUE(WaitFor([&] { return road.Notices(Wide(quillon::notice::kConsole)) == 2; }, 5000,
                        "the console notice for the terminal"));
    EXPECT_EQ(road.ConsoleKeys(), 0) << "Ctrl+A and Ctrl+C interrupt the terminal's shell";

    // Wine's password box would even answer a read; the style alone decides.
    ASSERT_TRUE(road.Box().SetText(CTextBoxApp::kPassword, L"secret"));
    ASSERT_TRUE(road.Box().Focus(CTextBoxApp::kPassword));
    road.PollFocusNow();
    ASSERT_TRUE(PutClipboardText(L"the user's own"));
    const DWORD sequence = ::GetClipboardSequenceNumber();
    ASSERT_TRUE(road.Hotkey());
    EXPECT_TRUE(road.WaitNotice(Wide(quillon::notice::kPassword)));
    EXPECT_EQ(::GetClipboardSequenceNumber(), sequence) << "the clipboard was not touched";
    EXPECT_TRUE(road.TempFiles().empty());
}

TEST(RightBox, TheHotkeyInQuillonsOwnDialogStartsNothing) {
    CRoad road;
    ASSERT_TRUE(road.Box().Start());
    ASSERT_TRUE(road.Start());
    const DWORD quillon = road.Quillon().Process().Id();
    ::PostMessageW(road.Quillon().ServerWindow(), WM_COMMAND, ID_TRAY_OPTIONS, 0);
    HWND options = nullptr;
    ASSERT_TRUE(WaitFor(
        [&] {
            options = FindTopWindow(quillon, L"#32770", L"Options");
            DWORD owner = 0;
            return options && ::GetWindowThreadProcessId(ForegroundFocus(), &owner) && owner == quillon;
        },
        10000, "the Options dialog with the focus"));
    PressWithModifiers({VK_CONTROL, VK_MENU}, 'Q');
    ReleaseKeys({VK_MENU, VK_CONTROL});
    ASSERT_TRUE(WaitQuillonCaughtUp(quillon, {VK_MENU, VK_CONTROL}));
    EXPECT_FALSE(road.ChoiceList() && ::IsWindowVisible(road.ChoiceList())) << "the choice list showed";
    EXPECT_TRUE(road.TempFiles().empty());
    for (const auto& line : road.Trace())
        EXPECT_NE(line.rfind(L"StartEdit", 0), 0u) << Utf8Of(line);
    ::PostMessageW(options, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(WaitFor([&] { return !::IsWindow(options); }, 10000, "the Options dialog to close"));
}
