// Watching an edit and writing back against the recording fake: when a paste happens,
// what is pasted, that the clipboard comes back, and purging ended edits; and the end of
// temporary files, natively also against real files.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#endif

#include "base/u16.h"
#include "engine/edit_road.h"
#include "engine/edit_rules.h"
#include "engine/temp_files.h"
#include "fake_system.h"

using namespace quillon;
using namespace quillon::test;

namespace {

const std::u16string kFile = u"C:\\Temp\\e.txt";

std::vector<std::u16string> PathsOf(const std::vector<CEditTable::PendingDelete>& pending) {
    std::vector<std::u16string> paths;
    for (const auto& ended : pending)
        paths.push_back(ended.path);
    return paths;
}

struct Watch {
    CFakeSystem sys;
    CSettingsStore settings{DefaultConfigPlatform()};
    CTextRoutes routes{sys, settings};
    CEditEngine engine{sys, settings, routes};
    Watch() {
        sys.clipboard = {{1, "user"}, {0xC001, "<html>"}};
        sys.formatNames[0xC001] = u"HTML Format";
        sys.registerAs[u"HTML Format"] = 0xC001;
        sys.files[kFile] = {"\xEF\xBB\xBForiginal", 50};
        engine.table.edits.push_back({Box(7), kFile, 50});
    }
};

} // namespace

TEST(PollEdit, NoSaveNoPaste) {
    Watch w;
    w.engine.PollEdit(Box(7));
    EXPECT_TRUE(w.sys.batches.empty());
    EXPECT_TRUE(w.sys.Calls("OpenClipboard").empty());
    w.engine.PollEdit(Box(8)); // a window without an edit
    EXPECT_TRUE(w.sys.batches.empty());
}

TEST(PollEdit, ASavePastesOnceThenTheClipboardComesBack) {
    Watch w;
    w.sys.Save(kFile, "\xEF\xBB\xBFline one\nline two \xC3\xA9");
    w.engine.PollEdit(Box(7));
    ASSERT_EQ(w.sys.pasted.size(), 1u);
    EXPECT_EQ(w.sys.pasted[0], u"line one\r\nline two \u00E9");
    EXPECT_EQ(w.sys.Calls("Keys"), std::vector<std::string>{"Keys AV"});
    EXPECT_EQ(w.engine.table.edits[0].last.low, w.sys.files[kFile].lastWrite);
    EXPECT_EQ(w.sys.Unmarked(),
              (std::vector<std::pair<std::uint32_t, std::string>>{{1, "user"}, {0xC001, "<html>"}}));
    // Returning again without a new save: nothing.
    w.engine.PollEdit(Box(7));
    EXPECT_EQ(w.sys.pasted.size(), 1u);
}

TEST(ClipboardRoute, APasteIsOfferedBeforeItsKeysAndTheUsersClipboardComesBackMarkedAfterTheDelay) {
    CFakeSystem sys;
    CSettingsStore settings{DefaultConfigPlatform()};
    CClipboardRoute route{sys, settings};
    sys.clipboard = {{1, "user"}, {0xC001, "<html>"}};
    sys.focus = Box(7);
    ASSERT_TRUE(route.Begin());
    PastePlace place;
    EXPECT_EQ(route.Paste(Box(7), WindowFacts{}, u"saved", place), PasteResult::kPasted);
    EXPECT_TRUE(route.End());
    // The text offered before the keys and taken by the box after them; then a pause of
    // Delay, then the restore.
    const int offer = sys.IndexOf("OfferClipboardText");
    const int keys = sys.IndexOf("Keys AV");
    const int taken = sys.IndexOf("RenderOffer");
    const int pause = sys.IndexOf("Wait 200");
    const int restore = sys.IndexOf("EmptyClipboard", pause);
    EXPECT_TRUE(offer >= 0 && offer < keys && keys < taken && taken < pause && pause < restore)
        << ::testing::PrintToString(sys.log);
    EXPECT_EQ(sys.Unmarked(),
              (std::vector<std::pair<std::uint32_t, std::string>>{{1, "user"}, {0xC001, "<html>"}}));
    EXPECT_FALSE(sys.viewerJoined);
    // Both writes of ours, the pasted text and the user's content again, are marked.
    EXPECT_EQ(sys.Calls("MarkOwnContent").size(), 2u);
    EXPECT_LT(sys.IndexOf("MarkOwnContent"), keys);
}

TEST(PollEdit, SeveralSavesThenOneReturnGiveOnePasteOfTheLast) {
    Watch w;
    w.sys.Save(kFile, "first");
    w.sys.Save(kFile, "second");
    w.sys.Save(kFile, "last");
    w.engine.PollEdit(Box(7));
    EXPECT_EQ(w.sys.pasted, std::vector<std::u16string>{u"last"});
}

