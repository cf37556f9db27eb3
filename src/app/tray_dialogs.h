// The dialogs the tray menu opens (Options, About), made on demand by the server window.
#pragma once
#include <memory>

#include "framework/dialog.h"

namespace quillon {

// Each returns a new dialog, bound to the running edit engine's settings and program path,
// ready for DoModal.
std::unique_ptr<CDialog> MakeOptionsDialog();
// Options that opens with the hotkey field focused.
std::unique_ptr<CDialog> MakeOptionsDialogAtHotKey();
std::unique_ptr<CDialog> MakeAboutDialog();

} // namespace quillon
