// The engine's Load and Save of the configuration file.
// (Minimal until the configuration file lands: the defaults stay and the hotkey is registered.)
#include "engine/edit_engine.h"

namespace quillon {

std::u16string CEditEngine::ResolveConfigPath() { return configFilePath; }

void CEditEngine::Load() {
    if (m_host)
        m_host->RegisterEditHotKey(HotKey);
}

void CEditEngine::Save() {}

}  // namespace quillon
