// CHotKeyField: the box in which the user sets the global hotkey by pressing it (the Windows
// key allowed as a modifier); it draws itself and commits a combination on the main key's release.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "base/win/handles.h"
#include "framework/wnd.h"

namespace quillon {

class CHotKeyField : public CWnd {
public:
    CHotKeyField() = default;

    // Hides the dialog's placeholder control and creates the field in its rectangle, with a
    // copy of the default GUI font. False when the placeholder is missing or creation fails.
    bool CreateInPlaceOf(HWND dialog, int placeholderId);

    // The committed combination: bits 8-15 the main key, bits 0-7 the modifier flags
    // (MOD_ALT, MOD_CONTROL, MOD_SHIFT, MOD_WIN); 0 for none. Keys still held do not count.
    void SetHotKeyValue(std::uint16_t value);
    std::uint16_t GetHotKeyValue() const;

    // What the box shows now: the keys held, else the committed combination.
    std::wstring GetDisplayText() const;
    // Where the caret goes (client coordinates) and its height, as the last paint found them.
    POINT GetCaretPosition() const { return POINT{m_caretX, m_caretY}; }
    int GetCaretHeight() const { return m_caretHeight; }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // The window class of the field (registered on first use).
    static const wchar_t* ClassName();

private:
    // The field's copy of the default GUI font, at the DPI of the given window.
    void MakeFont(HWND dpiSource);
    void OnKeyDown(UINT virtualKey);
    void OnKeyUp(UINT virtualKey);
    void OnPaint();
    void RepaintAndPlaceCaret();
    // A solid caret one pixel wide and as tall as the text, where the last paint put it.
    void MakeCaret();

    int m_caretX = 0;
    int m_caretY = 0;
    CGdiHandle m_font;
    int m_caretHeight = 10;
    UINT m_releasedKey = 0;
    UINT m_releasedModifiers = 0;
    UINT m_currentKey = 0;
    UINT m_currentModifiers = 0;
};

} // namespace quillon
