// The settings' load, save and apply, and the hotkey's registration.
#include "engine/settings_store.h"

#include <algorithm>

#include "config/config_platform.h"
#include "engine/engine_host.h"
#include "engine/keyboard.h"

namespace quillon {

void CSettingsStore::Tell(const std::u16string& message) {
    if (m_host)
        m_host->TellUser(message);
}

bool CSettingsStore::SwitchHotKey(std::uint16_t next) {
    if (!m_host)
        return true; // nothing to register with (a test, or the window is gone)
    if (m_registered != 0)
        m_host->UnregisterEditHotKey();
    m_registered = 0;
    if (next != 0 && m_host->RegisterEditHotKey(next))
        m_registered = next;
    return next == 0 || m_registered != 0;
}

std::u16string CSettingsStore::ResolveConfigPath() {
    ConfigLocation location = ResolveConfigLocation(m_configPlatform);
    moduleFilePath = std::move(location.moduleFilePath);
    moduleFolder = std::move(location.moduleFolder);
    return location.configFilePath;
}

void CSettingsStore::Load() {
    configFilePath = ResolveConfigPath();
    LoadConfigFile(configXml, configFilePath, *this, m_configPlatform);
    // A hotkey of 0 means none: nothing to register and nothing to warn about. One the file
    // names against the hotkey rules (edited by hand: Tab, a bare letter, Ctrl+V) would take
    // its key from every other program, or fire on Quillon's own keys: it is not registered.
    if (HotKey == 0)
        return;
    const keyboard::Refusal refusal = keyboard::CheckHotKeyValue(HotKey);
    if (refusal == keyboard::Refusal::None)
        SwitchHotKey(HotKey);
    else
        Tell(u"The hot key in the settings file is not used (" +
             std::u16string(keyboard::RefusalText(refusal)) + u"). Please choose another one in Options.");
}

ConfigSaveResult CSettingsStore::Save() {
    // The settings in memory stay whatever happens, and the next save tries again.
    const std::uint16_t hotKeyBefore = HotKey;
    ConfigSaveResult result = SaveConfigFile(configXml, configFilePath, *this, m_configPlatform);
    if (HotKey != hotKeyBefore)
        SwitchHotKey(HotKey);
    return result;
}

bool CSettingsStore::HotKeyIsFree(std::uint16_t hotKey) {
    return hotKey == 0 || hotKey == m_registered || !m_host || m_host->HotKeyIsFree(hotKey);
}

void CSettingsStore::SuspendHotKey(bool suspend) {
    // Back after the dialog only as it was: one the rules refused at load stays unregistered.
    SwitchHotKey(suspend || keyboard::CheckHotKeyValue(HotKey) != keyboard::Refusal::None ? 0 : HotKey);
}

bool CSettingsStore::ApplySettings(const SettingsFields& opened, const SettingsFields& edited) {
    if (edited.HotKey != HotKey && !SwitchHotKey(edited.HotKey)) {
        SwitchHotKey(HotKey);
        return false;
    }
    std::vector<EXTENSIONREC> table = edited.Extensions;
    if (Extensions.size() > opened.Extensions.size() &&
        std::equal(opened.Extensions.begin(), opened.Extensions.end(), Extensions.begin()))
        table.insert(table.end(), Extensions.begin() + static_cast<std::ptrdiff_t>(opened.Extensions.size()),
                     Extensions.end());
    const std::int32_t delay = Delay;
    // Rules the dialog left as it found them stay as they are now: one remembered from the
    // choice list while the dialog was open is kept.
    std::vector<RULEREC> rules = edited.Rules == opened.Rules ? Rules : edited.Rules;
    static_cast<SettingsFields&>(*this) = edited;
    Delay = delay;
    Extensions = std::move(table);
    Rules = std::move(rules);
    if (m_host)
        m_host->ExtensionsChanged();
    return true;
}

} // namespace quillon
