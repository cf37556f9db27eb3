// "Edit with new Extension" with the real Quillon.exe: the dialog comes forward, OK starts
// the edit with the entered row, "Save for future use" adds it to the choice list at once
// and to the settings file at exit, Cancel leaves everything as it was.
#include <gtest/gtest.h>

#include "e2e/edit_road/road.h"

using namespace quillon::e2e;

namespace {

const int kExtension = 1010, kSave = 1011, kEditor = 1012, kParameters = 1021;

void SetText(HWND dialog, int id, const std::wstring& text) {
    DWORD_PTR r = 0;
    ::SendMessageTimeoutW(::GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                          SMTO_ABORTIFHUNG, 5000, &r);
}

int ItemCount(HWND list) {
    return static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
}

struct NewExtension : ::testing::Test {
    // The box holds the text and the user's clipboard (kept in m_user) is on when the user
    // picks "Edit with new Extension" (item 1); m_dialog is the dialog that then asks.
    ::testing::AssertionResult ChooseNewExtension(CRoad& road, const std::wstring& text) {
        if (auto started = road.Box().Start(); !started)
            return started;
        if (!road.Box().SetText(CTextBoxApp::kMultiLine, text) || !PutUserClipboard())
            return ::testing::AssertionFailure() << "the box's text or the user's clipboard could not be set";
        m_user = ClipboardNow();
        if (auto started = road.Start(); !started)
            return started;
        if (auto chosen = road.Hotkey(2); !chosen)
            return chosen;
        return WaitFor(
            [&] {
                m_dialog = FindTopWindow(road.Quillon().Process().Id(), L"#32770", L"New Extension");
                return m_dialog && ::IsWindowVisible(m_dialog);
            },
            10000, "the New Extension dialog");
    }
    ClipboardImage m_user;
    HWND m_dialog = nullptr;
};

} // namespace

TEST_F(NewExtension, OkStartsTheEditWithTheEnteredRowOnly) {
    CRoad road(SeenOnlyOptions());
    ASSERT_TRUE(ChooseNewExtension(road, L"for markdown"));
    const HWND dialog = m_dialog;
    // While the dialog asks, the clipboard is the user's: a paste into the Editor field
    // pastes what they copied, and what they copy now (an editor's path) stays theirs.
    EXPECT_TRUE(road.WaitClipboard(m_user, 100));
    ASSERT_TRUE(PutClipboardText(L"C:\\Tools\\copied editor path.exe"));
    const ClipboardImage copied = ClipboardNow();
    EXPECT_EQ(::GetForegroundWindow(), dialog) << "the dialog comes to the foreground";
    EXPECT_EQ(::SendMessageW(::GetDlgItem(dialog, kSave), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(dialog, kSave)));
    SetText(dialog, kExtension, L"md");
    SetText(dialog, kEditor, CRoad::EditorPath());
    SetText(dialog, kParameters, L"--seen \"" + road.W(L"seen-md") + L"\" \"%1\"");
    ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);

    std::string seen;
    ASSERT_TRUE(road.WaitRead(L"seen-md", seen));
    EXPECT_EQ(seen, "\xEF\xBB\xBF"
                    "for markdown")
        << "the file holds the box's text, not what was copied meanwhile";
    EXPECT_TRUE(road.WaitClipboard(copied, 100));
    auto files = road.TempFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].substr(files[0].size() - 3), L".md");
    EXPECT_EQ(ItemCount(road.ChoiceList()), 3) << "not kept: the list still has one row";
    ASSERT_TRUE(road.Quillon().Exit());
    std::string config;
    ASSERT_TRUE(ReadFileBytes(road.Quillon().ConfigPath(), config));
    EXPECT_EQ(config.find("\"md\""), std::string::npos);
}

TEST_F(NewExtension, SaveForFutureUseShowsTheRowAtOnceAndWritesItAtExit) {
    CRoad road(SeenOnlyOptions());
    ASSERT_TRUE(ChooseNewExtension(road, L""));
    const HWND dialog = m_dialog;
    SetText(dialog, kExtension, L"md");
    DWORD_PTR r = 0;
    ::SendMessageTimeoutW(::GetDlgItem(dialog, kSave), BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 5000, &r);
    ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(road.WaitTempFiles(1));
    ASSERT_TRUE(WaitFor([&] { return ItemCount(road.ChoiceList()) == 4; }, 5000,
                        "the choice list to show the new row"));
    ASSERT_TRUE(road.Quillon().Exit());
    std::string config;
    ASSERT_TRUE(ReadFileBytes(road.Quillon().ConfigPath(), config));
    EXPECT_NE(config.find("\"md\""), std::string::npos) << config;
}

TEST_F(NewExtension, CancelLeavesNoFileAndTheClipboardAsItWas) {
    CRoad road(SeenOnlyOptions());
    ASSERT_TRUE(ChooseNewExtension(road, L"stays"));
    const HWND dialog = m_dialog;
    ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(dialog); }, 5000, "the dialog to close"));
    EXPECT_TRUE(road.WaitClipboard(m_user));
    EXPECT_TRUE(road.TempFiles().empty());
    EXPECT_EQ(road.Box().Text(CTextBoxApp::kMultiLine), L"stays");
}
