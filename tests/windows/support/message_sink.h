// A window that keeps the wParam of every message of one kind it is sent (commands for a
// main window, clicks for a list's owner), and otherwise behaves as any window.
#pragma once
#include <windows.h>

#include <vector>

#include "framework/wnd.h"

namespace quillon::test {

class CMessageSink : public CWnd {
public:
    explicit CMessageSink(UINT message) : m_message(message) {}
    std::vector<WPARAM> received;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == m_message)
            received.push_back(wParam);
        return CWnd::WindowProc(message, wParam, lParam);
    }

private:
    UINT m_message;
};

} // namespace quillon::test
