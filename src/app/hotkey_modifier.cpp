// Which released keys confirm a choice: the keys of the hotkey's modifier flags.
#include "app/hotkey_modifier.h"

#include "engine/keyboard.h"

namespace quillon {

bool IsHotKeyModifier(UINT virtualKey, UINT modifiers) {
    return keyboard::IsKeyOfModifiers(virtualKey, modifiers);
}

}  // namespace quillon
