// Whether this desktop session gives the tests what they use: an interactive window station,
// a global hotkey, a low-level keyboard hook, keys synthesised into a focused box of the
// foreground window, the foreground passing between programs, the clipboard and the
// notification area.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/win/handles.h"
#include "e2e/support/e2e.h"
#include "windows/support/win_test.h"

using namespace quillon;
using namespace quillon::test;
using quillon::e2e::CTextBoxApp;

namespace {

const wchar_t kClassName[] = L"QuillonDesktopSmoke";
const UINT kTrayMessage = WM_APP + 1;
const UINT kTrayId = 7;
const int kHotkeyId = 0x5A;
const int kEditId = 100;

// What the window and the hook saw; one window and one hook at a time.
int g_hotkeys = 0;
int g_injectedKeysSeen = 0;

LRESULT CALLBACK SmokeWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_HOTKEY && wParam == kHotkeyId)
        ++g_hotkeys;
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK KeyboardHook(int code, WPARAM wParam, LPARAM lParam) {
    const auto* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
    if (code == HC_ACTION && key->vkCode == VK_F24 && (key->flags & LLKHF_INJECTED))
        ++g_injectedKeysSeen;
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// A shown top-level window in the middle of the work area holding one edit box.
class CSmokeWindow {
public:
    CSmokeWindow() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = SmokeWindowProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = kClassName;
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        ::RegisterClassW(&wc);
        const RECT work = PrimaryWorkArea();
        m_hwnd = ::CreateWindowExW(0, kClassName, L"Desktop check", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                   (work.left + work.right) / 2 - 150, (work.top + work.bottom) / 2 - 60, 300,
                                   120, nullptr, nullptr, wc.hInstance, nullptr);
        m_edit =
            ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_BORDER, 10, 10, 260, 24, m_hwnd,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(kEditId)), wc.hInstance, nullptr);
        Pump();
    }
    ~CSmokeWindow() {
        ::DestroyWindow(m_hwnd);
        ::UnregisterClassW(kClassName, ::GetModuleHandleW(nullptr));
    }
    CSmokeWindow(const CSmokeWindow&) = delete;
    CSmokeWindow& operator=(const CSmokeWindow&) = delete;
    HWND Window() const { return m_hwnd; }
    HWND Edit() const { return m_edit; }

private:
    HWND m_hwnd = nullptr;
    HWND m_edit = nullptr;
};

std::wstring ObjectName(HANDLE object) {
    wchar_t name[256] = {};
    DWORD needed = 0;
    ::GetUserObjectInformationW(object, UOI_NAME, name, sizeof(name) - sizeof(wchar_t), &needed);
    return name;
}

// Names the foreground window for a failure message: whoever holds it is what stops us.
std::string DescribeForeground() {
    HWND foreground = ::GetForegroundWindow();
    if (!foreground)
        return "no foreground window";
    wchar_t className[128] = {}, title[128] = {};
    ::GetClassNameW(foreground, className, 128);
    ::GetWindowTextW(foreground, title, 128);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(foreground, &pid);
    return "foreground: class " + Utf8Of(className) + ", title \"" + Utf8Of(title) + "\", process " +
           std::to_string(pid);
}

} // namespace

TEST(DesktopSmoke, SessionIsInteractiveWithAScreen) {
    // A service's session has another window station and no input desktop: no key, no window
    // and no tray icon of a test would ever be seen there.
    EXPECT_EQ(ObjectName(::GetProcessWindowStation()), L"WinSta0");
    HDESK input = ::OpenInputDesktop(0, FALSE, DESKTOP_READOBJECTS);
    ASSERT_NE(input, nullptr) << "no input desktop (a locked or disconnected session), error "
                              << ::GetLastError();
    EXPECT_EQ(ObjectName(input), L"Default");
    ::CloseDesktop(input);
    const int width = ::GetSystemMetrics(SM_CXSCREEN), height = ::GetSystemMetrics(SM_CYSCREEN);
    ::testing::Test::RecordProperty("screen", std::to_string(width) + "x" + std::to_string(height));
    HDC screen = ::GetDC(nullptr);
    ::testing::Test::RecordProperty("dpi", ::GetDeviceCaps(screen, LOGPIXELSX));
    ::ReleaseDC(nullptr, screen);
    ::testing::Test::RecordProperty("wine", RunningUnderWine() ? "yes" : "no");
    EXPECT_GE(width, 1024);
    EXPECT_GE(height, 768);
}

TEST(DesktopSmoke, HotkeyFiresOnSynthesisedKeys) {
    CSmokeWindow window;
    g_hotkeys = 0;
    // A combination nobody else holds (F12 is the debugger's on Windows).
    ASSERT_TRUE(::RegisterHotKey(window.Window(), kHotkeyId, MOD_CONTROL | MOD_ALT | MOD_SHIFT | MOD_NOREPEAT,
                                 VK_F10))
        << "Ctrl+Alt+Shift+F10 is registered by another program, error " << ::GetLastError();
    PressWithModifiers({VK_CONTROL, VK_MENU, VK_SHIFT}, VK_F10);
    ReleaseKeys({VK_SHIFT, VK_MENU, VK_CONTROL});
    EXPECT_TRUE(WaitFor([] { return g_hotkeys > 0; }, 5000, "WM_HOTKEY for Ctrl+Alt+Shift+F10"));
    ::UnregisterHotKey(window.Window(), kHotkeyId);
}

