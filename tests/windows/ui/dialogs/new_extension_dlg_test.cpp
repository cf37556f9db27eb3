// The New Extension dialog for real: its template, proposals, both modes, validation,
// Browse, OK and Cancel. A helper thread plays the user while the dialog runs modally.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>

#include "res/resource.h"
#include "ui/dialogs/new_extension_dlg.h"
#include "windows/support/win_test.h"
#include "windows/ui/dialogs/text_fit.h"

using namespace quillon;
using namespace quillon::test;

namespace {

void SetText(HWND dialog, int id, const wchar_t* text) {
    ::SendMessageW(::GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}
void Click(HWND dialog, int id) {
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

// Runs the dialog modally while the player drives it from another thread.
INT_PTR RunWith(CDlgNewExtension& dialog, const std::function<void(HWND)>& player) {
    return PlayModal(nullptr, L"New Extension", player, [&] { return dialog.DoModal(); });
}

} // namespace

TEST(NewExtensionDialog, OptionsModeProposesAndKeepsTheRow) {
    CDlgNewExtension dialog;
    INT_PTR result = RunWith(dialog, [](HWND d) {
        EXPECT_EQ(ItemText(d, IDC_NEWEXT_EXTENSION), L"txt");
        DWORD start = 0, end = 0;
        ::SendMessageW(::GetDlgItem(d, IDC_NEWEXT_EXTENSION), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                       reinterpret_cast<LPARAM>(&end));
        EXPECT_EQ(start, 0u);
        EXPECT_EQ(end, 3u) << "the proposal is selected so typing replaces it";
        GUITHREADINFO info{};
        info.cbSize = sizeof(info);
        ::GetGUIThreadInfo(::GetWindowThreadProcessId(d, nullptr), &info);
        EXPECT_EQ(info.hwndFocus, ::GetDlgItem(d, IDC_NEWEXT_EXTENSION));
        EXPECT_EQ(ItemText(d, IDC_NEWEXT_EDITOR), L"");
        EXPECT_EQ(ItemText(d, IDC_NEWEXT_PARAMETERS), L"\"%1\"");
        EXPECT_TRUE(IsChecked(d, IDC_NEWEXT_UTF8));
        EXPECT_TRUE(IsChecked(d, IDC_NEWEXT_SAVE));
        EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(d, IDC_NEWEXT_SAVE)));
        // The template's texts.
        wchar_t caption[64] = {};
        ::GetWindowTextW(d, caption, 64);
        EXPECT_STREQ(caption, L"New Extension");
        EXPECT_EQ(ItemText(d, IDC_NEWEXT_SAVE), L"&Save for future use") << "with its access key";
        EXPECT_EQ(ItemText(d, IDC_NEWEXT_BROWSE), L"B&rowse");
        EXPECT_EQ(ItemText(d, IDC_NEWEXT_UTF8),
                  L"Use &UTF-8 encoding (uncheck this if some characters cannot be processed correctly)");
        Click(d, IDOK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dialog.GetResult(), EXTENSIONREC(u"txt", u"", u"\"%1\"", 1));
    EXPECT_EQ(dialog.m_bSaveForFuture, 1);
}

TEST(NewExtensionDialog, EveryTextFitsItsControlInTheFontTheSystemGives) {
    CDlgNewExtension dialog;
    RunWith(dialog, [](HWND d) {
        ExpectEveryTextFits(d);
        Click(d, IDCANCEL);
    });
}

TEST(NewExtensionDialog, EditTimeModeComesForwardAndKeepsTheRowOnlyOnRequest) {
    CDlgNewExtension dialog;
    dialog.m_bEditTime = 1;
    INT_PTR result = RunWith(dialog, [](HWND d) {
        EXPECT_FALSE(IsChecked(d, IDC_NEWEXT_SAVE));
        EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(d, IDC_NEWEXT_SAVE)));
        EXPECT_EQ(::GetForegroundWindow(), d);
        SetText(d, IDC_NEWEXT_EXTENSION, L".md");
        SetText(d, IDC_NEWEXT_EDITOR, L"C:\\Tools\\ed.exe");
        SetText(d, IDC_NEWEXT_PARAMETERS, L"-n %1");
        ::SendMessageW(::GetDlgItem(d, IDC_NEWEXT_SAVE), BM_CLICK, 0, 0);
        ::SendMessageW(::GetDlgItem(d, IDC_NEWEXT_UTF8), BM_CLICK, 0, 0);
        Click(d, IDOK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dialog.GetResult(), EXTENSIONREC(u".md", u"C:\\Tools\\ed.exe", u"-n %1", 0));
    EXPECT_EQ(dialog.m_bSaveForFuture, 1);

    CDlgNewExtension once;
    once.m_bEditTime = 1;
    RunWith(once, [](HWND d) { Click(d, IDOK); });
    EXPECT_EQ(once.m_bSaveForFuture, 0);
}

TEST(NewExtensionDialog, EmptyOrPathExtensionsAreRefusedWithAMessageAndASpaceIsAccepted) {
    CDlgNewExtension dialog;
    INT_PTR result = RunWith(dialog, [](HWND d) {
        // OK with the extension, a message box naming what is wrong, closed by the user.
        auto refused = [&](const wchar_t* extension, const std::wstring& message) {
            SetText(d, IDC_NEWEXT_EXTENSION, extension);
            Click(d, IDOK);
            HWND box = WaitShownWindow(nullptr, L"Quillon", d);
            ASSERT_NE(box, nullptr);
            wchar_t text[256] = {};
            HWND child = nullptr;
            bool found = false;
            while ((child = ::FindWindowExW(box, child, L"Static", nullptr)) != nullptr) {
                ::GetWindowTextW(child, text, 256);
                found = found || std::wstring(text) == message;
            }
            EXPECT_TRUE(found) << "no message box saying what is wrong with the extension";
            ::PostMessageW(box, WM_COMMAND, IDOK, 0);
            EXPECT_TRUE(WaitGone(box, "the message box to close"));
            EXPECT_TRUE(::IsWindowVisible(d)) << "the dialog stays open";
        };
        refused(L"", L"Please specify the extension.");
        refused(L"txt\\..\\..\\evil", CDlgNewExtension::kInvalidExtensionText);
        SetText(d, IDC_NEWEXT_EXTENSION, L" ");
        Click(d, IDOK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dialog.GetResult().Extension, u" ");
}

TEST(NewExtensionDialog, CancelGivesTheDefaultRow) {
    CDlgNewExtension dialog;
    dialog.m_bEditTime = 1;
    INT_PTR result = RunWith(dialog, [](HWND d) {
        SetText(d, IDC_NEWEXT_EXTENSION, L"abc");
        Click(d, IDCANCEL);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(dialog.GetResult(), EXTENSIONREC());
}

TEST(NewExtensionDialog, BrowseFillsTheEditorAndCancelKeepsWhatWasTyped) {
    CDlgNewExtension dialog;
    INT_PTR result = RunWith(dialog, [](HWND d) {
        SetText(d, IDC_NEWEXT_EDITOR, L"C:\\typed.exe");
        Click(d, IDC_NEWEXT_BROWSE);
        HWND open = WaitShownWindow(nullptr, L"Open", d);
        ASSERT_NE(open, nullptr);
        ::PostMessageW(open, WM_COMMAND, IDCANCEL, 0);
        EXPECT_TRUE(WaitGone(open, "the Open dialog to close on Cancel"));
        EXPECT_EQ(ItemText(d, IDC_NEWEXT_EDITOR), L"C:\\typed.exe");

        // Choosing a file: its full path.
        const std::wstring self = ThisProgramPath();
        Click(d, IDC_NEWEXT_BROWSE);
        open = WaitShownWindow(nullptr, L"Open", d);
        ASSERT_NE(open, nullptr);
        // The file-name box of the dialog (a combo box, or a plain edit).
        HWND name = ::GetDlgItem(open, 0x47C); // cmb13
        if (!name)
            name = ::GetDlgItem(open, 0x480); // edt1
        ASSERT_NE(name, nullptr);
        ::SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(self.c_str()));
        ::PostMessageW(open, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(WaitGone(open, "the Open dialog to close on OK"));
        EXPECT_EQ(ItemText(d, IDC_NEWEXT_EDITOR), self);
        Click(d, IDOK);
    });
    EXPECT_EQ(result, IDOK);
}
