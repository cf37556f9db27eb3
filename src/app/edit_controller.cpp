// The controller's timers: each runs only while something needs it, so that an idle program
// is never woken (battery, the processor's deeper sleep states).
#include "app/edit_controller.h"

#include "engine/clipboard_backup.h"

namespace quillon {
namespace {

// With the focus events hooked the focus timer only backs them up, and looks rarely; without
// them it is the only way to see a return.
constexpr UINT kFocusFallbackMs = 1000;

} // namespace

CEditController::CEditController(ISystem& system, IConfigPlatform& configPlatform)
    : m_settings(configPlatform), m_routes(system, m_settings), m_engine(system, m_settings, m_routes),
      m_focusWatch(m_engine) {}

void CEditController::Start(IEngineHost& host, HWND window) {
    m_window = window;
    m_engine.SetHost(&host);
    m_engine.Load(); // registers the hotkey through the host
    ::SetTimer(m_window, kPurgeTimer, kPurgeTimerMs, nullptr);
    // The hooks make a return to a box seen at once.
    m_focusWatch.Start(m_window);
    SyncTimers();
}

void CEditController::Stop() {
    m_focusWatch.Stop();
    m_engine.SetHost(nullptr);
    m_window = nullptr;
}

HWND CEditController::CheckFocus() {
    HWND focus = m_focusWatch.Check();
    SyncTimers();
    return focus;
}

void CEditController::OnFocusChanged() {
    m_focusWatch.OnFocusChanged();
    SyncTimers();
}

void CEditController::StartEdit(HWND target, int index) {
    {
        CFocusWatch::CEditScope starting(m_focusWatch);
        m_engine.StartEdit(target, index);
    }
    SyncTimers();
}

void CEditController::OnTimer(UINT_PTR id) {
    if (id == kFocusTimer) {
        m_engine.Tick();
        m_focusWatch.Check();
    } else if (id == kLookAgainTimer) {
        m_engine.Tick();
        m_focusWatch.LookAgain();
    } else if (id == kPurgeTimer) {
        m_engine.PurgeClosedEdits();
    }
    SyncTimers();
}

void CEditController::OnClipboardRequest(ClipboardRequest request, std::uint32_t format) {
    m_routes.ClipboardRoute().Serve(request, format);
}

void CEditController::RestoreClipboardNow() {
    m_routes.ClipboardRoute().RetryLaterRestore(kClipboardRetryMs);
}

void CEditController::SyncTimers() {
    if (!m_window)
        return;
    const TickNeed need = m_engine.NeedsTicks();
    const UINT focusMs = need == TickNeed::kNone   ? 0
                         : m_focusWatch.Watching() ? kFocusFallbackMs
                                                   : kFocusTimerMs;
    if (focusMs != m_focusTimerMs) {
        if (focusMs != 0)
            ::SetTimer(m_window, kFocusTimer, focusMs, nullptr);
        else
            ::KillTimer(m_window, kFocusTimer);
        m_focusTimerMs = focusMs;
    }
    const bool soon = m_focusWatch.LookingAgain() || need == TickNeed::kFast;
    if (soon && !m_lookAgainTimer)
        m_lookAgainTimer = ::SetTimer(m_window, kLookAgainTimer, kLookAgainTimerMs, nullptr) != 0;
    else if (!soon && m_lookAgainTimer) {
        ::KillTimer(m_window, kLookAgainTimer);
        m_lookAgainTimer = false;
    }
}

} // namespace quillon
