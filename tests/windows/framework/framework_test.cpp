// The window framework under Wine: binding on creation and unbinding under another
// subclass, dialogs from resources and from memory, nested modal loops, reflected
// notifications and PreTranslateMessage order.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/button.h"
#include "framework/dialog.h"
#include "framework/edit.h"
#include "framework/wnd.h"
#include "windows/support/win_test.h"
#include "windows/support/win_test.h"

using namespace quillon;
using namespace quillon::test;

namespace {

constexpr UINT kWatchdogTimer = 99;
constexpr UINT kStepTimer = 98;
constexpr INT_PTR kTimedOut = -2;

// A dialog whose test body runs from a timer inside its own modal loop, with a watchdog
// that ends it when the awaited thing never happens.
class CTestDialog : public CDialog {
public:
    using CDialog::CDialog;
    std::function<void(CTestDialog&)> onInit;
    std::function<bool(CTestDialog&)> step; // polled every 10 ms until it returns true
    std::vector<UINT> seen;
    bool OnInitDialog() override {
        CDialog::OnInitDialog();
        ::SetTimer(m_hWnd, kWatchdogTimer, 10000, nullptr);
        if (step)
            ::SetTimer(m_hWnd, kStepTimer, 10, nullptr);
        if (onInit)
            onInit(*this);
        return true;
    }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        seen.push_back(message);
        if (message == WM_TIMER && wParam == kWatchdogTimer) {
            EndDialog(kTimedOut);
            return 0;
        }
        if (message == WM_TIMER && wParam == kStepTimer && step) {
            ::KillTimer(m_hWnd, kStepTimer);
            if (!step(*this) && !IsEnded())
                ::SetTimer(m_hWnd, kStepTimer, 10, nullptr);
            return 0;
        }
        return CDialog::WindowProc(message, wParam, lParam);
    }
    bool IsEnded() const { return !IsModalRunning(); }
};

// An in-memory template: one dialog with an edit control (id 1001) and, after it, a static
// (id 1002) whose text leaves the one before it unaligned.
CDialogTemplate MemoryTemplate() {
    CDialogTemplate t(L"From memory", WS_POPUP | WS_CAPTION | DS_MODALFRAME, {0, 0, 150, 60}, 8,
                      L"MS Shell Dlg");
    t.Control(0x0081, 1001, L"hello", WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL, {5, 5, 105, 19})
        .Control(0x0082, 1002, L"world!", WS_CHILD | WS_VISIBLE, {5, 25, 105, 35});
    return t;
}

class CNotifiedButton : public CWnd {
public:
    int clicks = 0, draws = 0, notifies = 0, colors = 0;
    bool OnChildNotify(UINT message, WPARAM wParam, LPARAM, LRESULT* result) override {
        switch (message) {
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED)
                ++clicks;
            *result = 0;
            return true;
        case WM_DRAWITEM:
            ++draws;
            *result = TRUE;
            return true;
        case WM_NOTIFY:
            ++notifies;
            *result = 42;
            return true;
        case WM_CTLCOLORBTN:
            ++colors;
            return false; // not asked for: the parent answers
        default:
            return false;
        }
    }
};

class CKeyEdit : public CWnd {
public:
    std::vector<WPARAM> keys;
    bool PreTranslateMessage(MSG* msg) override {
        if (msg->message == WM_KEYDOWN) {
            keys.push_back(msg->wParam);
            return msg->wParam == VK_RETURN; // Enter is ours, Escape goes on to the dialog
        }
        return false;
    }
};

} // namespace

TEST(Framework, CreatedWindowIsBoundBeforeItsFirstMessageAndUnboundAtTheEnd) {
    struct CProbe : CWnd {
        std::vector<UINT> seen;
        bool postNcDestroy = false;
        LRESULT WindowProc(UINT m, WPARAM w, LPARAM l) override {
            seen.push_back(m);
            return CWnd::WindowProc(m, w, l);
        }
        void PostNcDestroy() override { postNcDestroy = true; }
    } probe;
    ASSERT_TRUE(probe.CreateEx(0, nullptr, L"probe", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr));
    ASSERT_FALSE(probe.seen.empty());
    // The very first message a window gets (WM_GETMINMAXINFO or WM_NCCREATE) reached us.
    EXPECT_TRUE(probe.seen.front() == WM_NCCREATE || probe.seen.front() == WM_GETMINMAXINFO);
    HWND hwnd = probe.m_hWnd;
    EXPECT_EQ(CWnd::FromHandle(hwnd), &probe);
    probe.DestroyWindow();
    EXPECT_EQ(probe.m_hWnd, nullptr);
    EXPECT_TRUE(probe.postNcDestroy);
    EXPECT_EQ(CWnd::FromHandle(hwnd), nullptr);
}

