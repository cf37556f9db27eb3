// CEdit: an edit control, with typed selection helpers (its text is CWnd's window text).
#pragma once
#include <windows.h>

#include "framework/wnd.h"

namespace quillon {

class CEdit : public CWnd {
public:
    // Selects from start to end; (0, -1) selects everything.
    void SetSel(int start, int end) const { SendMessage(EM_SETSEL, static_cast<WPARAM>(start), end); }
    void GetSel(int& start, int& end) const {
        DWORD s = 0, e = 0;
        SendMessage(EM_GETSEL, reinterpret_cast<WPARAM>(&s), reinterpret_cast<LPARAM>(&e));
        start = static_cast<int>(s);
        end = static_cast<int>(e);
    }
    void ScrollCaret() const { SendMessage(EM_SCROLLCARET); }
    bool IsEmpty() const { return GetWindowTextLength() == 0; }
};

} // namespace quillon
