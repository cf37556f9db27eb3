// Where the tray commands get their dialogs: Options (template 132) and About (template 135).
#include "app/tray_dialogs.h"

#include "base/u16.h"
#include "engine/edit_engine.h"
#include "ui/dialogs/about_dlg.h"
#include "ui/dialogs/options_dlg.h"

namespace quillon {

// Without an owner: the server window is never shown, and the dialog gets its own button
// on the taskbar, where the user finds it again behind other windows.
std::unique_ptr<CDialog> MakeOptionsDialog() { return std::make_unique<CDlgOptions>(); }

std::unique_ptr<CDialog> MakeAboutDialog() {
    // The engine knows the program's path once the settings are loaded; before that the
    // dialog asks the system for it.
    return std::make_unique<CDlgAbout>(ToWide(GetEditEngine().moduleFilePath));
}

}  // namespace quillon
