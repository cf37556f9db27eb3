// One dialog of a kind at a time.
#include "app/single_dialog.h"

namespace quillon {

INT_PTR CSingleDialog::Run(const Factory& make) {
    if (m_open) {
        if (m_open->m_hWnd)
            ::SetForegroundWindow(m_open->m_hWnd);
        return kNotRun;
    }
    std::unique_ptr<CDialog> dialog = make ? make() : nullptr;
    if (!dialog)
        return kNotRun;
    m_open = dialog.get();
    const INT_PTR result = dialog->DoModal();
    m_open = nullptr;
    return result;
}

} // namespace quillon
