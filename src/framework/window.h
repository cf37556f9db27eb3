// CWindow: a copyable value over a window handle (it owns nothing; destroying or binding the
// window is someone else's business), with the plain one-message conveniences every window
// shares. The typed control wrappers build on it, and so does CWnd, the object that binds.
#pragma once
#include <windows.h>

#include <string>

namespace quillon {

class CWindow {
public:
    CWindow(HWND hwnd = nullptr) : m_hWnd(hwnd) {}

    HWND m_hWnd = nullptr;
    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    LRESULT SendMessage(UINT m, WPARAM w = 0, LPARAM l = 0) const { return ::SendMessageW(m_hWnd, m, w, l); }
    bool PostMessage(UINT m, WPARAM w = 0, LPARAM l = 0) const {
        return ::PostMessageW(m_hWnd, m, w, l) != FALSE;
    }
    bool ShowWindow(int cmd) const { return ::ShowWindow(m_hWnd, cmd) != FALSE; }
    bool IsWindowVisible() const { return m_hWnd && ::IsWindowVisible(m_hWnd) != FALSE; }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
    bool EnableWindow(bool enable) const { return ::EnableWindow(m_hWnd, enable ? TRUE : FALSE) != FALSE; }
    bool IsWindowEnabled() const { return m_hWnd && ::IsWindowEnabled(m_hWnd) != FALSE; }
    HWND SetFocus() const { return ::SetFocus(m_hWnd); }
    // A plain style change (no frame recalculation): the styles in remove go, those in add come.
    void ModifyStyle(DWORD remove, DWORD add) const {
        const DWORD style = static_cast<DWORD>(::GetWindowLongW(m_hWnd, GWL_STYLE));
        ::SetWindowLongW(m_hWnd, GWL_STYLE, static_cast<LONG>((style & ~remove) | add));
    }
    // The window's text, whole (no fixed buffer), and its replacement.
    std::wstring GetWindowText() const {
        if (!m_hWnd)
            return {};
        const int length = ::GetWindowTextLengthW(m_hWnd);
        std::wstring text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, L'\0');
        const int got = ::GetWindowTextW(m_hWnd, text.data(), static_cast<int>(text.size()));
        text.resize(static_cast<std::size_t>(got > 0 ? got : 0));
        return text;
    }
    int GetWindowTextLength() const { return ::GetWindowTextLengthW(m_hWnd); }
    bool SetWindowText(const std::wstring& text) const {
        return ::SetWindowTextW(m_hWnd, text.c_str()) != FALSE;
    }
};

} // namespace quillon
