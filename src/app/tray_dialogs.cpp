// Where the tray commands get their dialogs: Options (template 132) over the engine's
// settings, and About (template 135).
#include "app/tray_dialogs.h"

#include "base/u16.h"
#include "config/config_file.h"
#include "engine/settings_store.h"
#include "ui/dialogs/about_dlg.h"
#include "ui/dialogs/options_dlg.h"

namespace quillon {
namespace {

// The Options dialog's program: the settings in force, with their hotkey registrar.
class CSettingsOptionsHost : public IOptionsHost {
public:
    explicit CSettingsOptionsHost(CSettingsStore& settings) : m_settings(settings) {}
    bool ApplySettings(const SettingsFields& opened, const SettingsFields& edited) override {
        return m_settings.ApplySettings(opened, edited);
    }
    std::u16string SaveSettings() override {
        const ConfigSaveResult saved = m_settings.Save();
        return saved.Saved() ? std::u16string() : DescribeSaveFailure(saved);
    }
    void SuspendHotKey(bool suspend) override { m_settings.SuspendHotKey(suspend); }
    bool HotKeyIsFree(std::uint16_t hotKey) override { return m_settings.HotKeyIsFree(hotKey); }
    std::u16string ProgramPath() override { return m_settings.moduleFilePath; }

private:
    CSettingsStore& m_settings;
};

// The dialog with the host it talks to, which goes with it.
class CSettingsOptionsDialog : public CDlgOptions {
public:
    explicit CSettingsOptionsDialog(CSettingsStore& settings)
        : CDlgOptions(settings, &m_host), m_host(settings) {}

private:
    CSettingsOptionsHost m_host;
};

} // namespace

// Without an owner: the server window is never shown, and the dialog gets its own button
// on the taskbar, where the user finds it again behind other windows.
std::unique_ptr<CDialog> MakeOptionsDialog(CSettingsStore& settings) {
    return std::make_unique<CSettingsOptionsDialog>(settings);
}

std::unique_ptr<CDialog> MakeOptionsDialogAtHotKey(CSettingsStore& settings) {
    std::unique_ptr<CDialog> dialog = MakeOptionsDialog(settings);
    static_cast<CDlgOptions&>(*dialog).FocusHotKeyField();
    return dialog;
}

std::unique_ptr<CDialog> MakeAboutDialog(const std::u16string& programPath) {
    // The program's path is known once the settings are loaded; before that the dialog asks
    // the system for it.
    return std::make_unique<CDlgAbout>(ToWide(programPath));
}

} // namespace quillon
