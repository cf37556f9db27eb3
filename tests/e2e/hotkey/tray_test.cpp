// The tray side of the whole program: the icon is there and comes back when the taskbar is
// made anew, a hotkey that cannot be registered is reported, the menu's Exit ends the
// program and the settings are saved on the way out.
#include "e2e/hotkey/trace_support.h"

using namespace quillon::e2e;

namespace {

// The hotkey text as this machine's keyboard layout names the keys (Wine's names differ
// from Windows' ones).
std::string LayoutName(UINT vk) {
    wchar_t name[128] = {};
    const int n =
        ::GetKeyNameTextW(static_cast<LONG>(::MapVirtualKeyW(vk, MAPVK_VK_TO_VSC) << 16), name, 128);
    std::string ascii;
    for (int i = 0; i < n; ++i)
        ascii += static_cast<char>(name[i]);
    return ascii;
}

HWND QuillonMenu(DWORD pid) {
    HWND menu = FindTopWindow(pid, L"#32768");
    return menu && ::IsWindowVisible(menu) ? menu : nullptr;
}

} // namespace

TEST(Tray, TheIconIsThereAndComesBackAfterTheTaskbarIsMadeAnew) {
    CTracedQuillon quillon(kCtrlAltQ, {L"txt"});
    ASSERT_TRUE(quillon.Start());
    HWND tray = quillon.TrayWindow();
    ASSERT_TRUE(WaitFor([&] { return ShellHasIcon(tray); }, 5000, "the shell to hold Quillon's icon"));

    // The shell forgets its icons, as when it restarts; the broadcast brings ours back.
    ASSERT_TRUE(RemoveShellIcon(tray));
    ASSERT_FALSE(ShellHasIcon(tray));
    ::PostMessageW(HWND_BROADCAST, ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_TRUE(WaitFor([&] { return ShellHasIcon(tray); }, 5000, "the icon to come back"));

    // And once more: a re-add that works keeps later ones working.
    ASSERT_TRUE(RemoveShellIcon(tray));
    ::PostMessageW(HWND_BROADCAST, ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_TRUE(WaitFor([&] { return ShellHasIcon(tray); }, 5000, "the icon to come back a second time"));

    ASSERT_TRUE(quillon.Program().Exit());
    EXPECT_FALSE(ShellHasIcon(tray)) << "the icon goes with the program";
}

TEST(Tray, AHotkeyTakenByAnotherProgramIsReportedOnTheIcon) {
    // This process holds Ctrl+Alt+Q, so Quillon cannot have it.
    ASSERT_TRUE(::RegisterHotKey(nullptr, 77, MOD_CONTROL | MOD_ALT, 'Q'));
    CTracedQuillon quillon(kCtrlAltQ, {L"txt"});
    ASSERT_TRUE(quillon.Start());
    const std::string expected = "Balloon Failed to register hot key " + LayoutName(VK_CONTROL) + " + " +
                                 LayoutName(VK_MENU) + " + " + LayoutName('Q');
    EXPECT_TRUE(quillon.WaitForLine(expected));
    EXPECT_EQ(quillon.CountLinesStartingWith("Balloon"), 1u);

    // A click on the balloon, as the shell reports it, opens Options at the hotkey field.
    ::PostMessageW(quillon.TrayWindow(), 0x8088, 129, NIN_BALLOONUSERCLICK);
    HWND options = nullptr;
    ASSERT_TRUE(
        WaitFor([&] { return (options = FindTopWindow(quillon.Pid(), L"#32770", L"Options")) != nullptr; },
                5000, "the Options dialog"));
    wchar_t focusClass[64] = {};
    EXPECT_TRUE(WaitFor(
        [&] {
            GUITHREADINFO info{};
            info.cbSize = sizeof(info);
            return ::GetGUIThreadInfo(::GetWindowThreadProcessId(options, nullptr), &info) &&
                   ::GetClassNameW(info.hwndFocus, focusClass, 64) &&
                   std::wstring(focusClass) == L"QuillonHotKeyField";
        },
        5000, "the hotkey field to have the focus"))
        << "focused: " << Utf8Of(focusClass);
    ::PostMessageW(options, WM_COMMAND, IDCANCEL, 0);
    ::UnregisterHotKey(nullptr, 77);
    EXPECT_TRUE(quillon.Program().Exit());
}

TEST(Tray, NoHotkeyRegistersNothingAndWarnsOfNothing) {
    CTracedQuillon quillon(0, {L"txt"});
    ASSERT_TRUE(quillon.Start());
    ASSERT_TRUE(WaitQuillonCaughtUp(quillon.Pid()));
    EXPECT_EQ(quillon.CountLinesStartingWith("Balloon"), 0u) << "a warning was shown";
    EXPECT_TRUE(quillon.Program().Exit());
}

TEST(Tray, ExitFromTheMenuEndsTheProgramAndSavesTheSettings) {
    CTracedQuillon quillon(kCtrlAltQ, {L"txt", L"md"});
    ASSERT_TRUE(quillon.Start());
    // The file is written anew on the way out.
    ASSERT_TRUE(::DeleteFileW(quillon.Program().ConfigPath().c_str()));

    // A right click on the icon, as the shell reports it, opens the menu at the pointer.
    ::SetCursorPos(300, 300);
    ::PostMessageW(quillon.TrayWindow(), 0x8088, 129, WM_RBUTTONUP);
    HWND menu = nullptr;
    ASSERT_TRUE(
        WaitFor([&] { return (menu = QuillonMenu(quillon.Pid())) != nullptr; }, 5000, "the tray menu"));
    // Up from no selection reaches the last item, "Exit".
    TapKey(VK_UP);
    TapKey(VK_RETURN);
    DWORD code = 1;
    ASSERT_TRUE(quillon.Program().Process().WaitExit(15000, &code)) << "Quillon ends after Exit";
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(FileExists(quillon.Program().ConfigPath())) << "the settings are saved at exit";
}

TEST(Tray, EndingTheLogonSavesTheSettings) {
    CTracedQuillon quillon(kCtrlAltQ, {L"txt"});
    ASSERT_TRUE(quillon.Start());
    ASSERT_TRUE(::DeleteFileW(quillon.Program().ConfigPath().c_str()));
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(quillon.Program().ServerWindow(), WM_ENDSESSION, FALSE, 0, SMTO_ABORTIFHUNG, 5000,
                          &result);
    EXPECT_FALSE(FileExists(quillon.Program().ConfigPath())) << "a logon that does not end saves nothing";
    ::SendMessageTimeoutW(quillon.Program().ServerWindow(), WM_ENDSESSION, TRUE, 0, SMTO_ABORTIFHUNG, 5000,
                          &result);
    EXPECT_TRUE(FileExists(quillon.Program().ConfigPath()));
    EXPECT_TRUE(quillon.Program().Exit());

    // An installer closing programs ends Quillon as its Exit does, and the session goes on.
    CTracedQuillon closed(kCtrlAltQ, {L"txt"});
    ASSERT_TRUE(closed.Start());
    ::PostMessageW(closed.Program().ServerWindow(), WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP);
    EXPECT_TRUE(closed.Program().Process().WaitExit(15000)) << "Quillon ends when an installer closes it";
}
