// Text boxes whose text holds control characters (form feeds from word processors, escapes
// from terminal output) beside letters beyond ASCII: the round trip keeps every letter.
#include <gtest/gtest.h>

#include "e2e/edit_road/road.h"

using namespace quillon::e2e;

TEST(EditRoadText, AFormFeedAndAnEscapeBesideNonAsciiLettersComeBackIntact) {
    CRoad road; // the row's editor saves what the test gives it, when told to
    const std::wstring original = L"page one\fpage two \u00E9\u65E5 \x1B[1mbold\x1B[0m";
    ASSERT_TRUE(road.Box().Start());
    std::string seen;
    ASSERT_TRUE(road.StartEditOf(original, seen));
    EXPECT_EQ(seen, "\xEF\xBB\xBF" + Utf8Of(original));
    // Saved without the mark and with a vertical tab added: still UTF-8, not the ANSI page.
    const std::wstring edited = original + L"\v \u00FC";
    ASSERT_TRUE(WriteFileBytes(road.W(L"new"), Utf8Of(edited)));
    ASSERT_TRUE(WriteFileBytes(road.W(L"go"), "go"));
    std::string done;
    ASSERT_TRUE(road.WaitRead(L"done", done));
    ASSERT_TRUE(road.ComeBack());
    EXPECT_TRUE(road.WaitBoxText(edited));
    // The restore emptied the clipboard with Quillon's own window as the owner: opened with
    // none, Windows would have refused the data put back.
    const HWND server = road.Quillon().ServerWindow();
    EXPECT_TRUE(WaitFor([&] { return ::GetClipboardOwner() == server; }, 5000,
                        "Quillon's window to own the clipboard it put back"));
}