TEST(PollEdit, ASaveInTheSameTickIsSeenByItsContentAndAHalfWrittenOneWaitsUntilItSettles) {
    Watch w;
    w.sys.Save(kFile, "first");
    w.engine.PollEdit(Box(7));
    // A second save within the file system's time resolution: the same time, other bytes.
    w.sys.files[kFile].bytes = "second";
    w.engine.PollEdit(Box(7));
    EXPECT_EQ(w.sys.pasted, (std::vector<std::u16string>{u"first", u"second"}));
    // Written a moment ago and still open in the editor, writing: not pasted half done,
    // looked at again soon.
    w.sys.Save(kFile, "thi");
    w.sys.files[kFile].settling = 2;
    w.sys.beingWritten.insert(kFile);
    w.engine.PollEdit(Box(7));
    EXPECT_EQ(w.sys.pasted.size(), 2u);
    EXPECT_TRUE(w.engine.SaveSettling());
    w.sys.Save(kFile, "third");
    w.sys.beingWritten.clear();
    w.engine.PollEdit(Box(7));
    EXPECT_EQ(w.sys.pasted.back(), u"third");
    EXPECT_FALSE(w.engine.SaveSettling());
}

TEST(PollEdit, InsertPastesWithoutSelectingAndEmptyFilesEmptyTheBox) {
    Watch w;
    w.settings.Insert = 1;
    w.sys.Save(kFile, "x");
    w.engine.PollEdit(Box(7));
    EXPECT_EQ(w.sys.Calls("Keys"), std::vector<std::string>{"Keys V"});

    Watch e;
    e.sys.Save(kFile, "");
    e.engine.PollEdit(Box(7));
    EXPECT_EQ(e.sys.pasted, std::vector<std::u16string>{u""});
    EXPECT_EQ(e.sys.Calls("Keys"), std::vector<std::string>{"Keys AV"});
}

TEST(PollEdit, TheLineBreakAnEditorAddedIsDroppedAndControlsKeepATextUtf8) {
    Watch w;
    w.sys.Save(kFile, "\xEF\xBB\xBFline\n");
    w.engine.PollEdit(Box(7));
    // Form feed and escape beside non-ASCII letters: still UTF-8, and the box had a break.
    w.engine.table.edits[0].boxTextEndedWithBreak = true;
    w.sys.Save(kFile, "page\x0C\x1B caf\xC3\xA9\r\n");
    w.engine.PollEdit(Box(8));
    w.engine.PollEdit(Box(7));
    EXPECT_EQ(w.sys.pasted, (std::vector<std::u16string>{u"line", u"page\f\x1B caf\u00E9\r\n"}));
}

TEST(PollEdit, TheBytesDecideTheEncodingNotTheRow) {
    Watch w;
    w.sys.Save(kFile, "caf\xE9\r\n");
    w.engine.PollEdit(Box(7));
    w.sys.Save(kFile, std::string("\xFF\xFE"
                                  "a\0\n\0\x3D\xD8\x00\xDE",
                                  10));
    w.engine.PollEdit(Box(8)); // focus elsewhere, then back
    w.engine.PollEdit(Box(7));
    EXPECT_EQ(w.sys.pasted, (std::vector<std::u16string>{u"caf\u00E9", u"a\r\n\U0001F600"}));
}

TEST(PollEdit, AFileThatCannotBeReadWholeLeavesTheBoxAlone) {
    // UTF-16 without its mark: cut at its first zero byte it would replace the box's text
    // with one letter. Nothing is pasted, and the clipboard is not touched.
    Watch w;
    w.sys.Save(kFile, std::string("h\0i\0", 4));
    w.engine.PollEdit(Box(7));
    EXPECT_TRUE(w.sys.batches.empty());
    EXPECT_TRUE(w.sys.Calls("OpenClipboard").empty());
    // A UTF-32 save is read as such, not as an empty UTF-16 text.
    w.sys.Save(kFile, std::string("\xFF\xFE\0\0"
                                  "o\0\0\0k\0\0\0",
                                  12));
    w.engine.PollEdit(Box(7));
    EXPECT_EQ(w.sys.pasted, std::vector<std::u16string>{u"ok"});
}

