// CEdit: an edit control, with typed selection helpers (its text is the window text).
#pragma once
#include <windows.h>

#include "framework/window.h"

namespace quillon {

template <typename TBase> class CEditT : public TBase {
public:
    using TBase::TBase;

    // Selects from start to end; (0, -1) selects everything.
    void SetSel(int start, int end) const { this->SendMessage(EM_SETSEL, static_cast<WPARAM>(start), end); }
    void GetSel(int& start, int& end) const {
        DWORD s = 0, e = 0;
        this->SendMessage(EM_GETSEL, reinterpret_cast<WPARAM>(&s), reinterpret_cast<LPARAM>(&e));
        start = static_cast<int>(s);
        end = static_cast<int>(e);
    }
    void ScrollCaret() const { this->SendMessage(EM_SCROLLCARET); }
    bool IsEmpty() const { return this->GetWindowTextLength() == 0; }
};

using CEdit = CEditT<CWindow>;

} // namespace quillon
