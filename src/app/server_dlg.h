// CServerDlg: the program's hidden main window. It receives the hotkey, the keyboard hook's
// notices, the timers and the tray commands, and hands the work to the edit engine.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/app_messages.h"
#include "app/choice_list.h"
#include "app/editor_launcher.h"
#include "app/hook_key_rule.h"
#include "app/edit_controller.h"
#include "engine/engine_host.h"
#include "engine/user_keys.h"
#include "framework/dialog.h"
#include "res/resource.h"
#include "base/win/handles.h"
#include "ui/widgets/tray_icon.h"

namespace quillon {

// Commands of the tray menu.
constexpr UINT kTrayOptionsCommand = ID_TRAY_OPTIONS;
constexpr UINT kTrayAboutCommand = ID_TRAY_ABOUT;
constexpr UINT kTrayExitCommand = ID_TRAY_EXIT;
constexpr UINT kTrayChooseHotKeyCommand = ID_TRAY_CHOOSE_HOTKEY;

// The ids of the server window's hotkey, and of one registered for a moment to see whether
// another program holds it.
constexpr int kEditHotKeyId = 1;
constexpr int kProbeHotKeyId = 0xBFFF;

// The row colours of the choice list.
constexpr COLORREF kChoiceOddRowColour = 0xFAF6F3;
constexpr COLORREF kChoiceEvenRowColour = 0xFFFFFF;

// The tray icon of the server window: its menu gains the open edits before it shows.
class CServerTrayIcon : public CTrayIcon {
public:
    std::function<void(HMENU)> beforeMenu;

protected:
    void OnBeforeTrayMenu(HMENU popup) override {
        if (beforeMenu)
            beforeMenu(popup);
    }
};

// The commands of the "Open edits" submenu: four per edit, from this number on.
constexpr UINT kOpenEditCommandFirst = 0xA000;
constexpr UINT kOpenEditActions = 4; // open in editor, copy saved text, show file, stop
constexpr std::size_t kOpenEditsInMenu = 32;

class CServerDlg : public CDialog, public IEngineHost {
public:
    using DialogFactory = std::function<std::unique_ptr<CDialog>()>;

    CServerDlg();
    ~CServerDlg() override;

    bool OnInitDialog() override;
    bool DestroyWindow() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // Registers the edit hotkey on this window; a failure shows the warning balloon. A
    // value of 0 is no hotkey: nothing is registered and nothing is shown.
    bool RegisterEditHotKey(std::uint16_t hotKey) override;
    void UnregisterEditHotKey() override;
    bool HotKeyIsFree(std::uint16_t hotKey) override;
    void* HostWindow() override { return m_hWnd; }
    bool ChooseNewExtension(EXTENSIONREC& choice, bool& saveForFuture) override;
    void ExtensionsChanged() override;
    void TellUser(const std::u16string& message) override;
    void StartEditor(const EditorStart& start) override;

    // The choice list: made once, rebuilt from the engine's extension rows whenever they
    // change, shown (or advanced) by the hotkey.
    void CreateChoiceList();
    void RefreshChoiceList();
    void ShowChoiceList(int first = 0);

    // The Options dialog open at the moment, if any (there is at most one).
    static CDialog* OpenOptionsDialog();
    // The hotkey in force, and the record of the user's keys, for the keyboard hook.
    std::uint16_t HotKey() { return m_controller.Settings().HotKey; }
    CUserKeys& UserKeys() { return m_userKeys; }

private:
    CEditController m_controller; // before the dialog makers, which use its settings
    // The makers of the tray commands' dialogs (tray_dialogs.h by default).
    DialogFactory m_makeOptions;
    DialogFactory m_makeOptionsAtHotKey; // Options with the hotkey field focused
    DialogFactory m_makeAbout;

    CServerTrayIcon m_tray;
    CImageListHandle m_imageList; // the choice list's icons (the list only borrows them)
    CQLNListCtrl m_choiceList;

    // The tray menu's commands; false for one that is not ours.
    bool OnTrayCommand(UINT command);
    void OnHotKeyPressed();
    LRESULT OnEndSession(WPARAM ending, LPARAM how);
    void OnOptions(const DialogFactory& make);
    void OnChooseHotKey();
    void OnExit();
    void OnAbout();
    LRESULT OnChoiceClicked(WPARAM index);
    LRESULT OnHotKeyModifierUp();
    void StartEditWith(int index);
    // The hotkey in a box: a rule for its program may pick the row (and start at once, on the
    // release of the hotkey's modifiers), else the choice list shows.
    void OnEditHotKey(HWND focus);
    // An item of the list confirmed: a row, "Edit with new Extension", the item that
    // remembers a row for the program, or "Cancel".
    void ConfirmChoice(int item);
    int m_pendingRuleRow = -1;  // a rule's row, started when the modifiers are released
    std::wstring m_listProgram; // the program of the box the list was shown for
    // The extension last chosen from the list in each program this session: the next list
    // there offers to always start with it.
    std::vector<std::pair<std::u16string, std::u16string>> m_lastChoices;
    std::u16string LastChoiceIn(const std::u16string& program) const;
    void OfferRememberFor(const std::u16string& program);
    // The open edits in the tray menu, and the edits its commands name (by their files).
    void AddOpenEditsMenu(HMENU popup);
    void AddOpenEditsMenuOrThrow(HMENU popup);
    bool OnOpenEditCommand(UINT command);
    std::vector<std::u16string> m_menuEdits;

    bool m_exitAfterOptions = false; // Exit was chosen while Options was open
    CHookHandle m_hook;
    CUserKeys m_userKeys;       // the user's keys as the hook saw them
    CEditorLauncher m_launcher; // editors start off this thread
    void OnEditorStarted(WPARAM outcome, LPARAM ticket);
};

} // namespace quillon
