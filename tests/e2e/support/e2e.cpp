// Whole-program test support: processes, windows, files, keys and the clipboard.
#include "e2e/support/e2e.h"
#include "res/resource.h"

#include <commctrl.h>
#include <shellapi.h>

#include <chrono>
#include <thread>

namespace quillon::e2e {

std::wstring BinDir() {
    return ThisProgramFolder();
}

CTempFolder::CTempFolder() {
    static int counter = 0;
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH + 1, temp);
    for (;;) {
        m_path = std::wstring(temp) + L"quillon-e2e-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                 std::to_wstring(++counter) + L"-" + std::to_wstring(::GetTickCount64() % 100000);
        if (::CreateDirectoryW(m_path.c_str(), nullptr))
            break;
        if (::GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
}

CTempFolder::~CTempFolder() {
    // Double-NUL-terminated list for SHFileOperationW.
    std::wstring from = m_path;
    from.push_back(L'\0');
    SHFILEOPSTRUCTW op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NO_UI;
    ::SHFileOperationW(&op);
}

bool FileExists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::wstring> ListFiles(const std::wstring& folder, const std::wstring& pattern) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW fd;
    HANDLE h = ::FindFirstFileW((folder + L"\\" + pattern).c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(fd.cFileName);
    } while (::FindNextFileW(h, &fd));
    ::FindClose(h);
    return names;
}

namespace {

std::string Escape(const std::wstring& s) {
    std::string out;
    for (char c : Utf8Of(s)) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

const char* Bool(bool b) {
    return b ? "True" : "False";
}

} // namespace

std::string MakeConfigXml(unsigned hotKey, const std::vector<ConfigRow>& rows, const std::wstring& tempFolder,
                          bool saveContent, bool insert, bool editOnlySelection, bool deleteTempFile,
                          int delay, bool useEditMessages) {
    std::string x = "<Quillon>\r\n<Settings>\r\n";
    x += "<HotKey>" + std::to_string(hotKey) + "</HotKey>\r\n";
    x += std::string("<SaveContent>") + Bool(saveContent) + "</SaveContent>\r\n";
    x += std::string("<Insert>") + Bool(insert) + "</Insert>\r\n";
    x += std::string("<EditOnlySelection>") + Bool(editOnlySelection) + "</EditOnlySelection>\r\n";
    x += "<TemporaryFolder>" + Escape(tempFolder) + "</TemporaryFolder>\r\n";
    x += std::string("<DeleteTempFile>") + Bool(deleteTempFile) + "</DeleteTempFile>\r\n";
    x += "<Delay>" + std::to_string(delay) + "</Delay>\r\n";
    x += std::string("<UseEditMessages>") + Bool(useEditMessages) + "</UseEditMessages>\r\n</Settings>\r\n";
    if (rows.empty()) {
        x += "<Extensions/>\r\n";
    } else {
        x += "<Extensions>\r\n";
        for (const auto& r : rows)
            x += "<Extension Extension=\"" + Escape(r.extension) + "\" Editor=\"" + Escape(r.editor) +
                 "\" Parameters=\"" + Escape(r.parameters) + "\" UTF8=\"" + Bool(r.utf8) + "\"/>\r\n";
        x += "</Extensions>\r\n";
    }
    x += "</Quillon>\r\n";
    return x;
}

CQuillon::CQuillon(const std::string& configXml) {
    if (!::CopyFileW((BinDir() + L"\\Quillon.exe").c_str(), ExePath().c_str(), FALSE))
        m_setupFailure = "CopyFileW of Quillon.exe to " + Utf8Of(ExePath()) + " failed with error " +
                         std::to_string(::GetLastError());
    else if (!configXml.empty() && !WriteFileBytes(ConfigPath(), configXml))
        m_setupFailure =
            "writing " + Utf8Of(ConfigPath()) + " failed with error " + std::to_string(::GetLastError());
}

CQuillon::~CQuillon() {
    if (m_process.Running())
        Exit(10000);
    m_process.Kill();
}

::testing::AssertionResult CQuillon::Start() {
    if (!m_setupFailure.empty())
        return ::testing::AssertionFailure() << m_setupFailure;
    return m_process.Start(ExePath(), L"", Folder());
}

HWND CQuillon::ServerWindow(DWORD timeoutMs) {
    if (m_server && ::IsWindow(m_server))
        return m_server;
    // The server window is the process's dialog with an empty title (the choice list and
    // the tray window have other classes or titles).
    auto found =
        WaitFor([&] { return (m_server = FindTopWindow(m_process.Id(), L"#32770", L"")) != nullptr; },
                timeoutMs, "the server window of Quillon.exe");
    if (!found)
        ADD_FAILURE() << found.message();
    return m_server;
}

bool CQuillon::Exit(DWORD timeoutMs) {
    // A process that never made its server window (one showing "already running", say)
    // has nothing to exit through: no failure is recorded for that here.
    HWND server = m_server && ::IsWindow(m_server) ? m_server : FindTopWindow(m_process.Id(), L"#32770", L"");
    if (server)
        ::PostMessageW(server, WM_COMMAND, ID_TRAY_EXIT, 0);
    return m_process.WaitExit(timeoutMs);
}

::testing::AssertionResult CTextBoxApp::Start() {
    if (auto started = m_process.Start(BinDir() + L"\\quillon-textbox.exe"); !started)
        return started;
    // Found as soon as it exists: wait until its last box has been created too.
    return WaitFor(
        [&] {
            m_window = FindTopWindow(m_process.Id(), L"QuillonTestBox");
            return m_window && ::GetDlgItem(m_window, kOther) && ::IsWindowVisible(m_window);
        },
        30000, "the text-box program's window and boxes");
}

HWND CTextBoxApp::BoxWindow(Box box) const {
    if (box == kTerminal)
        return ::GetDlgItem(FindTopWindow(m_process.Id(), L"CASCADIA_HOSTING_WINDOW_CLASS"), box);
    return ::GetDlgItem(m_window, box);
}

::testing::AssertionResult CTextBoxApp::Focus(Box box, DWORD timeoutMs) {
    static const UINT focusMessage = ::RegisterWindowMessageW(L"QuillonTestBoxFocus");
    HWND target = BoxWindow(box);
    auto result = WaitFor(
        [&] {
            if (ForegroundFocus() == target)
                return true;
            DWORD_PTR result = 0;
            ::SendMessageTimeoutW(m_window, focusMessage, box, 0, SMTO_ABORTIFHUNG, 1000, &result);
            return ForegroundFocus() == target;
        },
        timeoutMs, "the text box to have the keyboard focus in the foreground");
    if (!result)
        result << " (focused: " << ForegroundFocus() << ", foreground: " << ::GetForegroundWindow()
               << ", box: " << target << ", its window: " << m_window << ")";
    return result;
}

bool CTextBoxApp::SetText(Box box, const std::wstring& text) {
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutW(BoxWindow(box), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                                 SMTO_ABORTIFHUNG, 5000, &result) != 0;
}

std::wstring CTextBoxApp::Text(Box box) const {
    HWND hwnd = BoxWindow(box);
    DWORD_PTR length = 0;
    ::SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length);
    std::wstring text(length + 1, L'\0');
    DWORD_PTR got = 0;
    ::SendMessageTimeoutW(hwnd, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data()),
                          SMTO_ABORTIFHUNG, 5000, &got);
    text.resize(got);
    return text;
}

