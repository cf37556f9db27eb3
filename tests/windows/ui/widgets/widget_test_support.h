// Support for the widget tests: a dialog that runs a scripted test inside its own modal
// loop, real keyboard and mouse input, and reading back what is on the screen.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "framework/dialog.h"

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

    BOOL OnInitDialog() override;
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

// Presses and releases keys in one SendInput call: (virtual key, down).
void SendKeys(const std::vector<std::pair<WORD, bool>>& keys);
// Moves the mouse to a point on the screen; presses or releases the left button there.
void MoveMouse(POINT screen);
void LeftButton(bool down);
// The centre of a window, in screen coordinates.
POINT CentreOf(HWND hwnd);

// Pixels of a window's screen rectangle as the screen shows them.
struct CPixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> bgra; // top-down rows
    COLORREF At(int x, int y) const;
};
CPixels Capture(HWND hwnd);

// Whether two colours differ by at most tolerance in each channel.
bool Near(COLORREF a, COLORREF b, int tolerance);
std::string Describe(COLORREF c);

} // namespace quillon::test
