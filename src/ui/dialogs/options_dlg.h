// CDlgOptions: the Options dialog, where the user changes every setting but Delay. It is
// given the settings as a value and works on them; only OK hands them to its host, which
// puts them into effect and saves them.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "config/settings.h"
#include "framework/button.h"
#include "framework/dialog.h"
#include "framework/edit.h"
#include "ui/dialogs/record_list.h"
#include "ui/widgets/hotkey_field.h"
#include "ui/widgets/mini_button.h"

namespace quillon {

// What the Options dialog asks of the program it belongs to.
class IOptionsHost {
public:
    virtual ~IOptionsHost() = default;
    // Puts the edited settings into effect (a changed hotkey registered, the choice list
    // rebuilt); `opened` is what the dialog was given. False when the new hotkey could not
    // be registered: then nothing changed and the working hotkey is still registered.
    virtual bool ApplySettings(const SettingsFields& opened, const SettingsFields& edited) = 0;
    // Writes the settings in effect to the configuration file. Empty when they are kept;
    // otherwise what to tell the user (where, and why the save failed).
    virtual std::u16string SaveSettings() = 0;
    // Takes the working hotkey away from the system while the hotkey field has the focus
    // (so that pressing it there records it), and gives it back.
    virtual void SuspendHotKey(bool suspend) = 0;
    // Whether no other program holds the combination.
    virtual bool HotKeyIsFree(std::uint16_t hotKey) = 0;
    // The program's full path (for the Run key and for a folder beside the program); empty
    // when the dialog should ask the system.
    virtual std::u16string ProgramPath() = 0;
};

class CDlgOptions : public CDialog {
public:
    CDlgOptions(const SettingsFields& settings, IOptionsHost* host, HWND parent = nullptr);

    // Puts the keyboard focus in the hotkey field, now or, before the dialog runs, when it opens.
    void FocusHotKeyField();

    // The settings as OK handed them to the host (as given until then).
    const SettingsFields& Result() const { return m_result; }

    // Inserts a list row at the index showing the record (extension; editor and parameters,
    // or "default editor") and stores the record in the list's mirror.
    void AppendExtensionRow(int index, const EXTENSIONREC& row);
    // The text of an extension row's "Editor" column.
    static std::wstring EditorColumnText(const EXTENSIONREC& row);
    // The folder field's text as a folder: blanks and the quotes of a copied path taken away.
    static std::wstring CleanFolderText(const std::wstring& text);

protected:
    void DoDataExchange() override;
    bool OnInitDialog() override;
    void OnOK() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // A button of the dialog clicked, and the extension list's notices: true when handled.
    bool OnButton(WORD id);
    bool OnExtensionListNotify(const NMHDR* header);
    void OnAdd();
    void OnChangeRow(int index);
    void OnRemove();
    void OnBrowse();
    void OnMoveUp();
    void OnMoveDown();
    // The Rules dialog, on this dialog's copy of the rules.
    void OnRules();
    void SelectRow(int index);
    void FitExtensionColumn();
    // Move up, move down and remove are enabled only where they would do something.
    void UpdateButtons();
    // The extensions of every row but one (-1: all), which a new or changed row may not repeat.
    std::vector<std::u16string> ExtensionsExcept(int index) const;
    // The radio pair and m_nMode, one way or the other.
    void ModeToControls();
    void ModeFromControls();
    // The checks of OK that keep the dialog open: false after telling the user why.
    bool CheckFolder(std::u16string& folder);
    bool CheckHotKey(std::uint16_t hotKey);
    void SuspendHotKey(bool suspend);
    void Refuse(const std::wstring& message, HWND focus);

    CHotKeyField m_hotKeyCtrl;
    CButton m_autoStartCheck;
    CButton m_saveContentCheck;
    CButton m_insertCheck;
    CButton m_deleteTempCheck;
    CEdit m_tempFolderEdit;
    CRecordListCtrl<EXTENSIONREC> m_extensionList;
    int m_nMode = 0; // 0: entire text area; 1: only the selection
    CMiniButton m_addButton;
    CMiniButton m_removeButton;
    CMiniButton m_moveUpButton;
    CMiniButton m_moveDownButton;
    CMiniButtonGroup m_buttonGroup;

    SettingsFields m_opened; // as given
    SettingsFields m_result;
    IOptionsHost* m_host;
    bool m_hotKeySuspended = false;
    bool m_focusHotKeyAtOpen = false;
    std::vector<RULEREC> m_rules; // as the Rules dialog last left them
};

} // namespace quillon
