// CDlgOptions: the Options dialog, where the user changes every setting but Delay. It works
// on copies; only OK puts them into the engine (and re-registers a changed hotkey).
#pragma once
#include <windows.h>

#include <vector>

#include "config/settings.h"
#include "framework/button.h"
#include "framework/dialog.h"
#include "framework/edit.h"
#include "ui/dialogs/record_list.h"
#include "ui/widgets/hotkey_field.h"
#include "ui/widgets/mini_button.h"

namespace quillon {

class CDlgOptions : public CDialog {
public:
    explicit CDlgOptions(HWND parent = nullptr);

    // Inserts a list row at the index showing the record (extension; editor and parameters,
    // or "default editor") and stores the record in the list's mirror.
    void AppendExtensionRow(int index, const EXTENSIONREC& row);
    // The text of an extension row's "Editor" column.
    static std::wstring EditorColumnText(const EXTENSIONREC& row);

protected:
    void DoDataExchange() override;
    bool OnInitDialog() override;
    void OnOK() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void OnAdd();
    void OnBrowse();
    void OnMoveUp();
    void OnMoveDown();
    void SelectRow(int index);
    // The radio pair and m_nMode, one way or the other.
    void ModeToControls();
    void ModeFromControls();

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
    // The engine's table as the list was filled from it: rows that an edit saves for future
    // use while the dialog is open are appended to it, and OK keeps them.
    std::vector<EXTENSIONREC> m_tableAtOpen;
};

} // namespace quillon