HWND ForegroundFocus() {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (!::GetGUIThreadInfo(0, &info))
        return nullptr;
    return info.hwndFocus;
}

::testing::AssertionResult WaitQuillonCaughtUp(DWORD quillonPid, const std::vector<WORD>& releasedKeys,
                                               DWORD timeoutMs) {
    for (WORD key : releasedKeys) {
        auto up = WaitFor([&] { return (::GetAsyncKeyState(key) & 0x8000) == 0; }, timeoutMs,
                          "key " + std::to_string(key) + " to be up as the system sees it");
        if (!up)
            return up;
    }
    HWND list = FindTopWindow(quillonPid, L"SysListView32", L"Quillon");
    if (!list)
        return ::testing::AssertionFailure() << "Quillon's choice list, to post a marker to, does not exist";
    auto mark = [&] {
        DWORD_PTR result = 0;
        return ::SendMessageTimeoutW(list, LVM_GETSELECTIONMARK, 0, 0, SMTO_ABORTIFHUNG, 1000, &result)
                   ? static_cast<LRESULT>(result)
                   : LRESULT{-2};
    };
    const LRESULT before = mark();
    const LRESULT marker = before == -1 ? 0 : -1;
    if (!::PostMessageW(list, LVM_SETSELECTIONMARK, 0, marker))
        return ::testing::AssertionFailure() << "a marker could not be posted to Quillon's choice list";
    auto handled =
        WaitFor([&] { return mark() == marker; }, timeoutMs,
                "Quillon to handle what was posted to it (a marker posted to its choice list after it)");
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(list, LVM_SETSELECTIONMARK, 0, before < 0 ? -1 : before, SMTO_ABORTIFHUNG, 1000,
                          &ignored);
    return handled;
}

} // namespace quillon::e2e
