// CUserKeys: the state of the user's own keys as the low-level keyboard hook reports them.
#pragma once
#include <bitset>
#include <cstdint>

namespace quillon {

// The hook is called before the system's key state changes, and the user's key events
// may still wait for it while the program synthesises its own: only what the hook has
// seen tells how the user's keys stand. The program's own keys (marked kOwnKeyMark) are
// left out; other programs' synthesised keys (an on-screen keyboard, say) count as the
// user's.
class CUserKeys {
public:
    // Starts watching, with the keys that are down when the hook is installed.
    void Watch(const std::bitset<256>& downNow) {
        m_down = downNow;
        m_watching = true;
    }
    bool IsWatching() const { return m_watching; }
    void OnKey(std::uint32_t vk, bool down, std::uintptr_t extraInfo);
    // Ctrl, Shift and Alt count as down when either of their keys is.
    bool IsDown(std::uint8_t vk) const;

private:
    std::bitset<256> m_down;
    bool m_watching = false;
};

// The process's one record, fed by the keyboard hook.
CUserKeys& UserKeys();

}  // namespace quillon
