// CEditController: the program's working parts in one place (the settings, the routes that
// move text, the edit engine and the focus watch) and the timers that follow their state. The
// server window decodes its messages and hands them here.
#pragma once
#include <windows.h>

#include <cstdint>

#include "app/focus_watch.h"
#include "engine/edit_engine.h"

namespace quillon {

class IConfigPlatform;

// The timers of the server window.
constexpr UINT_PTR kFocusTimer = 1;
constexpr UINT kFocusTimerMs = 80;
constexpr UINT_PTR kPurgeTimer = 3;
constexpr UINT kPurgeTimerMs = 1000000;
// Runs only for a few seconds after a return to a box with an edit, or after a copy the box
// did not answer in time.
constexpr UINT_PTR kLookAgainTimer = 4;
constexpr UINT kLookAgainTimerMs = 100;

class CEditController {
public:
    // The seams outlive the controller.
    CEditController(ISystem& system, IConfigPlatform& configPlatform);
    CEditController(const CEditController&) = delete;
    CEditController& operator=(const CEditController&) = delete;

    CSettingsStore& Settings() { return m_settings; }
    CEditEngine& Engine() { return m_engine; }
    CFocusWatch& FocusWatch() { return m_focusWatch; }

    // The host's window is up: the settings are loaded (the hotkey registered through the
    // host), the last session's files seen to, and the focus watched.
    void Start(IEngineHost& host, HWND window);
    // The window is going: nothing reports to it any more.
    void Stop();

    // The focused window of the foreground thread now; a return to a box with an edit is
    // looked at.
    HWND CheckFocus();
    void OnFocusChanged();
    // Starts an edit of the box with the choice list's item.
    void StartEdit(HWND target, int index);
    void OnTimer(UINT_PTR id);
    void OnClipboardRequest(ClipboardRequest request, std::uint32_t format);
    // The user's clipboard still waiting to come back goes back while the window can own it.
    void RestoreClipboardNow();
    // After a change from outside (an edit stopped from the menu): the timers follow.
    void SyncTimers();

private:
    HWND m_window = nullptr;
    CSettingsStore m_settings;
    CTextRoutes m_routes;
    CEditEngine m_engine;
    CFocusWatch m_focusWatch;
    UINT m_focusTimerMs = 0; // the focus timer's period now; 0: stopped
    bool m_lookAgainTimer = false;
};

} // namespace quillon
