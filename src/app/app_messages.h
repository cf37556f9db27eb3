// The program's private window messages, all in one place so that no two share a number.
#pragma once
#include <windows.h>

namespace quillon {

// Posted by the choice list to the server window: wParam is the clicked item's index.
constexpr UINT WM_CHOICE_CLICKED = WM_APP + 0x87;
// The tray icon's callback to its window: wParam the icon id, lParam the mouse message.
constexpr UINT WM_TRAY_NOTIFY = WM_APP + 0x88;
// Posted by the keyboard hook when a modifier key of the hotkey is released.
constexpr UINT WM_HOTKEY_MODIFIER_UP = WM_APP + 0x89;
// Posted by the focus hooks when the focus may have moved to another window.
constexpr UINT WM_FOCUS_CHANGED = WM_APP + 0x8A;
// Posted by an editor's start thread when the start is over: wParam the LaunchOutcome,
// lParam the start's ticket (CEditorLauncher).
constexpr UINT WM_EDITOR_STARTED = WM_APP + 0x8B;

} // namespace quillon
