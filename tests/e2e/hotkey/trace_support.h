// What the hotkey scenarios share: Quillon started with a trace file (QUILLON_TRACE_FILE),
// its choice list and tray windows, the shell's view of its icon, and real mouse clicks.
#pragma once
#include <windows.h>
#include <shellapi.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "e2e/support/e2e.h"

namespace quillon::e2e {

constexpr unsigned kCtrlAltQ = ('Q' << 8) | MOD_CONTROL | MOD_ALT;

// Quillon in its own folder with a trace file; the temporary files of its edits go to a
// folder of their own and the editors named in the rows do not exist, so a confirmed
// choice never opens a real editor.
class CTracedQuillon {
public:
    CTracedQuillon(unsigned hotKey, const std::vector<std::wstring>& extensions);
    bool Start(); // and wait until it is idle in its loop
    CQuillon& Program() { return *m_quillon; }
    DWORD Pid() { return m_quillon->Process().Id(); }
    std::vector<std::string> TraceLines() const;
    // Waits until a trace line equals the text.
    ::testing::AssertionResult WaitForLine(const std::string& line, DWORD timeoutMs = 5000) const;
    size_t CountLinesStartingWith(const std::string& prefix) const;

    HWND ChoiceList() { return FindTopWindow(Pid(), L"SysListView32", L"Quillon"); }
    HWND TrayWindow() { return FindTopWindow(Pid(), L"QuillonWindow", L""); }
    bool ListVisible() {
        HWND list = ChoiceList();
        return list && ::IsWindowVisible(list);
    }
    int ListSelection() {
        return static_cast<int>(
            ::SendMessageW(ChoiceList(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    }
    int ListCount() { return static_cast<int>(::SendMessageW(ChoiceList(), LVM_GETITEMCOUNT, 0, 0)); }

private:
    CTempFolder m_work;
    std::wstring m_tracePath;
    std::unique_ptr<CQuillon> m_quillon;
};

// "StartEdit <window> <index>", as the server window writes it.
std::string StartEditLine(HWND target, int index);
// A real left click at the screen point.
void ClickAt(POINT pt);

} // namespace quillon::e2e
