// CHotKeyField: the box in which the user sets the global hotkey by pressing it (the Windows
// key allowed as a modifier); it draws itself and commits a combination on the main key's
// release, when the hotkey rules allow it, and otherwise says why it did not take it.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "base/win/handles.h"
#include "engine/keyboard.h"
#include "framework/wnd.h"

namespace quillon {

class CHotKeyField : public CWnd {
public:
    CHotKeyField() = default;

    // Hides the dialog's placeholder control and creates the field in its rectangle, right
    // after it in the tab order, with a copy of the default GUI font. False when the
    // placeholder is missing or creation fails.
    bool CreateInPlaceOf(HWND dialog, int placeholderId);

    // The committed combination: bits 8-15 the main key, bits 0-7 the modifier flags
    // (MOD_ALT, MOD_CONTROL, MOD_SHIFT, MOD_WIN); 0 for none. Keys still held do not count.
    void SetHotKeyValue(std::uint16_t value);
    std::uint16_t GetHotKeyValue() const;

    // What the box shows now: the keys held, else why the last combination was not taken,
    // else the committed combination.
    std::wstring GetDisplayText() const;
    // Why the last combination pressed was not taken (None when it was, or after Backspace).
    keyboard::Refusal GetRefusal() const { return m_refusal; }

    // Told when the field gains (true) or loses (false) the keyboard focus: while it has it,
    // the working hotkey must not fire, so that pressing it here records it.
    std::function<void(bool focused)> m_onFocus;
    // Where the caret goes (client coordinates) and its height, as the last paint found them.
    POINT GetCaretPosition() const { return POINT{m_caretX, m_caretY}; }
    int GetCaretHeight() const { return m_caretHeight; }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // The window class of the field (registered on first use).
    static const wchar_t* ClassName();

private:
    // The field's copy of the default GUI font, at the DPI of the given window.
    void MakeFont(HWND dpiSource);
    // False when the key is the system's and must go on to the default handling.
    bool OnKeyDown(UINT virtualKey);
    void OnKeyUp(UINT virtualKey);
    // The Ctrl, Alt and Win flags of the keys held, as the field saw them go down or the
    // thread's key state has them (a key held before the focus came in).
    UINT CommandModifiersHeld() const;
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
    keyboard::Refusal m_refusal = keyboard::Refusal::None;
    std::uint16_t m_refused = 0; // the combination that was not taken
};

} // namespace quillon
