// The server window's side of starting an edit: asking for a new extension.
#include "app/server_dlg.h"

namespace quillon {

bool CServerDlg::ChooseNewExtension(EXTENSIONREC&, bool& saveForFuture) {
    saveForFuture = false;
    return false;
}

}  // namespace quillon
