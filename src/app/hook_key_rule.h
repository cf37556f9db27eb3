// The keyboard hook's rule: which released keys belong to the hotkey's modifiers.
#pragma once
#include <windows.h>

namespace quillon {

// Whether the key is one of the keys of a modifier flag that is set (left, right or
// either Alt, Shift, Ctrl; left or right Windows key).
bool IsHotKeyModifier(UINT virtualKey, UINT modifiers);

} // namespace quillon
