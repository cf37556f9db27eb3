// Opening the About box of a running Quillon.exe the way a user does: a right click on the
// tray icon, then the item above Exit.
#pragma once
#include "e2e/support/e2e.h"
#include "res/resource.h"

namespace quillon::e2e {

inline HWND AboutDialogOf(DWORD pid) {
    HWND about = FindTopWindow(pid, L"#32770", L"About Quillon");
    return about && ::IsWindowVisible(about) ? about : nullptr;
}

inline std::wstring WindowTextOf(HWND window) {
    wchar_t text[256] = {};
    DWORD_PTR copied = 0;
    ::SendMessageTimeoutW(window, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000,
                          &copied);
    return text;
}

// The About dialog once it shows, or null (with the failure recorded).
inline HWND OpenAboutFromTray(CQuillon& quillon) {
    const DWORD pid = quillon.Process().Id();
    HWND tray = nullptr;
    auto trayFound = WaitFor([&] { return (tray = FindTopWindow(pid, L"QuillonWindow", L"")) != nullptr; },
                             30000, "Quillon's tray window");
    if (!trayFound || !quillon.ServerWindow()) {
        ADD_FAILURE() << trayFound.message();
        return nullptr;
    }
    ::SetCursorPos(300, 300);
    ::PostMessageW(tray, 0x8088, IDR_TRAY_MENU, WM_RBUTTONUP);
    auto menuShown = WaitFor(
        [&] {
            HWND menu = FindTopWindow(pid, L"#32768");
            return menu && ::IsWindowVisible(menu);
        },
        5000, "the tray menu");
    if (!menuShown) {
        ADD_FAILURE() << menuShown.message();
        return nullptr;
    }
    // Up from no selection reaches the last item, Exit; About is above it (the open edits and
    // Options come before, however many).
    TapKey(VK_UP);
    TapKey(VK_UP);
    TapKey(VK_RETURN);
    HWND about = nullptr;
    auto shown = WaitFor([&] { return (about = AboutDialogOf(pid)) != nullptr; }, 10000, "the About dialog");
    if (!shown)
        ADD_FAILURE() << shown.message();
    return about;
}

} // namespace quillon::e2e
