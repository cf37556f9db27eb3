// The whole edit road under Wine with the real Quillon.exe: hotkey in a text box, the
// temporary file, the editor, its save, the return to the box, the text written back and
// the user's clipboard exactly as it was.
#include <gtest/gtest.h>

#include <algorithm>

#include "e2e/edit_road/road.h"
#include "engine/edit_rules.h"

using namespace quillon::e2e;

namespace {

const std::string kBom = "\xEF\xBB\xBF";

std::wstring Wide(const char16_t* text) {
    std::u16string t(text);
    return std::wstring(t.begin(), t.end());
}

bool IsTempName(const std::wstring& name, const std::wstring& ext) {
    // Quillon_HH_MM_SS.ext
    if (name.size() != 16 + 1 + ext.size() || name.compare(0, 8, L"Quillon_") != 0)
        return false;
    for (std::size_t i : {8u, 9u, 11u, 12u, 14u, 15u})
        if (!iswdigit(name[i]))
            return false;
    return name[10] == L'_' && name[13] == L'_' && name.substr(16) == L"." + ext;
}

} // namespace

TEST(EditRoad, MultiLineBoxToEditorAndBackWithTheClipboardKept) {
    CRoad road;
    // Beside letters beyond ASCII, a form feed and an escape (from word processors and
    // terminal output) that the copy must keep.
    const std::wstring original = L"first line\r\nsecond line \u00E9 \U0001F600\f\x1B[1mbold";
    ASSERT_TRUE(PutUserClipboard());
    const ClipboardImage user = ClipboardNow();
    ASSERT_TRUE(user.count(L"HTML Format") && user.count(std::to_wstring(CF_DIB))) << Describe(user);
    std::string seen;
    ASSERT_TRUE(road.StartEditOf(original, seen));
    // The editor ran on a new file holding the box's text after a byte-order mark.
    EXPECT_EQ(seen, kBom + Utf8Of(original));
    auto files = road.TempFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(IsTempName(files[0], L"txt")) << Utf8Of(files[0]);
    // The clipboard was put back before the editor started.
    EXPECT_TRUE(road.WaitClipboard(user, 100));

    // The editor saves with Unix line ends; the focus stays in the box meanwhile.
    ASSERT_TRUE(road.EditorSaves(kBom + "edited one\nedited two \xF0\x9F\x98\x80\n"));
    ASSERT_TRUE(road.CaughtUp());
    EXPECT_EQ(road.Box().Text(CTextBoxApp::kMultiLine), original)
        << "the box changed before the focus came back";

    ASSERT_TRUE(road.ComeBack());
    // The box's text had no line break at its end: the one the editor added is dropped.
    EXPECT_TRUE(road.WaitBoxText(L"edited one\r\nedited two \U0001F600"));
    EXPECT_TRUE(road.WaitClipboard(user));
    // The restore emptied the clipboard with Quillon's own window as the owner: opened with
    // none, Windows would have refused the data put back.
    const HWND server = road.Quillon().ServerWindow();
    EXPECT_TRUE(WaitFor([&] { return ::GetClipboardOwner() == server; }, 5000,
                        "Quillon's window to own the clipboard it put back"));
    EXPECT_TRUE(road.Quillon().Exit());
    EXPECT_TRUE(road.TempFiles().empty()) << "the temporary file is deleted at exit";
}

TEST(EditRoad, RichEditWithCrLfFileAndCtrlStillHeldByTheUser) {
    CRoad road;
    // Alt goes up first and confirms; Ctrl is still held while the copy is sent.
    std::string seen;
    ASSERT_TRUE(road.StartEditOf(L"rich one\r\nrich two", seen, CTextBoxApp::kRichEdit, /*holdCtrl=*/true));
    ReleaseKeys({VK_CONTROL});
    EXPECT_EQ(seen.substr(0, 3), kBom);
    EXPECT_NE(seen.find("rich one"), std::string::npos) << seen;
    EXPECT_NE(seen.find("rich two"), std::string::npos) << seen;
    EXPECT_EQ(seen.find('a', 3) == 3, false) << "no stray letters typed";

    ASSERT_TRUE(road.SaveAndComeBack("new rich\r\nlines"));
    std::wstring text;
    ASSERT_TRUE(WaitFor(
        [&] {
            text = road.Box().Text(CTextBoxApp::kRichEdit);
            return text.find(L"new rich") != std::wstring::npos;
        },
        10000, "the rich edit box to hold the saved text"));
    // RichEdit keeps paragraphs as CR; the lines themselves must be intact.
    EXPECT_EQ(text.find(L"rich one"), std::wstring::npos) << Utf8Of(Printable(text));
    EXPECT_NE(text.find(L"lines"), std::wstring::npos);
    EXPECT_EQ(text.find(L"rich two"), std::wstring::npos);
    // The box may show the text before the batch's last event, Ctrl's release, is through.
    EXPECT_TRUE(WaitFor([] { return (::GetAsyncKeyState(VK_CONTROL) & 0x8000) == 0; }, 2000,
                        "Ctrl to be released after the paste (it must not be left pressed)"));
}

