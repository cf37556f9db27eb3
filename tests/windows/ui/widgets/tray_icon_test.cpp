// The tray icon: what it hands the shell, when it adds again, the balloon, the menu and the
// double-click, and its removal. A recorder stands in for the shell where the shell's own
// answer must be chosen; the last test uses the real one.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <thread>
#include <vector>

#include "base/win/handles.h"
#include "resource.h"
#include "ui/widgets/tray_icon.h"
#include "windows/support/message_sink.h"
#include "windows/support/win_test.h"

using namespace quillon;
using namespace quillon::test;

namespace {

struct ShellCall {
    DWORD message;
    NOTIFYICONDATAW data;
};

// Records every call and answers with the next planned result (TRUE when none is left).
struct Recorder {
    std::vector<ShellCall> calls;
    std::vector<BOOL> answers;
    CTrayIcon::ShellCall Function() {
        return [this](DWORD message, NOTIFYICONDATAW* data) {
            calls.push_back({message, *data});
            if (answers.empty())
                return TRUE;
            BOOL answer = answers.front();
            answers.erase(answers.begin());
            return answer;
        };
    }
    size_t Count(DWORD message) const {
        size_t n = 0;
        for (const auto& c : calls)
            n += c.message == message;
        return n;
    }
};

// The callback message the icon is given.
constexpr UINT kTrayMessage = WM_APP + 0x88;
const wchar_t kTakenText[] = L"Another program, or Windows itself, already uses this combination. Click here "
                             L"to choose another one in Options.";

class TrayIconTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_sink.CreateEx(0, nullptr, L"sink", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr));
        m_icon.Reset(::LoadIconW(nullptr, IDI_APPLICATION));
    }
    CMessageSink m_sink{WM_COMMAND}; // where the tray's commands go
    CIconHandle m_icon;
};

} // namespace

