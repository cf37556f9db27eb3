// Starting an edit against the recording fake: the order of operations, the file and its
// content, the editor, the choice of extension and the failures that must stay silent.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine/edit_road.h"
#include "engine/edit_rules.h"
#include "fake_system.h"

using namespace quillon;
using namespace quillon::test;

namespace {

const std::u16string kFile = u"C:\\Temp\\Quillon_14_05_09.txt";

struct Road {
    CFakeSystem sys;
    CFakeHost host;
    CSettingsStore settings{DefaultConfigPlatform()};
    CTextRoutes routes{sys, settings};
    CEditEngine engine{sys, settings, routes};
    Road() {
        host.system = &sys;
        host.window = Box(99);
        engine.SetHost(&host);
        settings.moduleFolder = u"C:\\Tools\\Quillon";
        sys.clipboard = {{1, "user"}, {13, std::string("u\0s\0\0\0", 6)}};
        sys.boxText = std::make_unique<std::u16string>(u"box text \u00E9\U0001F600");
        sys.fileTypes[u".txt"][u"open"] = {true, u"\"C:\\Windows\\notepad.exe\" \"%1\""};
    }
};

} // namespace

TEST(StartEdit, CopiesTheBoxIntoANewFileThenRestoresRecordsAndLaunches) {
    Road r;
    r.sys.stampAtClose = true; // as Windows may, and FAT's two-second times
    r.settings.Extensions = {EXTENSIONREC(u"txt", u"C:\\ed.exe", u"-n", 1)};
    r.engine.StartEdit(Box(7), 0);
    EXPECT_EQ(r.sys.viewer, Box(99)) << "the host's window joins the viewer chain";
    EXPECT_EQ(r.sys.listener, Box(99)) << "the host's window listens for the copy";
    EXPECT_EQ(r.sys.emptiedWithoutOwner, 0) << "each emptying open passes the host's window";
    EXPECT_EQ(r.sys.owner, Box(99));

    // The file: a byte-order mark and the box's text in UTF-8.
    ASSERT_TRUE(r.sys.files.count(kFile));
    EXPECT_EQ(r.sys.files[kFile].bytes, "\xEF\xBB\xBF"
                                        "box text \xC3\xA9\xF0\x9F\x98\x80");
    // The user's clipboard is back.
    EXPECT_EQ(r.sys.ClipBytes(1), "user");
    EXPECT_EQ(r.sys.ClipBytes(13), std::string("u\0s\0\0\0", 6));
    EXPECT_FALSE(r.sys.viewerJoined);
    // The record holds the time of the file as written and closed.
    ASSERT_EQ(r.engine.table.edits.size(), 1u);
    EXPECT_EQ(r.engine.table.edits[0].hTarget, Box(7));
    EXPECT_EQ(r.engine.table.edits[0].tempPath, kFile);
    EXPECT_EQ(r.engine.table.edits[0].last.low, r.sys.files[kFile].lastWrite);
    // The editor, with the path quoted after its own parameters, started directly.
    ASSERT_EQ(r.sys.started.size(), 1u);
    EXPECT_EQ(r.sys.started[0].first, u"C:\\ed.exe");
    EXPECT_EQ(r.sys.started[0].second, u"-n \"" + kFile + u"\"");
    EXPECT_TRUE(r.sys.launched.empty());

    // The order: backup, empty, keys; folder, file, write, close (a row needs no dialog, so
    // the file comes before the restore); restore, launch.
    auto& L = r.sys.log;
    auto at = [&](const std::string& s, int from = 0) { return r.sys.IndexOf(s, from); };
    int join = at("JoinViewerChain");
    int empty = at("EmptyClipboard", join);
    int keys = at("Keys AC");
    int restore = at("EmptyClipboard", std::max(at("WriteFile 18"), 0));
    int leave = at("LeaveViewerChain");
    int folder = at("CreateDirectories C:\\Temp\\");
    int create = at("CreateNewFile " + ToUtf8(kFile));
    int write = at("WriteFile 18");
    int close = at("CloseFile");
    int launch = at("StartProgram");
    for (int i : {join, empty, keys, restore, leave, folder, create, write, close, launch})
        ASSERT_GE(i, 0) << ::testing::PrintToString(L);
    EXPECT_TRUE(join < empty && empty < keys && keys < folder && folder < create && create < write &&
                write < close && close < restore && restore < leave && leave < launch)
        << ::testing::PrintToString(L);
    // The text had arrived with the keys: no time spent waiting.
    EXPECT_EQ(r.sys.now, 1000u);

    // Back in the box with nothing saved, then after a Ctrl+S that changed nothing (only the
    // time moves): the box keeps its text and formatting.
    r.engine.PollEdit(Box(7));
    r.sys.files[kFile].lastWrite = ++r.sys.clock;
    r.engine.PollEdit(Box(7));
    EXPECT_TRUE(r.sys.Calls("Keys AV").empty()) << ::testing::PrintToString(L);
}

