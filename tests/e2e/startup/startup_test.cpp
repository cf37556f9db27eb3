// Start-up and shut-down of the whole program: it never takes the focus, runs once, and
// a new start succeeds as soon as the previous one has exited.
#include "e2e/support/e2e.h"

using namespace quillon::e2e;

namespace {

const unsigned kCtrlAltQ = ('Q' << 8) | 0x03;

std::string Config() {
    return MakeConfigXml(kCtrlAltQ, {{L"txt", L"", L"", true}});
}

// The "already running" box of a process: a dialog captioned "Quillon" with that text.
HWND AlreadyRunningBox(DWORD pid) {
    HWND box = FindTopWindow(pid, L"#32770", L"Quillon");
    if (!box)
        return nullptr;
    HWND child = nullptr;
    while ((child = ::FindWindowExW(box, child, L"Static", nullptr)) != nullptr) {
        wchar_t text[128] = {};
        ::GetWindowTextW(child, text, 128);
        if (std::wstring(text) == L"Quillon is already running.")
            return box;
    }
    return nullptr;
}

} // namespace

TEST(Startup, TheTextBoxKeepsTheFocusWhileQuillonStarts) {
    CTextBoxApp box;
    ASSERT_TRUE(box.Start());
    ASSERT_TRUE(box.Focus(CTextBoxApp::kMultiLine));
    CQuillon quillon(Config());
    ASSERT_TRUE(quillon.Start());
    HWND server = quillon.ServerWindow();
    ASSERT_NE(server, nullptr);
    // Once the program is idle in its modal loop, start-up is over.
    ASSERT_EQ(::WaitForInputIdle(quillon.Process().Handle(), 30000), 0u);
    // Once what start-up posted is handled and a focus poll of the program has run (sent
    // as its timer would), the server window must still be hidden and the box focused.
    ASSERT_TRUE(WaitQuillonCaughtUp(quillon.Process().Id()));
    DWORD_PTR polled = 0;
    ASSERT_TRUE(::SendMessageTimeoutW(server, WM_TIMER, 1, 0, SMTO_ABORTIFHUNG, 5000, &polled))
        << "Quillon did not answer a focus poll";
    EXPECT_EQ(ForegroundFocus(), box.BoxWindow(CTextBoxApp::kMultiLine)) << "the focus moved away";
    EXPECT_FALSE(::IsWindowVisible(server));
    EXPECT_NE(::GetForegroundWindow(), server);
    EXPECT_TRUE(quillon.Exit());
}

TEST(Startup, ASecondStartSaysSoOnceAndLeavesTheFirstRunning) {
    CQuillon first(Config());
    ASSERT_TRUE(first.Start());
    ASSERT_NE(first.ServerWindow(), nullptr);

    CQuillon second(Config());
    ASSERT_TRUE(second.Start());
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (box = AlreadyRunningBox(second.Process().Id())) != nullptr; }, 30000,
                        "the \"Quillon is already running.\" box of the second start"));
    EXPECT_EQ(FindTopWindow(second.Process().Id(), L"#32770", L""), nullptr)
        << "the second start must not create a server window";
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    DWORD code = 0;
    ASSERT_TRUE(second.Process().WaitExit(30000, &code)) << "the second start ends after its box";
    EXPECT_TRUE(first.Process().Running());
    EXPECT_EQ(AlreadyRunningBox(first.Process().Id()), nullptr);

    // Exit ends the first; a new start then succeeds at once.
    ASSERT_TRUE(first.Exit());
    CQuillon third(Config());
    ASSERT_TRUE(third.Start());
    ASSERT_NE(third.ServerWindow(), nullptr);
    EXPECT_EQ(AlreadyRunningBox(third.Process().Id()), nullptr);
    EXPECT_TRUE(third.Exit());
}

TEST(Startup, TwoStartsAtTheSameMomentLeaveExactlyOneRunning) {
    CQuillon a(Config());
    CQuillon b(Config());
    ASSERT_TRUE(a.Start());
    ASSERT_TRUE(b.Start());
    // Exactly one of them shows the box; the other runs.
    HWND boxA = nullptr, boxB = nullptr;
    ASSERT_TRUE(WaitFor(
        [&] {
            boxA = AlreadyRunningBox(a.Process().Id());
            boxB = AlreadyRunningBox(b.Process().Id());
            return (boxA != nullptr) != (boxB != nullptr);
        },
        30000, "exactly one of two simultaneous starts to say it is already running"));
    CQuillon& loser = boxA ? a : b;
    CQuillon& winner = boxA ? b : a;
    ::PostMessageW(boxA ? boxA : boxB, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(loser.Process().WaitExit(30000));
    EXPECT_NE(winner.ServerWindow(), nullptr);
    EXPECT_TRUE(winner.Exit());
}
