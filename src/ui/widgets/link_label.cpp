// The link label: subclassing, fitting, hovering, clicking, and OpenLink with its registry
// fallback.
#include "ui/widgets/link_label.h"

#include <shellapi.h>

#include <vector>

#include "base/win/code_page.h"

namespace quillon {
namespace {

// What the registry fallback reads of each value, in bytes.
constexpr DWORD kRegistryValueBytes = 260;

// The pointing-hand cursor among the help viewer's resources.
constexpr WORD kHelpHandCursorId = 106;

// The address as one argument of a command line, by the rules programs use to split theirs
// (CommandLineToArgvW): quotes around it, inner quotes and the backslashes before them escaped.
std::wstring QuoteArgument(const std::wstring& argument) {
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"')
            quoted.append(backslashes * 2 + 1, L'\\');
        else
            quoted.append(backslashes, L'\\');
        quoted += c;
        backslashes = 0;
    }
    // Backslashes before the closing quote would escape it.
    quoted.append(backslashes * 2, L'\\');
    quoted += L'"';
    return quoted;
}

} // namespace

INT_PTR CLinkShell::ShellOpen(const std::wstring& address) {
    return reinterpret_cast<INT_PTR>(
        ::ShellExecuteW(nullptr, L"open", address.c_str(), nullptr, nullptr, SW_SHOW));
}

bool CLinkShell::ReadClassesRootDefault(const std::wstring& subKey, std::wstring* value) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, subKey.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    // One unit more than the read may fill, so a value stored without its terminator still
    // ends inside the buffer.
    wchar_t data[kRegistryValueBytes / sizeof(wchar_t) + 1] = {};
    DWORD bytes = kRegistryValueBytes;
    DWORD type = REG_NONE;
    const LONG read = ::RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(data), &bytes);
    ::RegCloseKey(key);
    // ERROR_MORE_DATA: the value is longer than we read, and a cut command must never run.
    if (read != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ) || bytes > kRegistryValueBytes)
        return false;
    data[bytes / sizeof(wchar_t)] = L'\0';
    if (type == REG_SZ) {
        *value = data;
        return true;
    }
    // Handlers are often registered as "%ProgramFiles%\...": expand, within the command's size.
    wchar_t expanded[kLinkCommandUnits] = {};
    const DWORD needed = ::ExpandEnvironmentStringsW(data, expanded, static_cast<DWORD>(kLinkCommandUnits));
    if (needed == 0 || needed > kLinkCommandUnits)
        return false;
    *value = expanded;
    return true;
}

UINT CLinkShell::RunCommandLine(const std::string& commandLine) {
    return ::WinExec(commandLine.c_str(), SW_SHOW);
}

void CLinkShell::Beep() {
    ::MessageBeep(MB_ICONEXCLAMATION);
}

CLinkShell& DefaultLinkShell() {
    static CLinkShell shell;
    return shell;
}

bool BuildLinkCommand(const std::wstring& commandTemplate, const std::wstring& address,
                      std::wstring* command) {
    size_t cut = commandTemplate.find(L"\"%1\"");
    if (cut == std::wstring::npos)
        cut = commandTemplate.find(L"%1");
    std::wstring line = commandTemplate.substr(0, cut);
    // A template with nothing before the address would run the address itself.
    if (line.find_first_not_of(L" \t") == std::wstring::npos)
        return false;
    line += L' ';
    line += QuoteArgument(address);
    if (line.size() + 1 > kLinkCommandUnits)
        return false;
    *command = std::move(line);
    return true;
}

INT_PTR OpenLink(const std::wstring& address, CLinkShell& shell) {
    if (address.empty())
        return 36;
    const INT_PTR shellResult = shell.ShellOpen(address);
    if (static_cast<UINT_PTR>(shellResult) > 32)
        return shellResult;

    // The shell could not open it: ask the registry for the program that opens web pages.
    std::wstring fileType;
    if (!shell.ReadClassesRootDefault(L".htm", &fileType) || fileType.empty())
        return shellResult;
    std::wstring commandTemplate;
    if (!shell.ReadClassesRootDefault(fileType + L"\\shell\\open\\command", &commandTemplate))
        return shellResult;
    std::wstring command;
    if (!BuildLinkCommand(commandTemplate, address, &command))
        return shellResult;

    // WinExec takes the thread's ANSI code page. A line that does not survive the
    // conversion unchanged would open something else: it is not run.
    // The command line ends at its first NUL for WinExec: a line holding one is not whole.
    if (command.find(L'\0') != std::wstring::npos)
        return shellResult;
    const std::string ansi = WideToCodePage(command, CP_THREAD_ACP);
    if (ansi.empty() || CodePageToWide(ansi, CP_THREAD_ACP) != command)
        return shellResult;
    return static_cast<INT_PTR>(shell.RunCommandLine(ansi));
}

