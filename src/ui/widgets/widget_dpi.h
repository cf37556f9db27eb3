// The dots per inch the widgets draw at: the window's own where the system tells it, else the system's.
#pragma once
#include <windows.h>

namespace quillon {

// The DPI of the monitor a window is shown on, as the window sees it (96 = 100 %).
int DpiOfWindow(HWND hwnd);
// The DPI the system's stock fonts were made for.
int SystemDpi();

} // namespace quillon
