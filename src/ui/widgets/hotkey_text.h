// Display texts of hotkeys: key names through the keyboard layout, and the
// "Ctrl + Shift + Alt + Win + key" form of a stored hotkey value.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

namespace quillon {

// The name the current keyboard layout gives the key; extended selects the extended-key
// name (the arrow keys rather than their keypad twins).
std::wstring KeyNameOf(UINT virtualKey, bool extended);

// Modifier names in the order Ctrl, Shift, Alt, Win, each followed by " + ", then the
// key's name; "None" when both are 0.
std::wstring FormatHotKey(UINT virtualKey, UINT modifiers);

// FormatHotKey of a stored hotkey value (bits 8-15 the key, bits 0-7 the modifiers).
std::wstring FormatHotKeyValue(std::uint16_t value);

} // namespace quillon
