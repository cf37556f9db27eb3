// Which released keys confirm a choice: the keys of the hotkey's modifier flags.
#include "app/hotkey_modifier.h"

namespace quillon {

bool IsHotKeyModifier(UINT virtualKey, UINT modifiers) {
    switch (virtualKey) {
    case VK_MENU:
    case VK_LMENU:
    case VK_RMENU:
        return (modifiers & MOD_ALT) != 0;
    case VK_SHIFT:
    case VK_LSHIFT:
    case VK_RSHIFT:
        return (modifiers & MOD_SHIFT) != 0;
    case VK_CONTROL:
    case VK_LCONTROL:
    case VK_RCONTROL:
        return (modifiers & MOD_CONTROL) != 0;
    case VK_LWIN:
    case VK_RWIN:
        return (modifiers & MOD_WIN) != 0;
    default:
        return false;
    }
}

}  // namespace quillon