TEST(PollEdit, EveryEditOfAWindowIsLookedAtAndASaveGoesOnlyToItsOwnBox) {
    // One window (a browser page), two fields, an edit of each. The box's copy tells which
    // field has the focus; a save goes to its own field only, and stays pending (told once)
    // while another field of the window has the focus.
    Watch w;
    const std::u16string second = u"C:\\Temp\\f.txt";
    w.sys.files[second] = {"field B", 60};
    w.engine.table.edits[0].knownText = u"field A";
    w.engine.table.edits[0].textKnown = true;
    OpenEdit b{Box(7), second, 60};
    b.knownText = u"field B\r\n";
    b.textKnown = true;
    w.engine.table.edits.push_back(b);
    CFakeHost host;
    w.engine.SetHost(&host);

    w.sys.Save(kFile, "A edited");
    w.sys.boxText = std::make_unique<std::u16string>(u"field B \n"); // line ends and trailing space forgiven
    w.engine.PollEdit(Box(7));
    w.engine.PollEdit(Box(7));
    EXPECT_TRUE(w.sys.pasted.empty()) << "field B must keep its text";
    EXPECT_EQ(*w.sys.boxText, u"field B \n");
    EXPECT_EQ(host.told, std::vector<std::u16string>{notice::kNotThisBox}) << "told once per save";
    EXPECT_EQ(w.sys.Calls("Keys"), (std::vector<std::string>{"Keys AC", "Keys #", "Keys AC", "Keys #"}))
        << "the looked-at box is left with nothing selected";
    // While the box is all selected, from before Ctrl+A until Ctrl+End, the user's keys wait.
    const int hold = w.sys.IndexOf("HoldKeys");
    EXPECT_TRUE(hold >= 0 && hold < w.sys.IndexOf("Keys AC") &&
                w.sys.IndexOf("Keys #") < w.sys.IndexOf("ReleaseKeys", hold))
        << ::testing::PrintToString(w.sys.log);
    EXPECT_EQ(w.engine.table.edits[0].last.low, 50u) << "the save is not used up";
    // Looked at again a moment after the same return: the same save waits without a copy.
    w.engine.PollEdit(Box(7), true);
    EXPECT_EQ(w.sys.Calls("Keys").size(), 4u);

    w.sys.Save(second, "B edited");
    w.engine.PollEdit(Box(7));
    EXPECT_EQ(w.sys.pasted, std::vector<std::u16string>{u"B edited"});
    *w.sys.boxText = u"field A"; // back in field A
    w.engine.PollEdit(Box(7));
    EXPECT_EQ(w.sys.pasted, (std::vector<std::u16string>{u"B edited", u"A edited"}));
    EXPECT_EQ(w.engine.table.edits[0].knownText, u"A edited") << "the next save is checked against the paste";
    EXPECT_EQ(host.told.size(), 1u);
    // No text cursor shows (the page has the focus, not a field): Ctrl+A would select the
    // page, so no key goes out and the save waits.
    w.sys.noCaret.insert(Box(7));
    w.sys.Save(kFile, "A again");
    const std::size_t keys = w.sys.Calls("Keys").size();
    w.engine.PollEdit(Box(7));
    EXPECT_EQ(w.sys.Calls("Keys").size(), keys);
    EXPECT_EQ(host.told.back(), notice::kNoTextCursor);
}

TEST(PollEdit, ALockedOrMissingFileIsTriedAgainNextTime) {
    Watch w;
    w.sys.Save(kFile, "saved");
    w.sys.unopenable.insert(kFile);
    w.engine.PollEdit(Box(7));
    EXPECT_TRUE(w.sys.pasted.empty());
    w.sys.unopenable.clear();
    w.engine.PollEdit(Box(7));
    EXPECT_EQ(w.sys.pasted, std::vector<std::u16string>{u"saved"});
}

TEST(PollEdit, TheFileIsClosedBeforeThePasteAndAFailedReadIsTriedAgain) {
    Watch w;
    w.sys.Save(kFile, "saved");
    w.sys.readFailures = 1;
    w.engine.PollEdit(Box(7));
    EXPECT_TRUE(w.sys.pasted.empty());
    EXPECT_EQ(w.engine.table.edits[0].last.low, 50u) << "an unread save still counts as new";
    const int from = static_cast<int>(w.sys.log.size());
    w.engine.PollEdit(Box(7));
    EXPECT_EQ(w.sys.pasted, std::vector<std::u16string>{u"saved"});
    // The editor may save again during the paste's pause: the file is no longer held.
    const int closed = w.sys.IndexOf("CloseFile", from);
    ASSERT_GE(closed, 0);
    EXPECT_LT(closed, w.sys.IndexOf("Keys AV", from));
    EXPECT_TRUE(w.sys.handles.empty());
}

TEST(PollEdit, ASaveThatCouldNotBePastedIsNotUsedUpAndTheUserIsToldOnce) {
    Watch w;
    CFakeHost host;
    w.engine.SetHost(&host);
    w.sys.Save(kFile, "saved");
    // Busy through the backup and the paste, free again for the restore.
    w.sys.busyOpens = 1000;
    w.engine.PollEdit(Box(7));
    EXPECT_TRUE(w.sys.batches.empty()) << "without our text on it, a paste would insert the user's clipboard";
    EXPECT_EQ(w.sys.ClipBytes(1), "user");
    EXPECT_EQ(w.engine.table.edits[0].last.low, 50u);
    w.sys.busyOpens = 1000;
    w.engine.PollEdit(Box(7));
    EXPECT_EQ(host.told, std::vector<std::u16string>{notice::kNotPasted});
    // The focus moved away before the keys: nothing sent, nothing said, still pending.
    w.sys.busyOpens = 0;
    w.sys.focus = Box(8);
    w.engine.PollEdit(Box(7));
    EXPECT_TRUE(w.sys.batches.empty());
    EXPECT_EQ(host.told.size(), 1u);
    w.sys.focus = nullptr;
    // A box that never asks for the pasted text: after a long wait the user's clipboard is
    // back, and the save still waits.
    w.sys.boxIgnoresPaste = true;
    w.engine.PollEdit(Box(7));
    EXPECT_EQ(w.sys.Calls("Wait 10000").size(), 1u);
    EXPECT_EQ(w.engine.table.edits[0].last.low, 50u);
    EXPECT_EQ(w.sys.ClipBytes(1), "user");
    w.sys.boxIgnoresPaste = false;
    w.engine.PollEdit(Box(7));
    EXPECT_EQ(w.sys.pasted, std::vector<std::u16string>{u"saved"});
    EXPECT_EQ(w.sys.ClipBytes(1), "user");
}

