// The New Extension dialog.
#include "ui/dialogs/new_extension_dlg.h"

#include "base/u16.h"
#include "engine/edit_rules.h"
#include "framework/file_dialog.h"
#include "res/resource.h"

namespace quillon {

CDlgNewExtension::CDlgNewExtension(HWND parent) : CDialog(IDD_NEW_EXTENSION, parent) {}

void CDlgNewExtension::SetRow(const EXTENSIONREC& row) {
    m_rec = row;
    m_hasRow = true;
}

void CDlgNewExtension::DoDataExchange() {
    m_extension = GetDlgItem(IDC_NEWEXT_EXTENSION);
    m_saveForFuture = GetDlgItem(IDC_NEWEXT_SAVE);
    m_editor = GetDlgItem(IDC_NEWEXT_EDITOR);
    m_browse = GetDlgItem(IDC_NEWEXT_BROWSE);
    m_parameters = GetDlgItem(IDC_NEWEXT_PARAMETERS);
    m_utf8 = GetDlgItem(IDC_NEWEXT_UTF8);
}

bool CDlgNewExtension::OnInitDialog() {
    CDialog::OnInitDialog();
    if (!m_bEditTime) {
        // From Options the row always goes into the table.
        m_bSaveForFuture = 1;
        m_saveForFuture.SetCheck(BST_CHECKED);
        m_saveForFuture.EnableWindow(false);
    } else {
        // Asked for by the hotkey, from a hidden program: come to the user.
        m_bSaveForFuture = 0;
        ::SetForegroundWindow(m_hWnd);
    }
    // The proposal (or the row being changed) is selected so that typing replaces it.
    m_extension.SetWindowText(m_hasRow ? ToWide(m_rec.Extension) : std::wstring(L"txt"));
    m_extension.SetSel(0, -1);
    m_extension.ScrollCaret();
    m_extension.SetFocus();
    m_editor.SetWindowText(m_hasRow ? ToWide(m_rec.Editor) : std::wstring());
    m_parameters.SetWindowText(m_hasRow ? ToWide(m_rec.Parameters) : std::wstring(L"\"%1\""));
    m_utf8.SetCheck(!m_hasRow || m_rec.UTF8 ? BST_CHECKED : BST_UNCHECKED);
    return false; // the focus is placed
}

void CDlgNewExtension::OnOK() {
    if (m_extension.IsEmpty()) {
        ::MessageBoxW(m_hWnd, L"Please specify the extension.", L"Quillon", MB_ICONEXCLAMATION | MB_OK);
        return;
    }
    // Taken exactly as typed: no trimming, a leading dot stays. But it becomes part of a
    // file name in the temporary folder: path characters would put the file elsewhere.
    const std::u16string extension = FromWide(m_extension.GetWindowText());
    if (!IsValidExtension(extension)) {
        ::MessageBoxW(m_hWnd, kInvalidExtensionText, L"Quillon", MB_ICONEXCLAMATION | MB_OK);
        m_extension.SetSel(0, -1);
        m_extension.SetFocus();
        return;
    }
    // Two rows for one extension: only the first would ever be used.
    const std::wstring typed = ToWide(extension);
    for (const std::u16string& taken : m_takenExtensions) {
        const std::wstring other = ToWide(taken);
        if (::CompareStringOrdinal(typed.c_str(), -1, other.c_str(), -1, TRUE) == CSTR_EQUAL) {
            ::MessageBoxW(m_hWnd, kTakenExtensionText, L"Quillon", MB_ICONEXCLAMATION | MB_OK);
            m_extension.SetSel(0, -1);
            m_extension.SetFocus();
            return;
        }
    }
    m_rec.Extension = extension;
    m_rec.Editor = FromWide(m_editor.GetWindowText());
    m_rec.Parameters = FromWide(m_parameters.GetWindowText());
    m_rec.UTF8 = m_utf8.CheckValue();
    EndDialog(IDOK);
}

void CDlgNewExtension::OnBrowse() {
    CFileDialog dialog(true, nullptr, nullptr, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, nullptr, m_hWnd);
    if (dialog.DoModal() == IDOK)
        m_editor.SetWindowText(dialog.GetPathName());
}

LRESULT CDlgNewExtension::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        switch (LOWORD(wParam)) {
        case IDC_NEWEXT_BROWSE:
            OnBrowse();
            return 0;
        case IDC_NEWEXT_SAVE:
            m_bSaveForFuture = m_saveForFuture.CheckValue();
            return 0;
        default:
            break;
        }
    }
    return CDialog::WindowProc(message, wParam, lParam);
}

} // namespace quillon
