// The engine's Load and Save of the configuration file, and where that file lives.
#include "config/config_file.h"
#include "engine/edit_engine.h"

namespace quillon {

std::u16string CEditEngine::ResolveConfigPath() {
    ConfigLocation location = ResolveConfigLocation(DefaultConfigPlatform());
    moduleFilePath = std::move(location.moduleFilePath);
    moduleFolder = std::move(location.moduleFolder);
    return location.configFilePath;
}

void CEditEngine::Load() {
    configFilePath = ResolveConfigPath();
    // A missing, unreadable or broken file leaves every setting as it is.
    LoadConfigFile(configXml, configFilePath, *this, DefaultConfigPlatform());
    // A hotkey of 0 means none: nothing to register and nothing to warn about.
    if (m_host && HotKey != 0)
        m_host->RegisterEditHotKey(HotKey);
}

void CEditEngine::Save() {
    // Silent on failure: the settings in memory stay, and the next save tries again.
    SaveConfigFile(configXml, configFilePath, *this, DefaultConfigPlatform());
}

}  // namespace quillon