TEST(PollEdit, APasteAnotherProgramReadsFirstCountsOnlyWhenTheBoxsOwnProgramTakesIt) {
    // A clipboard collector reads every offer before the box: it is served, but only a read
    // by the box's own program (of the text offered again) is the paste taken. The box tells
    // its text, which holds the save and more: a save that only cuts the end off must not
    // count as arrived because the text is in there.
    Watch w;
    w.sys.Save(kFile, "saved");
    w.sys.boxIgnoresPaste = true;
    WindowFacts box;
    box.process = 5;
    box.edit = EditKind::kEdit;
    w.settings.UseEditMessages = 0;
    w.sys.windowText[Box(7)] = u"saved, and more";
    w.sys.windowFacts[Box(7)] = box;
    w.engine.table.edits[0].targetFacts = box;
    w.sys.renderRequest = [&](std::uint32_t format) {
        w.routes.ClipboardRoute().Serve(ClipboardRequest::kRender, format);
    };
    std::vector<std::uint32_t> readers;
    w.sys.onServe = [&] {
        if (!readers.empty() && w.sys.OfferState() == ClipboardOffer::kWaiting) {
            w.sys.RequestRender(readers.front());
            readers.erase(readers.begin());
        }
    };
    for (const bool boxReads : {false, true}) {
        readers = boxReads ? std::vector<std::uint32_t>{9, 5} : std::vector<std::uint32_t>(10, 9);
        w.engine.PollEdit(Box(7));
        EXPECT_EQ(w.engine.table.edits[0].last.low != 50u, boxReads);
        EXPECT_EQ(w.sys.ClipBytes(1), "user");
    }
    w.sys.windowText.erase(Box(7));
    w.sys.boxText = std::make_unique<std::u16string>(u"saved"); // what the box took
    w.sys.Save(kFile, "saved again");
    w.sys.boxIgnoresPaste = false;
    w.engine.PollEdit(Box(7));
    EXPECT_EQ(w.sys.pasted, std::vector<std::u16string>{u"saved again"});
    EXPECT_EQ(w.sys.ClipBytes(1), "user");
}

TEST(PollEdit, ABoxStillInsertingALongPasteIsWaitedForBeforeTheRestore) {
    Watch w;
    w.sys.Save(kFile, "a long text");
    w.sys.busyAfterPaste = 150; // about 1.5 s of the box holding the clipboard
    w.engine.PollEdit(Box(7));
    EXPECT_EQ(w.sys.pasted.size(), 1u);
    EXPECT_EQ(w.sys.Unmarked(),
              (std::vector<std::pair<std::uint32_t, std::string>>{{1, "user"}, {0xC001, "<html>"}}))
        << "the user's clipboard must not be lost";
    EXPECT_FALSE(w.sys.viewerJoined);
}

TEST(PollEdit, AClipboardHeldPastTheRestoreIsPutBackAtALaterTickOrBeforeTheNextPaste) {
    Watch w;
    CFakeHost host;
    host.window = Box(99);
    w.engine.SetHost(&host);
    w.sys.Save(kFile, "first save");
    w.sys.busyAfterPaste = 100000; // the box holds the clipboard far longer than the wait
    w.engine.PollEdit(Box(7));
    EXPECT_EQ(w.sys.pasted, std::vector<std::u16string>{u"first save"});
    EXPECT_TRUE(w.routes.ClipboardRoute().HasLaterRestore())
        << "the user's clipboard is kept, not thrown away";
    EXPECT_TRUE(w.sys.viewerJoined);
    w.routes.ClipboardRoute().RetryLaterRestore(); // a tick while the box still holds it
    EXPECT_TRUE(w.routes.ClipboardRoute().HasLaterRestore());
    w.sys.busyOpens = 0;
    w.sys.busyAfterPaste = 0;
    // The next save's paste first puts the user's clipboard back, so its own backup saves
    // the user's content, not the text pasted before.
    w.sys.Save(kFile, "second save");
    w.engine.PollEdit(Box(8));
    w.engine.PollEdit(Box(7));
    EXPECT_FALSE(w.routes.ClipboardRoute().HasLaterRestore());
    EXPECT_EQ(w.sys.pasted.back(), u"second save");
    EXPECT_EQ(w.sys.Unmarked(),
              (std::vector<std::pair<std::uint32_t, std::string>>{{1, "user"}, {0xC001, "<html>"}}));
    EXPECT_FALSE(w.sys.viewerJoined);
    EXPECT_EQ(w.sys.owner, Box(99)) << "every emptying open passes our window";
}

