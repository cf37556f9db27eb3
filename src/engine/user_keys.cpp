// The user's own keys as the keyboard hook reports them.
#include "engine/user_keys.h"

#include "engine/system.h"

namespace quillon {

bool CUserKeys::OnKey(std::uint32_t vk, bool down, std::uintptr_t extraInfo) {
    if (extraInfo == kOwnKeyMark) {
        if (m_batchLeft > 0)
            --m_batchLeft;
        return false;
    }
    if (vk > 0xFF)
        return false;
    m_down[vk] = down;
    const bool ctrl = vk == 0x11 || vk == 0xA2 || vk == 0xA3;
    if (!down && ctrl && m_batchLeft > 0) {
        m_ctrlReleaseHeld = true;
        return true;
    }
    return false;
}

bool CUserKeys::IsDown(std::uint8_t vk) const {
    switch (vk) {
    case 0x10:  // Shift: left 0xA0, right 0xA1
        return m_down[0x10] || m_down[0xA0] || m_down[0xA1];
    case 0x11:  // Ctrl: left 0xA2, right 0xA3
        return m_down[0x11] || m_down[0xA2] || m_down[0xA3];
    case 0x12:  // Alt: left 0xA4, right 0xA5
        return m_down[0x12] || m_down[0xA4] || m_down[0xA5];
    default:
        return m_down[vk];
    }
}

CUserKeys& UserKeys() {
    static CUserKeys keys;
    return keys;
}

}  // namespace quillon
