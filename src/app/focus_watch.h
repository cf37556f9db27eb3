// CFocusWatch: the server window's focus check, run at each tick of its focus timer and at
// once when another program reports a focus or foreground change.
#pragma once
#include <windows.h>

#include "app/app_messages.h"
#include "base/win/handles.h"

namespace quillon {

class CEditEngine;

class CFocusWatch {
public:
    explicit CFocusWatch(CEditEngine& engine);
    ~CFocusWatch();
    // The focused window of the foreground thread as the last check saw it.
    HWND LastFocus() const { return m_lastFocus; }
    CFocusWatch(const CFocusWatch&) = delete;
    CFocusWatch& operator=(const CFocusWatch&) = delete;

    // Hooks the focus and foreground changes of other programs: they reach the window as
    // WM_FOCUS_CHANGED. False when the system refused the hooks (the timer still checks).
    bool Start(HWND window);
    // Unhooks; no message is posted after it.
    void Stop();
    // The hooks are in place: every focus change is reported.
    bool Watching() const { return m_foregroundHook && m_focusHook; }

    // The handler of WM_FOCUS_CHANGED: the burst is over (a later change posts again), and
    // the check runs.
    void OnFocusChanged();

    // The focus check: the focused window of the foreground thread; when it differs from
    // the last one seen, it is recorded and the engine looks at that window's edits
    // (and writes saved text back). While an edit is being started or written back the
    // check waits, and runs once that is over; if the focus moved meanwhile, it looks at the
    // focused window even when that is the one it saw last. Returns the focused window
    // (null when there is no foreground thread).
    HWND Check();

    // An editor that saves when it loses the focus writes just as the user comes back: after
    // a return to a box with an edit, the box is looked at again at the caller's ticks for a
    // short while, as long as the focus stays there (longer while a save is still being
    // written). False once that is over.
    bool LookAgain();
    bool LookingAgain() const { return m_returnBox != nullptr; }

    // Held while an edit is being started or written back: the check never runs inside one.
    class CEditScope {
    public:
        explicit CEditScope(CFocusWatch& watch);
        ~CEditScope();
        CEditScope(const CEditScope&) = delete;
        CEditScope& operator=(const CEditScope&) = delete;

    private:
        CFocusWatch& m_watch;
        bool m_outer;
    };

private:
    static void CALLBACK EventProc(HWINEVENTHOOK hook, DWORD event, HWND hwnd, LONG object, LONG child,
                                   DWORD thread, DWORD time);
    // Posts WM_FOCUS_CHANGED unless one is already on its way.
    void Notify();

    CEditEngine& m_engine;
    HWND m_lastFocus = nullptr; // the focused window of the foreground thread last looked at
    HWND m_window = nullptr;
    bool m_pending = false;        // a WM_FOCUS_CHANGED is posted and not yet handled
    bool m_editing = false;        // an edit is being started or written back
    bool m_deferred = false;       // a check was asked for meanwhile
    bool m_movedMeanwhile = false; // the focus moved during the edit: the next check polls
    HWND m_returnBox = nullptr;    // the box the user came back to, looked at again a while
    DWORD m_returnTick = 0;
    CWinEventHookHandle m_foregroundHook;
    CWinEventHookHandle m_focusHook;
};

} // namespace quillon
