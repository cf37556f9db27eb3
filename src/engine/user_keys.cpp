// The user's own keys as the keyboard hook reports them.
#include "engine/user_keys.h"

#include <algorithm>

#include "engine/system.h"

namespace quillon {

bool CUserKeys::OnKey(std::uint32_t vk, bool down, std::uintptr_t extraInfo, std::uint32_t timeMs,
                      std::uint16_t scan, bool extended) {
    if (extraInfo == kOwnKeyMark) {
        if (m_batchLeft > 0)
            --m_batchLeft;
        return false;
    }
    if (vk > 0xFF)
        return false;
    // Kept, not seen yet: the key reaches the system (and this record) when it is sent on.
    if (m_holding) {
        m_held.push_back(KeyInput{static_cast<std::uint8_t>(vk), scan, !down, extended});
        return true;
    }
    if (down && !m_down[vk])
        ++m_presses; // a key going down, not one held down repeating
    m_down[vk] = down;
    m_when[vk] = timeMs;
    const bool ctrl = vk == 0x11 || vk == 0xA2 || vk == 0xA3;
    if (!down && ctrl && m_batchLeft > 0) {
        m_ctrlReleaseHeld = true;
        return true;
    }
    return false;
}

std::vector<KeyInput> CUserKeys::EndHold() {
    m_holding = false;
    std::vector<KeyInput> held;
    held.swap(m_held);
    return held;
}

bool CUserKeys::IsDown(std::uint8_t vk) const {
    switch (vk) {
    case 0x10: // Shift: left 0xA0, right 0xA1
        return m_down[0x10] || m_down[0xA0] || m_down[0xA1];
    case 0x11: // Ctrl: left 0xA2, right 0xA3
        return m_down[0x11] || m_down[0xA2] || m_down[0xA3];
    case 0x12: // Alt: left 0xA4, right 0xA5
        return m_down[0x12] || m_down[0xA4] || m_down[0xA5];
    default:
        return m_down[vk];
    }
}

bool CUserKeys::IsDownCrossChecked(std::uint8_t vk, bool systemSaysDown, std::uint32_t nowMs) const {
    if (!IsDown(vk))
        return false;
    if (systemSaysDown)
        return true;
    // The newest event among the key and its left and right keys.
    std::uint8_t group[3] = {vk, vk, vk};
    const std::uint8_t pairs[][3] = {{0x10, 0xA0, 0xA1}, {0x11, 0xA2, 0xA3}, {0x12, 0xA4, 0xA5}};
    for (const auto& pair : pairs)
        if (pair[0] == vk)
            std::copy(pair, pair + 3, group);
    bool any = false;
    std::uint32_t last = 0;
    for (std::uint8_t k : group)
        if (m_down[k] && (!any || static_cast<std::int32_t>(m_when[k] - last) > 0)) {
            last = m_when[k];
            any = true;
        }
    // Tick arithmetic wraps: the difference is what counts.
    return nowMs - last < kStaleMs;
}

} // namespace quillon
