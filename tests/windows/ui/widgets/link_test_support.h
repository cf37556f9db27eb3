// What the link label's and the About dialog's tests share: running a check inside a shown
// modal dialog, a recording shell for link clicks, and reading colours from a dialog's pixels.
#pragma once
#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ui/widgets/link_label.h"

namespace quillon::link_test {

// Runs check on the dialog's own thread once the dialog is created and shown, then closes
// it with IDOK. Dialog is any CDialog with a constructor taking Args.
template <typename Dialog> class CChecked : public Dialog {
public:
    template <typename... Args>
    explicit CChecked(std::function<void(CChecked&)> check, Args&&... args)
        : Dialog(std::forward<Args>(args)...), m_check(std::move(check)) {}

    bool OnInitDialog() override {
        const BOOL result = Dialog::OnInitDialog();
        this->PostMessage(kRunCheck);
        return result;
    }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message != kRunCheck)
            return Dialog::WindowProc(message, wParam, lParam);
        ::ShowWindow(this->m_hWnd, SW_SHOWNORMAL);
        ::RedrawWindow(this->m_hWnd, nullptr, nullptr,
                       RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        m_check(*this);
        this->EndDialog(IDOK);
        return 0;
    }

private:
    static constexpr UINT kRunCheck = WM_APP + 71;
    std::function<void(CChecked&)> m_check;
};

// Paints what is waiting to be painted (and nothing else), so the pixels show whether the
// control asked for the right repaints.
inline void PaintPending(HWND dialog) {
    ::RedrawWindow(dialog, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

// The control's rectangle in its dialog's client coordinates.
inline RECT RectInParent(HWND control) {
    RECT r{};
    ::GetWindowRect(control, &r);
    ::MapWindowPoints(nullptr, ::GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// How many pixels of the area of the dialog have exactly this colour.
inline int CountColour(HWND dialog, const RECT& area, COLORREF colour) {
    HDC dc = ::GetDC(dialog);
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            count += ::GetPixel(dc, x, y) == colour;
    ::ReleaseDC(dialog, dc);
    return count;
}

// A shell that records what a click asks of it and answers as planned.
class CRecordingShell : public CLinkShell {
public:
    INT_PTR shellAnswer = 42; // ShellExecuteW's "opened"
    UINT runAnswer = 33;
    std::map<std::wstring, std::wstring> classesRoot;
    std::vector<std::wstring> opened;
    std::vector<std::string> run;
    int beeps = 0;

    INT_PTR ShellOpen(const std::wstring& address) override {
        opened.push_back(address);
        return shellAnswer;
    }
    bool ReadClassesRootDefault(const std::wstring& subKey, std::wstring* value) override {
        const auto found = classesRoot.find(subKey);
        if (found == classesRoot.end())
            return false;
        *value = found->second;
        return true;
    }
    UINT RunCommandLine(const std::string& commandLine) override {
        run.push_back(commandLine);
        return runAnswer;
    }
    void Beep() override { ++beeps; }
};

} // namespace quillon::link_test
