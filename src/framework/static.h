// CStatic: a static text or picture control.
#pragma once
#include <windows.h>

#include "framework/wnd.h"

namespace quillon {

class CStatic : public CWnd {
public:
    HICON SetIcon(HICON icon) const {
        return reinterpret_cast<HICON>(SendMessage(STM_SETICON, reinterpret_cast<WPARAM>(icon)));
    }
    HICON GetIcon() const { return reinterpret_cast<HICON>(SendMessage(STM_GETICON)); }
};

} // namespace quillon
