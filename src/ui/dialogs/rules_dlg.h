// CDlgRules: the per-program rules, reached from Options: which extension an edit in a
// program (or a window whose title holds a text) starts with, whether the choice list shows,
// and whether the word about formatting lost is said.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "config/settings.h"
#include "framework/button.h"
#include "framework/dialog.h"
#include "framework/edit.h"
#include "framework/list_view.h"

namespace quillon {

class CDlgRules : public CDialog {
public:
    // The rules to edit and the extensions of the table (offered in the extension field).
    CDlgRules(std::vector<RULEREC> rules, std::vector<std::u16string> extensions, HWND parent = nullptr);

    // The rules as OK left them (as given until then).
    const std::vector<RULEREC>& Rules() const { return m_rules; }

    // The texts of a rule's row in the list: program, title, extension, list, formatting.
    static std::vector<std::wstring> RowTexts(const RULEREC& rule);
    static constexpr const wchar_t* kNoExtensionText =
        L"Please choose an extension, or make the rule quiet about formatting.";

protected:
    void DoDataExchange() override;
    bool OnInitDialog() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // The rule the fields describe; false (after telling the user) when it would do nothing.
    bool RuleFromFields(RULEREC& rule);
    void FieldsFromRule(const RULEREC& rule);
    void ShowRules(int select);
    void OnAdd();
    void OnChange();
    void OnRemove();
    void OnMove(int by);
    void UpdateButtons();

    std::vector<RULEREC> m_rules;
    std::vector<std::u16string> m_extensions;
    CListCtrl m_list;
    CEdit m_program;
    CEdit m_title;
    CWindow m_extension; // a combo box: the table's extensions, or one typed
    CButton m_showList;
    CButton m_quiet;
    CButton m_change;
    CButton m_remove;
    CButton m_up;
    CButton m_down;
};

} // namespace quillon