TEST(StartEdit, AClipboardHeldAfterTheCopyIsPutBackLaterAndACopyOfTheUsersMeanwhileStaysTheirs) {
    struct Case {
        const char* what;
        bool held;       // another program holds the clipboard from the file's write on
        bool userCopies; // the user copies something after the box's copy was read
        const char* expected;
    };
    const Case cases[] = {
        {"held past the restore: put back at a later tick", true, false, "user"},
        {"held, and the user copied meanwhile", true, true, "copied since"},
        {"the user copied before the restore", false, true, "copied since"},
    };
    for (const Case& c : cases) {
        Road r;
        r.settings.Extensions = {EXTENSIONREC(u"txt", u"C:\\ed.exe", u"", 1)};
        r.sys.onWrite = [&] {
            r.sys.onWrite = nullptr;
            if (c.userCopies)
                r.sys.UserCopies({{1, "copied since"}});
            if (c.held)
                r.sys.busyOpens = 100000;
        };
        r.engine.StartEdit(Box(7), 0);
        EXPECT_EQ(r.routes.ClipboardRoute().HasLaterRestore(), c.held) << c.what;
        r.sys.busyOpens = 0;
        r.routes.ClipboardRoute().RetryLaterRestore();
        EXPECT_FALSE(r.routes.ClipboardRoute().HasLaterRestore()) << c.what;
        EXPECT_EQ(r.sys.ClipBytes(1), c.expected) << c.what;
    }
}

TEST(StartEdit, SelectionOnlyCopiesWithCtrlCAlone) {
    Road r;
    r.settings.EditOnlySelection = 1;
    r.engine.StartEdit(Box(7), 0);
    EXPECT_EQ(r.sys.Calls("Keys"), std::vector<std::string>{"Keys C"});
}

