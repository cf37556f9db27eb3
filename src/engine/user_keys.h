// CUserKeys: the state of the user's own keys as the low-level keyboard hook reports them.
#pragma once
#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/system.h"

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
    // Records a key the hook saw. True when the hook is to hold the key back: a release of
    // the user's Ctrl while an own batch of Ctrl shortcuts is still on its way would let
    // the rest of the batch reach the box as plain letters typed into the user's text.
    // timeMs is the event's time stamp (the system's millisecond tick).
    // While held (Hold), every key of the user's is held back and kept, with its scan code
    // and whether it is an extended key, to be sent on at EndHold.
    bool OnKey(std::uint32_t vk, bool down, std::uintptr_t extraInfo, std::uint32_t timeMs = 0,
               std::uint16_t scan = 0, bool extended = false);
    void Hold() { m_holding = true; }
    // The keys held back meanwhile, oldest first; the user's keys pass again.
    std::vector<KeyInput> EndHold();
    // Ctrl, Shift and Alt count as down when either of their keys is.
    bool IsDown(std::uint8_t vk) const;
    // IsDown, cross-checked with the system's key state: a key the record holds down that
    // the system has said is up for longer than the hook lags behind it went stale (a hook
    // call the system skipped while an elevated window was in front, or a hook it removed
    // after a timeout). Trusted, it would leave Ctrl down after our keys for good.
    bool IsDownCrossChecked(std::uint8_t vk, bool systemSaysDown, std::uint32_t nowMs) const;

    // An own batch of `keys` events is about to be sent: until the hook has seen them all,
    // the user's Ctrl releases are held back.
    void BeginOwnBatch(std::size_t keys) {
        m_batchLeft = keys;
        m_ctrlReleaseHeld = false;
    }
    bool OwnBatchPassed() const { return m_batchLeft == 0; }
    // Ends the batch (whether or not all of it was seen) and tells whether a release of the
    // user's Ctrl was held back meanwhile, so that the sender can release Ctrl in its place.
    bool EndOwnBatch() {
        m_batchLeft = 0;
        const bool held = m_ctrlReleaseHeld;
        m_ctrlReleaseHeld = false;
        return held;
    }

    // How many times the user has pressed a key so far (a key held down counts once): a
    // change tells that the user did something (their own Ctrl+C, typing into the box).
    std::uint32_t Presses() const { return m_presses; }

    // How long the system's key state may lag behind what the hook has seen.
    static constexpr std::uint32_t kStaleMs = 500;

private:
    std::bitset<256> m_down;
    std::array<std::uint32_t, 256> m_when{}; // time of each key's last event
    bool m_watching = false;
    std::size_t m_batchLeft = 0;
    bool m_ctrlReleaseHeld = false;
    std::uint32_t m_presses = 0;
    bool m_holding = false;
    std::vector<KeyInput> m_held;
};

} // namespace quillon