TEST(PurgeClosedEdits, DropsEditsOfGoneWindowsAndKeepsTheirFilesForExit) {
    CFakeSystem sys;
    for (const char16_t* path : {u"a", u"b", u"c", u"d"})
        sys.files[path] = {"", 0};
    {
        CSettingsStore settings(DefaultConfigPlatform());
        CTextRoutes routes(sys, settings);
        CEditEngine engine(sys, settings, routes);
        engine.table.edits = {{Box(1), u"a", 0}, {Box(2), u"b", 0}, {Box(1), u"c", 0}, {Box(3), u"d", 0}};
        sys.liveWindows = {Box(2)};
        engine.PurgeClosedEdits();
        ASSERT_EQ(engine.table.edits.size(), 1u);
        EXPECT_EQ(engine.table.edits[0].tempPath, u"b");
        EXPECT_EQ(PathsOf(engine.table.pendingDeletes), (std::vector<std::u16string>{u"d", u"c", u"a"}));
        EXPECT_TRUE(sys.deleted.empty()) << "files are deleted at exit, not when purged";

        settings.DeleteTempFile = 0;
        sys.liveWindows.clear();
        engine.PurgeClosedEdits();
        EXPECT_TRUE(engine.table.edits.empty());
        EXPECT_EQ(engine.table.pendingDeletes.size(), 3u) << "ended while deletion was off: never deleted";
        settings.DeleteTempFile = 1;
    }
    EXPECT_EQ(sys.deleted, (std::vector<std::u16string>{u"d", u"c", u"a"}));
}

TEST(PollEdit, AnEditControlsOwnTextDecidesWithoutACopyUnlessItTellsNothing) {
    Watch w;
    w.settings.UseEditMessages = 0; // the clipboard's way, checked by reading the box
    WindowFacts edit;
    edit.className = u"EDIT";
    edit.edit = EditKind::kEdit;
    w.sys.windowFacts[Box(7)] = edit;
    w.engine.table.edits[0].targetFacts = edit;
    w.engine.table.edits[0].knownText = u"original";
    w.engine.table.edits[0].textKnown = true;
    w.sys.windowText[Box(7)] = u"original\r\n";
    w.sys.Save(kFile, "edited");
    w.engine.PollEdit(Box(7));
    EXPECT_EQ(w.sys.Calls("Keys"), std::vector<std::string>{"Keys AV"});
    // Its own text decides a mismatch too: no Ctrl+A in the user's box.
    w.sys.windowText[Box(7)] = u"typed meanwhile";
    w.sys.Save(kFile, "edited again");
    w.engine.PollEdit(Box(7));
    EXPECT_EQ(w.sys.Calls("Keys"), std::vector<std::string>{"Keys AV"});
    // A box that reports nothing of itself (a password field, say) is checked by the copy.
    w.sys.windowText[Box(7)] = u"";
    w.engine.PollEdit(Box(7));
    EXPECT_EQ(w.sys.Calls("Keys"), (std::vector<std::string>{"Keys AV", "Keys AC", "Keys AV"}));
    EXPECT_EQ(w.sys.pasted, (std::vector<std::u16string>{u"edited", u"edited again"}));
}

namespace {

// An edit of a box of the system's own edit control, started through its messages.
struct MessageRoad {
    CFakeSystem sys;
    CFakeHost host;
    CSettingsStore settings{DefaultConfigPlatform()};
    CTextRoutes routes{sys, settings};
    CEditEngine engine{sys, settings, routes};
    std::u16string path;
    MessageRoad(const std::u16string& text, bool onlySelection, std::uint32_t start = 0,
                std::uint32_t end = 0) {
        host.system = &sys;
        host.window = Box(99);
        engine.SetHost(&host);
        settings.EditOnlySelection = onlySelection;
        settings.Extensions = {EXTENSIONREC(u"txt", u"C:\\ed.exe", u"", 1)};
        WindowFacts facts;
        facts.className = u"Edit";
        facts.edit = EditKind::kEdit;
        sys.windowFacts[Box(7)] = facts;
        sys.windowText[Box(7)] = text;
        sys.selections[Box(7)] = {start, end};
        sys.clipboard = {{1, "user"}};
        engine.StartEdit(Box(7), 0);
        if (!engine.table.edits.empty())
            path = engine.table.edits[0].tempPath;
    }
    std::u16string BoxText() { return sys.windowText[Box(7)]; }
    void SavesAndComesBack(const std::string& bytes) {
        sys.Save(path, bytes);
        engine.PollEdit(Box(7));
    }
    // Neither the clipboard nor a key was touched by anything so far.
    bool Untouched() const { return sys.Calls("OpenClipboard").empty() && sys.batches.empty(); }
};

} // namespace