TEST(EditRoad, InsertModeAddsAtTheCaretOnEveryReturnAfterASave) {
    RoadOptions options;
    options.insert = true;
    CRoad road(options);
    std::string seen;
    ASSERT_TRUE(road.StartEditOf(L"start", seen, CTextBoxApp::kSingleLine));
    EXPECT_EQ(seen, kBom + "start");
    // The caret at the end, as a user would put it.
    ::SendMessageW(road.BoxWindow(), EM_SETSEL, 5, 5);
    ASSERT_TRUE(road.SaveAndComeBack("+ins"));
    EXPECT_TRUE(road.WaitBoxText(L"start+ins"));
    // The same save is not pasted twice.
    ASSERT_TRUE(road.ComeBack());
    ASSERT_TRUE(road.CaughtUp());
    EXPECT_EQ(road.Box().Text(CTextBoxApp::kSingleLine), L"start+ins") << "a second paste without a new save";
}

TEST(EditRoad, SelectionOnlyTakesAndReplacesTheSelection) {
    // Inserting, the text goes in at the caret, which the selection is. Replacing, it goes
    // only over the same text selected again: with nothing selected nothing is pasted (no
    // Ctrl+A that would take the whole box), and the user is asked to select it again.
    for (const bool insert : {true, false}) {
        SCOPED_TRACE(insert ? "insert" : "replace");
        RoadOptions options = SeenOnlyOptions();
        options.editOnlySelection = true;
        options.insert = insert;
        CRoad road(options);
        ASSERT_TRUE(road.Box().Start());
        ASSERT_TRUE(road.Box().SetText(CTextBoxApp::kMultiLine, L"hello world,\r\nand more"));
        const HWND box = road.Box().BoxWindow(CTextBoxApp::kMultiLine);
        ::SendMessageW(box, EM_SETSEL, 6, 11);
        ASSERT_TRUE(PutUserClipboard());
        const ClipboardImage user = ClipboardNow();
        ASSERT_TRUE(road.Start());
        ASSERT_TRUE(road.Hotkey());
        std::string seen;
        ASSERT_TRUE(road.WaitEditorSaw(seen));
        EXPECT_EQ(seen, kBom + "world");
        ASSERT_TRUE(SaveAsEditor(road.TempFilePath(), "earth"));
        if (!insert) {
            ::SendMessageW(box, EM_SETSEL, 3, 3);
            ASSERT_TRUE(road.ComeBack());
            EXPECT_TRUE(road.WaitNotice(Wide(quillon::notice::kSelectAgain)));
            ASSERT_TRUE(road.CaughtUp());
            EXPECT_EQ(road.Box().Text(CTextBoxApp::kMultiLine), L"hello world,\r\nand more")
                << "pasted with nothing selected";
            ::SendMessageW(box, EM_SETSEL, 6, 11);
        }
        ASSERT_TRUE(road.ComeBack());
        EXPECT_TRUE(road.WaitBoxText(L"hello earth,\r\nand more"));
        EXPECT_TRUE(road.WaitClipboard(user));
    }
}

TEST(EditRoad, SaveContentOffLeavesTheClipboardAloneAndStartsEmpty) {
    RoadOptions options;
    options.saveContent = false;
    CRoad road(options);
    ASSERT_TRUE(road.Box().Start());
    ASSERT_TRUE(road.Box().SetText(CTextBoxApp::kMultiLine, L"not copied"));
    ASSERT_TRUE(PutUserClipboard());
    ASSERT_TRUE(road.Start());
    const DWORD sequence = ::GetClipboardSequenceNumber();
    ASSERT_TRUE(road.Hotkey());
    std::string seen;
    ASSERT_TRUE(road.WaitEditorSaw(seen));
    EXPECT_EQ(seen, "") << "an empty file, no byte-order mark";
    EXPECT_EQ(::GetClipboardSequenceNumber(), sequence) << "no clipboard activity at all";
    ASSERT_TRUE(road.SaveAndComeBack("written"));
    EXPECT_TRUE(road.WaitBoxText(L"written"));
}

