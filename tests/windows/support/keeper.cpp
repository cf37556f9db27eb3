// Keeps the Wine session's desktop process alive for the whole test run: a hidden window
// and a message loop, ended by WM_CLOSE or when the session is torn down.
#include <windows.h>

// With a path argument, the file is created once the window exists: the session is warm.
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR cmdLine, int) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = [](HWND hwnd, UINT msg, WPARAM w, LPARAM l) -> LRESULT {
        if (msg == WM_CLOSE) {
            PostQuitMessage(0);
            return 0;
        }
        return DefWindowProcW(hwnd, msg, w, l);
    };
    wc.hInstance = instance;
    wc.lpszClassName = L"QuillonTestKeeper";
    RegisterClassW(&wc);
    CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
    if (cmdLine && *cmdLine) {
        HANDLE marker = CreateFileW(cmdLine, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (marker != INVALID_HANDLE_VALUE)
            CloseHandle(marker);
    }
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchMessageW(&msg);
    return 0;
}
