// The server window's side of starting an edit: asking for a new extension.
#include "app/server_dlg.h"
#include "ui/dialogs/new_extension_dlg.h"

namespace quillon {

bool CServerDlg::ChooseNewExtension(EXTENSIONREC& choice, bool& saveForFuture) {
    saveForFuture = false;
    CDlgNewExtension dialog(m_hWnd);
    dialog.m_bEditTime = 1;
    if (dialog.DoModal() != IDOK)
        return false;
    choice = dialog.GetResult();
    saveForFuture = dialog.m_bSaveForFuture != 0;
    return true;
}

}  // namespace quillon
