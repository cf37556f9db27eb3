// CDlgNewExtension: asks for one extension row (extension, editor, parameters, UTF-8), in
// the Options mode (the row is always kept) or the edit-time mode (kept on request).
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "config/settings.h"
#include "framework/button.h"
#include "framework/dialog.h"
#include "framework/edit.h"

namespace quillon {

class CDlgNewExtension : public CDialog {
public:
    explicit CDlgNewExtension(HWND parent = nullptr);

    // Shown when OK finds characters in the extension that a file name cannot hold.
    static constexpr const wchar_t* kInvalidExtensionText =
        L"The extension cannot contain any of the characters \\ / : * ? \" < > | or control characters.";

    // 0: Options mode; 1: edit-time mode. Set before DoModal.
    BOOL m_bEditTime = 0;

    // Before DoModal: the row to change (the dialog opens filled with it) and the extensions
    // already in the table, which OK refuses (compared without regard to case).
    void SetRow(const EXTENSIONREC& row);
    std::vector<std::u16string> m_takenExtensions;
    static constexpr const wchar_t* kTakenExtensionText = L"The table already has a row for this extension.";

    // The row entered; the default row until OK succeeds.
    EXTENSIONREC GetResult() const { return m_rec; }
    // Whether the caller should keep the row in the table.
    BOOL m_bSaveForFuture = 0;

protected:
    void DoDataExchange() override;
    bool OnInitDialog() override;
    void OnOK() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void OnBrowse();

    CEdit m_extension;
    CButton m_saveForFuture;
    CEdit m_editor;
    EXTENSIONREC m_rec;
    bool m_hasRow = false; // m_rec is a row to change, shown at opening
    CButton m_browse;
    CEdit m_parameters;
    CButton m_utf8;
};

} // namespace quillon