TEST(StartEdit, WaitsUpToTwoSecondsForTheCopiedTextWhateverTheDelay) {
    Road r;
    r.sys.boxText.reset(); // the copy never arrives
    r.sys.windowFacts[Box(7)].process = 70;
    r.settings.Delay = 100;
    r.engine.StartEdit(Box(7), 0);
    EXPECT_EQ(r.sys.Calls("Wait 2000").size(), 1u);
    // It ends the moment the clipboard changes, on a system that can tell.
    EXPECT_EQ(r.sys.IndexOf("Wait 2000"), r.sys.IndexOf("Watching the clipboard") + 1);
    EXPECT_EQ(r.sys.now, 3000u);
    // Nothing arrived: an empty file (no mark: there was no text at all), still an edit.
    EXPECT_EQ(r.sys.files[kFile].bytes, "");
    EXPECT_EQ(r.engine.table.edits.size(), 1u);
    EXPECT_EQ(r.sys.ClipBytes(1), "user");
    EXPECT_EQ(r.host.told, std::vector<std::u16string>{notice::kNoTextCame});
    // The box's copy lands after all, over the user's clipboard: it is put back once more.
    const auto user = r.sys.clipboard;
    r.routes.ClipboardRoute().CheckLateCopy();
    EXPECT_EQ(r.sys.clipboard, user) << "nothing landed yet";
    r.sys.copierProcess = 70;
    r.sys.UserCopies({{13, std::string("b\0o\0x\0\0\0", 8)}});
    r.routes.ClipboardRoute().CheckLateCopy();
    EXPECT_EQ(r.sys.ClipBytes(1), "user");
    EXPECT_FALSE(r.routes.ClipboardRoute().WatchingLateCopy());
    // Another program's copy is the user's own, and stays; after a while nothing is watched.
    Road other;
    other.sys.boxText.reset();
    other.sys.windowFacts[Box(7)].process = 70;
    other.engine.StartEdit(Box(7), 0);
    other.sys.copierProcess = 80;
    other.sys.UserCopies({{1, "new"}});
    other.routes.ClipboardRoute().CheckLateCopy();
    EXPECT_EQ(other.sys.ClipBytes(1), "new");
    EXPECT_FALSE(other.routes.ClipboardRoute().WatchingLateCopy());
    other.engine.StartEdit(Box(7), 0);
    ASSERT_TRUE(other.routes.ClipboardRoute().WatchingLateCopy());
    other.sys.now += kLateCopyWatchMs;
    other.routes.ClipboardRoute().CheckLateCopy();
    EXPECT_FALSE(other.routes.ClipboardRoute().WatchingLateCopy());
    // Having heard that no text came, the user copies the box's text by hand: a copy of the
    // box's own program, and theirs to keep.
    other.engine.StartEdit(Box(7), 0);
    other.sys.userKeyPresses += 2; // Ctrl, C
    other.sys.copierProcess = 70;
    other.sys.UserCopies({{1, "copied by hand"}});
    other.routes.ClipboardRoute().CheckLateCopy();
    EXPECT_EQ(other.sys.ClipBytes(1), "copied by hand");
    EXPECT_FALSE(other.routes.ClipboardRoute().WatchingLateCopy());

    // A slow box whose text lands after a second and a half (fifteen times a Delay of 100).
    Road slow;
    slow.settings.Delay = 100;
    auto text = std::move(slow.sys.boxText);
    slow.sys.onServe = [&] {
        if (slow.sys.now >= 2500 && text)
            slow.sys.PutText(*text);
    };
    slow.engine.StartEdit(Box(7), 0);
    EXPECT_EQ(slow.sys.files[kFile].bytes, "\xEF\xBB\xBF"
                                           "box text \xC3\xA9\xF0\x9F\x98\x80");
    EXPECT_TRUE(slow.host.told.empty());
    EXPECT_FALSE(slow.routes.ClipboardRoute().WatchingLateCopy());

    // An empty edit control says so itself: no wait at all.
    Road empty;
    empty.sys.boxText.reset();
    WindowFacts edit;
    edit.className = u"Edit";
    empty.sys.windowFacts[Box(7)] = edit;
    empty.sys.windowText[Box(7)] = u"";
    empty.engine.StartEdit(Box(7), 0);
    EXPECT_EQ(empty.sys.now, 1000u);
    EXPECT_EQ(empty.engine.table.edits.size(), 1u);
    EXPECT_TRUE(empty.host.told.empty()) << "an empty box is no news";
}

TEST(StartEdit, AnsiRowsAndEmptyText) {
    Road r;
    r.settings.Extensions = {EXTENSIONREC(u"txt", u"", u"", 0)};
    r.sys.boxText = std::make_unique<std::u16string>(u"caf\u00E9");
    r.engine.StartEdit(Box(7), 0);
    EXPECT_EQ(r.sys.files[kFile].bytes, "caf\xE9"); // the fake's ANSI page is Latin-1
    // No editor: the shell opens the text file in its program.
    EXPECT_EQ(r.sys.Calls("ShellVerb"), std::vector<std::string>{"ShellVerb open " + ToUtf8(kFile)});

    Road empty;
    empty.sys.boxText = std::make_unique<std::u16string>(u"");
    empty.engine.StartEdit(Box(7), 0);
    EXPECT_EQ(empty.sys.files[kFile].bytes, "\xEF\xBB\xBF");
}

TEST(StartEdit, SaveContentOffTouchesNeitherKeysNorClipboard) {
    Road r;
    r.settings.SaveContent = 0;
    r.engine.StartEdit(Box(7), 0);
    EXPECT_TRUE(r.sys.batches.empty());
    EXPECT_TRUE(r.sys.Calls("OpenClipboard").empty());
    EXPECT_EQ(r.sys.files[kFile].bytes, "");
    EXPECT_EQ(r.sys.Calls("ShellVerb open").size(), 1u);
    EXPECT_EQ(r.engine.table.edits.size(), 1u);
}

