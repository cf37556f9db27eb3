// CTrayIcon: the program's icon in the notification area, its menu and its warning balloon.
#pragma once
#include <windows.h>
#include <shellapi.h>

#include <functional>

#include "base/win/handles.h"
#include "framework/wnd.h"
#include "res/resource.h"

namespace quillon {

class CTrayIcon : public CWnd {
public:
    static constexpr UINT kIconId = IDR_TRAY_MENU; // the same number as the tray menu
    static constexpr UINT kMenuId = IDR_TRAY_MENU;
    static constexpr UINT kNoCommand = static_cast<UINT>(-1);
    // A first add the shell refuses (it is not ready yet at log on) is tried again this often,
    // this many times: two minutes in all.
    static constexpr UINT_PTR kRetryTimer = 1;
    static constexpr UINT kRetryEveryMs = 2000;
    static constexpr int kRetries = 60;
    // A notice of the shell taken up again from the message loop (the window is our own).
    static constexpr UINT kDeferredNotify = WM_APP + 0x3F0;

    // The one call into the shell; a test hands in a recorder instead of Shell_NotifyIconW.
    using ShellCall = std::function<BOOL(DWORD message, NOTIFYICONDATAW* data)>;

    explicit CTrayIcon(ShellCall shell = nullptr);
    ~CTrayIcon() override;

    // Creates the hidden window that receives the icon's messages (as callbackMessage) and
    // adds the icon with the tooltip "Quillon"; the menu's commands go to commandTarget
    // (none: they are dropped). False when the window could not be made or the shell refused.
    // When the shell refuses, the add is tried again for a while (kRetryTimer).
    bool AddTrayIcon(HICON icon, HWND commandTarget, UINT callbackMessage);
    // The same with the icon resource iconId of module, loaded at the size the shell shows at
    // the current DPI and loaded again when the DPI changes.
    bool AddTrayIcon(HINSTANCE module, UINT iconId, HWND commandTarget, UINT callbackMessage);
    // The command posted on a double-click and drawn bold in the menu.
    void SetDefaultCommand(UINT command) { m_defaultCommand = command; }
    UINT DefaultCommand() const { return m_defaultCommand; }
    // Shows the warning balloon of a hotkey someone else holds, under the title (cut to what
    // the shell holds); a click on it posts clickCommand. Does nothing useful before AddTrayIcon.
    void ShowWarningBalloon(const wchar_t* title, UINT clickCommand = kNoCommand);
    // Shows a balloon with the title and text (each cut to what the shell holds) and the
    // shell's information or warning icon; while a refused first add is being retried, once
    // the shell takes the icon. A click on the balloon posts clickCommand to the command
    // target, as a menu command would (kNoCommand: a click only closes it).
    void ShowBalloon(const wchar_t* title, const wchar_t* text, bool warning, UINT clickCommand = kNoCommand);

    // State, for the owner's curiosity and for tests.
    bool IsHidden() const { return m_hidden; }
    bool IsRemoved() const { return m_removed; }
    // The shell took NOTIFYICON_VERSION_4: keyboard and anchor-point notifications.
    bool IsVersion4() const { return m_version4; }
    const NOTIFYICONDATAW& IconData() const { return m_data; }
    // The number "TaskbarCreated" is registered under.
    static UINT TaskbarCreatedMessage();

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    // The icon's callback: iconId from wParam, the mouse message from lParam.
    virtual LRESULT OnIconNotify(WPARAM iconId, LPARAM mouseMessage);
    // Sees the popup menu before it is shown.
    virtual void OnBeforeTrayMenu(HMENU /*popup*/) {}
    // The window that receives the commands, as given to AddTrayIcon.
    virtual HWND CommandTarget() const;
    // Shows the popup at the point and returns the chosen command, 0 when none was chosen.
    virtual UINT TrackTrayMenu(HMENU popup, POINT at, HWND owner);

private:
    bool AddIcon();
    void OnTaskbarCreated();
    void OnRetryTimer();
    void ReloadIcon();
    void ShowTrayMenu(POINT at, bool fromKeyboard);
    void ShowPendingBalloon();
    void RemoveIcon();
    BOOL NotifyShell(DWORD message);

    ShellCall m_shell;
    NOTIFYICONDATAW m_data;
    bool m_hidden = true;  // true: no re-add is attempted
    bool m_removed = true; // true: nothing to delete
    UINT m_creationFlags = 0;
    UINT m_defaultCommand = kNoCommand;
    HWND m_commandTarget = nullptr;
    bool m_version4 = false;
    int m_retriesLeft = 0;
    bool m_balloonPending = false;      // asked for before the shell took the icon
    UINT m_balloonCommand = kNoCommand; // what a click on the balloon on show asks for
    bool m_rightButtonUp = false;       // the next WM_CONTEXTMENU comes from the mouse
    HINSTANCE m_iconModule = nullptr;
    UINT m_iconId = 0;
    CIconHandle m_ownIcon; // loaded from m_iconModule, when given
};

} // namespace quillon
