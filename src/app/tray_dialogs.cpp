// Where the tray commands get their dialogs: Options (template 132) over the engine's
// settings, and About (template 135).
#include "app/tray_dialogs.h"

#include "base/u16.h"
#include "config/config_file.h"
#include "engine/edit_engine.h"
#include "ui/dialogs/about_dlg.h"
#include "ui/dialogs/options_dlg.h"

namespace quillon {
namespace {

// The Options dialog's program: the process's engine and the window that hosts it.
class CEngineOptionsHost : public IOptionsHost {
public:
    bool ApplySettings(const SettingsFields& opened, const SettingsFields& edited) override {
        return GetEditEngine().ApplySettings(opened, edited);
    }
    std::u16string SaveSettings() override {
        const ConfigSaveResult saved = GetEditEngine().Save();
        return saved.Saved() ? std::u16string() : DescribeSaveFailure(saved);
    }
    void SuspendHotKey(bool suspend) override {
        CEditEngine& engine = GetEditEngine();
        IEngineHost* host = engine.Host();
        if (!host)
            return;
        if (suspend)
            host->UnregisterEditHotKey();
        else if (engine.HotKey != 0)
            host->RegisterEditHotKey(engine.HotKey);
    }
    std::u16string ProgramPath() override { return GetEditEngine().moduleFilePath; }
};

} // namespace

// Without an owner: the server window is never shown, and the dialog gets its own button
// on the taskbar, where the user finds it again behind other windows.
std::unique_ptr<CDialog> MakeOptionsDialog() {
    static CEngineOptionsHost host;
    const SettingsFields& settings = GetEditEngine();
    return std::make_unique<CDlgOptions>(settings, &host);
}

std::unique_ptr<CDialog> MakeOptionsDialogAtHotKey() {
    std::unique_ptr<CDialog> dialog = MakeOptionsDialog();
    static_cast<CDlgOptions&>(*dialog).FocusHotKeyField();
    return dialog;
}

std::unique_ptr<CDialog> MakeAboutDialog() {
    // The engine knows the program's path once the settings are loaded; before that the
    // dialog asks the system for it.
    return std::make_unique<CDlgAbout>(ToWide(GetEditEngine().moduleFilePath));
}

} // namespace quillon