TEST(StartEdit, TwoEditsInOneSecondGetTwoFilesAndTheFirstKeepsItsText) {
    Road r;
    r.engine.StartEdit(Box(7), 0);
    r.sys.Save(kFile, "unsaved work of the first edit");
    r.sys.boxText = std::make_unique<std::u16string>(u"second");
    r.engine.StartEdit(Box(8), 0);
    r.sys.boxText = std::make_unique<std::u16string>(u"third");
    r.engine.StartEdit(Box(9), 0);
    EXPECT_EQ(r.sys.files[kFile].bytes, "unsaved work of the first edit");
    const std::u16string second = u"C:\\Temp\\Quillon_14_05_09_2.txt";
    const std::u16string third = u"C:\\Temp\\Quillon_14_05_09_3.txt";
    EXPECT_EQ(r.sys.files[second].bytes, "\xEF\xBB\xBFsecond");
    EXPECT_EQ(r.sys.files[third].bytes, "\xEF\xBB\xBFthird");
    ASSERT_EQ(r.engine.table.edits.size(), 3u);
    EXPECT_EQ(r.engine.table.edits[1].tempPath, second);
    EXPECT_EQ(r.engine.table.edits[2].tempPath, third);
}

TEST(StartEdit, AFileThatCannotBeCreatedEndsTheEditAndTheUserHearsWhy) {
    // Nothing starts, the user hears why naming the folder, and their clipboard is back.
    auto nothingStarted = [](Road& road, const std::u16string& folder) {
        EXPECT_EQ(road.host.told, std::vector<std::u16string>{notice::kNoTempFile + folder + u"."});
        EXPECT_TRUE(road.engine.table.edits.empty());
        EXPECT_TRUE(road.sys.launched.empty());
        EXPECT_TRUE(road.sys.started.empty());
        EXPECT_EQ(road.sys.ClipBytes(1), "user");
    };
    Road r;
    r.settings.TemporaryFolder = u"C:\\Not?Writable";
    r.engine.StartEdit(Box(7), 0);
    nothingStarted(r, u"C:\\Not?Writable\\");
    EXPECT_FALSE(r.sys.viewerJoined);

    // Another user of a shared folder made files under every name ours could get: none of
    // them is opened or written.
    Road taken;
    std::vector<std::u16string> theirs;
    for (int attempt = 1; attempt <= kMaxTempFileAttempts; ++attempt) {
        theirs.push_back(TempFileCandidate(u"C:\\Temp\\", u"Quillon_14_05_09", u"txt", attempt));
        taken.sys.files[theirs.back()] = {"theirs", 1};
    }
    taken.engine.StartEdit(Box(7), 0);
    nothingStarted(taken, u"C:\\Temp\\");
    EXPECT_EQ(taken.sys.files.size(), theirs.size());
    for (const auto& path : theirs)
        EXPECT_EQ(taken.sys.files[path].bytes, "theirs") << ToUtf8(path);
}

TEST(StartEdit, AFileThatDidNotTakeTheWholeTextIsRemovedAndTheUserTold) {
    Road r;
    r.sys.writeFails = true;
    r.engine.StartEdit(Box(7), 0);
    EXPECT_FALSE(r.sys.files.count(kFile)) << "half a text would look whole in the editor";
    EXPECT_EQ(r.sys.deleted, std::vector<std::u16string>{kFile});
    EXPECT_LT(r.sys.IndexOf("CloseFile"), r.sys.IndexOf("DeleteFile")) << "an open file cannot be deleted";
    EXPECT_TRUE(r.engine.table.edits.empty());
    EXPECT_TRUE(r.sys.started.empty());
    EXPECT_TRUE(r.sys.launched.empty());
    EXPECT_EQ(r.host.told, std::vector<std::u16string>{kTempFileWriteFailedMessage});
    EXPECT_EQ(r.sys.ClipBytes(1), "user");
    EXPECT_FALSE(r.sys.viewerJoined);
}

TEST(StartEdit, AnAnsiRowKeepsLettersItsPageLacksAndTheBoxsLastLineBreakIsNoted) {
    Road r;
    r.settings.Extensions = {EXTENSIONREC(u"txt", u"", u"", 0)};
    r.sys.boxText = std::make_unique<std::u16string>(u"\u65E5 \U0001F600\r\n");
    r.engine.StartEdit(Box(7), 0);
    EXPECT_EQ(r.sys.files[kFile].bytes, "\xEF\xBB\xBF\xE6\x97\xA5 \xF0\x9F\x98\x80\r\n") << "not \"? ?\"";
    ASSERT_EQ(r.engine.table.edits.size(), 1u);
    EXPECT_TRUE(r.engine.table.edits[0].boxTextEndedWithBreak);
}

