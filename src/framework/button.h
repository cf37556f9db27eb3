// CButton: a push button, check box or radio button, with typed check-state helpers.
#pragma once
#include <windows.h>

#include "framework/window.h"

namespace quillon {

// The helpers over any base that has the handle: CWindow for a plain value, CWnd for a button
// with behaviour of its own.
template <typename TBase> class CButtonT : public TBase {
public:
    using TBase::TBase;

    // BST_UNCHECKED, BST_CHECKED or BST_INDETERMINATE.
    int GetCheck() const { return static_cast<int>(this->SendMessage(BM_GETCHECK)); }
    void SetCheck(int state) const { this->SendMessage(BM_SETCHECK, static_cast<WPARAM>(state)); }
    bool IsChecked() const { return GetCheck() == BST_CHECKED; }
    void SetChecked(bool checked) const { SetCheck(checked ? BST_CHECKED : BST_UNCHECKED); }
    // The state as a setting stores it: 1 when checked, else 0.
    int CheckValue() const { return IsChecked() ? 1 : 0; }
};

using CButton = CButtonT<CWindow>;

} // namespace quillon
