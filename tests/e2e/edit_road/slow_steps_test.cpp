// Boxes and editors that take their time: a box that answers the copy late, one that reads
// the paste late (beside a clipboard collector that reads it at once) or never, and an editor
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

// A clipboard collector beside the box (the text-box program run with --collect): another
// program that reads the text of every change of the clipboard, Quillon's offers included.
class CCollector {
public:
    explicit CCollector(std::wstring log) : m_log(std::move(log)) {}
    ::testing::AssertionResult Start() {
        if (auto started =
                m_process.Start(BinDir() + L"\\quillon-textbox.exe", L"--collect \"" + m_log + L"\"");
            !started)
            return started;
        return WaitFor(
            [&] { return FindTopWindow(m_process.Id(), L"QuillonTestCollector", L"listening") != nullptr; },
            30000, "the collector to listen to the clipboard");
    }
    // Waits until it has read the text at some change of the clipboard.
    ::testing::AssertionResult WaitRead(const std::wstring& text, DWORD timeoutMs = 10000) const {
        const std::wstring zero(1, L'\0');
        return WaitFor(
            [&] {
                const std::string bytes = FileBytesOf(m_log);
                const std::wstring read = zero + std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()),
                                                              bytes.size() / sizeof(wchar_t));
                return read.find(zero + text + zero) != std::wstring::npos;
            },
            timeoutMs, "the collector to read \"" + Utf8Of(Printable(text)) + "\" from the clipboard");
    }

private:
    std::wstring m_log;
    CProcess m_process;
};

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

TEST(SlowSteps, BesideAClipboardCollectorASaveCountsAsPastedOnlyWhenTheBoxShowsIt) {
    CRoad road(SeenOnlyOptions());
    CCollector collector(road.W(L"collected"));
    ASSERT_TRUE(collector.Start());
    std::string seen;
    ASSERT_TRUE(road.StartEditOf(L"draft", seen));
    const std::wstring file = road.TempFilePath();
    ASSERT_TRUE(PutUserClipboard());
    const ClipboardImage user = ClipboardNow();
    ASSERT_TRUE(collector.WaitRead(ClipboardText()));

    // The collector reads every offer of the text at once; the box reads it long after, so
    // the paste's only sign is the box's own text.
    ASSERT_EQ(AskBox(road, 1500, true), 1);
    ASSERT_TRUE(SaveAsEditor(file, "the saved text"));
    ASSERT_TRUE(road.ComeBack());
    EXPECT_TRUE(collector.WaitRead(L"the saved text"))
        << "the collector was not served the text it asked for";
    ASSERT_TRUE(WaitFor([&] { return AskBox(road, 0, true) == 1; }, 10000, "the box's late paste"));
    ASSERT_TRUE(road.WaitBoxText(L"the saved text")) << "the collector's read was taken for the box's";
    // Put back only once the paste is decided (up to its 10 s cap).
    EXPECT_TRUE(road.WaitClipboard(user, 20000));
    EXPECT_EQ(road.Notices(Wide(quillon::notice::kNotPasted)), 0) << "a save that went in was told as not";

    // A box that never reads it: the save waits for the box, and the user hears so.
    ASSERT_EQ(AskBox(road, INFINITE, true), 1);
    ASSERT_TRUE(SaveAsEditor(file, "a second save"));
    ASSERT_TRUE(road.ComeBack());
    EXPECT_TRUE(collector.WaitRead(L"a second save"));
    EXPECT_TRUE(road.WaitNotice(Wide(quillon::notice::kNotPasted), 20000));
    EXPECT_TRUE(road.WaitClipboard(user, 10000));
    EXPECT_EQ(road.Box().Text(CTextBoxApp::kMultiLine), L"the saved text");
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
