// The modal dialog: creation from a template, the modal loop, ending.
#include "framework/dialog.h"

namespace quillon {

CDialog::CDialog(UINT templateId, HWND parent) : m_templateId(templateId), m_parent(parent) {}

void CDialog::InitModalIndirect(const DLGTEMPLATE* dialogTemplate, HWND parent) {
    m_template = dialogTemplate;
    m_parent = parent;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND, UINT message, WPARAM, LPARAM) {
    // Everything is handled in WindowProc before the dialog manager calls us; returning
    // TRUE here for WM_INITDIALOG keeps the default focus behaviour of dialog boxes.
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

INT_PTR CDialog::DoModal() {
    if (m_hWnd)
        return -1;
    const DLGTEMPLATE* dialogTemplate = m_template;
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    if (!dialogTemplate) {
        HRSRC res = ::FindResourceW(instance, MAKEINTRESOURCEW(m_templateId), RT_DIALOG);
        HGLOBAL loaded = res ? ::LoadResource(instance, res) : nullptr;
        dialogTemplate = loaded ? static_cast<const DLGTEMPLATE*>(::LockResource(loaded)) : nullptr;
        if (!dialogTemplate)
            return -1;
    }

    // A modal dialog disables its owner for its lifetime, as dialog boxes do.
    HWND owner = m_parent;
    bool ownerWasEnabled = false;
    if (owner) {
        ownerWasEnabled = ::IsWindowEnabled(owner) != FALSE;
    }

    m_ended = false;
    m_result = -1;
    if (owner && ownerWasEnabled)
        ::EnableWindow(owner, FALSE);
    HWND hwnd;
    {
        CCreationBinder binder(this);
        hwnd = ::CreateDialogIndirectParamW(instance, dialogTemplate, owner, DialogProc, 0);
    }
    if (!hwnd) {
        Detach();
        if (owner && ownerWasEnabled)
            ::EnableWindow(owner, TRUE);
        return -1;
    }
    m_created = true;

    if (!m_ended)
        RunModalLoop();

    if (owner && ownerWasEnabled) {
        ::EnableWindow(owner, TRUE);
    }
    if (m_hWnd) {
        // Hide first so activation passes back to the owner before the window goes.
        if (::IsWindowVisible(m_hWnd))
            ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                           SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
        DestroyWindow();
    }
    return m_result;
}

bool CDialog::RunModalLoop() {
    m_running = true;
    bool shown = false;
    MSG msg;
    while (!m_ended) {
        if (!shown && !::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            shown = true;
            if (m_showOnIdle && m_hWnd && !::IsWindowVisible(m_hWnd))
                ::ShowWindow(m_hWnd, SW_SHOWNORMAL);
            continue;
        }
        BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1)
            break;
        if (got == 0) {
            // WM_QUIT: end this loop and leave the quit for the outer ones.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            if (!m_ended) {
                m_result = IDCANCEL;
                m_ended = true;
            }
            break;
        }
        if (WalkPreTranslate(&msg))
            continue;
        if (m_hWnd && ::IsDialogMessageW(m_hWnd, &msg))
            continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    m_running = false;
    return true;
}

bool CDialog::WalkPreTranslate(MSG* msg) {
    for (HWND hwnd = msg->hwnd; hwnd; hwnd = ::GetParent(hwnd)) {
        CWnd* wnd = CWnd::FromHandle(hwnd);
        if (wnd && wnd->PreTranslateMessage(msg))
            return true;
        if (!(::GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD))
            break; // stop at the top-level window
    }
    return false;
}

void CDialog::EndDialog(INT_PTR result) {
    m_result = result;
    m_ended = true;
    // Wake the loop if it is waiting.
    if (m_hWnd)
        ::PostMessageW(m_hWnd, WM_NULL, 0, 0);
}

bool CDialog::OnInitDialog() {
    DoDataExchange();
    return true;
}

bool CDialog::PreTranslateMessage(MSG*) {
    return false;
}

LRESULT CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog() ? TRUE : FALSE;
    case WM_COMMAND:
        if (lParam == 0 || HIWORD(wParam) == BN_CLICKED) {
            if (LOWORD(wParam) == IDOK) {
                OnOK();
                return 0;
            }
            if (LOWORD(wParam) == IDCANCEL) {
                OnCancel();
                return 0;
            }
        }
        break;
    case WM_CLOSE:
        OnCancel();
        return 0;
    default:
        break;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

} // namespace quillon
