// Support for the widget tests: a dialog that runs a scripted test inside its own modal
// loop (input and the screen's pixels come from the shared Windows test support).
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/dialog.h"
#include "windows/support/win_test.h"

namespace quillon::test {

// Runs the steps one after the other from a timer inside the dialog's modal loop, so the
// dialog's own message handling (pre-translation, dialog navigation) sees all the input.
class CScriptedDialog : public CDialog {
public:
    explicit CScriptedDialog(UINT templateId) : CDialog(templateId) {}
    std::function<void(CScriptedDialog&)> onInit;

    // An action run once.
    CScriptedDialog& Do(std::string what, std::function<void()> action);
    // A condition polled until it holds; past the deadline the run fails, naming it and
    // adding what describe() says about the state it found.
    CScriptedDialog& WaitUntil(std::string what, std::function<bool()> condition, DWORD timeoutMs = 5000,
                               std::function<std::string()> describe = {});
    // Runs the dialog; the text of the first failure, empty when every step passed. The
    // dialog is closed after the last step.
    std::string Run();

    // How often the keyboard asked the dialog for its menu (Alt, F10, Alt+letter mnemonics).
    int KeyMenuRequests() const { return m_keyMenuRequests; }

    bool OnInitDialog() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    struct Step {
        std::string what;
        std::function<bool()> condition;
        DWORD timeoutMs;
        std::function<std::string()> describe;
    };
    void Advance();
    std::vector<Step> m_steps;
    size_t m_next = 0;
    ULONGLONG m_deadline = 0;
    std::string m_failure;
    int m_keyMenuRequests = 0;
};

} // namespace quillon::test
