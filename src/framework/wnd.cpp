// The single subclass procedure, creation binding through a CBT hook, and reflection.
#include "framework/wnd.h"

#include <commctrl.h>

namespace quillon {
namespace {

const wchar_t kPropName[] = L"QuillonCWnd";
// Our place in each window's subclass chain. The common controls keep the chain, so we can
// leave it whatever another subclass (a tooltip's, a test's, a third party's) did after us.
constexpr UINT_PTR kSubclassId = 0x514C4E;
thread_local CWnd* t_pending = nullptr;
thread_local HHOOK t_creationHook = nullptr;

bool IsReflectedMessage(UINT message, WPARAM wParam, LPARAM lParam, HWND* child) {
    switch (message) {
    case WM_COMMAND:
        *child = reinterpret_cast<HWND>(lParam);
        return *child != nullptr;
    case WM_NOTIFY:
        *child = lParam ? reinterpret_cast<NMHDR*>(lParam)->hwndFrom : nullptr;
        return *child != nullptr;
    case WM_DRAWITEM: {
        auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
        *child = dis && dis->CtlType != ODT_MENU ? dis->hwndItem : nullptr;
        return *child != nullptr;
    }
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        *child = reinterpret_cast<HWND>(lParam);
        return *child != nullptr;
    default:
        (void)wParam;
        return false;
    }
}

} // namespace

LRESULT CALLBACK FrameworkWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                  DWORD_PTR) {
    CWnd* wnd = CWnd::FromHandle(hwnd);
    if (!wnd)
        return ::DefSubclassProc(hwnd, message, wParam, lParam);
    CWnd::CurrentMessage current{message, wParam, lParam};
    const CWnd::CurrentMessage* outer = wnd->m_current;
    wnd->m_current = &current;
    LRESULT result = 0;
    try {
        HWND child = nullptr;
        bool handled = false;
        // Drawing items of a list view (WM_MEASUREITEM has no window handle) goes to the
        // control with the id in the structure.
        if (message == WM_MEASUREITEM && lParam) {
            auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
            if (mis->CtlType != ODT_MENU)
                handled = CWnd::ReflectToChild(::GetDlgItem(hwnd, static_cast<int>(mis->CtlID)), message,
                                               wParam, lParam, &result);
        } else if (IsReflectedMessage(message, wParam, lParam, &child) && child != hwnd) {
            handled = CWnd::ReflectToChild(child, message, wParam, lParam, &result);
        }
        if (!handled)
            result = wnd->WindowProc(message, wParam, lParam);
    } catch (...) {
        // Nothing may unwind through the system's dispatch; the message counts as handled.
        result = 0;
    }
    wnd->m_current = outer;
    if (message == WM_NCDESTROY) {
        wnd->Detach();
        wnd->PostNcDestroy();
    }
    return result;
}

// Windows are bound here, when the system announces the creation, rather than on
// WM_NCCREATE: the object must see every message of its window, and for the classes whose
// procedure is not ours (dialogs run the system's dialog procedure, controls their own)
// WM_NCCREATE never reaches a procedure of ours, while some messages (WM_GETMINMAXINFO)
// come even before it. The hook runs before the window's first message, whatever its class.
LRESULT CALLBACK CreationHookProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && t_pending) {
        CWnd* wnd = t_pending;
        t_pending = nullptr; // only the first window created belongs to the object
        wnd->Attach(reinterpret_cast<HWND>(wParam));
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

CCreationBinder::CCreationBinder(CWnd* wnd) {
    t_pending = wnd;
    if (!t_creationHook)
        t_creationHook = ::SetWindowsHookExW(WH_CBT, CreationHookProc, nullptr, ::GetCurrentThreadId());
}

CCreationBinder::~CCreationBinder() {
    t_pending = nullptr;
    // The hook stays for the thread: nested creations (a dialog created from a handler
    // while another creation is under way) rely on it being present.
}

CWnd::~CWnd() {
    if (!m_hWnd)
        return;
    // Teardown order: stop dispatching to this object, then give the window back (or
    // destroy it when we made it).
    if (m_created) {
        HWND hwnd = m_hWnd;
        Detach();
        ::DestroyWindow(hwnd);
    } else {
        UnsubclassWindow();
    }
}

CWnd* CWnd::FromHandle(HWND hwnd) {
    return hwnd ? static_cast<CWnd*>(::GetPropW(hwnd, kPropName)) : nullptr;
}

const wchar_t* CWnd::PlainClassName() {
    static const wchar_t kName[] = L"QuillonWindow";
    static bool registered = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = kName;
        return ::RegisterClassExW(&wc) != 0;
    }();
    (void)registered;
    return kName;
}

void CWnd::Attach(HWND hwnd) {
    m_hWnd = hwnd;
    ::SetPropW(hwnd, kPropName, this);
    m_subclassed = ::SetWindowSubclass(hwnd, FrameworkWndProc, kSubclassId, 0) != FALSE;
}

void CWnd::Detach() {
    if (!m_hWnd)
        return;
    // Takes our procedure out of the chain wherever it sits in it; subclasses installed
    // after ours keep working and reach the window's own procedure without us.
    if (m_subclassed)
        ::RemoveWindowSubclass(m_hWnd, FrameworkWndProc, kSubclassId);
    ::RemovePropW(m_hWnd, kPropName);
    m_hWnd = nullptr;
    m_subclassed = false;
    m_created = false;
}

bool CWnd::CreateEx(DWORD exStyle, const wchar_t* className, const wchar_t* title, DWORD style, int x, int y,
                    int width, int height, HWND parent, HMENU menuOrId, void* createParam) {
    if (m_hWnd)
        return false;
    HWND hwnd;
    {
        CCreationBinder binder(this);
        hwnd = ::CreateWindowExW(exStyle, className ? className : PlainClassName(), title, style, x, y, width,
                                 height, parent, menuOrId, ::GetModuleHandleW(nullptr), createParam);
    }
    if (!hwnd) {
        Detach();
        return false;
    }
    m_created = true;
    return true;
}

bool CWnd::DestroyWindow() {
    if (!m_hWnd)
        return FALSE;
    return ::DestroyWindow(m_hWnd);
}

bool CWnd::SubclassWindow(HWND hwnd) {
    if (m_hWnd || !hwnd || FromHandle(hwnd))
        return false;
    Attach(hwnd);
    PreSubclassWindow();
    return true;
}

bool CWnd::SubclassDlgItem(int id, HWND dialog) {
    return SubclassWindow(::GetDlgItem(dialog, id));
}

HWND CWnd::UnsubclassWindow() {
    HWND hwnd = m_hWnd;
    Detach();
    return hwnd;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    // The next procedure in the chain: whatever was there before us, ending with the
    // window class's own procedure.
    if (m_subclassed)
        return ::DefSubclassProc(m_hWnd, message, wParam, lParam);
    return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() {
    if (!m_current)
        return 0;
    return CWnd::WindowProc(m_current->message, m_current->wParam, m_current->lParam);
}

bool CWnd::PreTranslateMessage(MSG*) {
    return FALSE;
}

bool CWnd::OnChildNotify(UINT, WPARAM, LPARAM, LRESULT*) {
    return false;
}

bool CWnd::ReflectToChild(HWND child, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    CWnd* control = FromHandle(child);
    if (!control)
        return false;
    return control->OnChildNotify(message, wParam, lParam, result);
}

} // namespace quillon