CLinkLabel::~CLinkLabel() {
    // The control may outlive us (a dialog that stays): it gets its own font back before
    // ours are deleted.
    if (m_hWnd && ::IsWindow(m_hWnd))
        ::SendMessageW(m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(m_originalFont), FALSE);
    m_toolTip.DestroyWindow();
}

std::wstring CLinkLabel::WindowText() const {
    const int length = ::GetWindowTextLengthW(m_hWnd);
    std::wstring text(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
    const int got = ::GetWindowTextW(m_hWnd, text.data(), length + 1);
    text.resize(static_cast<size_t>(got > 0 ? got : 0));
    return text;
}

void CLinkLabel::PreSubclassWindow() {
    // Statics report clicks only with SS_NOTIFY.
    ::SetWindowLongW(m_hWnd, GWL_STYLE, ::GetWindowLongW(m_hWnd, GWL_STYLE) | SS_NOTIFY);
    if (m_address.empty())
        m_address = WindowText();
    if (::GetWindowTextLengthW(m_hWnd) == 0) {
        // A link without a caption shows its address.
        ::SetWindowTextW(m_hWnd, L"");
        ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        ::SetWindowTextW(m_hWnd, m_address.c_str());
        FitToText();
    }

    m_originalFont = reinterpret_cast<HFONT>(SendMessage(WM_GETFONT));
    HGDIOBJ font = m_originalFont;
    if (!font)
        font = ::GetStockObject(DEFAULT_GUI_FONT);
    if (!font)
        font = ::GetStockObject(ANSI_VAR_FONT);
    LOGFONTW logFont{};
    if (font && ::GetObjectW(font, sizeof(logFont), &logFont) == sizeof(logFont)) {
        m_standardFont.Reset(::CreateFontIndirectW(&logFont));
        logFont.lfUnderline = TRUE;
        m_underlineFont.Reset(::CreateFontIndirectW(&logFont));
    }
    FitToText();
    LoadHandCursor();

    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    if (m_toolTip.Create(m_hWnd))
        m_toolTip.AddTool(m_hWnd, 1, client, m_address);
}

void CLinkLabel::LoadHandCursor() {
    if (m_cursor)
        return;
    m_cursor = ::LoadCursorW(nullptr, IDC_HAND);
    if (m_cursor)
        return;
    // Systems before the hand cursor kept one in the help program.
    wchar_t folder[MAX_PATH] = {};
    const UINT length = ::GetWindowsDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return;
    const std::wstring path = std::wstring(folder, length) + L"\\winhlp32.exe";
    // Only its resources are wanted: none of its code is mapped to run.
    HMODULE module = ::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!module)
        return;
    if (HCURSOR cursor = ::LoadCursorW(module, MAKEINTRESOURCEW(kHelpHandCursorId))) {
        m_ownedCursor.Reset(static_cast<HCURSOR>(::CopyIcon(cursor)));
        m_cursor = m_ownedCursor.Get();
    }
    ::FreeLibrary(module);
}

void CLinkLabel::FitToText() {
    if (!m_hWnd || !::IsWindow(m_hWnd))
        return;
    RECT window{};
    RECT client{};
    ::GetWindowRect(m_hWnd, &window);
    ::GetClientRect(m_hWnd, &client);
    ::MapWindowPoints(m_hWnd, nullptr, reinterpret_cast<POINT*>(&client), 2);
    if (HWND parent = ::GetParent(m_hWnd)) {
        ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&window), 2);
        ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&client), 2);
    }

    SIZE text{};
    const std::wstring caption = WindowText();
    if (HDC dc = ::GetDC(m_hWnd)) {
        // Measured with the underline font (the wider while hovering); before the copies
        // exist, with the font the control shows.
        HGDIOBJ font =
            m_underlineFont ? m_underlineFont.Get() : reinterpret_cast<HGDIOBJ>(SendMessage(WM_GETFONT));
        HGDIOBJ previous = font ? ::SelectObject(dc, font) : nullptr;
        ::GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &text);
        if (previous)
            ::SelectObject(dc, previous);
        ::ReleaseDC(m_hWnd, dc);
    }
    const int newWidth = text.cx + ((window.right - window.left) - (client.right - client.left));
    const int newHeight = text.cy + ((window.bottom - window.top) - (client.bottom - client.top));

    const LONG style = ::GetWindowLongW(m_hWnd, GWL_STYLE);
    if (style & SS_CENTERIMAGE)
        ::InflateRect(&window, 0, -(((window.bottom - window.top) - newHeight) / 2));
    else
        window.bottom = window.top + newHeight;
    // SS_CENTER and SS_RIGHT are bits of the type field; SS_CENTER wins when both are set.
    if (style & SS_CENTER)
        ::InflateRect(&window, -(((window.right - window.left) - newWidth) / 2), 0);
    else if (style & SS_RIGHT)
        window.left = window.right - newWidth;
    else
        window.right = window.left + newWidth;
    ::SetWindowPos(m_hWnd, nullptr, window.left, window.top, window.right - window.left,
                   window.bottom - window.top, SWP_NOZORDER | SWP_NOACTIVATE);

    // The tooltip's area follows the new size.
    if (m_toolTip.IsCreated()) {
        ::GetClientRect(m_hWnd, &client);
        m_toolTip.SetToolRect(m_hWnd, 1, client);
    }
}

