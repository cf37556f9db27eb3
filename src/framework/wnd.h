// CWnd: binds a C++ object to its window. One subclass procedure serves every bound window:
// it joins the window's subclass chain when the window is created (or when an existing
// control is subclassed),
// forwards messages to the virtual WindowProc, reflects control notifications to the
// control objects that ask for them, and lets go of the window on WM_NCDESTROY.
#pragma once
#include <windows.h>

#include "framework/window.h"

namespace quillon {

// The handle and its conveniences come from CWindow; copying is what a CWnd cannot do, since
// the window holds a pointer back to this object.
class CWnd : public CWindow {
public:
    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

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

    // The framework's own window class (registered once per process).
    static const wchar_t* PlainClassName();

private:
    friend class CDialog;
    friend LRESULT CALLBACK FrameworkWndProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    friend LRESULT CALLBACK CreationHookProc(int, WPARAM, LPARAM);
    void Attach(HWND hwnd);
    void Detach();
    static bool ReflectToChild(HWND child, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

    bool m_subclassed = false; // our procedure is in the window's subclass chain
    struct CurrentMessage {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    const CurrentMessage* m_current = nullptr;
    bool m_created = false; // we created the window (so we destroy it with the object)
};

// Binds the next window created on this thread to an object, for as long as it lives.
class CCreationBinder {
public:
    explicit CCreationBinder(CWnd* wnd);
    ~CCreationBinder();
    CCreationBinder(const CCreationBinder&) = delete;
    CCreationBinder& operator=(const CCreationBinder&) = delete;
};

} // namespace quillon
