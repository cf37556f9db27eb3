// Boxes and editors that take their time: a box that answers the copy late, and an editor
// that saves just after the user came back to the box (as editors that save when they lose
// the focus do), or twice within the file system's time resolution.
#include <gtest/gtest.h>

#include "e2e/edit_road/road.h"
#include "engine/edit_rules.h"

using namespace quillon::e2e;

namespace {

std::wstring Wide(const char16_t* text) {
    std::u16string t(text);
    return std::wstring(t.begin(), t.end());
}

// Makes the box's copies (or pastes) land that many milliseconds late; 0 asks how many did.
LRESULT AskBox(CRoad& road, WPARAM value, bool paste = false) {
    static const UINT slowCopy = ::RegisterWindowMessageW(L"QuillonTestBoxSlowCopy");
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(road.Box().Window(), slowCopy, value, paste ? 1 : 0, SMTO_ABORTIFHUNG, 5000,
                          &result);
    return static_cast<LRESULT>(result);
}

bool LastWriteOf(const std::wstring& path, FILETIME& time, bool set) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ | FILE_WRITE_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const bool done =
        set ? ::SetFileTime(file, nullptr, nullptr, &time) : ::GetFileTime(file, nullptr, nullptr, &time);
    ::CloseHandle(file);
    return done;
}

} // namespace

TEST(SlowSteps, ABoxThatCopiesAfterTheWaitNeverLeavesItsTextOnTheUsersClipboard) {
    CRoad road;
    ASSERT_TRUE(road.Box().Start());
    ASSERT_EQ(AskBox(road, 3000), 1); // each copy lands three seconds late
    ASSERT_TRUE(PutClipboardText(L"the user's password"));
    std::string seen;
    ASSERT_TRUE(road.StartEditOf(L"the box's text", seen));
    EXPECT_EQ(seen, "") << "no text came";
    EXPECT_TRUE(road.WaitNotice(Wide(quillon::notice::kNoTextCame)));
    ASSERT_TRUE(WaitFor([&] { return AskBox(road, 0) == 1; }, 10000, "the box's late copy"));
    EXPECT_TRUE(WaitFor([&] { return ClipboardText() == L"the user's password"; }, 5000,
                        "the user's clipboard back over the late copy"))
        << Utf8Of(ClipboardText());
    // And it stays the user's once Quillon has looked again.
    const DWORD restored = ::GetClipboardSequenceNumber();
    ASSERT_TRUE(road.CaughtUp());
    EXPECT_EQ(::GetClipboardSequenceNumber(), restored) << "another change: " << Utf8Of(ClipboardText());
}

TEST(SlowSteps, ABoxThatReadsThePasteLateGetsTheSavedTextNotTheUsersClipboard) {
    CRoad road;
    std::string seen;
    ASSERT_TRUE(road.StartEditOf(L"draft", seen));
    ASSERT_TRUE(PutClipboardText(L"the user's password"));
    ASSERT_EQ(AskBox(road, 1500, true), 1); // five times the Delay
    ASSERT_TRUE(road.SaveAndComeBack("the saved text"));
    ASSERT_TRUE(WaitFor([&] { return AskBox(road, 0, true) == 1; }, 10000, "the box's late paste"));
    EXPECT_TRUE(road.WaitBoxText(L"the saved text"));
    EXPECT_TRUE(WaitFor([&] { return ClipboardText() == L"the user's password"; }, 5000,
                        "the user's clipboard back after the paste"))
        << Utf8Of(ClipboardText());
}

TEST(SlowSteps, ASaveJustAfterTheReturnAndASecondOneInTheSameTickAreBothPasted) {
    CRoad road;
    std::string seen;
    ASSERT_TRUE(road.StartEditOf(L"draft", seen));
    const std::wstring file = road.TempFilePath();

    // Quillon has looked at the box the user came back to, and found nothing new; the editor
    // saves a moment later, as it loses the focus.
    ASSERT_TRUE(road.ComeBack());
    road.PollFocusNow();
    ASSERT_TRUE(SaveAsEditor(file, "saved late"));
    EXPECT_TRUE(road.WaitBoxText(L"saved late"));

    // Saved again within the file system's time resolution: the same time, other text.
    FILETIME time{};
    ASSERT_TRUE(LastWriteOf(file, time, false));
    ASSERT_TRUE(SaveAsEditor(file, "saved LATE"));
    ASSERT_TRUE(LastWriteOf(file, time, true));
    ASSERT_TRUE(road.ComeBack());
    EXPECT_TRUE(road.WaitBoxText(L"saved LATE"));
}
