// The keyboard as hotkeys see it: modifier flags, the left/right twins of each modifier key,
// the packing of a hotkey value and the rules for which combinations may be a hotkey.
#pragma once
#include <cstdint>

#include "config/settings.h"

namespace quillon {
namespace keyboard {

// Modifier flags as RegisterHotKey takes them; the low byte of a hotkey value.
constexpr unsigned kModAlt = 0x01;
constexpr unsigned kModControl = 0x02;
constexpr unsigned kModShift = 0x04;
constexpr unsigned kModWin = 0x08;
// The modifiers that turn a typing key into a command; Shift alone only types capitals.
constexpr unsigned kCommandModifiers = kModAlt | kModControl | kModWin;

// Virtual-key codes the rules speak of (the values of the system's VK_ names).
namespace vk {
constexpr std::uint8_t kBack = 0x08, kTab = 0x09, kReturn = 0x0D, kShift = 0x10, kControl = 0x11,
                       kMenu = 0x12;
constexpr std::uint8_t kEscape = 0x1B, kSpace = 0x20, kPrior = 0x21, kNext = 0x22, kEnd = 0x23, kHome = 0x24;
constexpr std::uint8_t kLeft = 0x25, kUp = 0x26, kRight = 0x27, kDown = 0x28, kInsert = 0x2D, kDelete = 0x2E;
constexpr std::uint8_t kLWin = 0x5B, kRWin = 0x5C, kF1 = 0x70, kF4 = 0x73, kF12 = 0x7B, kF24 = 0x87;
constexpr std::uint8_t kLShift = 0xA0, kRShift = 0xA1, kLControl = 0xA2, kRControl = 0xA3, kLMenu = 0xA4,
                       kRMenu = 0xA5;
} // namespace vk

// The flag of a modifier key, whichever of its twins (left, right or either); 0 for any other key.
unsigned ModifierFlagOfKey(unsigned virtualKey);
// Whether the released key belongs to one of the modifiers (the keyboard hook's question:
// does this release confirm the choice of a hotkey with these modifiers).
bool IsKeyOfModifiers(unsigned virtualKey, unsigned modifiers);

// A hotkey value: bits 8-15 the main key, bits 0-7 the modifier flags; 0 is none.
constexpr std::uint16_t Pack(unsigned virtualKey, unsigned modifiers) {
    return static_cast<std::uint16_t>((virtualKey % 256) * 256 + (modifiers % 256));
}
constexpr unsigned KeyOf(std::uint16_t value) {
    return value >> 8;
}
constexpr unsigned ModifiersOf(std::uint16_t value) {
    return value & 0xFFu;
}

// Why a combination cannot be the hotkey.
enum class Refusal {
    None,         // it may be the hotkey
    NoMainKey,    // modifiers alone, or no key at all
    NeedsCommand, // a key that types or moves (or any but a function key) without Ctrl, Alt or Win
    OwnKeys,      // Ctrl+A, Ctrl+C or Ctrl+V: the keys Quillon sends to copy and paste
    SystemKeys,   // a combination Windows keeps for itself
};

// The rules for a hotkey: function keys may stand alone; every other key needs Ctrl, Alt or
// the Windows key; never the keys Quillon sends (with or without more modifiers) nor the
// system's own (Alt+Tab, Alt+F4, Ctrl+Alt+Delete, Alt+Esc, Ctrl+Esc, and F12, which the
// system keeps for debuggers).
Refusal CheckHotKey(unsigned virtualKey, unsigned modifiers);
inline Refusal CheckHotKeyValue(std::uint16_t value) {
    return CheckHotKey(KeyOf(value), ModifiersOf(value));
}

// What the hotkey field says when it did not take a combination: one short line.
const char16_t* RefusalText(Refusal refusal);

} // namespace keyboard
} // namespace quillon