TEST(MessageRoute, AnEditControlIsEditedByItsMessagesWithoutTheClipboardOrAKey) {
    MessageRoad r(u"hello\r\nworld", false);
    ASSERT_EQ(r.engine.table.edits.size(), 1u);
    EXPECT_EQ(r.sys.files[r.path].bytes, "\xEF\xBB\xBFhello\r\nworld");
    r.SavesAndComesBack("edited\n");
    EXPECT_EQ(r.BoxText(), u"edited");
    // Typed into meanwhile: the box is not the one the edit knows, and keeps what was typed.
    r.sys.windowText[Box(7)] = u"edited, and typed";
    r.SavesAndComesBack("again");
    EXPECT_EQ(r.BoxText(), u"edited, and typed");
    EXPECT_EQ(r.host.told, std::vector<std::u16string>{notice::kNotThisBox});
    // Read-only now: nothing goes in, and the user hears why, once.
    r.sys.windowText[Box(7)] = u"edited";
    r.sys.windowFacts[Box(7)].readOnly = true;
    r.engine.table.edits[0].targetFacts.readOnly = true;
    r.SavesAndComesBack("third");
    r.engine.PollEdit(Box(7));
    EXPECT_EQ(r.BoxText(), u"edited");
    EXPECT_EQ(r.host.told, (std::vector<std::u16string>{notice::kNotThisBox, notice::kReadOnly}));
    EXPECT_TRUE(r.Untouched()) << ::testing::PrintToString(r.sys.log);
    // Turned off, the same box goes the clipboard's way.
    MessageRoad off(u"x", false);
    off.settings.UseEditMessages = 0;
    off.engine.StartEdit(Box(7), 0);
    EXPECT_EQ(off.sys.Calls("Keys"), std::vector<std::string>{"Keys AC"});
}

TEST(MessageRoute, SelectionModeReplacesOnlyTheSelectionItCameFromWhereverItCanBeFoundForSure) {
    MessageRoad r(u"one two one", true, 4, 7);
    EXPECT_EQ(r.sys.files[r.path].bytes, "\xEF\xBB\xBFtwo");
    // Text typed before it moved it: found again at the one place it is.
    r.sys.windowText[Box(7)] = u"XX one two one";
    r.SavesAndComesBack("2");
    EXPECT_EQ(r.BoxText(), u"XX one 2 one");
    // Now twice in the box and at neither place it was: the save waits for the user to
    // select it again.
    r.sys.windowText[Box(7)] = u"2 xx 2 yy";
    r.sys.selections[Box(7)] = {0, 0};
    r.SavesAndComesBack("3");
    EXPECT_EQ(r.BoxText(), u"2 xx 2 yy");
    EXPECT_EQ(r.host.told, std::vector<std::u16string>{notice::kSelectAgain});
    r.sys.selections[Box(7)] = {5, 6};
    r.engine.PollEdit(Box(7));
    EXPECT_EQ(r.BoxText(), u"2 xx 3 yy");
    EXPECT_TRUE(r.Untouched());
    // RichEdit counts a line break as one position.
    EXPECT_EQ(FindSelectionAgain(InEditPositions(EditKind::kRichEdit, u"a\r\nb\r\nb"), u"b", 2, -1), 2);
}

TEST(Routes, TheBoxsRouteCarriesTheEditAndAControlThatLeavesItsMessagesUnansweredIsCopiedTheClipboardsWay) {
    CFakeSystem sys;
    CFakeHost host;
    CSettingsStore settings{DefaultConfigPlatform()};
    CFakeRoutes routes;
    CEditEngine engine{sys, settings, routes};
    host.system = &sys;
    engine.SetHost(&host);
    settings.Extensions = {EXTENSIONREC(u"txt", u"C:\\ed.exe", u"", 1)};
    sys.windowFacts[Box(7)].edit = EditKind::kEdit;
    routes.messages.copyResult = CopyResult::kUnanswered;
    routes.clipboard.boxText = u"as copied";
    engine.StartEdit(Box(7), 0);
    ASSERT_EQ(engine.table.edits.size(), 1u);
    const std::u16string path = engine.table.edits[0].tempPath;
    EXPECT_EQ(sys.files[path].bytes, "\xEF\xBB\xBF"
                                     "as copied");
    EXPECT_EQ(routes.clipboard.rounds, 1);
    // The save goes back the box's own way, checked against what the edit knows of the box.
    routes.messages.boxText = u"as copied";
    sys.Save(path, "saved");
    engine.PollEdit(Box(7));
    EXPECT_EQ(routes.messages.pasted, std::vector<std::u16string>{u"saved"});
    EXPECT_EQ(routes.clipboard.rounds, 1) << "the clipboard's way is not taken for the paste";
    // A paste the box did not answer stays the user's save, told once.
    routes.messages.pasteResult = PasteResult::kNotAnswered;
    sys.Save(path, "saved again");
    engine.PollEdit(Box(7));
    engine.PollEdit(Box(7));
    EXPECT_EQ(routes.messages.boxText, u"saved");
    EXPECT_EQ(host.told, std::vector<std::u16string>{notice::kNotPasted});
    EXPECT_NE(engine.table.edits[0].last, SaveStamp::Of(sys.files[path].lastWrite, "saved again"));
}

