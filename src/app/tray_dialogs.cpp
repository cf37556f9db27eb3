// Where the tray commands get their dialogs. The About dialog (template 135) plugs in here:
// return std::make_unique<CDlgAbout>() once it exists.
#include "app/tray_dialogs.h"

#include "ui/dialogs/options_dlg.h"

namespace quillon {

// Without an owner: the server window is never shown, and the dialog gets its own button
// on the taskbar, where the user finds it again behind other windows.
std::unique_ptr<CDialog> MakeOptionsDialog() { return std::make_unique<CDlgOptions>(); }

std::unique_ptr<CDialog> MakeAboutDialog() { return nullptr; }

}  // namespace quillon
