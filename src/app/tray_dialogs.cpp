// Where the tray commands get their dialogs. The Options dialog (template 132) and the About
// dialog (template 135) plug in here: return std::make_unique<CDlgOptions>() and
// std::make_unique<CDlgAbout>() once they exist.
#include "app/tray_dialogs.h"

namespace quillon {

std::unique_ptr<CDialog> MakeOptionsDialog() { return nullptr; }

std::unique_ptr<CDialog> MakeAboutDialog() { return nullptr; }

}  // namespace quillon