TEST(EditRoad, TheSystemsCodePageAndAMarkedUtf16SaveGoThroughTheRealFiles) {
    RoadOptions options = SeenOnlyOptions();
    options.utf8 = false;
    CRoad road(options);
    const std::wstring text = L"caf\u00E9 na\u00EFve";
    std::string seen;
    ASSERT_TRUE(road.StartEditOf(text, seen));
    // The row writes the ANSI code page, as the system converts it.
    char ansi[64] = {};
    int n = ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), ansi, 64, nullptr,
                                  nullptr);
    EXPECT_EQ(seen, std::string(ansi, static_cast<std::size_t>(n)));
    const std::wstring file = road.TempFilePath();
    // A save that is not UTF-8 is read back in that code page.
    ASSERT_TRUE(SaveAsEditor(file, "caf\xE9"));
    ASSERT_TRUE(road.ComeBack());
    wchar_t expected[8] = {};
    ::MultiByteToWideChar(CP_ACP, 0, "caf\xE9", 4, expected, 8);
    EXPECT_TRUE(road.WaitBoxText(expected));
    // UTF-16 with its mark, zero bytes and all, is read whole from the file.
    const std::wstring utf16 = L"utf16 \U0001F600\nline";
    ASSERT_TRUE(
        SaveAsEditor(file, std::string("\xFF\xFE", 2) +
                               std::string(reinterpret_cast<const char*>(utf16.c_str()), utf16.size() * 2)));
    ASSERT_TRUE(road.ComeBack());
    EXPECT_TRUE(road.WaitBoxText(L"utf16 \U0001F600\r\nline"));
    // An empty save empties the box.
    ASSERT_TRUE(SaveAsEditor(file, ""));
    ASSERT_TRUE(road.ComeBack());
    EXPECT_TRUE(road.WaitBoxText(L""));
}

TEST(EditRoad, SeveralSavesThenOneReturnGiveOnePasteOfTheLast) {
    RoadOptions options;
    options.insert = true;
    options.editorOptions =
        L"--seen \"{W}\\seen\" --wait \"{W}\\go\" --write \"{W}\\s1\" --write \"{W}\\s2\" "
        L"--write \"{W}\\new\" --done \"{W}\\done\"";
    CRoad road(options);
    for (int i = 1; i <= 2; ++i)
        ASSERT_TRUE(WriteFileBytes(road.W(L"s" + std::to_wstring(i)), "save" + std::to_string(i)));
    std::string seen;
    ASSERT_TRUE(road.StartEditOf(L"X", seen, CTextBoxApp::kSingleLine));
    ::SendMessageW(road.BoxWindow(), EM_SETSEL, 1, 1);
    ASSERT_TRUE(road.SaveAndComeBack("save3"));
    EXPECT_TRUE(road.WaitBoxText(L"Xsave3"));
    ASSERT_TRUE(road.CaughtUp());
    EXPECT_EQ(road.Box().Text(CTextBoxApp::kSingleLine), L"Xsave3") << "more than one paste";
}

TEST(EditRoad, ReturningWithoutSavingPastesNothing) {
    CRoad road;
    std::string seen;
    ASSERT_TRUE(road.StartEditOf(L"unchanged", seen));
    const DWORD afterStart = ::GetClipboardSequenceNumber();
    ASSERT_TRUE(road.ComeBack());
    ASSERT_TRUE(road.CaughtUp());
    EXPECT_EQ(::GetClipboardSequenceNumber(), afterStart) << "clipboard activity of a write-back";
    EXPECT_EQ(road.Box().Text(CTextBoxApp::kMultiLine), L"unchanged");
}

