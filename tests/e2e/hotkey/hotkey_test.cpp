// The hotkey over another program's text box: the choice list pops up at the pointer without
// taking the focus, each press moves the selection, releasing a modifier or clicking
// confirms, "Cancel" and stray releases start nothing.
#include "e2e/hotkey/trace_support.h"

using namespace quillon::e2e;

namespace {

// Under Xvfb without a window manager, X gives the keyboard to the window under the
// pointer, and Wine then takes the keyboard state from X again, forgetting modifiers that
// were synthesised. So the pointer is placed before Quillon starts and not moved while
// keys are held; the list is never put under it while more presses are to come.
POINT ScreenMiddle() {
    const RECT work = PrimaryWorkArea();
    return POINT{(work.left + work.right) / 2, (work.top + work.bottom) / 2};
}

class HotKeyTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::SetCursorPos(ScreenMiddle().x, ScreenMiddle().y); // beside the box, not over it
        ASSERT_TRUE(m_box.Start());
        ASSERT_TRUE(m_box.Focus(CTextBoxApp::kMultiLine));
        m_target = m_box.BoxWindow(CTextBoxApp::kMultiLine);
    }
    void TearDown() override {
        // Whatever a failed test left pressed must not leak into the next one.
        ReleaseKeys({'Q', 'A', VK_F9, VK_CONTROL, VK_MENU, VK_SHIFT, VK_LWIN});
    }
    // Starts Quillon with three extension rows (five items).
    void StartQuillon(unsigned hotKey) {
        m_quillon =
            std::make_unique<CTracedQuillon>(hotKey, std::vector<std::wstring>{L"txt", L"md", L"html"});
        ASSERT_TRUE(m_quillon->Start());
        ASSERT_EQ(m_quillon->ListCount(), 5);
        // The scenarios rely on the box having the focus; a slow machine may still be
        // settling the windows that started.
        ASSERT_TRUE(WaitFor([&] { return ForegroundFocus() == m_target; }, 10000,
                            "the text box to have the focus with Quillon running"));
    }
    ::testing::AssertionResult WaitListShown() {
        return WaitFor([&] { return m_quillon->ListVisible(); }, 5000, "the choice list to show");
    }
    // With the pointer there, Quillon starts on Ctrl+Alt+Q, the hotkey is pressed (the
    // modifiers stay down) and the list shows; its place on the screen is in list.
    ::testing::AssertionResult ShowListWithThePointerAt(POINT pointer, RECT& list) {
        ::SetCursorPos(pointer.x, pointer.y);
        StartQuillon(kCtrlAltQ);
        if (::testing::Test::HasFatalFailure())
            return ::testing::AssertionFailure() << "Quillon did not start as the scenario needs";
        PressWithModifiers({VK_CONTROL, VK_MENU}, 'Q');
        auto shown = WaitListShown();
        ::GetWindowRect(m_quillon->ChoiceList(), &list);
        return shown;
    }
    ::testing::AssertionResult WaitListHidden() {
        return WaitFor([&] { return !m_quillon->ListVisible(); }, 5000, "the choice list to hide");
    }
    ::testing::AssertionResult WaitSelection(int item) {
        return WaitFor([&] { return m_quillon->ListSelection() == item; }, 5000,
                       "item " + std::to_string(item) + " to be selected");
    }
    // A real click on row `row` of the shown list (five rows, a one-pixel border), and the
    // wait for the list to hide. Under Wine a click that comes the moment the list appears
    // is now and then not taken by the list view at all (nothing is clicked, so nothing may
    // start either): a second click on the same row is what a user would do.
    ::testing::AssertionResult ClickRow(int row) {
        RECT r{};
        ::GetWindowRect(m_quillon->ChoiceList(), &r);
        const int itemHeight = (r.bottom - r.top - 2) / 5;
        const POINT at{(r.left + r.right) / 2, r.top + 1 + itemHeight * row + itemHeight / 2};
        ClickAt(at);
        if (!WaitFor([&] { return !m_quillon->ListVisible(); }, 1500,
                     "the choice list to hide after a click"))
            ClickAt(at);
        return WaitListHidden();
    }
    CTextBoxApp m_box;
    HWND m_target = nullptr;
    std::unique_ptr<CTracedQuillon> m_quillon;
};

} // namespace

