// Support for whole-program tests under Wine: Quillon.exe started from an isolated folder
// with its own settings file, and the test text-box program. Waiting with deadlines,
// windows, keys and the clipboard come from the shared Windows test support.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "windows/support/file_bytes.h"
#include "windows/support/process.h"
#include "windows/support/win_test.h"

namespace quillon::e2e {

using namespace quillon::test;

// The folder of the running test program (the build tree's bin folder).
std::wstring BinDir();
// A fresh empty folder under the temporary folder, removed by the owner.
class CTempFolder {
public:
    CTempFolder();
    ~CTempFolder();
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;
    const std::wstring& Path() const { return m_path; }
    std::wstring File(const std::wstring& name) const { return m_path + L"\\" + name; }

private:
    std::wstring m_path;
};

bool FileExists(const std::wstring& path);
std::vector<std::wstring> ListFiles(const std::wstring& folder, const std::wstring& pattern = L"*");

// A settings file with the given hotkey and extension rows (each row: extension, editor,
// parameters, utf8), in the layout the program writes.
struct ConfigRow {
    std::wstring extension, editor, parameters;
    bool utf8 = true;
};
std::string MakeConfigXml(unsigned hotKey, const std::vector<ConfigRow>& rows,
                          const std::wstring& tempFolder = L"", bool saveContent = true, bool insert = false,
                          bool editOnlySelection = false, bool deleteTempFile = true, int delay = 200,
                          bool useEditMessages = false);

// A started process (the shared support's).
using test::CProcess;

// Quillon.exe copied into its own folder, with QLNConfig.xml beside it when configXml is
// not empty (a portable installation, so the test never touches the user's settings).
class CQuillon {
public:
    explicit CQuillon(const std::string& configXml);
    ~CQuillon();
    // A failure says which step failed (the copy of the program, starting it) and why.
    ::testing::AssertionResult Start();
    // The hidden server window (waits for it to exist).
    HWND ServerWindow(DWORD timeoutMs = 30000);
    // Sends the tray menu's Exit command and waits for the process to end.
    bool Exit(DWORD timeoutMs = 30000);
    CProcess& Process() { return m_process; }
    const std::wstring& Folder() const { return m_folder.Path(); }
    std::wstring ConfigPath() const { return m_folder.File(L"QLNConfig.xml"); }
    std::wstring ExePath() const { return m_folder.File(L"Quillon.exe"); }

private:
    CTempFolder m_folder;
    CProcess m_process;
    HWND m_server = nullptr;
    std::string m_setupFailure; // what went wrong preparing the folder, with the error code
};

// A check that something does NOT happen first waits for a sign that its moment has passed.
// This one: Quillon's UI thread has handled everything posted to it before the call (the
// hotkey, the keyboard hook's notes of released keys, clicks on its list). Keys just
// released are first awaited as the system sees them, which is after the hook was told.
// The sign is a message posted after them that Quillon's choice list answers in turn: its
// selection mark, which means nothing to a list that selects one row, is moved and put
// back. A failure says which of these it waited for.
::testing::AssertionResult WaitQuillonCaughtUp(DWORD quillonPid, const std::vector<WORD>& releasedKeys = {},
                                               DWORD timeoutMs = 10000);

// The test text-box program.
class CTextBoxApp {
public:
    enum Box {
        kMultiLine = 101,
        kSingleLine = 102,
        kRichEdit = 103,
        kOther = 104,
        kPage = 105,
        kConsole = 106,
        kTerminal = 107, // the focused child of a terminal's own top-level window
        kPassword = 108
    };
    ::testing::AssertionResult Start();
    HWND Window() const { return m_window; }
    HWND BoxWindow(Box box) const;
    // Activates the window and focuses the box, as a click would; waits until the system
    // reports that box as focused in the foreground.
    ::testing::AssertionResult Focus(Box box, DWORD timeoutMs = 30000);
    bool SetText(Box box, const std::wstring& text);
    std::wstring Text(Box box) const;
    CProcess& Process() { return m_process; }

private:
    CProcess m_process;
    HWND m_window = nullptr;
};

// The window that has the keyboard focus in the foreground thread (null when none).
HWND ForegroundFocus();

} // namespace quillon::e2e