TEST_F(TrayIconTest, AddsTheIconWithItsFixedValues) {
    Recorder shell;
    CTrayIcon tray(shell.Function());
    EXPECT_TRUE(tray.IsHidden());
    EXPECT_TRUE(tray.IsRemoved());
    ASSERT_TRUE(tray.AddTrayIcon(m_icon.Get(), m_sink.GetSafeHwnd(), kTrayMessage));
    ASSERT_EQ(shell.calls.size(), 2u);
    const ShellCall& add = shell.calls[0];
    EXPECT_EQ(add.message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(add.data.cbSize, sizeof(NOTIFYICONDATAW));
    EXPECT_EQ(add.data.hWnd, tray.m_hWnd);
    EXPECT_NE(add.data.hWnd, nullptr);
    EXPECT_EQ(add.data.uID, 129u);
    EXPECT_EQ(add.data.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
    EXPECT_EQ(add.data.uCallbackMessage, kTrayMessage);
    EXPECT_EQ(add.data.hIcon, m_icon.Get());
    EXPECT_STREQ(add.data.szTip, L"Quillon");
    EXPECT_FALSE(tray.IsHidden());
    EXPECT_FALSE(tray.IsRemoved());
    EXPECT_EQ(shell.calls[1].message, static_cast<DWORD>(NIM_SETVERSION));
    EXPECT_EQ(shell.calls[1].data.uVersion, static_cast<UINT>(NOTIFYICON_VERSION_4));
    EXPECT_TRUE(tray.IsVersion4());
    // The window is never shown.
    EXPECT_FALSE(::IsWindowVisible(tray.m_hWnd));
}

TEST_F(TrayIconTest, AWorkAreaChangeKeepsTheIconAndTaskbarCreatedAlwaysAddsIt) {
    Recorder shell;
    CTrayIcon tray(shell.Function());
    ASSERT_TRUE(tray.AddTrayIcon(::GetModuleHandleW(nullptr), IDI_TRAY, m_sink.GetSafeHwnd(), kTrayMessage));
    const HICON first = shell.calls[0].data.hIcon;
    ASSERT_NE(first, nullptr) << "the icon resource at the shell's size";
    ASSERT_NE(CTrayIcon::TaskbarCreatedMessage(), 0u);
    EXPECT_EQ(::RegisterWindowMessageW(L"TaskbarCreated"), CTrayIcon::TaskbarCreatedMessage());

    // The shell keeps its icons when the work area changes: adding again would be refused
    // and would lose the icon. Only its image is handed over again, at the size of the day.
    tray.SendMessage(WM_SETTINGCHANGE, SPI_SETWORKAREA);
    tray.SendMessage(WM_DPICHANGED, MAKEWPARAM(144, 144));
    tray.SendMessage(WM_SETTINGCHANGE, SPI_SETDESKWALLPAPER);
    EXPECT_EQ(shell.Count(NIM_ADD), 1u);
    ASSERT_EQ(shell.Count(NIM_MODIFY), 2u);
    EXPECT_EQ(shell.calls.back().data.uFlags, static_cast<UINT>(NIF_ICON));
    EXPECT_NE(shell.calls.back().data.hIcon, nullptr);

    // The shell restarted: it forgot us, so the whole record goes in again, every time, even
    // after one it refused.
    tray.ShowWarningBalloon(L"title"); // leaves uFlags at NIF_INFO
    shell.answers = {FALSE};
    EXPECT_EQ(tray.SendMessage(CTrayIcon::TaskbarCreatedMessage()), 0);
    EXPECT_TRUE(tray.IsHidden());
    EXPECT_EQ(tray.SendMessage(CTrayIcon::TaskbarCreatedMessage()), 0);
    EXPECT_FALSE(tray.IsHidden());
    ASSERT_EQ(shell.Count(NIM_ADD), 3u);
    const ShellCall& again = shell.calls[shell.calls.size() - 2];
    ASSERT_EQ(again.message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(again.data.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
    EXPECT_NE(again.data.hIcon, nullptr);
    EXPECT_EQ(again.data.uID, 129u);
    EXPECT_STREQ(again.data.szTip, L"Quillon");
    EXPECT_EQ(again.data.szInfo[0], L'\0') << "a re-add must not show the balloon again";
    EXPECT_EQ(shell.calls.back().message, static_cast<DWORD>(NIM_SETVERSION));
}

TEST_F(TrayIconTest, AFirstAddTheShellRefusesIsRetriedUntilItTakesIt) {
    Recorder shell;
    shell.answers = {FALSE, FALSE};
    CTrayIcon tray(shell.Function());
    EXPECT_FALSE(tray.AddTrayIcon(m_icon.Get(), m_sink.GetSafeHwnd(), kTrayMessage));
    EXPECT_TRUE(tray.IsHidden());
    // A failure to tell meanwhile (the hotkey taken, say) waits for the icon.
    tray.ShowWarningBalloon(L"Failed to register hot key Win + A");
    EXPECT_EQ(shell.Count(NIM_MODIFY), 0u);
    // The second try is refused too, the third (on the timer's own schedule) is taken.
    ASSERT_TRUE(WaitFor([&] { return shell.Count(NIM_ADD) >= 3; }, 3 * CTrayIcon::kRetryEveryMs + 2000,
                        "the retry timer to add the icon twice more"));
    EXPECT_FALSE(tray.IsHidden());
    EXPECT_FALSE(tray.IsRemoved());
    ASSERT_EQ(shell.calls.back().message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_STREQ(shell.calls.back().data.szInfoTitle, L"Failed to register hot key Win + A");
    EXPECT_STREQ(shell.calls.back().data.szInfo, kTakenText);
    // Taken: the timer stops.
    tray.SendMessage(WM_TIMER, CTrayIcon::kRetryTimer);
    EXPECT_EQ(shell.Count(NIM_ADD), 3u);

    // A shell that never takes it is asked a bounded number of times.
    Recorder never;
    never.answers.assign(CTrayIcon::kRetries + 10, FALSE);
    CTrayIcon refused(never.Function());
    EXPECT_FALSE(refused.AddTrayIcon(m_icon.Get(), m_sink.GetSafeHwnd(), kTrayMessage));
    for (int i = 0; i < CTrayIcon::kRetries + 5; ++i)
        refused.SendMessage(WM_TIMER, CTrayIcon::kRetryTimer);
    EXPECT_EQ(never.Count(NIM_ADD), static_cast<size_t>(CTrayIcon::kRetries) + 1);
    EXPECT_TRUE(refused.IsHidden());
}

TEST_F(TrayIconTest, TheWarningBalloon) {
    Recorder shell;
    CTrayIcon tray(shell.Function());
    ASSERT_TRUE(tray.AddTrayIcon(m_icon.Get(), m_sink.GetSafeHwnd(), kTrayMessage));
    tray.ShowWarningBalloon(L"Failed to register hot key Win + A");
    ASSERT_EQ(shell.calls.back().message, static_cast<DWORD>(NIM_MODIFY));
    NOTIFYICONDATAW shown = shell.calls.back().data;
    EXPECT_EQ(shown.uFlags, static_cast<UINT>(NIF_INFO));
    EXPECT_STREQ(shown.szInfo, kTakenText);
    EXPECT_STREQ(shown.szInfoTitle, L"Failed to register hot key Win + A");
    EXPECT_EQ(shown.dwInfoFlags, static_cast<DWORD>(NIIF_WARNING));
    EXPECT_EQ(shown.uTimeout, 10000u);
    EXPECT_EQ(tray.IconData().szInfo[0], L'\0');

    // A long title is cut to what the record holds; the same balloon shows again.
    const std::wstring longTitle(100, L'x');
    tray.ShowWarningBalloon(longTitle.c_str());
    shown = shell.calls.back().data;
    EXPECT_EQ(std::wstring(shown.szInfoTitle), std::wstring(63, L'x'));
    EXPECT_STREQ(shown.szInfo, kTakenText);
    tray.ShowWarningBalloon(nullptr);
    EXPECT_STREQ(shell.calls.back().data.szInfoTitle, L"");
    EXPECT_EQ(shell.Count(NIM_MODIFY), 3u);
}

TEST_F(TrayIconTest, DestructionDeletesTheIconAndItsWindow) {
    Recorder shell;
    HWND window = nullptr;
    {
        CTrayIcon tray(shell.Function());
        ASSERT_TRUE(tray.AddTrayIcon(m_icon.Get(), m_sink.GetSafeHwnd(), kTrayMessage));
        window = tray.m_hWnd;
    }
    ASSERT_EQ(shell.calls.back().message, static_cast<DWORD>(NIM_DELETE));
    EXPECT_EQ(shell.calls.back().data.uFlags, 0u);
    EXPECT_EQ(shell.calls.back().data.uID, 129u);
    EXPECT_FALSE(::IsWindow(window));

    // Nothing to delete when the add failed; the window still goes.
    Recorder refused;
    refused.answers = {FALSE};
    {
        CTrayIcon tray(refused.Function());
        tray.AddTrayIcon(m_icon.Get(), m_sink.GetSafeHwnd(), kTrayMessage);
        window = tray.m_hWnd;
    }
    EXPECT_EQ(refused.Count(NIM_DELETE), 0u);
    EXPECT_FALSE(::IsWindow(window));
}

TEST_F(TrayIconTest, DoubleClickAndTheTakenHotkeysBalloonSendCommandsAndOtherClicksNothing) {
    Recorder shell;
    CTrayIcon tray(shell.Function());
    ASSERT_TRUE(tray.AddTrayIcon(m_icon.Get(), m_sink.GetSafeHwnd(), kTrayMessage));
    tray.SetDefaultCommand(ID_TRAY_OPTIONS);

    EXPECT_EQ(tray.SendMessage(kTrayMessage, 128, WM_LBUTTONDBLCLK), 0)
        << "another icon's message is ignored";
    EXPECT_EQ(tray.SendMessage(kTrayMessage, 129, WM_LBUTTONUP), 1);
    EXPECT_EQ(tray.SendMessage(kTrayMessage, 129, WM_RBUTTONDOWN), 1);
    EXPECT_EQ(tray.SendMessage(kTrayMessage, 129, WM_MOUSEMOVE), 1);
    Pump();
    EXPECT_TRUE(m_sink.received.empty());

    // Only the low word of the mouse message counts (version-4 notifications carry more).
    EXPECT_EQ(tray.SendMessage(kTrayMessage, 129, MAKELPARAM(WM_LBUTTONDBLCLK, 129)), 1);

    // A click on the balloon of a taken hotkey asks for another one, once; a click on a
    // notice, or after the balloon timed out, asks for nothing.
    tray.ShowBalloon(L"Quillon", L"a notice", true);
    tray.SendMessage(kTrayMessage, 129, NIN_BALLOONUSERCLICK);
    tray.ShowWarningBalloon(L"Failed to register hot key", ID_TRAY_CHOOSE_HOTKEY);
    tray.SendMessage(kTrayMessage, 129, MAKELPARAM(NIN_BALLOONUSERCLICK, 129));
    tray.SendMessage(kTrayMessage, 129, NIN_BALLOONUSERCLICK);
    tray.ShowWarningBalloon(L"Failed to register hot key", ID_TRAY_CHOOSE_HOTKEY);
    tray.SendMessage(kTrayMessage, 129, NIN_BALLOONTIMEOUT);
    tray.SendMessage(kTrayMessage, 129, NIN_BALLOONUSERCLICK);
    Pump();
    EXPECT_EQ(m_sink.received, (std::vector<WPARAM>{ID_TRAY_OPTIONS, ID_TRAY_CHOOSE_HOTKEY}));
}

namespace {

// Looks at the menu before it shows, then closes it from a timer.
class CMenuWatcher : public CTrayIcon {
public:
    using CTrayIcon::CTrayIcon;
    std::vector<std::pair<UINT, std::wstring>> items;
    UINT defaultItem = 0;
    bool seen = false;

protected:
    void OnBeforeTrayMenu(HMENU popup) override {
        seen = true;
        for (int i = 0; i < ::GetMenuItemCount(popup); ++i) {
            wchar_t text[64] = {};
            ::GetMenuStringW(popup, i, text, 64, MF_BYPOSITION);
            items.emplace_back(::GetMenuItemID(popup, i), text);
        }
        defaultItem = ::GetMenuDefaultItem(popup, FALSE, 0);
        ::SetTimer(m_hWnd, 7, 50, [](HWND hwnd, UINT, UINT_PTR id, DWORD) {
            ::KillTimer(hwnd, id);
            ::EndMenu();
        });
    }
};

} // namespace

TEST_F(TrayIconTest, RightClickShowsTheTrayMenuWithOptionsAsDefault) {
    Recorder shell;
    CMenuWatcher tray(shell.Function());
    ASSERT_TRUE(tray.AddTrayIcon(m_icon.Get(), m_sink.GetSafeHwnd(), kTrayMessage));
    tray.SetDefaultCommand(ID_TRAY_OPTIONS);
    EXPECT_EQ(tray.SendMessage(kTrayMessage, 129, WM_RBUTTONUP), 1); // returns when the menu closes
    ASSERT_TRUE(tray.seen);
    const std::vector<std::pair<UINT, std::wstring>> expected = {
        {ID_TRAY_OPTIONS, L"Options"}, {ID_TRAY_ABOUT, L"About"}, {ID_TRAY_EXIT, L"Exit"}};
    EXPECT_EQ(tray.items, expected);
    EXPECT_EQ(tray.defaultItem, ID_TRAY_OPTIONS);
    Pump();
    EXPECT_TRUE(m_sink.received.empty()) << "a closed menu sends no command";
}

TEST_F(TrayIconTest, AClickTheShellSendsDuringAWaitOpensTheMenuOnlyFromTheMessageLoop) {
    Recorder shell;
    CMenuWatcher tray(shell.Function());
    ASSERT_TRUE(tray.AddTrayIcon(m_icon.Get(), m_sink.GetSafeHwnd(), kTrayMessage));
    HWND window = tray.m_hWnd;
    // The shell's thread sends the right click while this thread is in a wait of the edit road,
    // which answers sent messages only.
    std::thread shellThread([&] { ::SendNotifyMessageW(window, kTrayMessage, 129, WM_RBUTTONUP); });
    shellThread.join();
    MSG msg;
    ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    EXPECT_FALSE(tray.seen) << "the menu opened inside the wait";
    Pump();
    EXPECT_TRUE(tray.seen) << "the menu never opened from the message loop";
}

namespace {

// Stands in for the popup: records where it would show and answers with a chosen command.
class CMenuAnswer : public CTrayIcon {
public:
    using CTrayIcon::CTrayIcon;
    std::vector<POINT> shownAt;
    UINT answer = 0;

protected:
    UINT TrackTrayMenu(HMENU, POINT at, HWND) override {
        shownAt.push_back(at);
        return answer;
    }
};

} // namespace

TEST_F(TrayIconTest, TheKeyboardOpensOptionsAndTheMenuAtTheIconAndEscapeGoesBackToIt) {
    Recorder shell;
    CMenuAnswer tray(shell.Function());
    ASSERT_TRUE(tray.AddTrayIcon(m_icon.Get(), m_sink.GetSafeHwnd(), kTrayMessage));
    tray.SetDefaultCommand(ID_TRAY_OPTIONS);
    const WPARAM anchor = MAKEWPARAM(1200, 1000); // the icon, far from the pointer
    const auto notify = [&](UINT event) {
        return tray.SendMessage(kTrayMessage, anchor, MAKELPARAM(event, 129));
    };

    // Enter or Space on the focused icon; a plain click does nothing.
    EXPECT_EQ(notify(NIN_SELECT), 1);
    EXPECT_EQ(notify(NIN_KEYSELECT), 1);
    Pump();
    ASSERT_EQ(m_sink.received, std::vector<WPARAM>{ID_TRAY_OPTIONS});

    // Shift+F10 or the menu key: the menu at the icon; Escape gives the focus back to it.
    EXPECT_EQ(notify(WM_CONTEXTMENU), 1);
    ASSERT_EQ(tray.shownAt.size(), 1u);
    EXPECT_EQ(tray.shownAt[0].x, 1200);
    EXPECT_EQ(tray.shownAt[0].y, 1000);
    EXPECT_EQ(shell.calls.back().message, static_cast<DWORD>(NIM_SETFOCUS));

    // The right button: one menu (on WM_CONTEXTMENU, not on the release as well), the choice
    // goes to the target, and the focus stays where the mouse put it.
    tray.answer = ID_TRAY_EXIT;
    const size_t before = shell.calls.size();
    notify(WM_RBUTTONDOWN);
    notify(WM_RBUTTONUP);
    notify(WM_CONTEXTMENU);
    EXPECT_EQ(tray.shownAt.size(), 2u);
    EXPECT_EQ(shell.calls.size(), before);
    Pump();
    EXPECT_EQ(m_sink.received, (std::vector<WPARAM>{ID_TRAY_OPTIONS, ID_TRAY_EXIT}));
}

TEST_F(TrayIconTest, WithoutACommandTargetCallbacksAreIgnored) {
    Recorder shell;
    CMenuWatcher tray(shell.Function());
    ASSERT_TRUE(tray.AddTrayIcon(m_icon.Get(), nullptr, kTrayMessage));
    EXPECT_EQ(tray.SendMessage(kTrayMessage, 129, WM_RBUTTONUP), 0);
    EXPECT_EQ(tray.SendMessage(kTrayMessage, 129, WM_LBUTTONDBLCLK), 0);
    EXPECT_FALSE(tray.seen);
}

TEST_F(TrayIconTest, TheRealShellTakesTheIconAndGivesItBack) {
    HWND window = nullptr;
    {
        CTrayIcon tray;
        ASSERT_TRUE(tray.AddTrayIcon(m_icon.Get(), m_sink.GetSafeHwnd(), kTrayMessage));
        window = tray.m_hWnd;
        EXPECT_TRUE(ShellHasIcon(window, 129));
        // The shell forgets its icons (restarted): the broadcast brings ours back.
        ASSERT_TRUE(RemoveShellIcon(window, 129));
        EXPECT_FALSE(ShellHasIcon(window, 129));
        tray.SendMessage(CTrayIcon::TaskbarCreatedMessage());
        EXPECT_TRUE(ShellHasIcon(window, 129));
        EXPECT_FALSE(tray.IsHidden());
    }
    EXPECT_FALSE(ShellHasIcon(window, 129));
}