TEST(StartEdit, TemporaryFolderBesideTheProgramIsCreated) {
    Road r;
    r.settings.TemporaryFolder = u"\\Temp";
    r.engine.StartEdit(Box(7), 0);
    EXPECT_TRUE(r.sys.folders.count(u"C:\\Tools\\Quillon\\Temp\\"));
    EXPECT_TRUE(r.sys.files.count(u"C:\\Tools\\Quillon\\Temp\\Quillon_14_05_09.txt"));
}

TEST(ChooseExtension, NewExtensionAskedAfterTheKeysAndKeptWhenWanted) {
    Road r;
    r.host.save = true;
    r.engine.StartEdit(Box(7), 1); // "Edit with new Extension"
    EXPECT_LT(r.sys.IndexOf("Keys AC"), r.sys.IndexOf("ChooseNewExtension"));
    ASSERT_EQ(r.settings.Extensions.size(), 2u);
    EXPECT_EQ(r.settings.Extensions[1], r.host.answer);
    EXPECT_EQ(r.host.changed, 1);
    ASSERT_EQ(r.sys.started.size(), 1u);
    EXPECT_EQ(r.sys.started[0].second, u"-x \"C:\\Temp\\Quillon_14_05_09.md\"");

    Road once;
    once.host.save = false;
    once.engine.StartEdit(Box(7), 1);
    EXPECT_EQ(once.settings.Extensions.size(), 1u);
    EXPECT_EQ(once.host.changed, 0);
    EXPECT_TRUE(once.sys.files.count(u"C:\\Temp\\Quillon_14_05_09.md"));
}

TEST(ChooseExtension, TheDialogOpensWithTheUsersClipboardBackAndWhatTheyCopyThereStaysTheirs) {
    Road r;
    std::string clipboardDuringDialog;
    r.host.whileAsking = [&] {
        clipboardDuringDialog = r.sys.ClipBytes(1); // what Ctrl+V in the dialog would paste
        r.sys.clipboard = {{13, std::string("p\0a\0t\0h\0\0\0", 10)}}; // the user copies a path
    };
    r.engine.StartEdit(Box(7), 1);
    EXPECT_EQ(clipboardDuringDialog, "user");
    EXPECT_FALSE(r.sys.viewerJoined);
    EXPECT_EQ(r.sys.files[u"C:\\Temp\\Quillon_14_05_09.md"].bytes, "\xEF\xBB\xBF"
                                                                   "box text \xC3\xA9\xF0\x9F\x98\x80");
    EXPECT_EQ(r.sys.clipboard,
              (std::vector<std::pair<std::uint32_t, std::string>>{{13, std::string("p\0a\0t\0h\0\0\0", 10)}}))
        << "the path the user copied during the dialog is kept";
}

TEST(ChooseExtension, AnExtensionThatWouldLeaveTheTemporaryFolderStartsNothing) {
    // A row from the settings file: not even the copy's keys go out.
    Road row;
    row.settings.Extensions = {EXTENSIONREC(u"txt\\..\\..\\evil", u"", u"", 1)};
    row.engine.StartEdit(Box(7), 0);
    EXPECT_TRUE(row.sys.log.empty()) << ::testing::PrintToString(row.sys.log);
    EXPECT_TRUE(row.engine.table.edits.empty());
    // An answer of the New Extension dialog is not trusted either.
    Road asked;
    asked.host.answer.Extension = u"a/b";
    asked.engine.StartEdit(Box(7), 1);
    EXPECT_TRUE(asked.sys.files.empty());
    EXPECT_TRUE(asked.engine.table.edits.empty());
    EXPECT_TRUE(asked.sys.started.empty());
    EXPECT_EQ(asked.sys.ClipBytes(1), "user");
    // And an edit is never started for no window.
    Road none;
    none.engine.StartEdit(nullptr, 0);
    EXPECT_TRUE(none.sys.log.empty());
}

