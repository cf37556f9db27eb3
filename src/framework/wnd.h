// CWnd: binds a C++ object to its window. One subclass procedure serves every bound window:
// it joins the window's subclass chain when the window is created (or when an existing
// control is subclassed),
// forwards messages to the virtual WindowProc, reflects control notifications to the
// control objects that ask for them, and lets go of the window on WM_NCDESTROY.
#pragma once
#include <windows.h>

#include <string>

namespace quillon {

class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;
    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // The bound object of a window, or nullptr when the window is not ours.
    static CWnd* FromHandle(HWND hwnd);

    // Creates a window of any class and binds this object to it before its first message.
    // A null class name means the framework's own plain window class.
    bool CreateEx(DWORD exStyle, const wchar_t* className, const wchar_t* title, DWORD style, int x, int y,
                  int width, int height, HWND parent, HMENU menuOrId, void* createParam = nullptr);
    virtual bool DestroyWindow();

    // Binds this object to an existing window (a dialog's control, say).
    bool SubclassWindow(HWND hwnd);
    bool SubclassDlgItem(int id, HWND dialog);
    HWND UnsubclassWindow();

    // Message handling. Derived classes override WindowProc and call the base class for
    // what they do not handle; the base runs the window's original procedure.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Default processing of the message being handled.
    LRESULT Default();
    // Seen before the message is dispatched (and before dialog navigation) by the modal
    // loop, for this window and each of its parents. Return true to eat the message.
    virtual bool PreTranslateMessage(MSG* msg);
    // A notification the parent reflects to this control (WM_COMMAND, WM_NOTIFY,
    // WM_DRAWITEM, WM_MEASUREITEM, WM_CTLCOLOR*). Return true when handled; *result is
    // then the parent's answer.
    virtual bool OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    // Called after subclassing an existing window, before any reflected message.
    virtual void PreSubclassWindow() {}
    // Called after the window is gone (WM_NCDESTROY processed and the object unbound).
    virtual void PostNcDestroy() {}

    // Small conveniences.
    LRESULT SendMessage(UINT m, WPARAM w = 0, LPARAM l = 0) const { return ::SendMessageW(m_hWnd, m, w, l); }
    bool PostMessage(UINT m, WPARAM w = 0, LPARAM l = 0) const { return ::PostMessageW(m_hWnd, m, w, l) != FALSE; }
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
    std::wstring GetWindowText() const;
    int GetWindowTextLength() const { return ::GetWindowTextLengthW(m_hWnd); }
    bool SetWindowText(const std::wstring& text) const { return ::SetWindowTextW(m_hWnd, text.c_str()) != FALSE; }

    // The framework's own window class (registered once per process).
    static const wchar_t* PlainClassName();

private:
    friend class CDialog;
    friend LRESULT CALLBACK FrameworkWndProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    friend LRESULT CALLBACK CreationHookProc(int, WPARAM, LPARAM);
    void Attach(HWND hwnd);
    void Detach();
    static bool ReflectToChild(HWND child, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

    bool m_subclassed = false;  // our procedure is in the window's subclass chain
    struct CurrentMessage {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    const CurrentMessage* m_current = nullptr;
    bool m_created = false;  // we created the window (so we destroy it with the object)
};

// Binds the next window created on this thread to an object, for as long as it lives.
class CCreationBinder {
public:
    explicit CCreationBinder(CWnd* wnd);
    ~CCreationBinder();
    CCreationBinder(const CCreationBinder&) = delete;
    CCreationBinder& operator=(const CCreationBinder&) = delete;
};

}  // namespace quillon
