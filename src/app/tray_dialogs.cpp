// Where the tray commands get their dialogs. The Options dialog (template 132) and the About
// dialog (template 135) plug in here: return std::make_unique<CDlgOptions>() and
// std::make_unique<CDlgAbout>() once they exist.
#include "app/tray_dialogs.h"

#include "base/u16.h"
#include "engine/edit_engine.h"
#include "ui/dialogs/about_dlg.h"

namespace quillon {

std::unique_ptr<CDialog> MakeOptionsDialog() { return nullptr; }

std::unique_ptr<CDialog> MakeAboutDialog() {
    // The engine knows the program's path once the settings are loaded; before that the
    // dialog asks the system for it.
    return std::make_unique<CDlgAbout>(ToWide(GetEditEngine().moduleFilePath));
}

}  // namespace quillon