TEST(ClipboardRoute, SelectionModeNeverSelectsAllAndPastesOnlyOverTheSameTextSelectedAgain) {
    Watch w;
    CFakeHost host;
    w.engine.SetHost(&host);
    w.engine.table.edits.clear();
    w.settings.EditOnlySelection = 1;
    w.settings.Extensions = {EXTENSIONREC(u"txt", u"C:\\ed.exe", u"", 1)};
    w.sys.boxText = std::make_unique<std::u16string>(u"one two three");
    w.sys.boxSelected = u"two";
    w.engine.StartEdit(Box(7), 0);
    ASSERT_EQ(w.engine.table.edits.size(), 1u);
    const std::u16string path = w.engine.table.edits[0].tempPath;
    // Selected again: the check copies the selection alone, and the paste replaces only it.
    w.sys.Save(path, "2");
    w.engine.PollEdit(Box(7));
    EXPECT_EQ(*w.sys.boxText, u"one 2 three");
    // Nothing selected now: the save waits, and the user is asked to select the text again.
    w.sys.boxSelected.clear();
    w.sys.Save(path, "3");
    w.engine.PollEdit(Box(7));
    EXPECT_EQ(*w.sys.boxText, u"one 2 three");
    EXPECT_EQ(host.told, std::vector<std::u16string>{notice::kSelectAgain});
    for (const std::string& keys : w.sys.Calls("Keys"))
        EXPECT_EQ(keys.find('A'), std::string::npos) << "Ctrl+A would replace the whole box: " << keys;
    EXPECT_EQ(w.sys.ClipBytes(1), "user");
}

TEST(TempFiles, AFileWhoseLastSaveNeverReachedItsBoxIsKeptAtPurgeAndExit) {
    CFakeSystem sys;
    const std::u16string pasted = u"C:\\Temp\\Quillon_1.txt", unpasted = u"C:\\Temp\\Quillon_2.txt",
                         gone = u"C:\\Temp\\Quillon_3.txt", open = u"C:\\Temp\\Quillon_4.txt",
                         sameTick = u"C:\\Temp\\Quillon_5.txt";
    {
        CSettingsStore settings(DefaultConfigPlatform());
        CTextRoutes routes(sys, settings);
        CEditEngine engine(sys, settings, routes);
        sys.files[pasted] = {"pasted", 10};
        sys.files[unpasted] = {"saved, never pasted", 21};
        sys.files[gone] = {"pasted, then the box closed", 31};
        sys.files[open] = {"saved, box still open", 41};
        // Saved again within the time resolution of the file system after the last paste.
        sys.files[sameTick] = {"saved again", 50};
        OpenEdit again{Box(5), sameTick, 50};
        again.last = SaveStamp::Of(50, "pasted");
        engine.table.edits = {
            {Box(1), pasted, 10}, {Box(2), unpasted, 20}, {Box(3), gone, 31}, {Box(4), open, 40}, again};
        sys.liveWindows = {Box(4)};
        engine.PurgeClosedEdits();
        EXPECT_EQ(PathsOf(engine.table.pendingDeletes), (std::vector<std::u16string>{gone, pasted}));
        // The editor is still open on an ended edit's file, and the user saves into it: now
        // the only copy of that text.
        sys.Save(gone, "written after its box closed");
    }
    EXPECT_FALSE(sys.files.count(pasted));
    EXPECT_TRUE(sys.files.count(gone)) << "saved into after its edit ended";
    EXPECT_TRUE(sys.files.count(unpasted)) << "the user's text exists nowhere else";
    EXPECT_TRUE(sys.files.count(sameTick));
    EXPECT_TRUE(sys.files.count(open));
}