TEST(ChooseExtension, CancelLeavesNoFileNoRecordAndTheClipboardAsItWas) {
    Road r;
    r.host.answerOk = false;
    r.engine.StartEdit(Box(7), 1);
    EXPECT_TRUE(r.sys.files.empty());
    EXPECT_TRUE(r.engine.table.edits.empty());
    EXPECT_TRUE(r.sys.launched.empty());
    EXPECT_TRUE(r.sys.started.empty());
    EXPECT_EQ(r.sys.ClipBytes(1), "user");
    EXPECT_EQ(r.sys.ClipBytes(13), std::string("u\0s\0\0\0", 6));
    EXPECT_FALSE(r.sys.viewerJoined);

    // Direct: rows by index, a cancelled row, a negative index.
    r.settings.Extensions = {EXTENSIONREC(u"a", u"", u"", 0), EXTENSIONREC(u"b", u"", u"", 1)};
    EXPECT_EQ(ChooseExtension(r.engine, 1).Extension, u"b");
    EXPECT_EQ(ChooseExtension(r.engine, 2), EXTENSIONREC(u"", u"", u"", 1));
    EXPECT_EQ(ChooseExtension(r.engine, -1), EXTENSIONREC(u"", u"", u"", 1));
    // A row with an empty extension starts nothing either.
    r.settings.Extensions = {EXTENSIONREC(u"", u"", u"", 1)};
    r.engine.StartEdit(Box(7), 0);
    EXPECT_TRUE(r.engine.table.edits.empty());
}

TEST(LaunchEditor, ProgramsDirectlyEverythingElseThroughTheShell) {
    CFakeSystem sys;
    LaunchEditor(sys, u"C:\\Tools\\ED.EXE", u"", u"C:\\t\\a b.txt");
    ASSERT_EQ(sys.started.size(), 1u);
    EXPECT_EQ(sys.started[0].second, u" \"C:\\t\\a b.txt\"");
    // Not startable directly (say, it needs elevation): the shell gets it.
    sys.startFails = true;
    LaunchEditor(sys, u"C:\\Tools\\ed.exe", u"%1 %1", u"p");
    ASSERT_EQ(sys.launched.size(), 1u);
    EXPECT_EQ(sys.launched[0], std::make_pair(std::u16string(u"C:\\Tools\\ed.exe"), std::u16string(u"p p")));
    // A script or a registered name is the shell's business.
    LaunchEditor(sys, u"C:\\Tools\\ed.cmd", u"", u"p");
    LaunchEditor(sys, u"notepad", u"", u"p");
    EXPECT_EQ(sys.launched.size(), 3u);
    EXPECT_EQ(sys.Calls("StartProgram").size(), 2u);
    // The shell could not start it either: a failure, which the user hears of.
    sys.shellFails = true;
    EXPECT_EQ(LaunchEditor(sys, u"C:\\Tools\\ed.exe", u"", u"p"), LaunchOutcome::kFailed);
}

TEST(LaunchEditor, WithoutAnEditorTheFileIsOpenedByItsTypeButNeverRun) {
    CFakeSystem sys;
    const std::u16string bat = u"C:\\t\\Quillon_14_05_09.bat";
    // A batch file's "open" runs it: the user picks a program instead.
    sys.fileTypes[u".bat"][u"open"] = {true, u"\"%1\" %*"};
    EXPECT_EQ(LaunchEditor(sys, u"", u"ignored", bat), LaunchOutcome::kStarted);
    EXPECT_EQ(sys.log, std::vector<std::string>{"OpenWith " + ToUtf8(bat)});
    sys.openWith = OpenWithResult::kCancelled;
    EXPECT_EQ(LaunchEditor(sys, u"", u"", bat), LaunchOutcome::kCancelled);
    // No "Open with" (Wine has none): nothing at all, not even a verb the type does not
    // register, which a shell may take for its default and run.
    sys.openWith = OpenWithResult::kUnavailable;
    sys.log.clear();
    EXPECT_EQ(LaunchEditor(sys, u"", u"", bat), LaunchOutcome::kNoSafeWay);
    EXPECT_TRUE(sys.Calls("ShellVerb").empty()) << ::testing::PrintToString(sys.log);
    // The same choice through the type's own "openas", where it registers one.
    sys.fileTypes[u".bat"][u"openas"] = {true, u"rundll32.exe shell32.dll,OpenAs_RunDLL %1"};
    EXPECT_EQ(LaunchEditor(sys, u"", u"", bat), LaunchOutcome::kStarted);
    EXPECT_EQ(sys.Calls("ShellVerb"), std::vector<std::string>{"ShellVerb openas " + ToUtf8(bat)});
    // The type's editor, where it names one.
    sys.fileTypes[u".bat"][u"edit"] = {true, u"%SystemRoot%\\System32\\NOTEPAD.EXE %1"};
    sys.log.clear();
    EXPECT_EQ(LaunchEditor(sys, u"", u"", bat), LaunchOutcome::kStarted);
    EXPECT_EQ(sys.log, std::vector<std::string>{"ShellVerb edit " + ToUtf8(bat)});
    // A document opens in its program; a failure to open it is told.
    sys.fileTypes[u".txt"][u"open"] = {true, u"\"C:\\Windows\\notepad.exe\" \"%1\""};
    sys.verbFails = true;
    sys.log.clear();
    EXPECT_EQ(LaunchEditor(sys, u"", u"", u"C:\\t\\a.txt"), LaunchOutcome::kFailed);
    EXPECT_EQ(sys.log, std::vector<std::string>{"ShellVerb open C:\\t\\a.txt"});
}

