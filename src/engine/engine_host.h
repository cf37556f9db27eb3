// What the engine asks of the window that hosts it (the server window): services that
// belong to the user interface layer, reached through this interface so the engine stays
// free of windows.
#pragma once
#include <cstdint>

namespace quillon {

class IEngineHost {
public:
    virtual ~IEngineHost() = default;
    // Registers the edit hotkey on the host window; shows the warning balloon on failure.
    virtual bool RegisterEditHotKey(std::uint16_t hotKey) = 0;
};

}  // namespace quillon
