// The tray menu's About opens the About box of the running program, showing its own version
// and the link sized to its text; OK closes it and the program runs on.
#include "e2e/about/about_road.h"

using namespace quillon::e2e;

TEST(About, TheTrayMenuOpensTheAboutBoxAndOkClosesIt) {
    CQuillon quillon(MakeConfigXml(0, {{L"txt", L"", L"", true}}));
    ASSERT_TRUE(quillon.Start());
    HWND about = OpenAboutFromTray(quillon);
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(WindowTextOf(::GetDlgItem(about, IDC_ABOUT_VERSION)), L"Version 2.01");
    HWND link = ::GetDlgItem(about, IDC_ABOUT_LINK);
    EXPECT_EQ(WindowTextOf(link), L"Visit website");
    RECT linkArea{};
    ::GetWindowRect(link, &linkArea);
    RECT templateArea{49, 65, 49 + 91, 65 + 11};
    ::MapDialogRect(about, &templateArea);
    EXPECT_LT(linkArea.right - linkArea.left, templateArea.right - templateArea.left) << "sized to its text";

    ::PostMessageW(::GetDlgItem(about, IDOK), BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return !::IsWindow(about); }, 10000, "the About dialog to close after OK"));
    EXPECT_TRUE(quillon.Process().Running()) << "closing About leaves the program running";

    // A second About opens as well as the first did.
    about = OpenAboutFromTray(quillon);
    ASSERT_NE(about, nullptr);
    ::PostMessageW(about, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(WaitFor([&] { return !::IsWindow(about); }, 10000, "the About dialog to close on Escape"));
    EXPECT_TRUE(quillon.Exit());
}
