// Which released keys confirm a choice: the keys of the hotkey's modifier flags.
#include "app/hook_key_rule.h"

#include "engine/keyboard.h"

namespace quillon {

// The keyboard unit names the keys and flags by their numbers; the hook hands it Windows'
// own. They agree by construction, checked here where both are in sight.
static_assert(keyboard::kModAlt == MOD_ALT && keyboard::kModControl == MOD_CONTROL &&
              keyboard::kModShift == MOD_SHIFT && keyboard::kModWin == MOD_WIN);
static_assert(keyboard::vk::kMenu == VK_MENU && keyboard::vk::kLMenu == VK_LMENU &&
              keyboard::vk::kRMenu == VK_RMENU);
static_assert(keyboard::vk::kControl == VK_CONTROL && keyboard::vk::kLControl == VK_LCONTROL &&
              keyboard::vk::kRControl == VK_RCONTROL);
static_assert(keyboard::vk::kShift == VK_SHIFT && keyboard::vk::kLShift == VK_LSHIFT &&
              keyboard::vk::kRShift == VK_RSHIFT);
static_assert(keyboard::vk::kLWin == VK_LWIN && keyboard::vk::kRWin == VK_RWIN);

bool IsHotKeyModifier(UINT virtualKey, UINT modifiers) {
    return keyboard::IsKeyOfModifiers(virtualKey, modifiers);
}

} // namespace quillon
