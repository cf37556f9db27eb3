// quillon-ctl.exe: drives a running Quillon from scripts (the demo and run.sh).
//   quillon-ctl wait [ms]   waits until Quillon's hidden server window exists
//   quillon-ctl exit [ms]   sends the tray menu's Exit command and waits for the process to end
//   quillon-ctl status      prints "running" or "not running"
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "res/resource.h"

namespace {

// Quillon's server window: a dialog with an empty title in a process whose image is Quillon.exe.
HWND FindServer(DWORD* pid) {
    struct Search {
        HWND found = nullptr;
        DWORD pid = 0;
    } s;
    EnumWindows(
        [](HWND hwnd, LPARAM lp) -> BOOL {
            wchar_t cls[64] = {}, title[8] = {};
            GetClassNameW(hwnd, cls, 64);
            if (wcscmp(cls, L"#32770") != 0 || GetWindowTextW(hwnd, title, 8) != 0)
                return TRUE;
            DWORD pid = 0;
            GetWindowThreadProcessId(hwnd, &pid);
            HANDLE p = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
            if (!p)
                return TRUE;
            wchar_t image[MAX_PATH * 2] = {};
            DWORD n = MAX_PATH * 2;
            bool isQuillon = QueryFullProcessImageNameW(p, 0, image, &n) && wcsstr(image, L"Quillon.exe");
            CloseHandle(p);
            if (!isQuillon)
                return TRUE;
            auto* s = reinterpret_cast<Search*>(lp);
            s->found = hwnd;
            s->pid = pid;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&s));
    if (pid)
        *pid = s.pid;
    return s.found;
}

bool WaitServer(DWORD ms) {
    ULONGLONG deadline = GetTickCount64() + ms;
    while (!FindServer(nullptr)) {
        if (GetTickCount64() >= deadline)
            return false;
        Sleep(20);
    }
    return true;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: quillon-ctl wait|exit|status [ms]\n");
        return 2;
    }
    std::wstring cmd = argv[1];
    DWORD ms = argc > 2 ? static_cast<DWORD>(_wtoi(argv[2])) : 15000;
    if (cmd == L"wait") {
        if (!WaitServer(ms)) {
            std::printf("Quillon's window did not appear within %lu ms\n", static_cast<unsigned long>(ms));
            return 1;
        }
        std::printf("Quillon is running\n");
        return 0;
    }
    if (cmd == L"status") {
        std::printf(FindServer(nullptr) ? "running\n" : "not running\n");
        return 0;
    }
    if (cmd == L"exit") {
        DWORD pid = 0;
        HWND server = FindServer(&pid);
        if (!server) {
            std::printf("Quillon is not running\n");
            return 1;
        }
        HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
        PostMessageW(server, WM_COMMAND, ID_TRAY_EXIT, 0);
        DWORD r = process ? WaitForSingleObject(process, ms) : WAIT_FAILED;
        if (process)
            CloseHandle(process);
        if (r != WAIT_OBJECT_0) {
            std::printf("Quillon did not exit within %lu ms\n", static_cast<unsigned long>(ms));
            return 1;
        }
        std::printf("Quillon exited\n");
        return 0;
    }
    std::fprintf(stderr, "unknown command\n");
    return 2;
}
