// The server window: never visible, never active; its life is the program's run.
#include "app/server_dlg.h"

#include "engine/edit_engine.h"

namespace quillon {

CServerDlg::CServerDlg() {
    // The modal loop must never show this window: showing activates it, which would take
    // the keyboard focus from the program the user is typing in.
    SetShowOnIdle(false);
}

CServerDlg::~CServerDlg() {
    CEditEngine& engine = GetEditEngine();
    if (engine.Host() == this)
        engine.SetHost(nullptr);
}

BOOL CServerDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    CEditEngine& engine = GetEditEngine();
    engine.SetHost(this);
    engine.Load();
    return TRUE;
}

BOOL CServerDlg::DestroyWindow() {
    GetEditEngine().Save();
    return CDialog::DestroyWindow();
}

bool CServerDlg::RegisterEditHotKey(std::uint16_t hotKey) {
    return ::RegisterHotKey(m_hWnd, 1, hotKey & 0xFF, hotKey >> 8) != FALSE;
}

void CServerDlg::ExtensionsChanged() {}

LRESULT CServerDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_WINDOWPOSCHANGING: {
        // Whatever the framework or the system asks, this window is never shown and never
        // activated.
        auto* pos = reinterpret_cast<WINDOWPOS*>(lParam);
        pos->flags &= ~SWP_SHOWWINDOW;
        pos->flags |= SWP_NOACTIVATE;
        return Default();
    }
    case WM_ACTIVATE:
        return 0;
    case WM_COMMAND:
        if (lParam == 0 && LOWORD(wParam) == ID_TRAY_EXIT) {
            OnCancel();
            return 0;
        }
        break;
    case WM_ENDSESSION:
        if (wParam)
            GetEditEngine().Save();
        return Default();
    default:
        break;
    }
    return CDialog::WindowProc(message, wParam, lParam);
}

}  // namespace quillon
