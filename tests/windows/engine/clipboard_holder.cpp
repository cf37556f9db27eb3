// quillon-clipboard-holder.exe MS EVENT: opens the clipboard, signals the named event, keeps
// the clipboard open for MS milliseconds and exits: another program that holds it a while.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (!argv || argc < 3)
        return 2;
    DWORD ms = static_cast<DWORD>(std::wcstoul(argv[1], nullptr, 10));
    HANDLE held = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[2]);
    if (!held)
        return 3;
    // Opened with a window, as programs do: openers without one do not exclude each other
    // under every system.
    HWND window =
        ::CreateWindowExW(0, L"STATIC", L"holder", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr, nullptr, nullptr);
    for (int i = 0; i < 500 && !::OpenClipboard(window); ++i)
        ::Sleep(10);
    ::SetEvent(held);
    ::Sleep(ms);
    ::CloseClipboard();
    ::CloseHandle(held);
    ::DestroyWindow(window);
    return 0;
}