TEST_F(HotKeyTest, TheListPopsUpAtThePointerAndTheBoxKeepsTheFocus) {
    const POINT pointer = ScreenMiddle();
    RECT r{};
    ASSERT_TRUE(ShowListWithThePointerAt(pointer, r));
    EXPECT_EQ(r.right, pointer.x);
    EXPECT_EQ(r.bottom, pointer.y);
    EXPECT_EQ(m_quillon->ListSelection(), 0);
    EXPECT_EQ(ForegroundFocus(), m_target) << "the list must not take the focus";
    // Once Quillon is done showing it, the focus is still where the user was.
    ASSERT_TRUE(WaitQuillonCaughtUp(m_quillon->Pid()));
    EXPECT_EQ(ForegroundFocus(), m_target) << "the focus left the text box after the list showed";

    // k presses select item (k - 1) mod 5, wrapping after "Cancel".
    for (int k = 2; k <= 7; ++k) {
        PressWithModifiers({}, 'Q');
        ASSERT_TRUE(WaitSelection((k - 1) % 5)) << "press " << k;
    }
    EXPECT_EQ(ForegroundFocus(), m_target);

    // Releasing Ctrl confirms the selected item (1: "md") for the focused box.
    ReleaseKeys({VK_CONTROL});
    ASSERT_TRUE(WaitListHidden());
    EXPECT_TRUE(m_quillon->WaitForLine(StartEditLine(m_target, 1)));
    // The second modifier's release finds no choice pending.
    ReleaseKeys({VK_MENU});
    ASSERT_TRUE(WaitQuillonCaughtUp(m_quillon->Pid(), {VK_MENU}));
    EXPECT_EQ(m_quillon->CountLinesStartingWith("StartEdit"), 1u) << "a second edit started";
    EXPECT_TRUE(m_quillon->Program().Exit());
}

TEST_F(HotKeyTest, CancelAndReleasesWithNoChoicePendingStartNothing) {
    StartQuillon(kCtrlAltQ);

    // Modifier releases while the list is hidden.
    PressWithModifiers({VK_CONTROL, VK_MENU}, 'Z');
    ReleaseKeys({VK_CONTROL, VK_MENU});

    // Five presses reach "Cancel"; releasing there starts nothing.
    PressWithModifiers({VK_CONTROL, VK_MENU}, 'Q');
    ASSERT_TRUE(WaitListShown());
    for (int k = 2; k <= 5; ++k) {
        PressWithModifiers({}, 'Q');
        ASSERT_TRUE(WaitSelection(k - 1));
    }
    ReleaseKeys({VK_CONTROL, VK_MENU});
    ASSERT_TRUE(WaitListHidden());
    ASSERT_TRUE(WaitQuillonCaughtUp(m_quillon->Pid(), {VK_CONTROL, VK_MENU}));
    EXPECT_EQ(m_quillon->CountLinesStartingWith("StartEdit"), 0u) << "an edit started";

    // A click message with an index from nowhere (negative) starts nothing either.
    ::PostMessageW(m_quillon->Program().ServerWindow(), 0x8087 /*WM_CHOICE_CLICKED*/, static_cast<WPARAM>(-1),
                   0);
    ::PostMessageW(m_quillon->Program().ServerWindow(), 0x8087, 5, 0);
    ASSERT_TRUE(WaitQuillonCaughtUp(m_quillon->Pid()));
    EXPECT_EQ(m_quillon->CountLinesStartingWith("StartEdit"), 0u) << "an edit started";

    // The next hotkey shows the list afresh, on the first item.
    PressWithModifiers({VK_CONTROL, VK_MENU}, 'Q');
    ASSERT_TRUE(WaitListShown());
    EXPECT_EQ(m_quillon->ListSelection(), 0);
    ReleaseKeys({VK_MENU, VK_CONTROL});
    EXPECT_TRUE(m_quillon->WaitForLine(StartEditLine(m_target, 0)));
    EXPECT_EQ(m_quillon->CountLinesStartingWith("StartEdit"), 1u);
    EXPECT_TRUE(m_quillon->Program().Exit());
}

TEST_F(HotKeyTest, TheWindowsKeyHotkeyConfirmsWhenTheWindowsKeyIsReleased) {
    // A Windows-key hotkey a user chose, where the system lets a program have it.
    const WORD key = FreeWindowsKeyPartner('A');
    StartQuillon((key << 8) | MOD_WIN);
    PressWithModifiers({VK_LWIN}, key);
    ASSERT_TRUE(WaitListShown());
    EXPECT_EQ(ForegroundFocus(), m_target);
    PressWithModifiers({}, key);
    ASSERT_TRUE(WaitSelection(1));
    ReleaseKeys({VK_LWIN});
    ASSERT_TRUE(WaitListHidden());
    EXPECT_TRUE(m_quillon->WaitForLine(StartEditLine(m_target, 1)));
    EXPECT_TRUE(m_quillon->Program().Exit());
}

TEST_F(HotKeyTest, AHotkeyWithoutModifiersConfirmsOnlyByAClick) {
    StartQuillon(VK_F9 << 8);
    PressWithModifiers({}, VK_F9);
    ASSERT_TRUE(WaitListShown());
    PressWithModifiers({}, VK_F9);
    ASSERT_TRUE(WaitSelection(1));

    // No release confirms: the list stays up.
    PressWithModifiers({VK_CONTROL, VK_SHIFT, VK_MENU}, 'K');
    ReleaseKeys({VK_CONTROL, VK_SHIFT, VK_MENU});
    ASSERT_TRUE(WaitQuillonCaughtUp(m_quillon->Pid(), {VK_CONTROL, VK_SHIFT, VK_MENU}));
    EXPECT_TRUE(m_quillon->ListVisible()) << "a release hid the list";
    EXPECT_EQ(m_quillon->ListSelection(), 1);

    // A click on item 2 ("html") confirms it; the box keeps the focus.
    ASSERT_TRUE(ClickRow(2));
    EXPECT_TRUE(m_quillon->WaitForLine(StartEditLine(m_target, 2)));
    EXPECT_EQ(ForegroundFocus(), m_target) << "clicking the list must not take the focus";
    EXPECT_TRUE(m_quillon->Program().Exit());
}