TEST(StartEdit, AFileThatCannotBeOpenedSafelyStaysAndTheUserHearsWhatToDo) {
    Road r;
    r.settings.Extensions = {EXTENSIONREC(u"bat", u"", u"", 1)};
    r.sys.openWith = OpenWithResult::kUnavailable;
    r.engine.StartEdit(Box(7), 0);
    const std::u16string file = u"C:\\Temp\\Quillon_14_05_09.bat";
    ASSERT_TRUE(r.sys.files.count(file)) << "the text is kept in its file";
    ASSERT_EQ(r.engine.table.edits.size(), 1u) << "and a save of it still goes back to the box";
    EXPECT_EQ(r.host.outcomes, std::vector<LaunchOutcome>{LaunchOutcome::kNoSafeWay});
    ASSERT_EQ(r.host.told.size(), 1u);
    EXPECT_NE(r.host.told[0].find(file), std::u16string::npos);
    EXPECT_NE(r.host.told[0].find(u"choose an editor for the \"bat\" row in Options"), std::u16string::npos)
        << ToUtf8(r.host.told[0]);
}

TEST(SendCtrlKeys, OneBatchPressingCtrlBeforeReleasingAltAndKeepingAHeldCtrl) {
    CFakeSystem sys;
    sys.keysDown = {0x11, 0x12}; // the hotkey's Ctrl+Alt still held
    sys.userKeysDown = {0x11};
    SendCtrlKeys(sys, "AC");
    ASSERT_EQ(sys.batches.size(), 1u);
    const auto& b = sys.batches[0];
    ASSERT_EQ(b.size(), 6u);
    EXPECT_EQ(b[0], (KeyInput{0x11, 0x111, false}));
    EXPECT_EQ(b[1], (KeyInput{0x12, 0x112, true}));
    EXPECT_EQ(b[5], (KeyInput{'C', 'C' + 0x100, true}));
}

TEST(SendCtrlKeys, EndsWithCtrlAsTheUsersOwnKeyIsAfterTheirWaitingEvents) {
    // The user let go of Ctrl, but the release still waits for our hook, and the system's key
    // state says down: answered first, the release shows, and the batch lets Ctrl go.
    CFakeSystem sys;
    sys.keysDown = {0x11};
    sys.userKeysDown = {0x11};
    sys.keysBehindHook = {{0x11, false}};
    SendCtrlKeys(sys, "AV");
    ASSERT_EQ(sys.batches.size(), 1u);
    EXPECT_EQ(sys.batches[0].back(), (KeyInput{0x11, 0x111, true})) << "Ctrl would stay down for good";
    // Still held by the user: left down, as they hold it.
    sys.userKeysDown = {0x11};
    SendCtrlKeys(sys, "AV");
    EXPECT_EQ(sys.batches[1].back(), (KeyInput{'V', 'V' + 0x100, true}));
}

TEST(StartEdit, WhatAMessageStartsDuringTheCopyWaitNeverPastesIntoIt) {
    // Another edit's box got the focus back after a save; the poll comes through a message
    // answered during the copy wait. It is put off, not run inside the copy.
    Road r;
    r.sys.boxText.reset(); // the copy is slow: the whole wait
    r.sys.files[u"C:\\Temp\\other.txt"] = {"old", 5};
    r.engine.table.edits.push_back({Box(9), u"C:\\Temp\\other.txt", 5});
    r.sys.Save(u"C:\\Temp\\other.txt", "saved");
    std::vector<bool> polls;
    r.sys.onServe = [&] {
        if (r.sys.clipboard.empty()) // inside the copy: our emptied clipboard
            polls.push_back(r.engine.PollEdit(Box(9)));
    };
    r.engine.StartEdit(Box(7), 0);
    r.sys.onServe = nullptr;
    ASSERT_FALSE(polls.empty());
    for (bool looked : polls)
        EXPECT_FALSE(looked);
    EXPECT_TRUE(r.sys.pasted.empty());
    EXPECT_EQ(r.engine.table.edits.size(), 2u);
    // Asked again afterwards, the save is written back.
    EXPECT_TRUE(r.engine.PollEdit(Box(9)));
    EXPECT_EQ(r.sys.pasted, std::vector<std::u16string>{u"saved"});
}