void CLinkLabel::SetLinkAddress(const std::wstring& address) {
    m_address = address;
    if (m_hWnd && ::IsWindow(m_hWnd)) {
        FitToText();
        m_toolTip.UpdateTipText(m_hWnd, 1, m_address);
    }
}

void CLinkLabel::InvalidateInParent() {
    if (!m_hWnd || !::IsWindow(m_hWnd))
        return;
    // Drawn transparently: the parent's background must be painted again under the text.
    RECT area{};
    ::GetWindowRect(m_hWnd, &area);
    HWND parent = ::GetParent(m_hWnd);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&area), 2);
    ::InvalidateRect(parent, &area, TRUE);
}

void CLinkLabel::EndHover() {
    m_hovering = false;
    SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(m_standardFont.Get()), TRUE);
    InvalidateInParent();
}

void CLinkLabel::OnMouseMove(POINT point) {
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    const bool inside = ::PtInRect(&client, point) != FALSE;
    if (!m_hovering && !inside) {
        // Still captured after a click, and the mouse went elsewhere: back to normal
        // rather than lighting up a link the mouse is not on.
        SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(m_standardFont.Get()), TRUE);
        InvalidateInParent();
        if (::GetCapture() == m_hWnd)
            ::ReleaseCapture();
        return;
    }
    if (!m_hovering) {
        m_hovering = true;
        SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(m_underlineFont.Get()), TRUE);
        InvalidateInParent();
        // Captured, the control hears the move that leaves it.
        ::SetCapture(m_hWnd);
        return;
    }
    if (!inside) {
        EndHover();
        ::ReleaseCapture();
    }
}

void CLinkLabel::OnClicked() {
    // The click ends hovering but keeps the capture and the font: the next move over the
    // link hovers again.
    m_hovering = false;
    const INT_PTR result = OpenLink(m_address, *m_shell);
    m_visited = result > 32;
    if (!m_visited)
        m_shell->Beep();
    // Either way the colour may change (a failed open after a success shows the link colour).
    InvalidateInParent();
}

bool CLinkLabel::PreTranslateMessage(MSG* msg) {
    m_toolTip.RelayEvent(msg);
    return CWnd::PreTranslateMessage(msg);
}

bool CLinkLabel::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    (void)lParam;
    if (message == WM_CTLCOLORSTATIC) {
        HDC dc = reinterpret_cast<HDC>(wParam);
        ::SetTextColor(dc, m_hovering ? kHoverColour : (m_visited ? kVisitedColour : kLinkColour));
        ::SetBkMode(dc, TRANSPARENT);
        *result = reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
        return true;
    }
    if (message == WM_COMMAND && HIWORD(wParam) == STN_CLICKED) {
        OnClicked();
        *result = 0;
        return true;
    }
    return false;
}

LRESULT CLinkLabel::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SETCURSOR:
        if (m_cursor) {
            ::SetCursor(m_cursor);
            return TRUE;
        }
        return FALSE;
    case WM_MOUSEMOVE:
        OnMouseMove(POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
        return Default();
    case WM_CAPTURECHANGED:
        // Another window took the mouse (a menu, a dialog): we will not hear it leave.
        if (m_hovering && reinterpret_cast<HWND>(lParam) != m_hWnd)
            EndHover();
        break;
    default:
        break;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

} // namespace quillon
