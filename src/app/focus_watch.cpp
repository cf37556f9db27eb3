// The server window's focus check, and the event hooks that run it the moment the focus moves.
#include "app/focus_watch.h"

#include "engine/edit_engine.h"

namespace quillon {
namespace {

// How long a box the user came back to is looked at again; and at most, while a save seen
// there is still being written.
constexpr DWORD kLookAgainMs = 2000;
constexpr DWORD kLookAgainMaxMs = 10000;

// The watch the hooks report to. Out-of-context events are delivered on the thread that
// hooked them, inside its message retrieval, so this is never read from another thread.
CFocusWatch* g_reporting = nullptr;

} // namespace

CFocusWatch::CFocusWatch(CEditEngine& engine) : m_engine(engine) {}

CFocusWatch::~CFocusWatch() {
    Stop();
}

bool CFocusWatch::Start(HWND window) {
    Stop();
    m_window = window;
    g_reporting = this;
    // One hook per event rather than one over the range between them: the range also holds
    // every object's creation, showing and hiding (carets, tooltips and menus among them),
    // each of which would wake this program. Our own windows are left out: the check is
    // about the boxes of other programs.
    const DWORD flags = WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS;
    m_foregroundHook.Reset(
        ::SetWinEventHook(EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND, nullptr, EventProc, 0, 0, flags));
    m_focusHook.Reset(
        ::SetWinEventHook(EVENT_OBJECT_FOCUS, EVENT_OBJECT_FOCUS, nullptr, EventProc, 0, 0, flags));
    return m_foregroundHook && m_focusHook;
}

void CFocusWatch::Stop() {
    m_foregroundHook.Reset();
    m_focusHook.Reset();
    if (g_reporting == this)
        g_reporting = nullptr;
    m_window = nullptr;
    m_pending = false;
}

void CALLBACK CFocusWatch::EventProc(HWINEVENTHOOK hook, DWORD event, HWND, LONG, LONG, DWORD, DWORD) {
    // Called from the system's event delivery: it only posts.
    CFocusWatch* watch = g_reporting;
    if (!watch || (hook != watch->m_foregroundHook.Get() && hook != watch->m_focusHook.Get()))
        return;
    if (event != EVENT_SYSTEM_FOREGROUND && event != EVENT_OBJECT_FOCUS)
        return;
    if (watch->m_editing)
        watch->m_movedMeanwhile = true;
    watch->Notify();
}

void CFocusWatch::Notify() {
    // A change that arrives while the message is on its way is seen by that message's
    // check: a burst of changes costs one check.
    if (m_pending || !m_window)
        return;
    m_pending = ::PostMessageW(m_window, WM_FOCUS_CHANGED, 0, 0) != FALSE;
}

void CFocusWatch::OnFocusChanged() {
    m_pending = false;
    Check();
}

HWND CFocusWatch::Check() {
    GUITHREADINFO info{};
    info.cbSize = sizeof(GUITHREADINFO);
    if (!::GetGUIThreadInfo(0, &info))
        return nullptr; // no foreground thread
    if (m_editing) {
        m_deferred = true;
        if (info.hwndFocus != m_lastFocus)
            m_movedMeanwhile = true;
        return info.hwndFocus;
    }
    // A user who left the box and came back while an edit was under way has returned to
    // it, though the focus is where it was before.
    const bool moved = m_movedMeanwhile;
    m_movedMeanwhile = false;
    if (info.hwndFocus == m_lastFocus && !moved)
        return info.hwndFocus;
    m_lastFocus = info.hwndFocus;
    CEditScope writingBack(*this);
    // The engine busy with a copy or paste of its own (this came through a message answered
    // during its wait): this return is looked at again once the scope ends.
    if (!m_engine.PollEdit(info.hwndFocus)) {
        m_deferred = true;
        m_movedMeanwhile = true;
    }
    m_returnBox = info.hwndFocus && m_engine.FindNewestEdit(info.hwndFocus) >= 0 ? info.hwndFocus : nullptr;
    m_returnTick = ::GetTickCount();
    return info.hwndFocus;
}

bool CFocusWatch::LookAgain() {
    if (!m_returnBox || m_editing)
        return m_returnBox != nullptr;
    const DWORD since = ::GetTickCount() - m_returnTick;
    GUITHREADINFO info{};
    info.cbSize = sizeof(GUITHREADINFO);
    if (since >= kLookAgainMaxMs || (since >= kLookAgainMs && !m_engine.SaveSettling()) ||
        !::GetGUIThreadInfo(0, &info) || info.hwndFocus != m_returnBox || info.hwndFocus != m_lastFocus ||
        m_engine.FindNewestEdit(info.hwndFocus) < 0) {
        m_returnBox = nullptr;
        return false;
    }
    CEditScope lookingAgain(*this);
    m_engine.PollEdit(info.hwndFocus, true);
    return true;
}

CFocusWatch::CEditScope::CEditScope(CFocusWatch& watch) : m_watch(watch), m_outer(!watch.m_editing) {
    m_watch.m_editing = true;
}

CFocusWatch::CEditScope::~CEditScope() {
    if (!m_outer)
        return;
    m_watch.m_editing = false;
    // The focus moved meanwhile: look at it from the message loop, not from inside the
    // caller's stack.
    if (m_watch.m_deferred) {
        m_watch.m_deferred = false;
        m_watch.Notify();
    }
}

} // namespace quillon