TEST(StartEdit, NoKeysToConsolesPasswordsOurOwnWindowsProgramsAboveUsABoxThatLostTheFocusOrWithoutABackup) {
    struct Case {
        const char* what;
        std::uint32_t process;
        const char16_t* className;
        const char16_t* topClassName;
        bool password;
        bool above;
        void* focusMovesTo;
        const char16_t* told; // null: nothing
        int busyOpens;
    };
    const Case cases[] = {
        {"console", 500, u"ConsoleWindowClass", u"ConsoleWindowClass", false, false, nullptr,
         notice::kConsole, 0},
        {"a terminal's input window, known by its top window", 500, u"Windows.UI.Input.InputSite.WindowClass",
         u"CASCADIA_HOSTING_WINDOW_CLASS", false, false, nullptr, notice::kConsole, 0},
        {"a password box, which would give its text if read", 500, u"Edit", u"Dialog", true, false, nullptr,
         notice::kPassword, 0},
        {"our own dialog", 1, u"Edit", u"#32770", false, false, nullptr, nullptr, 0},
        {"administrator", 500, u"Edit", u"", false, true, nullptr, notice::kAdministrator, 0},
        {"focus moved during the backup", 500, u"Edit", u"", false, false, Box(8), nullptr, 0},
        {"clipboard held by another program: no backup, no edit", 500, u"Edit", u"", false, false, nullptr,
         notice::kClipboardBusy, 1000},
    };
    for (const Case& c : cases) {
        Road r;
        r.settings.Extensions = {EXTENSIONREC(u"txt", u"C:\\ed.exe", u"", 1)};
        WindowFacts facts;
        facts.thread = 5;
        facts.process = c.process;
        facts.className = c.className;
        facts.topClassName = c.topClassName;
        facts.password = c.password;
        r.sys.windowFacts[Box(7)] = facts;
        r.sys.windowText[Box(7)] = u"secret";
        if (c.above)
            r.sys.aboveUs.insert(Box(7));
        r.sys.focus = static_cast<HWND>(c.focusMovesTo);
        r.sys.busyOpens = c.busyOpens;
        r.engine.StartEdit(Box(7), 0);
        r.sys.busyOpens = 0;
        EXPECT_TRUE(r.sys.batches.empty()) << c.what;
        EXPECT_EQ(r.host.told, c.told ? std::vector<std::u16string>{c.told} : std::vector<std::u16string>{})
            << c.what;
        EXPECT_EQ(r.sys.ClipBytes(1), "user") << c.what;
        EXPECT_TRUE(r.engine.table.edits.empty()) << c.what;
        EXPECT_TRUE(r.sys.started.empty()) << c.what;
    }
}

TEST(PurgeClosedEdits, AHandleGivenToAnotherWindowIsNotTheOldBox) {
    Road r;
    r.settings.Extensions = {EXTENSIONREC(u"txt", u"C:\\ed.exe", u"", 1)};
    WindowFacts facts;
    facts.thread = 5;
    facts.process = 500;
    facts.className = u"Edit";
    r.sys.windowFacts[Box(7)] = facts;
    r.engine.StartEdit(Box(7), 0);
    ASSERT_EQ(r.engine.table.edits.size(), 1u);
    // The box is closed and its handle reused by a window of another program.
    facts.thread = 6;
    facts.process = 600;
    r.sys.windowFacts[Box(7)] = facts;
    r.sys.boxText = std::make_unique<std::u16string>(u"box text \u00E9\U0001F600");
    r.sys.Save(kFile, "saved");
    r.engine.PollEdit(Box(7));
    EXPECT_TRUE(r.sys.pasted.empty());
    r.sys.liveWindows.insert(Box(7));
    r.engine.PurgeClosedEdits();
    EXPECT_TRUE(r.engine.table.edits.empty());
}
