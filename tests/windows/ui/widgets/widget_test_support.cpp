// The scripted dialog of the widget tests.
#include "windows/ui/widgets/widget_test_support.h"

namespace quillon::test {
namespace {

constexpr UINT_PTR kStepTimer = 77;
constexpr INT_PTR kFailed = -2;

} // namespace

CScriptedDialog& CScriptedDialog::Do(std::string what, std::function<void()> action) {
    m_steps.push_back({std::move(what),
                       [action = std::move(action)] {
                           action();
                           return true;
                       },
                       0,
                       {}});
    return *this;
}

CScriptedDialog& CScriptedDialog::WaitUntil(std::string what, std::function<bool()> condition,
                                            DWORD timeoutMs, std::function<std::string()> describe) {
    m_steps.push_back({std::move(what), std::move(condition), timeoutMs, std::move(describe)});
    return *this;
}

std::string CScriptedDialog::Run() {
    m_next = 0;
    m_deadline = 0;
    m_failure.clear();
    const INT_PTR result = DoModal();
    if (!m_failure.empty())
        return m_failure;
    if (result == -1)
        return "the dialog could not be created";
    if (m_next < m_steps.size())
        return "the dialog closed (code " + std::to_string(result) + ") before: " + m_steps[m_next].what;
    return {};
}

bool CScriptedDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    if (onInit)
        onInit(*this);
    ::SetTimer(m_hWnd, kStepTimer, 10, nullptr);
    return true;
}

void CScriptedDialog::Advance() {
    // Several steps may pass in one tick; a step that waits ends the tick.
    while (m_next < m_steps.size()) {
        Step& step = m_steps[m_next];
        if (m_deadline == 0)
            m_deadline = ::GetTickCount64() + step.timeoutMs;
        if (step.condition()) {
            ++m_next;
            m_deadline = 0;
            if (!IsModalRunning() || !m_hWnd)
                return;
            continue;
        }
        if (::GetTickCount64() > m_deadline) {
            m_failure = "timed out waiting for: " + step.what;
            if (step.describe)
                m_failure += " (" + step.describe() + ")";
            EndDialog(kFailed);
        }
        return;
    }
    EndDialog(IDOK);
}

LRESULT CScriptedDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_KEYMENU) {
        ++m_keyMenuRequests;
        return 0;
    }
    if (message == WM_TIMER && wParam == kStepTimer) {
        ::KillTimer(m_hWnd, kStepTimer);
        Advance();
        if (m_hWnd && IsModalRunning() && m_failure.empty() && m_next < m_steps.size())
            ::SetTimer(m_hWnd, kStepTimer, 10, nullptr);
        return 0;
    }
    return CDialog::WindowProc(message, wParam, lParam);
}

} // namespace quillon::test