TEST(EditRoad, TwoEditsOfOneBoxKeepTwoFilesAndOnlyTheNewerCounts) {
    CRoad road(SeenOnlyOptions());
    std::string bytes;
    ASSERT_TRUE(road.StartEditOf(L"box", bytes));
    const std::wstring first = road.TempFilePath();
    // Unsaved work in the first edit's file; a second edit of the same box at once.
    ASSERT_TRUE(SaveAsEditor(first, "first edit's work"));
    ASSERT_TRUE(road.Hotkey());
    ASSERT_TRUE(road.WaitTempFiles(2));
    std::wstring second;
    for (const auto& name : road.TempFiles())
        if (road.EditsFolder() + L"\\" + name != first)
            second = road.EditsFolder() + L"\\" + name;
    ASSERT_TRUE(ReadFileBytes(first, bytes));
    EXPECT_EQ(bytes, "first edit's work") << "the second edit must not empty the first one's file";
    ASSERT_TRUE(road.WaitEditorSaw(bytes));
    EXPECT_EQ(bytes, kBom + "box") << "the second edit's file holds the box's text";

    // A save of the older edit is not looked at; the newer edit's is.
    ASSERT_TRUE(SaveAsEditor(first, "older save"));
    ASSERT_TRUE(road.ComeBack());
    ASSERT_TRUE(road.CaughtUp());
    EXPECT_EQ(road.Box().Text(CTextBoxApp::kMultiLine), L"box") << "a paste from the older edit";
    ASSERT_TRUE(SaveAsEditor(second, "newer save"));
    ASSERT_TRUE(road.ComeBack());
    EXPECT_TRUE(road.WaitBoxText(L"newer save"));
    // At exit the newer file goes; the older one's save never reached the box, so it stays.
    const std::wstring firstName = first.substr(road.EditsFolder().size() + 1);
    EXPECT_TRUE(road.Quillon().Exit());
    EXPECT_EQ(road.TempFiles(), std::vector<std::wstring>{firstName});
}

TEST(EditRoad, AClosedBoxIsPurgedAndItsFileDeletedAtExitUnlessDeletionIsOff) {
    for (const bool deleteTempFile : {true, false}) {
        SCOPED_TRACE(deleteTempFile ? "deletion on" : "deletion off");
        RoadOptions options = SeenOnlyOptions();
        options.deleteTempFile = deleteTempFile;
        CRoad road(options);
        std::string seen;
        ASSERT_TRUE(road.StartEditOf(L"", seen));
        // The text box program ends: its window is gone.
        HWND box = road.BoxWindow();
        ::PostMessageW(road.Box().Window(), WM_CLOSE, 0, 0);
        ASSERT_TRUE(road.Box().Process().WaitExit(10000));
        ASSERT_FALSE(::IsWindow(box));
        road.PurgeNow();
        EXPECT_EQ(road.TempFiles().size(), 1u) << "files are deleted at exit, not when purged";
        ASSERT_TRUE(road.Quillon().Exit());
        EXPECT_EQ(road.TempFiles().size(), deleteTempFile ? 0u : 1u);
    }
}

TEST(EditRoad, AMegabyteOfTextGoesThereAndBack) {
    CRoad road(SeenOnlyOptions());
    std::wstring big;
    big.reserve(1 << 20);
    for (int i = 0; big.size() < (1u << 20); ++i)
        big += L"line " + std::to_wstring(i) + L" \u00E9\u00E8 the quick brown fox\r\n";
    ASSERT_TRUE(road.Box().Start());
    ASSERT_TRUE(road.Start());
    ASSERT_TRUE(road.PasteIntoBox(big));
    road.PollFocusNow();
    ASSERT_TRUE(road.Hotkey());
    std::string seen;
    ASSERT_TRUE(road.WaitRead(L"seen", seen, 20000));
    EXPECT_EQ(seen.size(), 3 + Utf8Of(big).size());
    EXPECT_TRUE(seen == kBom + Utf8Of(big));
    const std::wstring file = road.TempFilePath();
    std::wstring edited = big;
    for (auto& c : edited)
        if (c == L'q')
            c = L'Q';
    edited += L"(edited)"; // a length of its own, so the box's length tells the paste happened
    ASSERT_TRUE(SaveAsEditor(file, kBom + Utf8Of(edited)));
    const ClipboardImage before = ClipboardNow();
    ASSERT_TRUE(road.ComeBack());
    ASSERT_TRUE(WaitFor(
        [&] {
            DWORD_PTR length = 0;
            ::SendMessageTimeoutW(road.BoxWindow(), WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length);
            return length == edited.size();
        },
        20000, "the box to hold a text of the edited length"));
    // The write-back ends by putting the clipboard back; only then is it ours to copy with.
    ASSERT_TRUE(road.WaitClipboard(before, 10000));
    std::wstring back;
    ASSERT_TRUE(road.CopyFromBox(back));
    EXPECT_TRUE(back == edited) << "the box's megabyte differs from the saved one";
}

