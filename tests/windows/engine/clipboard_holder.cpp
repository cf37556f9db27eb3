// quillon-clipboard-holder.exe HELD RELEASE: opens the clipboard, signals the named event
// HELD, keeps the clipboard open until the named event RELEASE is signalled and exits:
// another program that holds it a while. Told when to let go rather than given a time, so
// that no test depends on how fast either program starts or runs.
#include <windows.h>
#include <shellapi.h>

// A test that never lets go (it crashed) must not leave the clipboard held for good.
constexpr DWORD kLongestHoldMs = 60000;

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (!argv || argc < 3)
        return 2;
    HANDLE held = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[1]);
    HANDLE release = ::OpenEventW(SYNCHRONIZE, FALSE, argv[2]);
    if (!held || !release)
        return 3;
    // Opened with a window, as programs do: openers without one do not exclude each other
    // under every system.
    HWND window =
        ::CreateWindowExW(0, L"STATIC", L"holder", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr, nullptr, nullptr);
    bool open = false;
    for (int i = 0; i < 500 && !(open = ::OpenClipboard(window) != FALSE); ++i)
        ::Sleep(10);
    if (!open)
        return 4;
    ::SetEvent(held);
    ::WaitForSingleObject(release, kLongestHoldMs);
    ::CloseClipboard();
    ::CloseHandle(held);
    ::CloseHandle(release);
    ::DestroyWindow(window);
    return 0;
}
