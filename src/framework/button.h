// CButton: a push button, check box or radio button, with typed check-state helpers.
#pragma once
#include <windows.h>

#include "framework/wnd.h"

namespace quillon {

class CButton : public CWnd {
public:
    // BST_UNCHECKED, BST_CHECKED or BST_INDETERMINATE.
    int GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
    void SetCheck(int state) const { SendMessage(BM_SETCHECK, static_cast<WPARAM>(state)); }
    bool IsChecked() const { return GetCheck() == BST_CHECKED; }
    void SetChecked(bool checked) const { SetCheck(checked ? BST_CHECKED : BST_UNCHECKED); }
    // The state as a setting stores it: 1 when checked, else 0.
    int CheckValue() const { return IsChecked() ? 1 : 0; }
};

} // namespace quillon
