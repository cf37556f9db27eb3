// Hotkey display texts through the current keyboard layout.
#include "ui/widgets/hotkey_text.h"

#include <vector>

namespace quillon {

std::wstring KeyNameOf(UINT virtualKey, bool extended) {
    const UINT scanCode = ::MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
    const LONG keyParam = static_cast<LONG>((scanCode << 16) | (extended ? 1u << 24 : 0u));
    // The size passed is the buffer's real size: the call writes at most size - 1 characters
    // and a terminator. A name that fills the buffer may have been cut: try a larger one.
    std::vector<wchar_t> buffer(128);
    for (;;) {
        const int size = static_cast<int>(buffer.size());
        const int length = ::GetKeyNameTextW(keyParam, buffer.data(), size);
        if (length <= 0)
            return std::wstring();
        if (length < size - 1 || buffer.size() >= 4096)
            return std::wstring(buffer.data(), static_cast<size_t>(length < size ? length : size - 1));
        buffer.assign(buffer.size() * 2, L'\0');
    }
}

std::wstring FormatHotKey(UINT virtualKey, UINT modifiers) {
    if (virtualKey == 0 && modifiers == 0)
        return L"None";
    std::wstring text;
    if (modifiers & MOD_CONTROL)
        text += KeyNameOf(VK_CONTROL, false) + L" + ";
    if (modifiers & MOD_SHIFT)
        text += KeyNameOf(VK_SHIFT, false) + L" + ";
    if (modifiers & MOD_ALT)
        text += KeyNameOf(VK_MENU, false) + L" + ";
    if (modifiers & MOD_WIN)
        text += L"Win + ";
    if (virtualKey != 0) {
        // Only the arrow keys take their extended names; Home, End, Insert, Delete and the
        // page keys keep the keypad names the layout gives them without the flag.
        const bool arrow = virtualKey >= VK_LEFT && virtualKey <= VK_DOWN;
        text += KeyNameOf(virtualKey, arrow);
    }
    return text;
}

std::wstring FormatHotKeyValue(std::uint16_t value) {
    return FormatHotKey(value >> 8, value & 0xFF);
}

} // namespace quillon
