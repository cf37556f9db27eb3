// The dialogs the tray menu opens (Options, About), made on demand by the server window.
#pragma once
#include <memory>

#include "framework/dialog.h"

namespace quillon {

// Each returns a dialog ready for DoModal, or null while the program has no such dialog;
// the tray command then does nothing visible.
std::unique_ptr<CDialog> MakeOptionsDialog();
std::unique_ptr<CDialog> MakeAboutDialog();

}  // namespace quillon