TEST(DesktopSmoke, LowLevelKeyboardHookSeesSynthesisedKeys) {
    g_injectedKeysSeen = 0;
    CHookHandle hook(::SetWindowsHookExW(WH_KEYBOARD_LL, KeyboardHook, ::GetModuleHandleW(nullptr), 0));
    ASSERT_TRUE(hook) << "SetWindowsHookExW(WH_KEYBOARD_LL) failed with error " << ::GetLastError();
    // F24: no keyboard has it, so no program acts on it.
    TapKey(VK_F24);
    EXPECT_TRUE(WaitFor([] { return g_injectedKeysSeen >= 2; }, 5000,
                        "the hook to see F24 go down and up, marked as injected"));
}

TEST(DesktopSmoke, SynthesisedTextReachesTheFocusedBoxOfTheForegroundWindow) {
    CSmokeWindow window;
    // The suites' helper programs bring themselves to the foreground the same way.
    ::SetForegroundWindow(window.Window());
    ASSERT_TRUE(WaitFor([&] { return ::GetForegroundWindow() == window.Window(); }, 5000,
                        "this window to become the foreground window"))
        << DescribeForeground();
    ::SetFocus(window.Edit());
    const std::wstring text = L"Qz1\u00e9";
    std::vector<INPUT> inputs;
    for (wchar_t c : text)
        for (DWORD up : {0ul, static_cast<DWORD>(KEYEVENTF_KEYUP)}) {
            INPUT in{};
            in.type = INPUT_KEYBOARD;
            in.ki.wScan = c;
            in.ki.dwFlags = KEYEVENTF_UNICODE | up;
            inputs.push_back(in);
        }
    ASSERT_EQ(::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)), inputs.size())
        << "SendInput was blocked, error " << ::GetLastError();
    EXPECT_TRUE(WaitFor([&] { return ItemText(window.Window(), kEditId) == text; }, 5000,
                        "the typed text in the edit box"))
        << "box holds \"" << Utf8Of(ItemText(window.Window(), kEditId)) << "\"; " << DescribeForeground();
}

TEST(DesktopSmoke, TheForegroundGoesBackAndForthBetweenTwoPrograms) {
    // The whole-program suites hand the foreground between the text-box program, Quillon's
    // dialogs, the editor and themselves: a system that refuses the hand-over (its foreground
    // lock) fails them all, and says so here first.
    CSmokeWindow window;
    CTextBoxApp box;
    ASSERT_TRUE(box.Start());
    ASSERT_TRUE(box.Focus(CTextBoxApp::kMultiLine, 10000)) << DescribeForeground();
    ::SetForegroundWindow(window.Window());
    ASSERT_TRUE(WaitFor([&] { return ::GetForegroundWindow() == window.Window(); }, 10000,
                        "this window to take the foreground back from the text-box program"))
        << DescribeForeground();
    EXPECT_TRUE(box.Focus(CTextBoxApp::kSingleLine, 10000)) << DescribeForeground();
}

TEST(DesktopSmoke, ClipboardTakesAndGivesBackText) {
    CSmokeWindow window;
    const DWORD before = ::GetClipboardSequenceNumber();
    const std::wstring text = L"desktop check \u20ac";
    ASSERT_TRUE(OpenClipboardPatiently(window.Window()));
    ::EmptyClipboard();
    const std::string bytes(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * sizeof(wchar_t));
    const bool set = ::SetClipboardData(CF_UNICODETEXT, GlobalBytes(bytes)) != nullptr;
    ::CloseClipboard();
    ASSERT_TRUE(set) << "SetClipboardData failed with error " << ::GetLastError();
    // The number may jump by more than one: only that it moved is promised.
    EXPECT_NE(::GetClipboardSequenceNumber(), before);
    std::string back;
    for (const ClipFormat& format : ReadClipboard())
        if (format.format == CF_UNICODETEXT)
            back = format.bytes;
    EXPECT_EQ(back.substr(0, bytes.size()), bytes);
}

TEST(DesktopSmoke, NotificationAreaTakesAnIcon) {
    CSmokeWindow window;
    NOTIFYICONDATAW icon{};
    icon.cbSize = sizeof(icon);
    icon.hWnd = window.Window();
    icon.uID = kTrayId;
    icon.uFlags = NIF_ICON | NIF_MESSAGE | NIF_TIP;
    icon.uCallbackMessage = kTrayMessage;
    icon.hIcon = ::LoadIconW(nullptr, IDI_APPLICATION);
    wcscpy_s(icon.szTip, L"Desktop check");
    // Without a running taskbar the shell refuses the icon: no tray test could pass.
    ASSERT_TRUE(::Shell_NotifyIconW(NIM_ADD, &icon)) << "Shell_NotifyIconW(NIM_ADD) was refused";
    EXPECT_TRUE(ShellHasIcon(window.Window(), kTrayId));
    EXPECT_TRUE(RemoveShellIcon(window.Window(), kTrayId));
}
