// The notification-area icon: add (and retry), add again after the taskbar comes back, the
// icon at the DPI's size, mouse and keyboard, menu, balloon, removal.
#include "ui/widgets/tray_icon.h"

#include <commctrl.h>
#include <windowsx.h>

#include <utility>

namespace quillon {
namespace {

const wchar_t kTooltip[] = L"Quillon";
const wchar_t kBalloonText[] = L"Another program, or Windows itself, already uses this combination. Click "
                               L"here to choose another one in Options.";
constexpr UINT kBalloonTimeoutMs = 10000;

// Copies with truncation, always terminated.
template <size_t N> void CopyTruncated(wchar_t (&dest)[N], const wchar_t* source) {
    size_t i = 0;
    for (; source && source[i] && i + 1 < N; ++i)
        dest[i] = source[i];
    dest[i] = L'\0';
}

// Resolved when the program starts, before any window can receive the broadcast.
const UINT g_taskbarCreated = ::RegisterWindowMessageW(L"TaskbarCreated");

} // namespace

UINT CTrayIcon::TaskbarCreatedMessage() {
    return g_taskbarCreated;
}

CTrayIcon::CTrayIcon(ShellCall shell) : m_shell(std::move(shell)) {
    ::ZeroMemory(&m_data, sizeof(m_data));
}

CTrayIcon::~CTrayIcon() {
    // The icon goes before its window: the shell would otherwise keep a dead icon until
    // the pointer passes over it.
    RemoveIcon();
    DestroyWindow();
}

bool CTrayIcon::AddTrayIcon(HICON icon, HWND commandTarget, UINT callbackMessage) {
    m_commandTarget = commandTarget;
    if (!m_hWnd) {
        if (!CreateEx(0, nullptr, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr))
            return false;
        // A Quillon that runs elevated must still hear the shell's broadcast when the
        // taskbar comes back; the shell runs with lower rights and would be filtered out.
        ::ChangeWindowMessageFilterEx(m_hWnd, g_taskbarCreated, MSGFLT_ALLOW, nullptr);
    }
    m_data.cbSize = sizeof(NOTIFYICONDATAW);
    m_data.hWnd = m_hWnd;
    m_data.uID = kIconId;
    m_data.hIcon = icon;
    m_data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    m_data.uCallbackMessage = callbackMessage;
    CopyTruncated(m_data.szTip, kTooltip);
    m_creationFlags = m_data.uFlags;
    if (AddIcon())
        return true;
    // At log on a program from the Run key can start before the shell takes icons: without
    // an icon the user could reach neither Options nor Exit, so keep trying for a while.
    m_retriesLeft = kRetries;
    ::SetTimer(m_hWnd, kRetryTimer, kRetryEveryMs, nullptr);
    return false;
}

bool CTrayIcon::AddTrayIcon(HINSTANCE module, UINT iconId, HWND commandTarget, UINT callbackMessage) {
    m_iconModule = module;
    m_iconId = iconId;
    ReloadIcon();
    return AddTrayIcon(m_ownIcon.Get(), commandTarget, callbackMessage);
}

// Loads the icon at the size the shell shows icons at now (the small icon metric at the
// current DPI).
void CTrayIcon::ReloadIcon() {
    if (!m_iconModule)
        return;
    HICON icon = nullptr;
    if (FAILED(::LoadIconMetric(m_iconModule, MAKEINTRESOURCEW(m_iconId), LIM_SMALL, &icon)) || !icon)
        return; // keep the icon we have
    m_ownIcon.Reset(icon);
    m_data.hIcon = icon;
}

// NIM_ADD with the record as first made, then the version that brings keyboard
// notifications. hidden and removed take the result.
bool CTrayIcon::AddIcon() {
    m_data.uFlags = m_creationFlags;
    const bool added = NotifyShell(NIM_ADD) != FALSE;
    m_hidden = !added;
    m_removed = !added;
    if (added) {
        m_data.uVersion = NOTIFYICON_VERSION_4;
        m_version4 = NotifyShell(NIM_SETVERSION) != FALSE;
        if (m_balloonPending)
            ShowPendingBalloon();
    }
    return added;
}

void CTrayIcon::OnRetryTimer() {
    if (!m_hidden || --m_retriesLeft < 0 || AddIcon()) {
        ::KillTimer(m_hWnd, kRetryTimer);
        m_retriesLeft = 0;
    }
}

// The shell's taskbar was made anew (the shell restarted, or started late): it has forgotten
// every icon, so ours is added whatever happened before.
void CTrayIcon::OnTaskbarCreated() {
    if (m_creationFlags == 0)
        return;   // AddTrayIcon has not run: nothing to show yet
    ReloadIcon(); // the new shell may show icons at another size
    if (AddIcon()) {
        ::KillTimer(m_hWnd, kRetryTimer);
        m_retriesLeft = 0;
    }
}

void CTrayIcon::ShowWarningBalloon(const wchar_t* title, UINT clickCommand) {
    ShowBalloon(title, kBalloonText, true, clickCommand);
}

void CTrayIcon::ShowBalloon(const wchar_t* title, const wchar_t* text, bool warning, UINT clickCommand) {
    m_balloonCommand = clickCommand;
    CopyTruncated(m_data.szInfo, text ? text : L"");
    CopyTruncated(m_data.szInfoTitle, title ? title : L"");
    m_data.dwInfoFlags = warning ? NIIF_WARNING : NIIF_INFO;
    m_data.uTimeout = kBalloonTimeoutMs;
    // While the shell has not taken the icon yet (the add is being retried), the balloon
    // waits for it: it tells of a failure the user would otherwise never hear of.
    m_balloonPending = m_hidden && m_retriesLeft > 0;
    if (!m_balloonPending)
        ShowPendingBalloon();
}

void CTrayIcon::ShowPendingBalloon() {
    m_data.uFlags = NIF_INFO;
    NotifyShell(NIM_MODIFY);
    // A later modify (a re-add, say) must not show the balloon again.
    m_data.szInfo[0] = L'\0';
    m_balloonPending = false;
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

HWND CTrayIcon::CommandTarget() const {
    return m_commandTarget;
}

LRESULT CTrayIcon::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == m_data.uCallbackMessage && m_data.uCallbackMessage != 0) {
        // The shell sends its notices from a thread of its own, and a sent message is answered
        // inside any wait of ours that serves sent messages (the copy and paste of an edit): a
        // menu or dialog opened there would run in the middle of it, and bringing our window to
        // the front would move the focus while keys are on their way. Taken up from the loop.
        if (::InSendMessageEx(nullptr) & (ISMEX_NOTIFY | ISMEX_SEND)) {
            ::PostMessageW(m_hWnd, kDeferredNotify, wParam, lParam);
            return 0;
        }
        return OnIconNotify(wParam, lParam);
    }
    if (message == kDeferredNotify)
        return OnIconNotify(wParam, lParam);
    if (message == g_taskbarCreated && g_taskbarCreated != 0) {
        OnTaskbarCreated();
        return 0;
    }
    switch (message) {
    case WM_TIMER:
        if (wParam != kRetryTimer)
            break;
        OnRetryTimer();
        return 0;
    case WM_SETTINGCHANGE:
    case WM_DPICHANGED:
    case WM_DISPLAYCHANGE: {
        LRESULT result = Default();
        // The shell keeps its icons through a work-area change (the taskbar moved, another
        // resolution, a remote session): adding again would be refused. Only the icon's
        // size may have changed with the DPI.
        const bool resized = message != WM_SETTINGCHANGE || wParam == SPI_SETWORKAREA ||
                             wParam == SPI_SETICONMETRICS || wParam == SPI_SETNONCLIENTMETRICS;
        if (resized && m_iconModule && !m_hidden) {
            ReloadIcon();
            m_data.uFlags = NIF_ICON;
            NotifyShell(NIM_MODIFY);
        }
        return result;
    }
    default:
        break;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

// Two forms reach here: the classic one (wParam the icon, lParam the mouse message), which
// the shell sends before NIM_SETVERSION and which tests and tools post; and the version-4
// one (lParam: the event in its low word, the icon in its high word; wParam: the anchor
// point in screen coordinates).
LRESULT CTrayIcon::OnIconNotify(WPARAM iconId, LPARAM mouseMessage) {
    const bool version4Form = HIWORD(mouseMessage) == m_data.uID;
    if (!version4Form && iconId != m_data.uID)
        return 0;
    HWND target = CommandTarget();
    if (!target)
        return 0;
    switch (LOWORD(mouseMessage)) {
    case WM_RBUTTONUP:
        if (version4Form) {
            // WM_CONTEXTMENU follows and opens the menu.
            m_rightButtonUp = true;
            break;
        }
        {
            POINT pt{};
            ::GetCursorPos(&pt);
            ShowTrayMenu(pt, false);
        }
        break;
    case WM_CONTEXTMENU: {
        // The right button or, on the focused icon, Shift+F10 or the menu key: the menu opens
        // at the icon, not where the pointer happens to be.
        const bool fromKeyboard = !m_rightButtonUp;
        m_rightButtonUp = false;
        ShowTrayMenu(POINT{GET_X_LPARAM(iconId), GET_Y_LPARAM(iconId)}, fromKeyboard);
        break;
    }
    case NIN_BALLOONUSERCLICK: {
        // Only the balloon on show knows what its click means; a click on any other is nothing.
        const UINT command = std::exchange(m_balloonCommand, kNoCommand);
        if (command != kNoCommand) {
            ::SetForegroundWindow(target);
            ::PostMessageW(target, WM_COMMAND, command, 0);
        }
        break;
    }
    case NIN_BALLOONTIMEOUT:
    case NIN_BALLOONHIDE:
        m_balloonCommand = kNoCommand;
        break;
    case NIN_KEYSELECT: // Enter or Space on the focused icon: the default command
    case WM_LBUTTONDBLCLK:
        ::SetForegroundWindow(target);
        ::PostMessageW(target, WM_COMMAND, m_defaultCommand, 0);
        break;
    default:
        break;
    }
    return 1;
}

void CTrayIcon::ShowTrayMenu(POINT at, bool fromKeyboard) {
    HWND target = CommandTarget();
    CMenuHandle menu(::LoadMenuW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kMenuId)));
    HMENU popup = menu ? ::GetSubMenu(menu.Get(), 0) : nullptr;
    if (!popup)
        return;
    ::SetMenuDefaultItem(popup, m_defaultCommand, FALSE);
    OnBeforeTrayMenu(popup);
    // The owner must be in the foreground, or the menu would not close when the user clicks
    // elsewhere; the empty message afterwards lets it close at once.
    ::SetForegroundWindow(target);
    const UINT command = TrackTrayMenu(popup, at, target);
    ::PostMessageW(target, WM_NULL, 0, 0);
    if (command != 0) {
        ::PostMessageW(target, WM_COMMAND, command, 0);
    } else if (fromKeyboard && !m_hidden) {
        // Closed with Escape: the keyboard user goes back to the icon they came from.
        m_data.uFlags = 0;
        NotifyShell(NIM_SETFOCUS);
    }
}

UINT CTrayIcon::TrackTrayMenu(HMENU popup, POINT at, HWND owner) {
    return static_cast<UINT>(::TrackPopupMenu(popup, TPM_RETURNCMD, at.x, at.y, 0, owner, nullptr));
}

} // namespace quillon
