// What the engine asks of the window that hosts it (the server window): services that
// belong to the user interface layer, reached through this interface so the engine stays
// free of windows.
#pragma once
#include <cstdint>
#include <string>

#include "config/settings.h"
#include "engine/launch_rules.h"

namespace quillon {

class IEngineHost {
public:
    virtual ~IEngineHost() = default;
    // Registers the edit hotkey on the host window; shows the warning balloon on failure.
    virtual bool RegisterEditHotKey(std::uint16_t hotKey) = 0;
    // Gives the registered edit hotkey back to the system (nothing when none is registered).
    virtual void UnregisterEditHotKey() = 0;
    // Whether another program holds the combination now: taken for a moment and given back,
    // without a word to the user.
    virtual bool HotKeyIsFree(std::uint16_t hotKey) = 0;
    // Asks the user for an extension while an edit starts ("Edit with new Extension").
    // Returns false when cancelled; saveForFuture tells whether to append the row.
    virtual bool ChooseNewExtension(EXTENSIONREC& choice, bool& saveForFuture) = 0;
    // The extension table changed (a row was appended): rebuild what shows it.
    virtual void ExtensionsChanged() = 0;
    // The host's window (an HWND): it joins the clipboard viewer chain and listens for
    // clipboard changes during the edit road, and holds the edit hotkey. Null when none.
    virtual void* HostWindow() = 0;
    // Starts the editor on an edit's file without keeping this thread waiting (the shell can
    // take seconds, and this thread answers the keyboard hook); the user hears of a failure.
    virtual void StartEditor(const EditorStart& start) = 0;
    // Tells the user, once and in plain words, about something that cost them (text that was
    // not pasted, an edit that could not start, settings that were not saved): the tray
    // balloon under the program's name.
    virtual void TellUser(const std::u16string& message) = 0;
};

} // namespace quillon
