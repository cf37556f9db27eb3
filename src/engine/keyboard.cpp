// The hotkey rules and the modifier keys' twins.
#include "engine/keyboard.h"

namespace quillon {
namespace keyboard {

unsigned ModifierFlagOfKey(unsigned virtualKey) {
    switch (virtualKey) {
    case vk::kMenu:
    case vk::kLMenu:
    case vk::kRMenu:
        return kModAlt;
    case vk::kControl:
    case vk::kLControl:
    case vk::kRControl:
        return kModControl;
    case vk::kShift:
    case vk::kLShift:
    case vk::kRShift:
        return kModShift;
    case vk::kLWin:
    case vk::kRWin:
        return kModWin;
    default:
        return 0;
    }
}

bool IsKeyOfModifiers(unsigned virtualKey, unsigned modifiers) {
    return (ModifierFlagOfKey(virtualKey) & modifiers) != 0;
}

Refusal CheckHotKey(unsigned virtualKey, unsigned modifiers) {
    if (virtualKey == 0 || virtualKey > 0xFF || ModifierFlagOfKey(virtualKey) != 0)
        return Refusal::NoMainKey;
    const bool ctrl = (modifiers & kModControl) != 0, alt = (modifiers & kModAlt) != 0;
    // Each of these holds also with more modifiers: Quillon's own Ctrl+C would start the
    // hotkey again, and the system takes its combinations before any program sees them.
    if (ctrl && (virtualKey == 'A' || virtualKey == 'C' || virtualKey == 'V'))
        return Refusal::OwnKeys;
    if ((alt && (virtualKey == vk::kTab || virtualKey == vk::kF4 || virtualKey == vk::kEscape)) ||
        (ctrl && virtualKey == vk::kEscape) || (ctrl && alt && virtualKey == vk::kDelete) ||
        virtualKey == vk::kF12)
        return Refusal::SystemKeys;
    const bool functionKey = virtualKey >= vk::kF1 && virtualKey <= vk::kF24;
    if (!functionKey && (modifiers & kCommandModifiers) == 0)
        return Refusal::NeedsCommand;
    return Refusal::None;
}

const char16_t* RefusalText(Refusal refusal) {
    switch (refusal) {
    case Refusal::NoMainKey:
        return u"Hold Ctrl, Alt or Win and press a key";
    case Refusal::NeedsCommand:
        return u"This key needs Ctrl, Alt or Win";
    case Refusal::OwnKeys:
        return u"Quillon uses Ctrl+A, C, V itself";
    case Refusal::SystemKeys:
        return u"Windows keeps this key for itself";
    case Refusal::None:
        break;
    }
    return u"";
}

} // namespace keyboard
} // namespace quillon
