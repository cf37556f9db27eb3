// CSettingsStore: the settings in force, the configuration file they come from and go back
// to, and the one place that registers the edit hotkey with the host window.
#pragma once
#include <cstdint>
#include <string>

#include "config/config_file.h"
#include "config/config_xml.h"
#include "config/settings.h"

namespace quillon {

class IConfigPlatform;
class IEngineHost;

class CSettingsStore : public SettingsFields {
public:
    // The platform seam outlives the store.
    explicit CSettingsStore(IConfigPlatform& configPlatform) : m_configPlatform(configPlatform) {}
    CSettingsStore(const CSettingsStore&) = delete;
    CSettingsStore& operator=(const CSettingsStore&) = delete;

    std::u16string moduleFilePath;
    std::u16string moduleFolder;
    std::u16string configFilePath;
    CConfigXml configXml;

    // The host registers the hotkey and tells the user; none: neither happens.
    void SetHost(IEngineHost* host) { m_host = host; }

    // Reads the file into the settings (a missing, unreadable or broken file leaves every
    // setting as it is), then registers the hotkey it names.
    void Load();
    // Writes the settings back when they changed, taking in what someone else changed in the
    // file meanwhile, and says how it went: the caller tells the user of a failure
    // (DescribeSaveFailure), as only it knows how. A hotkey changed by hand in the file
    // meanwhile is the one in force from now on.
    ConfigSaveResult Save();
    // Puts settings edited in the Options dialog into effect: a changed hotkey is registered
    // in place of the working one. `opened` is what the dialog was given: rows appended to
    // the table since then (saved for future use by an edit started meanwhile) are kept after
    // the edited ones, and so are rules the dialog left as it found them. Delay, which the
    // dialog does not show, stays. False when the new hotkey could not be registered: then
    // nothing changes and the working hotkey stays registered.
    bool ApplySettings(const SettingsFields& opened, const SettingsFields& edited);
    // While the Options dialog records a new hotkey, the working one must not fire.
    void SuspendHotKey(bool suspend);
    // Whether a hotkey the user is choosing is free (the working one is: it is ours).
    bool HotKeyIsFree(std::uint16_t hotKey);
    // Records the module paths and returns the configuration file path.
    std::u16string ResolveConfigPath();

private:
    // Gives up the hotkey registered now and registers `next` (0: none); false when `next`
    // could not be registered.
    bool SwitchHotKey(std::uint16_t next);
    void Tell(const std::u16string& message);

    IConfigPlatform& m_configPlatform;
    IEngineHost* m_host = nullptr;
    std::uint16_t m_registered = 0; // the hotkey registered through the host now; 0: none
};

} // namespace quillon
