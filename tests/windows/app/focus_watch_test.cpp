// The focus check run by another program's focus changes: at once without any timer, once
// for a burst of changes, and never inside an edit (but a return made meanwhile is seen).
#include <gtest/gtest.h>

#include <windows.h>

#include "app/focus_watch.h"
#include "config/config_platform.h"
#include "e2e/support/e2e.h"
#include "engine/edit_engine.h"
#include "framework/wnd.h"
#include "native/engine/fake_system.h"

using namespace quillon;
using namespace quillon::e2e;

namespace {

// The engine's seam, recording which temporary files the engine looks at: one per check
// that found the focus on a box with an open edit.
class CLookingSystem : public test::CFakeSystem {
public:
    std::vector<std::u16string> looked;
    FileHandle OpenFileForRead(const std::u16string& path) override {
        looked.push_back(path);
        return nullptr;
    }
};

constexpr UINT kSentinel = WM_APP + 1;

// Stands in for the server window: receives the watch's message and runs its handler.
struct WatchWindow : CWnd {
    CFocusWatch* watch = nullptr;
    int changes = 0;
    bool sentinel = false;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_FOCUS_CHANGED) {
            ++changes;
            watch->OnFocusChanged();
            return 0;
        }
        if (message == kSentinel) {
            sentinel = true;
            return 0;
        }
        return CWnd::WindowProc(message, wParam, lParam);
    }

    explicit WatchWindow(CFocusWatch& w) : watch(&w) {
        CreateEx(0, nullptr, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr);
    }
    // Every message posted before this call has been handled when it returns.
    ::testing::AssertionResult Drain() {
        sentinel = false;
        PostMessage(kSentinel);
        return WaitFor([&] { return sentinel; }, 5000, "the messages posted before the sentinel");
    }
};

// Counts the focus changes the system reports, on a hook of its own.
int g_reportedFocusChanges = 0;
void CALLBACK CountFocusChange(HWINEVENTHOOK, DWORD, HWND, LONG, LONG, DWORD, DWORD) {
    ++g_reportedFocusChanges;
}

class FocusWatch : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_box.Start());
        for (auto [box, path] : {std::pair{CTextBoxApp::kMultiLine, u"multi"},
                                 {CTextBoxApp::kSingleLine, u"single"},
                                 {CTextBoxApp::kOther, u"other"}})
            m_engine.table.edits.push_back(OpenEdit{m_box.BoxWindow(box), path, 0});
        ASSERT_TRUE(m_box.Focus(CTextBoxApp::kMultiLine));
        // No timer anywhere: only the hooks can start a check.
        ASSERT_TRUE(m_watch.Start(m_window.m_hWnd));
    }
    ::testing::AssertionResult WaitLooked(const std::u16string& path) {
        return WaitFor([&] { return !m_system.looked.empty() && m_system.looked.back() == path; }, 10000,
                       "the engine to look at the edit of the box focused last");
    }
    // Asks the text-box program to focus a box, without reading this thread's messages.
    void PostFocus(CTextBoxApp::Box box) {
        static const UINT focusMessage = ::RegisterWindowMessageW(L"QuillonTestBoxFocus");
        ::PostMessageW(m_box.Window(), focusMessage, box, 0);
    }

    CTextBoxApp m_box;
    CLookingSystem m_system;
    CSettingsStore settings{DefaultConfigPlatform()};
    CTextRoutes routes{m_system, settings};
    CEditEngine m_engine{m_system, settings, routes};
    CFocusWatch m_watch{m_engine};
    WatchWindow m_window{m_watch};
};

TEST_F(FocusWatch, AFocusChangeInAnotherProgramStartsTheCheckAtOnce) {
    ASSERT_TRUE(m_box.Focus(CTextBoxApp::kSingleLine));
    ASSERT_TRUE(WaitLooked(u"single"));
    EXPECT_EQ(m_watch.LastFocus(), m_box.BoxWindow(CTextBoxApp::kSingleLine));
}

TEST_F(FocusWatch, ABurstOfChangesGivesOneCheckOfTheLastFocus) {
    CWinEventHookHandle counter(::SetWinEventHook(EVENT_OBJECT_FOCUS, EVENT_OBJECT_FOCUS, nullptr,
                                                  CountFocusChange, 0, 0,
                                                  WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS));
    ASSERT_TRUE(counter);
    ASSERT_TRUE(m_window.Drain());
    m_window.changes = 0;
    m_system.looked.clear();
    g_reportedFocusChanges = 0;
    // Eight focus changes, made before this thread reads a message again.
    const CTextBoxApp::Box boxes[] = {
        CTextBoxApp::kSingleLine, CTextBoxApp::kMultiLine, CTextBoxApp::kSingleLine, CTextBoxApp::kMultiLine,
        CTextBoxApp::kSingleLine, CTextBoxApp::kMultiLine, CTextBoxApp::kSingleLine, CTextBoxApp::kOther};
    for (auto box : boxes)
        PostFocus(box);
    const ULONGLONG deadline = ::GetTickCount64() + 10000;
    while (ForegroundFocus() != m_box.BoxWindow(CTextBoxApp::kOther)) {
        ASSERT_LT(::GetTickCount64(), deadline) << "the text-box program never focused its last box";
        ::Sleep(1);
    }
    ASSERT_TRUE(
        WaitFor([] { return g_reportedFocusChanges >= 8; }, 10000, "the eight focus changes to be reported"));
    ASSERT_TRUE(m_window.Drain());
    // One check for the burst; the system may hand over the last change a moment after the
    // others, after that check ran, and then it gets one of its own.
    EXPECT_GE(m_window.changes, 1);
    EXPECT_LE(m_window.changes, 2);
    EXPECT_EQ(m_system.looked, std::vector<std::u16string>{u"other"});
}

// A user who leaves the box and comes back while an edit is under way has returned to it:
// once the edit is over the box is looked at, though the focus is where it was.
TEST_F(FocusWatch, ALeaveAndReturnDuringAnEditIsCheckedWhenTheEditIsOver) {
    ASSERT_TRUE(m_box.Focus(CTextBoxApp::kSingleLine));
    ASSERT_TRUE(WaitLooked(u"single"));
    {
        CFocusWatch::CEditScope starting(m_watch);
        const int before = m_window.changes;
        ASSERT_TRUE(m_box.Focus(CTextBoxApp::kMultiLine));
        ASSERT_TRUE(m_box.Focus(CTextBoxApp::kSingleLine));
        ASSERT_TRUE(
            WaitFor([&] { return m_window.changes > before; }, 10000, "the focus changes to be reported"));
        ASSERT_TRUE(m_window.Drain());
        EXPECT_EQ(m_system.looked.size(), 1u) << "a check ran inside the edit";
    }
    EXPECT_TRUE(WaitFor([&] { return m_system.looked.size() == 2; }, 10000, "a second look at the box"));
    EXPECT_EQ(m_system.looked.back(), u"single");
}

} // namespace
