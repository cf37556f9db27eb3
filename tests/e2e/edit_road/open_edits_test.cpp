// A rule for the text-box program starts its row at once without the choice list, and the
// open edits in the real tray menu: where an edit stands, its saved text copied, its editor
// started again, and the edit stopped with its unpasted save kept.
#include <gtest/gtest.h>

#include <algorithm>

#include "e2e/edit_road/road.h"

using namespace quillon::e2e;

namespace {

const std::string kBom = "\xEF\xBB\xBF";

// The trace lines that start with the prefix.
std::vector<std::wstring> LinesStartingWith(const CRoad& road, const std::wstring& prefix) {
    std::vector<std::wstring> out;
    for (const std::wstring& line : road.Trace())
        if (line.compare(0, prefix.size(), prefix) == 0)
            out.push_back(line);
    return out;
}

// The whole trace, for a failure's message.
std::string TraceText(const CRoad& road) {
    std::string text;
    for (const std::wstring& line : road.Trace())
        text += Utf8Of(line) + "\n";
    return text;
}

HWND VisibleMenu(DWORD pid) {
    HWND menu = FindTopWindow(pid, L"#32768");
    return menu && ::IsWindowVisible(menu) ? menu : nullptr;
}

// A right click on the tray icon, as the shell reports it, and the wait for the menu.
::testing::AssertionResult OpenTrayMenu(CRoad& road) {
    const DWORD pid = road.Quillon().Process().Id();
    HWND tray = FindTopWindow(pid, L"QuillonWindow", L"");
    if (!tray)
        return ::testing::AssertionFailure() << "Quillon's tray window was not found";
    ::PostMessageW(tray, 0x8088, 129, WM_RBUTTONUP);
    return WaitFor([&] { return VisibleMenu(pid) != nullptr; }, 5000, "the tray menu to show");
}

// In the open menu: "Open edits", the newest edit, then the action `steps` down its submenu.
::testing::AssertionResult ChooseEditAction(CRoad& road, int steps) {
    for (WORD key : {WORD{VK_DOWN}, WORD{VK_RIGHT}, WORD{VK_RIGHT}})
        TapKey(key);
    for (int i = 0; i < steps; ++i)
        TapKey(VK_DOWN);
    TapKey(VK_RETURN);
    const DWORD pid = road.Quillon().Process().Id();
    return WaitFor([&] { return VisibleMenu(pid) == nullptr; }, 5000, "the tray menu to close");
}

} // namespace

TEST(Rules, ARuleForTheProgramStartsItsRowAtOnceWithoutTheList) {
    RoadOptions options;
    options.extensionsBefore = {L"md"}; // without the rule, the list would offer "md" first
    options.rulesXml = "<Rules>\r\n<Rule Program=\"QUILLON-TEXTBOX.EXE\" Title=\"\" Extension=\"txt\" "
                       "List=\"False\"/>\r\n</Rules>\r\n";
    CRoad road(options);
    ASSERT_TRUE(road.Box().Start());
    ASSERT_TRUE(road.Box().SetText(CTextBoxApp::kMultiLine, L"ruled text"));
    ASSERT_TRUE(road.Start());
    PressWithModifiers({VK_CONTROL, VK_MENU}, 'Q');
    ReleaseKeys({VK_MENU, VK_CONTROL});

    std::string seen;
    ASSERT_TRUE(road.WaitEditorSaw(seen)) << TraceText(road);
    EXPECT_EQ(seen, kBom + "ruled text") << TraceText(road);
    const auto files = road.TempFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].substr(files[0].size() - 4), L".txt") << Utf8Of(files[0]);
    EXPECT_EQ(LinesStartingWith(road, L"Rule "), std::vector<std::wstring>{L"Rule 1 for quillon-textbox.exe"})
        << "the rule decided, and the list was never shown";
    HWND list = road.ChoiceList();
    EXPECT_TRUE(list == nullptr || !::IsWindowVisible(list));
    EXPECT_TRUE(road.Quillon().Exit());
}

TEST(OpenEdits, TheTrayMenuCopiesAWaitingSaveReopensItAndStopsTheEditKeepingTheFile) {
    CRoad road;
    std::string seen;
    ASSERT_TRUE(road.StartEditOf(L"first text", seen));
    // The user is in another box when the editor saves: the save waits for its box.
    ASSERT_TRUE(road.Box().Focus(CTextBoxApp::kOther));
    road.PollFocusNow();
    ASSERT_TRUE(road.EditorSaves(kBom + "saved text\n"));
    const std::wstring path = road.TempFilePath();
    ASSERT_FALSE(path.empty());
    ASSERT_TRUE(PutClipboardText(L"the user's own copy"));

    // "Copy saved text": the menu names the program, the window and the extension.
    ASSERT_TRUE(OpenTrayMenu(road));
    const auto items = LinesStartingWith(road, L"Menu ");
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].rfind(L"Menu quillon-textbox.exe - ", 0), 0u) << Utf8Of(items[0]);
    EXPECT_NE(items[0].find(L"(txt): waiting for its box"), std::wstring::npos) << Utf8Of(items[0]);
    ASSERT_TRUE(ChooseEditAction(road, 1));
    EXPECT_TRUE(
        WaitFor([] { return ClipboardText() == L"saved text"; }, 5000, "the saved text on the clipboard"))
        << Utf8Of(ClipboardText());
    EXPECT_EQ(road.Box().Text(CTextBoxApp::kMultiLine), L"first text") << "the box is left as it was";

    // "Open in editor": the edit's editor starts again on the same file.
    ASSERT_TRUE(OpenTrayMenu(road));
    ASSERT_TRUE(ChooseEditAction(road, 0));
    ASSERT_TRUE(road.WaitEditorSaw(seen));
    EXPECT_EQ(seen, kBom + "saved text\n");

    // "Stop this edit": its save never went in, so its file stays, and the user hears where.
    ASSERT_TRUE(OpenTrayMenu(road));
    ASSERT_TRUE(ChooseEditAction(road, 3));
    ASSERT_TRUE(WaitFor([&] { return !LinesStartingWith(road, L"Notice Quillon no longer watches").empty(); },
                        5000, "the notice that the edit stopped"));
    const auto told = LinesStartingWith(road, L"Notice Quillon no longer watches");
    EXPECT_NE(told[0].find(path), std::wstring::npos) << Utf8Of(told[0]);

    // No edit is open now: the menu lists none (its item is greyed).
    const std::size_t listed = LinesStartingWith(road, L"Menu ").size();
    ASSERT_TRUE(OpenTrayMenu(road));
    EXPECT_EQ(LinesStartingWith(road, L"Menu ").size(), listed);
    TapKey(VK_ESCAPE);
    ASSERT_TRUE(WaitFor([&] { return VisibleMenu(road.Quillon().Process().Id()) == nullptr; }, 5000,
                        "the tray menu to close"));
    EXPECT_TRUE(road.Quillon().Exit());
    EXPECT_TRUE(FileExists(path)) << "an unpasted save is never deleted";
}
