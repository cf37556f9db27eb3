// The Rules dialog.
#include "ui/dialogs/rules_dlg.h"

#include <commctrl.h>

#include <utility>

#include "base/u16.h"
#include "res/resource.h"

namespace quillon {
namespace {

constexpr int kColumns = 5;
constexpr const wchar_t* kHeadings[kColumns] = {L"Program", L"Title contains", L"Extension", L"List",
                                                L"Formatting"};
// What a heading needs beside its text: the header's margins on both sides.
constexpr int kHeadingPadding = 16;

} // namespace

CDlgRules::CDlgRules(std::vector<RULEREC> rules, std::vector<std::u16string> extensions, HWND parent)
    : CDialog(IDD_RULES, parent), m_rules(std::move(rules)), m_extensions(std::move(extensions)) {}

std::vector<std::wstring> CDlgRules::RowTexts(const RULEREC& rule) {
    return {rule.Program.empty() ? L"any program" : ToWide(rule.Program),
            rule.Title.empty() ? L"any title" : ToWide(rule.Title), ToWide(rule.Extension),
            rule.List ? L"shown" : L"skipped", rule.QuietFormatting ? L"quiet" : L"told"};
}

void CDlgRules::DoDataExchange() {
    m_list = GetDlgItem(IDC_RULES_LIST);
    m_program = GetDlgItem(IDC_RULES_PROGRAM);
    m_title = GetDlgItem(IDC_RULES_TITLE);
    m_extension = GetDlgItem(IDC_RULES_EXTENSION);
    m_showList = GetDlgItem(IDC_RULES_SHOW_LIST);
    m_quiet = GetDlgItem(IDC_RULES_QUIET);
    m_change = GetDlgItem(IDC_RULES_CHANGE);
    m_remove = GetDlgItem(IDC_RULES_REMOVE);
    m_up = GetDlgItem(IDC_RULES_UP);
    m_down = GetDlgItem(IDC_RULES_DOWN);
}

bool CDlgRules::OnInitDialog() {
    CDialog::OnInitDialog();
    m_list.SetExtendedStyle(LVS_EX_FULLROWSELECT);
    for (int column = 0; column < kColumns; ++column)
        m_list.InsertColumn(column, kHeadings[column]);
    for (const std::u16string& extension : m_extensions) {
        const std::wstring text = ToWide(extension);
        m_extension.SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    FieldsFromRule(RULEREC(u"", u"", m_extensions.empty() ? u"" : m_extensions.front(), 1));
    ShowRules(m_rules.empty() ? -1 : 0);
    return true;
}

void CDlgRules::ShowRules(int select) {
    m_list.DeleteAllItems();
    for (std::size_t i = 0; i < m_rules.size(); ++i) {
        const std::vector<std::wstring> texts = RowTexts(m_rules[i]);
        const int item = m_list.InsertItem(static_cast<int>(i), texts[0]);
        for (int column = 1; column < static_cast<int>(texts.size()); ++column)
            m_list.SetItemText(item, column, texts[static_cast<std::size_t>(column)]);
    }
    // Each column as wide as its widest text, its heading included; the last one takes the rest.
    for (int column = 0; column < kColumns; ++column) {
        if (column == kColumns - 1) {
            m_list.SetColumnWidth(column, LVSCW_AUTOSIZE_USEHEADER);
            break;
        }
        m_list.SetColumnWidth(column, LVSCW_AUTOSIZE);
        const int heading = static_cast<int>(
            m_list.SendMessage(LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(kHeadings[column])));
        if (m_list.GetColumnWidth(column) < heading + kHeadingPadding)
            m_list.SetColumnWidth(column, heading + kHeadingPadding);
    }
    if (select >= 0 && select < static_cast<int>(m_rules.size())) {
        m_list.SetItemState(select, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        m_list.EnsureVisible(select, false);
    }
    UpdateButtons();
}

void CDlgRules::FieldsFromRule(const RULEREC& rule) {
    m_program.SetWindowText(ToWide(rule.Program));
    m_title.SetWindowText(ToWide(rule.Title));
    m_extension.SetWindowText(ToWide(rule.Extension));
    m_showList.SetChecked(rule.List != 0);
    m_quiet.SetChecked(rule.QuietFormatting != 0);
}

bool CDlgRules::RuleFromFields(RULEREC& rule) {
    rule.Program = FromWide(m_program.GetWindowText());
    rule.Title = FromWide(m_title.GetWindowText());
    rule.Extension = FromWide(m_extension.GetWindowText());
    rule.List = m_showList.CheckValue();
    rule.QuietFormatting = m_quiet.CheckValue();
    if (rule.Extension.empty() && !rule.QuietFormatting) {
        ::MessageBoxW(m_hWnd, kNoExtensionText, L"Quillon", MB_ICONEXCLAMATION | MB_OK);
        ::SetFocus(m_extension.m_hWnd);
        return false;
    }
    return true;
}

void CDlgRules::OnAdd() {
    RULEREC rule;
    if (!RuleFromFields(rule))
        return;
    m_rules.push_back(rule);
    ShowRules(static_cast<int>(m_rules.size()) - 1);
}

void CDlgRules::OnChange() {
    const int selected = m_list.GetSelectedItem();
    RULEREC rule;
    if (selected < 0 || selected >= static_cast<int>(m_rules.size()) || !RuleFromFields(rule))
        return;
    m_rules[static_cast<std::size_t>(selected)] = rule;
    ShowRules(selected);
}

void CDlgRules::OnRemove() {
    const int selected = m_list.GetSelectedItem();
    if (selected < 0 || selected >= static_cast<int>(m_rules.size()))
        return;
    m_rules.erase(m_rules.begin() + selected);
    const int count = static_cast<int>(m_rules.size());
    ShowRules(selected < count ? selected : count - 1);
}

void CDlgRules::OnMove(int by) {
    const int selected = m_list.GetSelectedItem();
    const int to = selected + by;
    if (selected < 0 || to < 0 || to >= static_cast<int>(m_rules.size()))
        return;
    std::swap(m_rules[static_cast<std::size_t>(selected)], m_rules[static_cast<std::size_t>(to)]);
    ShowRules(to);
}

void CDlgRules::UpdateButtons() {
    const int selected = m_list.GetSelectedItem();
    const int count = static_cast<int>(m_rules.size());
    m_change.EnableWindow(selected >= 0);
    m_remove.EnableWindow(selected >= 0);
    m_up.EnableWindow(selected > 0);
    m_down.EnableWindow(selected >= 0 && selected < count - 1);
}

LRESULT CDlgRules::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        switch (LOWORD(wParam)) {
        case IDC_RULES_ADD:
            OnAdd();
            return 0;
        case IDC_RULES_CHANGE:
            OnChange();
            return 0;
        case IDC_RULES_REMOVE:
            OnRemove();
            return 0;
        case IDC_RULES_UP:
            OnMove(-1);
            return 0;
        case IDC_RULES_DOWN:
            OnMove(1);
            return 0;
        default:
            break;
        }
    }
    if (message == WM_NOTIFY) {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header && header->idFrom == IDC_RULES_LIST && header->code == LVN_ITEMCHANGED) {
            const auto* change = reinterpret_cast<const NMLISTVIEW*>(lParam);
            // The selected rule's values go into the fields, ready to be changed.
            if ((change->uNewState & LVIS_SELECTED) && !(change->uOldState & LVIS_SELECTED) &&
                change->iItem >= 0 && change->iItem < static_cast<int>(m_rules.size()))
                FieldsFromRule(m_rules[static_cast<std::size_t>(change->iItem)]);
            UpdateButtons();
            return 0;
        }
    }
    return CDialog::WindowProc(message, wParam, lParam);
}

} // namespace quillon
