// CEditorLauncher: starts editors on threads of their own, so that the UI thread, which
// answers the keyboard hook, never waits for the shell; each outcome comes back to a window
// as a posted message.
#pragma once
#include <windows.h>

#include <map>
#include <memory>

#include "base/win/handles.h"
#include "engine/launch_rules.h"

namespace quillon {

class CEditorLauncher {
public:
    CEditorLauncher() = default;
    // Starts still under way go on and end by themselves; their messages find no window.
    ~CEditorLauncher() = default;
    CEditorLauncher(const CEditorLauncher&) = delete;
    CEditorLauncher& operator=(const CEditorLauncher&) = delete;

    // Starts the editor on a new thread (COM set up there as the shell wants it). The outcome
    // is posted to the window as the message: wParam the LaunchOutcome, lParam the start's
    // ticket. False when no thread could be made: then nothing was started.
    bool Launch(HWND window, UINT message, const EditorStart& start);
    // For that message: what was asked, and the start forgotten; false for a ticket it does
    // not know (a message from nowhere, or one already taken).
    bool Take(LPARAM ticket, EditorStart& start);
    // How many starts have not been taken back yet.
    std::size_t Pending() const { return m_starts.size(); }

private:
    struct Start;
    struct Entry {
        std::shared_ptr<const Start> start;
        CHandle thread;
    };
    std::map<LPARAM, Entry> m_starts;
    LPARAM m_nextTicket = 1;
};

} // namespace quillon