TEST(EditRoad, TheHotkeyPressedAtOnceAfterMovingIntoABoxEditsThatBoxOnly) {
    // Five rounds between two boxes: the user is in one (Quillon has seen it), clicks into
    // the other and at once presses and releases the hotkey, before a focus poll could see
    // the move; the save must come back into the box they moved into, and only there.
    CRoad road(SeenOnlyOptions());
    ASSERT_TRUE(road.Box().Start());
    std::map<CTextBoxApp::Box, std::wstring> text = {{CTextBoxApp::kMultiLine, L"upper"},
                                                     {CTextBoxApp::kSingleLine, L"lower"}};
    for (const auto& [box, t] : text)
        ASSERT_TRUE(road.Box().SetText(box, t));
    ASSERT_TRUE(road.Start(CTextBoxApp::kSingleLine));
    CTextBoxApp::Box from = CTextBoxApp::kSingleLine, to = CTextBoxApp::kMultiLine;
    std::vector<std::wstring> known;
    for (int round = 1; round <= 5; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        ASSERT_TRUE(road.Box().Focus(from));
        road.PollFocusNow();
        ASSERT_TRUE(road.Box().Focus(to));
        PressWithModifiers({VK_CONTROL, VK_MENU}, 'Q');
        ReleaseKeys({VK_MENU, VK_CONTROL});
        ASSERT_TRUE(road.WaitTempFiles(static_cast<std::size_t>(round)));
        std::wstring file;
        for (const auto& name : road.TempFiles())
            if (std::find(known.begin(), known.end(), name) == known.end())
                file = road.EditsFolder() + L"\\" + name;
        known = road.TempFiles();
        std::string seen;
        ASSERT_TRUE(road.WaitEditorSaw(seen));
        EXPECT_TRUE(seen == kBom + Utf8Of(text[to])) << "the new file holds the text of the box moved into";
        text[to] = L"round " + std::to_wstring(round);
        ASSERT_TRUE(SaveAsEditor(file, Utf8Of(text[to])));
        ASSERT_TRUE(road.ComeBack(to));
        EXPECT_TRUE(road.WaitBoxText(text[to]));
        EXPECT_EQ(road.Box().Text(from), text[from]) << "the box the user had left was written into";
        std::swap(from, to);
    }
}

// A row without an editor, and a box whose text writes a file when it runs as a batch file:
// the file is never run. Wine registers no editor for batch files and has no "Open with"
// choice, so nothing opens: the file stays, and the user is told what to do.
TEST(EditRoad, ABatchFileRowWithoutAnEditorNeverRunsTheBoxsText) {
    RoadOptions options;
    options.rows = {{L"bat", L"", L"", false}};
    CRoad road(options);
    const std::wstring marker = road.W(L"ran");
    const std::wstring script = L"@echo ran> \"" + marker + L"\"\r\n@echo ran>ran.txt";
    ASSERT_TRUE(road.Box().Start());
    ASSERT_TRUE(road.Box().SetText(CTextBoxApp::kMultiLine, script));
    ASSERT_TRUE(road.Start());
    ASSERT_TRUE(road.Hotkey());
    ASSERT_TRUE(road.WaitTempFiles(1));
    const std::wstring name = road.TempFiles()[0];
    // The decision is traced once the start is over: after it nothing more is started.
    auto decided = [&](const std::wstring& prefix) {
        for (const auto& line : road.Trace())
            if (line.compare(0, prefix.size(), prefix) == 0 && line.find(name) != std::wstring::npos)
                return true;
        return false;
    };
    // The outcome, not the line that says the start has begun.
    auto outcome = [&] {
        for (const wchar_t* line :
             {L"Editor started ", L"Editor cancelled ", L"Editor failed ", L"Editor not opened "})
            if (decided(line))
                return true;
        return false;
    };
    ASSERT_TRUE(WaitFor(outcome, 10000, "Quillon to decide how to open the file"));
    EXPECT_TRUE(decided(L"Editor not opened ")) << "Quillon opened or tried to open it";
    EXPECT_TRUE(
        WaitFor([&] { return decided(L"Notice Quillon did not open "); }, 5000, "the user to be told"));
    EXPECT_FALSE(FileExists(marker)) << "the box's text ran as a batch file";
    std::string kept;
    ASSERT_TRUE(ReadFileBytes(road.TempFilePath(), kept));
    EXPECT_EQ(kept, Utf8Of(script)) << "the text is kept in its file";
}