TEST(Framework, DialogFromResourceRunsInitAndEndsWithTheGivenCode) {
    CTestDialog dlg(100);
    bool inited = false;
    dlg.onInit = [&](CTestDialog& d) {
        inited = true;
        EXPECT_NE(d.GetDlgItem(1001), nullptr);
        d.PostMessage(WM_COMMAND, IDOK, 0);
    };
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_TRUE(inited);
    EXPECT_EQ(dlg.m_hWnd, nullptr) << "the window is destroyed when DoModal returns";
}

TEST(Framework, DialogFromMemoryTemplate) {
    auto tmpl = MemoryTemplate();
    CTestDialog dlg;
    dlg.InitModalIndirect(tmpl.Get());
    std::wstring title, edit, label;
    dlg.onInit = [&](CTestDialog& d) {
        wchar_t buf[32] = {};
        ::GetWindowTextW(d.m_hWnd, buf, 32);
        title = buf;
        ::GetDlgItemTextW(d.m_hWnd, 1001, buf, 32);
        edit = buf;
        ::GetDlgItemTextW(d.m_hWnd, 1002, buf, 32);
        label = buf;
        d.EndDialog(17);
    };
    EXPECT_EQ(dlg.DoModal(), 17);
    EXPECT_EQ(title, L"From memory");
    EXPECT_EQ(edit, L"hello");
    EXPECT_EQ(label, L"world!");
}

TEST(Framework, NestedModalLoopsEndInnerFirst) {
    CTestDialog outer(100);
    std::vector<std::string> order;
    INT_PTR innerResult = 0;
    outer.step = [&](CTestDialog& d) {
        CTestDialog inner(100, d.m_hWnd);
        inner.onInit = [&](CTestDialog& i) {
            order.push_back("inner init");
            // Disabled while the inner dialog runs, as a modal owner is.
            EXPECT_FALSE(::IsWindowEnabled(d.m_hWnd));
            i.PostMessage(WM_COMMAND, IDCANCEL, 0);
        };
        innerResult = inner.DoModal();
        order.push_back("inner done");
        EXPECT_TRUE(::IsWindowEnabled(d.m_hWnd));
        d.EndDialog(5);
        return true;
    };
    EXPECT_EQ(outer.DoModal(), 5);
    EXPECT_EQ(innerResult, IDCANCEL);
    EXPECT_EQ(order, (std::vector<std::string>{"inner init", "inner done"}));
}

TEST(Framework, SubclassedControlGetsTheNotificationsItAskedFor) {
    CTestDialog dlg(100);
    CNotifiedButton button;
    LRESULT notifyResult = 0;
    dlg.onInit = [&](CTestDialog& d) { ASSERT_TRUE(button.SubclassDlgItem(1002, d.m_hWnd)); };
    dlg.step = [&](CTestDialog& d) {
        if (button.draws == 0)
            return false; // wait until the shown dialog has drawn the owner-drawn button
        ::SendMessageW(button.m_hWnd, BM_CLICK, 0, 0);
        NMHDR hdr{button.m_hWnd, 1002, NM_CLICK};
        notifyResult = d.SendMessage(WM_NOTIFY, 1002, reinterpret_cast<LPARAM>(&hdr));
        d.EndDialog(IDOK);
        return true;
    };
    EXPECT_EQ(dlg.DoModal(), IDOK) << "timed out waiting for WM_DRAWITEM to reach the button";
    EXPECT_GE(button.draws, 1);
    EXPECT_EQ(button.clicks, 1);
    EXPECT_EQ(button.notifies, 1);
    EXPECT_EQ(notifyResult, 42);
    EXPECT_EQ(button.m_hWnd, nullptr) << "unbound when its window was destroyed";
}

