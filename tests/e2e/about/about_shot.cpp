// quillon-about-shot.exe: opens the About box of a real Quillon.exe for the headless
// demonstration and asks for its photograph.
//   quillon-about-shot SHOTS   creates SHOTS\about.request holding the dialog's screen
//                              rectangle as WxH+X+Y and waits until the request is gone
#include <cstdio>

#include "e2e/about/about_road.h"

using namespace quillon::e2e;

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::printf("usage: quillon-about-shot SHOTS\n");
        return 2;
    }
    const std::wstring shots = argv[1];
    // Without a window manager nobody draws captions: Wine draws them itself for windows it
    // does not hand to one. Set for the Quillon started here only, and taken back after; on
    // Windows the system draws them.
    HKEY x11 = nullptr;
    if (RunningUnderWine()) {
        ::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\X11 Driver", 0, nullptr, 0, KEY_ALL_ACCESS,
                          nullptr, &x11, nullptr);
        ::RegSetValueExW(x11, L"Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"N"),
                         2 * sizeof(wchar_t));
    }
    struct Restore {
        HKEY key;
        ~Restore() {
            if (!key)
                return;
            ::RegDeleteValueW(key, L"Managed");
            ::RegCloseKey(key);
        }
    } restore{x11};
    CQuillon quillon(MakeConfigXml(0, {{L"txt", L"", L"", true}}));
    if (!quillon.Start()) {
        std::printf("   FAILED: Quillon did not start\n");
        return 1;
    }
    HWND about = OpenAboutFromTray(quillon);
    if (!about) {
        std::printf("   FAILED: the About dialog did not open from the tray menu\n");
        return 1;
    }
    ::SetCursorPos(2, 2); // the pointer out of the picture
    RECT area{};
    ::GetWindowRect(about, &area);
    const std::wstring version = WindowTextOf(::GetDlgItem(about, IDC_ABOUT_VERSION));
    std::printf("   ok: About shows \"%ls\" and \"%ls\"\n", version.c_str(),
                WindowTextOf(::GetDlgItem(about, IDC_ABOUT_LINK)).c_str());
    char geometry[64];
    std::snprintf(geometry, sizeof geometry, "%ldx%ld+%ld+%ld", area.right - area.left,
                  area.bottom - area.top, area.left, area.top);
    const std::wstring request = shots + L"\\about.request";
    WriteFileBytes(request, geometry);
    const bool taken = WaitFor([&] { return !FileExists(request); }, 20000, "the screenshot of About");
    ::PostMessageW(::GetDlgItem(about, IDOK), BM_CLICK, 0, 0);
    const bool closed = WaitFor([&] { return !::IsWindow(about); }, 10000, "About to close");
    std::printf("   %s: OK closes About\n", closed ? "ok" : "FAILED");
    quillon.Exit();
    return taken && closed && version == L"Version 2.01" ? 0 : 1;
}
