// The notification-area icon: add, re-add after the taskbar comes back, menu, balloon, removal.
#include "ui/widgets/tray_icon.h"

#include <utility>

#include "base/win/handles.h"

namespace quillon {
namespace {

const wchar_t kTooltip[] = L"Quillon";
const wchar_t kBalloonText[] = L"Please specify another one in Options.";
constexpr UINT kBalloonTimeoutMs = 10000;

// Copies with truncation, always terminated.
template <size_t N>
void CopyTruncated(wchar_t (&dest)[N], const wchar_t* source) {
    size_t i = 0;
    for (; source && source[i] && i + 1 < N; ++i)
        dest[i] = source[i];
    dest[i] = L'\0';
}

// Resolved when the program starts, before any window can receive the broadcast.
const UINT g_taskbarCreated = ::RegisterWindowMessageW(L"TaskbarCreated");

}  // namespace

UINT CTrayIcon::TaskbarCreatedMessage() { return g_taskbarCreated; }

CTrayIcon::CTrayIcon(ShellCall shell) : m_shell(std::move(shell)) { ::ZeroMemory(&m_data, sizeof(m_data)); }

CTrayIcon::~CTrayIcon() {
    // The icon goes before its window: the shell would otherwise keep a dead icon until
    // the pointer passes over it.
    RemoveIcon();
    DestroyWindow();
}

bool CTrayIcon::AddTrayIcon(HICON icon, HWND commandTarget, UINT callbackMessage) {
    m_commandTarget = commandTarget;
    if (!m_hWnd && !CreateEx(0, nullptr, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr))
        return false;
    m_data.cbSize = sizeof(NOTIFYICONDATAW);
    m_data.hWnd = m_hWnd;
    m_data.uID = kIconId;
    m_data.hIcon = icon;
    m_data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    m_data.uCallbackMessage = callbackMessage;
    CopyTruncated(m_data.szTip, kTooltip);
    m_creationFlags = m_data.uFlags;
    const bool added = NotifyShell(NIM_ADD) != FALSE;
    m_hidden = !added;
    m_removed = !added;
    return added;
}

void CTrayIcon::ShowWarningBalloon(const wchar_t* title) { ShowBalloon(title, kBalloonText, true); }

void CTrayIcon::ShowBalloon(const wchar_t* title, const wchar_t* text, bool warning) {
    m_data.uFlags = NIF_INFO;
    CopyTruncated(m_data.szInfo, text ? text : L"");
    CopyTruncated(m_data.szInfoTitle, title ? title : L"");
    m_data.dwInfoFlags = warning ? NIIF_WARNING : NIIF_INFO;
    m_data.uTimeout = kBalloonTimeoutMs;
    NotifyShell(NIM_MODIFY);
    // A later modify (a re-add, say) must not show the balloon again.
    m_data.szInfo[0] = L'\0';
}

void CTrayIcon::ReAddIcon() {
    if (m_hidden)
        return;
    m_data.uFlags = m_creationFlags;
    m_hidden = NotifyShell(NIM_ADD) == FALSE;
}

void CTrayIcon::RemoveIcon() {
    if (m_removed)
        return;
    m_data.uFlags = 0;
    if (NotifyShell(NIM_DELETE)) {
        m_hidden = true;
        m_removed = true;
    }
}

BOOL CTrayIcon::NotifyShell(DWORD message) {
    return m_shell ? m_shell(message, &m_data) : ::Shell_NotifyIconW(message, &m_data);
}

HWND CTrayIcon::CommandTarget() const { return m_commandTarget; }

LRESULT CTrayIcon::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == m_data.uCallbackMessage && m_data.uCallbackMessage != 0)
        return OnIconNotify(wParam, lParam);
    if (message == g_taskbarCreated && g_taskbarCreated != 0) {
        // The shell's taskbar was made anew (the shell restarted): it has forgotten us.
        ReAddIcon();
        return 0;
    }
    if (message == WM_SETTINGCHANGE) {
        LRESULT result = Default();
        if (wParam == SPI_SETWORKAREA)
            ReAddIcon();
        return result;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

LRESULT CTrayIcon::OnIconNotify(WPARAM iconId, LPARAM mouseMessage) {
    if (iconId != m_data.uID)
        return 0;
    HWND target = CommandTarget();
    if (!target)
        return 0;
    switch (LOWORD(mouseMessage)) {
    case WM_RBUTTONUP: {
        CMenuHandle menu(::LoadMenuW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kMenuId)));
        HMENU popup = menu ? ::GetSubMenu(menu.Get(), 0) : nullptr;
        if (!popup)
            return 0;
        ::SetMenuDefaultItem(popup, m_defaultCommand, FALSE);
        OnBeforeTrayMenu(popup);
        POINT pt{};
        ::GetCursorPos(&pt);
        // The owner must be in the foreground, or the menu would not close when the user
        // clicks elsewhere; the empty message afterwards lets it close at once.
        ::SetForegroundWindow(target);
        ::TrackPopupMenu(popup, 0, pt.x, pt.y, 0, target, nullptr);
        ::PostMessageW(target, WM_NULL, 0, 0);
        break;
    }
    case WM_LBUTTONDBLCLK:
        ::SetForegroundWindow(target);
        ::PostMessageW(target, WM_COMMAND, m_defaultCommand, 0);
        break;
    default:
        break;
    }
    return 1;
}

}  // namespace quillon