TEST(Framework, PreTranslateMessageSeesKeysBeforeDialogNavigation) {
    CTestDialog dlg(100);
    CKeyEdit edit;
    dlg.onInit = [&](CTestDialog& d) {
        ASSERT_TRUE(edit.SubclassDlgItem(1001, d.m_hWnd));
        // Enter would press the default button (IDOK) if the dialog saw it first.
        ::PostMessageW(edit.m_hWnd, WM_KEYDOWN, VK_RETURN, 0);
        ::PostMessageW(edit.m_hWnd, WM_KEYDOWN, VK_ESCAPE, 0);
    };
    EXPECT_EQ(dlg.DoModal(), IDCANCEL) << "Escape reached dialog navigation; Enter did not";
    EXPECT_EQ(edit.keys, (std::vector<WPARAM>{VK_RETURN, VK_ESCAPE}));
}

namespace {

// A procedure put over a control the raw way (as an old library or an injected tool does),
// above whatever subclass chain the control already has.
WNDPROC g_outerNext = nullptr;
int g_outerCalls = 0;
LRESULT CALLBACK OuterProc(HWND hwnd, UINT m, WPARAM w, LPARAM l) {
    ++g_outerCalls;
    return ::CallWindowProcW(g_outerNext, hwnd, m, w, l);
}

} // namespace

TEST(Framework, UnbindingUnderAnotherSubclassKeepsTheControlAndTheOtherSubclassWorking) {
    CTestDialog dlg(100);
    struct CCountingButton : CButtonT<CWnd> {
        int calls = 0;
        LRESULT WindowProc(UINT m, WPARAM w, LPARAM l) override {
            ++calls;
            return CButtonT::WindowProc(m, w, l);
        }
    } check;
    dlg.onInit = [&](CTestDialog& d) {
        ASSERT_TRUE(check.SubclassDlgItem(1003, d.m_hWnd));
        // A plain typed value binds nothing: its helpers are the control's own messages.
        const CEdit edit = d.GetDlgItem(1001);
        ASSERT_NE(edit.m_hWnd, nullptr);
        EXPECT_EQ(CWnd::FromHandle(edit), nullptr);
        // The typed helpers reach the control's own procedure, through our binding or not.
        check.SetChecked(true);
        EXPECT_TRUE(check.IsChecked());
        EXPECT_EQ(check.CheckValue(), 1);
        edit.SetWindowText(L"typed text");
        edit.SetSel(0, -1);
        int start = -1, end = -1;
        edit.GetSel(start, end);
        EXPECT_EQ(edit.GetWindowText(), L"typed text");
        EXPECT_EQ(end - start, 10);

        // Someone else subclasses the check box above us; then we let go of it. Windows' common
        // controls keep such a foreign procedure when the last subclass of theirs goes; Wine's put
        // the class's procedure back over it, and the foreign one's next call then has nowhere
        // to go: there is nothing of ours to see.
        if (RunningUnderWine()) {
            d.EndDialog(IDOK);
            GTEST_SKIP() << "Wine's common controls drop a foreign subclass above their own";
        }
        HWND box = check.m_hWnd;
        g_outerCalls = 0;
        g_outerNext = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrW(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(OuterProc)));
        EXPECT_EQ(check.UnsubclassWindow(), box);
        EXPECT_EQ(CWnd::FromHandle(box), nullptr);
        const int ourCalls = check.calls;

        // The button's own procedure still answers (a dead end would say "unchecked"),
        // the other subclass still sees the messages, and we no longer do.
        ::SendMessageW(box, BM_SETCHECK, BST_UNCHECKED, 0);
        EXPECT_EQ(::SendMessageW(box, BM_GETCHECK, 0, 0), BST_UNCHECKED);
        ::SendMessageW(box, BM_SETCHECK, BST_CHECKED, 0);
        EXPECT_EQ(::SendMessageW(box, BM_GETCHECK, 0, 0), BST_CHECKED);
        EXPECT_GE(g_outerCalls, 4);
        EXPECT_EQ(check.calls, ourCalls);

        // The other one leaves too; the control is as the dialog made it, and can be bound again.
        ::SetWindowLongPtrW(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_outerNext));
        EXPECT_EQ(::SendMessageW(box, BM_GETCHECK, 0, 0), BST_CHECKED);
        EXPECT_TRUE(check.SubclassWindow(box));
        EXPECT_TRUE(check.IsChecked());
        d.EndDialog(IDOK);
    };
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(check.m_hWnd, nullptr);
}