TEST_F(HotKeyTest, NearTheTopLeftCornerTheListIsPushedIntoTheWorkArea) {
    const RECT work = PrimaryWorkArea();
    // The list is pushed right and down, under the pointer; it is closed with a click on
    // "Cancel", since its appearance under the pointer loses the modifiers, and a click on
    // "Cancel" starts nothing.
    RECT r{};
    ASSERT_TRUE(ShowListWithThePointerAt(POINT{work.left + 2, work.top + 2}, r));
    EXPECT_EQ(r.left, work.left);
    EXPECT_EQ(r.top, work.top);
    EXPECT_EQ(ForegroundFocus(), m_target);
    // Clicked while the modifiers are still held: the click decides, the later release
    // finds the list hidden.
    ASSERT_TRUE(ClickRow(4));
    ReleaseKeys({VK_CONTROL, VK_MENU});
    ASSERT_TRUE(WaitQuillonCaughtUp(m_quillon->Pid(), {VK_CONTROL, VK_MENU}));
    EXPECT_EQ(m_quillon->CountLinesStartingWith("StartEdit"), 0u) << "an edit started";
    EXPECT_TRUE(m_quillon->Program().Exit());
}

TEST_F(HotKeyTest, InTheBottomRightCornerTheListEndsAtThePointer) {
    const RECT work = PrimaryWorkArea();
    const POINT corner{work.right - 1, work.bottom - 1};
    RECT r{};
    ASSERT_TRUE(ShowListWithThePointerAt(corner, r));
    EXPECT_EQ(r.right, corner.x);
    EXPECT_EQ(r.bottom, corner.y);
    EXPECT_GE(r.left, work.left);
    EXPECT_GE(r.top, work.top);
    EXPECT_EQ(ForegroundFocus(), m_target);
    ReleaseKeys({VK_CONTROL, VK_MENU});
    EXPECT_TRUE(m_quillon->WaitForLine(StartEditLine(m_target, 0)));
    EXPECT_TRUE(m_quillon->Program().Exit());
}

TEST_F(HotKeyTest, AlwaysKeepsTheRowLastChosenInTheProgramAndThenStartsItWithoutTheList) {
    StartQuillon(kCtrlAltQ);
    // Each press waits for the edit before it to be under way: its copy keys, Ctrl among
    // them, must not mix with the hotkey's.
    auto edits = [&](std::size_t count) {
        return WaitFor([&] { return m_quillon->CountLinesStartingWith("Done StartEdit") == count; }, 10000,
                       std::to_string(count) + " edit(s) under way");
    };
    // "md" chosen from the list, as ever.
    PressWithModifiers({VK_CONTROL, VK_MENU}, 'Q');
    ASSERT_TRUE(WaitListShown());
    PressWithModifiers({}, 'Q');
    ASSERT_TRUE(WaitSelection(1));
    ReleaseKeys({VK_CONTROL, VK_MENU});
    ASSERT_TRUE(WaitListHidden());
    ASSERT_TRUE(m_quillon->WaitForLine(StartEditLine(m_target, 1)));
    ASSERT_TRUE(edits(1));

    // The next list in this program offers, above "Cancel", to always start with "md" here.
    PressWithModifiers({VK_CONTROL, VK_MENU}, 'Q');
    ASSERT_TRUE(WaitListShown());
    ASSERT_EQ(m_quillon->ListCount(), 6);
    for (int item = 1; item <= 4; ++item) {
        PressWithModifiers({}, 'Q');
        ASSERT_TRUE(WaitSelection(item));
    }
    ReleaseKeys({VK_CONTROL, VK_MENU});
    ASSERT_TRUE(WaitListHidden());
    EXPECT_TRUE(m_quillon->WaitForLine("Remember 1 for quillon-textbox.exe"));
    ASSERT_TRUE(edits(2));
    EXPECT_EQ(m_quillon->CountLinesStartingWith(StartEditLine(m_target, 1)), 2u);

    // From now on the hotkey in this program starts "md" once it is let go, with no list.
    PressWithModifiers({VK_CONTROL, VK_MENU}, 'Q');
    ReleaseKeys({VK_CONTROL, VK_MENU});
    EXPECT_TRUE(m_quillon->WaitForLine("Rule 1 for quillon-textbox.exe"));
    ASSERT_TRUE(edits(3));
    EXPECT_EQ(m_quillon->CountLinesStartingWith(StartEditLine(m_target, 1)), 3u);
    EXPECT_FALSE(m_quillon->ListVisible());
    EXPECT_TRUE(m_quillon->Program().Exit());
    std::string saved;
    ASSERT_TRUE(ReadFileBytes(m_quillon->Program().ConfigPath(), saved));
    EXPECT_NE(saved.find("<Rule Program=\"quillon-textbox.exe\" Title=\"\" Extension=\"md\" List=\"False\""),
              std::string::npos)
        << saved;
}