TEST(TempFiles, AtTheSessionsEndWhatCanGoGoesAndTheRestIsDeletedAtTheNextStart) {
    CFakeSystem sys;
    const std::u16string ended = u"C:\\Temp\\Quillon_1.txt", held = u"C:\\Temp\\Quillon_2.txt",
                         unpasted = u"C:\\Temp\\Quillon_3.txt", saving = u"C:\\Temp\\Quillon_4.txt",
                         list = u"C:\\Temp\\Quillon_leftovers.lst";
    sys.files[ended] = {"a", 1};
    sys.files[held] = {"b", 2};
    sys.files[unpasted] = {"c", 9};
    sys.files[saving] = {"d", 4};
    sys.undeletable = {held, saving}; // the editor, closing too, still has them open
    {
        CSettingsStore settings(DefaultConfigPlatform());
        CTextRoutes routes(sys, settings);
        CEditEngine engine(sys, settings, routes);
        engine.table.pendingDeletes = {{ended, SaveStamp::Of(1, "a")}};
        OpenEdit heldEdit{Box(1), held, 2}, stillSaving{Box(3), saving, 4};
        heldEdit.last = SaveStamp::Of(2, "b");
        stillSaving.last = SaveStamp::Of(4, "d");
        engine.table.edits = {heldEdit, {Box(2), unpasted, 3}, stillSaving};
        EndSessionTempFiles(engine);
        EXPECT_FALSE(sys.files.count(ended));
        EXPECT_TRUE(sys.files.count(unpasted));
        ASSERT_TRUE(sys.files.count(list));
        char hashes[80];
        std::snprintf(hashes, sizeof hashes, "%016llx|%016llx",
                      static_cast<unsigned long long>(ContentHash("b")),
                      static_cast<unsigned long long>(ContentHash("d")));
        const std::string hash(hashes);
        EXPECT_EQ(sys.files[list].bytes, "C:\\Temp\\Quillon_2.txt\t1\t" + hash.substr(0, 16) +
                                             "\nC:\\Temp\\Quillon_4.txt\t1\t" + hash.substr(17) + "\n");
        settings.DeleteTempFile = 0; // the process ends here, without its usual exit
    }
    // The editor saved into one of them as the session ended.
    sys.files[saving].bytes = "the user's last words";
    // The next start: the listed file that is as it was goes; the one saved into stays, and
    // neither a foreign line nor a line without its save's stamp deletes anything.
    sys.undeletable.clear();
    sys.files[u"C:\\Windows\\win.ini"] = {"x", 1};
    sys.files[u"C:\\Temp\\Quillon_5.txt"] = {"x", 1};
    sys.files[list].bytes +=
        "C:\\Windows\\win.ini\t1\t0\nC:\\Temp\\Quillon_x\\..\\..\\Windows\\win.ini\t1\t0\n"
        "C:\\Temp\\Quillon_5.txt\n";
    CSettingsStore nextSettings(DefaultConfigPlatform());
    CTextRoutes nextRoutes(sys, nextSettings);
    CEditEngine next(sys, nextSettings, nextRoutes);
    nextSettings.DeleteTempFile = 0;
    DeleteFilesLeftLastSession(next);
    EXPECT_FALSE(sys.files.count(held));
    EXPECT_TRUE(sys.files.count(saving)) << "saved into while the session ended";
    EXPECT_FALSE(sys.files.count(list));
    EXPECT_TRUE(sys.files.count(u"C:\\Windows\\win.ini"));
    EXPECT_TRUE(sys.files.count(u"C:\\Temp\\Quillon_5.txt"));
    EXPECT_TRUE(sys.files.count(unpasted));
}

#ifndef _WIN32
// The real files of the POSIX seam: a temporary folder others can write to may hold links
// planted under the names our files get.
TEST(TempFiles, ALinkPlantedUnderOurNameIsNeitherFollowedNorDeleted) {
    char pattern[] = "/tmp/quillon-links-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string folder = std::string(pattern) + "/";
    const std::string theirs = folder + "theirs.txt", nowhere = folder + "made-through-a-link.txt";
    { std::ofstream(theirs) << "another user's text"; }
    // The first name points at another file, the second at a file that does not exist yet.
    ASSERT_EQ(::symlink(theirs.c_str(), (folder + "Quillon_10_00_00.txt").c_str()), 0);
    ASSERT_EQ(::symlink(nowhere.c_str(), (folder + "Quillon_10_00_00_2.txt").c_str()), 0);

    IFiles& files = DefaultSystem();
    std::u16string path;
    FileHandle file = CreateTempFile(files, FromUtf8(folder), u"Quillon_10_00_00", u"txt", path);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(ToUtf8(path), folder + "Quillon_10_00_00_3.txt");
    EXPECT_TRUE(files.WriteFile(file, "the box's text"));
    files.CloseFile(file);
    struct stat made {};
    ASSERT_EQ(::lstat(ToUtf8(path).c_str(), &made), 0);
    EXPECT_EQ(made.st_mode & 0777, 0600u) << "readable by the user alone";
    std::ifstream in(theirs);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "another user's text");
    EXPECT_NE(::access(nowhere.c_str(), F_OK), 0) << "nothing is created where a dangling link points";

    // The link reads as the file it points to, and still only our own file is deleted.
    const std::u16string link = FromUtf8(folder + "Quillon_10_00_00.txt");
    SaveStamp stamp;
    ASSERT_TRUE(ReadStamp(files, link, stamp));
    EXPECT_EQ(DeleteIfUnchanged(files, link, stamp), DeleteOutcome::kNotNow);
    struct stat entry {};
    EXPECT_EQ(::lstat(ToUtf8(link).c_str(), &entry), 0);
    EXPECT_EQ(::access(theirs.c_str(), F_OK), 0);
    ASSERT_TRUE(ReadStamp(files, path, stamp));
    EXPECT_EQ(DeleteIfUnchanged(files, path, stamp), DeleteOutcome::kDeleted);
    EXPECT_NE(::lstat(ToUtf8(path).c_str(), &entry), 0);
    std::filesystem::remove_all(pattern);
}
#endif
