// The dialogs the tray menu opens (Options, About), made on demand by the server window.
#pragma once
#include <memory>
#include <string>

#include "framework/dialog.h"

namespace quillon {

class CSettingsStore;

// Each returns a new dialog ready for DoModal: Options over the settings in force (which
// outlive it), About of the program's path (empty: the system is asked).
std::unique_ptr<CDialog> MakeOptionsDialog(CSettingsStore& settings);
// Options that opens with the hotkey field focused.
std::unique_ptr<CDialog> MakeOptionsDialogAtHotKey(CSettingsStore& settings);
std::unique_ptr<CDialog> MakeAboutDialog(const std::u16string& programPath);

} // namespace quillon
