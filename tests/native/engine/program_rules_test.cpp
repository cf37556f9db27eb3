// The per-program rules (which rule decides, what "always" remembers), the word that a save
// drops the box's formatting, and the open edits' summaries and actions, against the fake.
#include <gtest/gtest.h>

#include "engine/clipboard_backup.h"
#include "engine/open_edits.h"
#include "engine/program_rules.h"
#include "fake_system.h"

using namespace quillon;
using namespace quillon::test;

namespace {

const std::vector<EXTENSIONREC> kRows = {EXTENSIONREC(u"txt", u"", u"", 1), EXTENSIONREC(u"md", u"", u"", 1),
                                         EXTENSIONREC(u"html", u"", u"", 1)};

} // namespace

TEST(ProgramRules, TheFirstRuleThatMatchesAndNamesARowDecides) {
    const std::vector<RULEREC> rules = {
        RULEREC(u"thunderbird.exe", u"", u"gone", 0),          // a row the table lacks: passed over
        RULEREC(u"Thunderbird.EXE", u"", u"MD", 1),            // names and rows compare without case
        RULEREC(u"", u"gmail", u"html", 0, 1),                 // any program whose title holds it
        RULEREC(u"notepad.exe", u"", u"", 1, 1),               // formatting only
        RULEREC(u"notepad.exe", u"\u00C9T\u00C9", u"html", 0), // non-ASCII titles fold too
    };
    struct Case {
        const char16_t* program;
        const char16_t* title;
        int row;
        bool list;
        bool quiet;
    } cases[] = {
        {u"thunderbird.exe", u"Write: Gmail", 1, true, true}, // first usable rule; a later one is quiet
        {u"firefox.exe", u"Inbox - GMail - Mozilla", 2, false, true},
        {u"notepad.exe", u"Untitled", -1, true, true},
        {u"notepad.exe", u"notes \u00E9t\u00E9", 2, false, true},
        {u"other.exe", u"", -1, true, false},
    };
    for (const Case& c : cases) {
        const RuleChoice choice = ChooseByRules(rules, kRows, c.program, c.title);
        EXPECT_EQ(choice.row, c.row) << ToUtf8(c.program) << " " << ToUtf8(c.title);
        EXPECT_EQ(choice.showList, c.list) << ToUtf8(c.program);
        EXPECT_EQ(choice.quietFormatting, c.quiet) << ToUtf8(c.program);
    }
    EXPECT_EQ(ChooseByRules({}, kRows, u"a.exe", u"t").row, -1) << "no rules: the list as ever";
    EXPECT_EQ(ProgramFileName(u"C:\\Program Files\\Mozilla\\thunderbird.exe"), u"thunderbird.exe");
}

TEST(ProgramRules, AlwaysReplacesTheProgramsOwnRuleAndGoesFirst) {
    const std::vector<RULEREC> rules = {RULEREC(u"", u"Mail", u"md", 1),
                                        RULEREC(u"NOTEPAD.EXE", u"", u"md", 1, 1),
                                        RULEREC(u"notepad.exe", u"log", u"html", 1)};
    const std::vector<RULEREC> remembered = RememberChoice(rules, u"notepad.exe", u"txt");
    const std::vector<RULEREC> expected = {RULEREC(u"notepad.exe", u"", u"txt", 0, 1),
                                           RULEREC(u"", u"Mail", u"md", 1),
                                           RULEREC(u"notepad.exe", u"log", u"html", 1)};
    EXPECT_EQ(remembered, expected);
    EXPECT_EQ(ChooseByRules(remembered, kRows, u"notepad.exe", u"Mail from the log").row, 0);
    EXPECT_EQ(RememberChoice(rules, u"", u"txt"), rules) << "an unknown program remembers nothing";
}

namespace {

struct Edits {
    CFakeSystem sys;
    CFakeHost host;
    CSettingsStore settings{DefaultConfigPlatform()};
    CTextRoutes routes{sys, settings};
    CEditEngine engine{sys, settings, routes};
    static constexpr std::uint32_t kHtml = 0xC0A1;
    Edits() {
        host.system = &sys;
        host.window = Box(99);
        engine.SetHost(&host);
        sys.registerAs[u"HTML Format"] = kHtml;
        sys.formatNames[kHtml] = u"HTML Format";
        sys.clipboard = {{1, "user"}};
        sys.boxText = std::make_unique<std::u16string>(u"hello");
        WindowFacts facts;
        facts.thread = 5;
        facts.process = 6;
        facts.className = u"Edit";
        facts.program = u"mailer.exe";
        facts.title = u"Re: plans & dates";
        sys.windowFacts[Box(7)] = facts;
        settings.Extensions = {EXTENSIONREC(u"txt", u"C:\\ed.exe", u"-n", 1)};
    }
    std::u16string Path() const { return engine.table.edits.at(0).tempPath; }
};

} // namespace

TEST(FormattingNotice, ToldOnceWhenTheCopyBroughtFormattingUnlessARuleIsQuiet) {
    struct Case {
        bool formatted;
        bool quietRule;
        bool told;
    } cases[] = {{true, false, true}, {false, false, false}, {true, true, false}};
    for (const Case& c : cases) {
        Edits e;
        if (c.formatted)
            e.sys.boxFormats = {{Edits::kHtml, "<b>hello</b>"}};
        if (c.quietRule)
            e.settings.Rules = {RULEREC(u"MAILER.exe", u"", u"", 1, 1)};
        e.engine.StartEdit(Box(7), 0);
        ASSERT_EQ(e.engine.table.edits.size(), 1u);
        const auto told = std::count(e.host.told.begin(), e.host.told.end(), notice::kFormattingLost);
        EXPECT_EQ(told, c.told ? 1 : 0) << c.formatted << c.quietRule;
        EXPECT_GT(e.sys.IndexOf("StartProgram"), 0) << "the editor opens all the same";
        // A save goes back as plain text, as ever, and the word is not said again.
        e.sys.Save(e.Path(), "\xEF\xBB\xBFhello again");
        e.engine.PollEdit(Box(7));
        EXPECT_EQ(e.sys.pasted, std::vector<std::u16string>{u"hello again"});
        EXPECT_EQ(std::count(e.host.told.begin(), e.host.told.end(), notice::kFormattingLost), told);
    }
}

TEST(OpenEdits, TheMenuTellsWhereEachEditStandsAndItsActionsKeepTheUsersText) {
    Edits e;
    e.engine.StartEdit(Box(7), 0);
    ASSERT_EQ(e.engine.table.edits.size(), 1u);
    const std::u16string path = e.Path();
    auto only = [&] {
        const std::vector<OpenEditSummary> all = SummarizeOpenEdits(e.engine);
        EXPECT_EQ(all.size(), 1u);
        return all.empty() ? std::u16string() : OpenEditMenuText(all[0]);
    };
    EXPECT_EQ(only(), u"mailer.exe - Re: plans && dates (txt): no save yet");

    // Saved while the user is elsewhere: the text exists only in the file.
    e.sys.Save(path, "\xEF\xBB\xBFsaved text\n");
    EXPECT_EQ(only(), u"mailer.exe - Re: plans && dates (txt): waiting for its box");

    // "Copy saved text": the user's copy, unmarked; a clipboard of theirs still waiting to
    // come back after an earlier paste does not come back over it.
    CClipboardRoute& clipboard = e.routes.ClipboardRoute();
    ASSERT_TRUE(clipboard.Begin());
    e.sys.busyOpens = 1000; // held by another program: the restore waits for a later tick
    clipboard.End();
    e.sys.busyOpens = 0;
    ASSERT_TRUE(clipboard.HasLaterRestore());
    ASSERT_TRUE(CopySavedText(e.engine, path));
    e.routes.ClipboardRoute().RetryLaterRestore();
    EXPECT_FALSE(e.routes.ClipboardRoute().HasLaterRestore());
    EXPECT_EQ(e.sys.Unmarked(), (std::vector<std::pair<std::uint32_t, std::string>>{
                                    {13, std::string("s\0a\0v\0e\0d\0 \0t\0e\0x\0t\0\0\0", 22)}}));
    EXPECT_FALSE(e.sys.Marked());

    // "Open in editor" and "Show file" start the edit's own editor and Explorer on the file.
    ASSERT_TRUE(ReopenEdit(e.engine, path));
    ASSERT_EQ(e.sys.started.size(), 2u);
    EXPECT_EQ(e.sys.started[1], e.sys.started[0]);
    ASSERT_TRUE(ShowEditFile(e.engine, path));
    EXPECT_EQ(e.sys.launched.back(),
              std::make_pair(std::u16string(u"explorer.exe"), u"/select,\"" + path + u"\""));

    // Back in the box: pasted, at the time of day.
    e.sys.hour = 9;
    e.sys.minute = 3;
    e.engine.PollEdit(Box(7));
    EXPECT_EQ(only(), u"mailer.exe - Re: plans && dates (txt): pasted 09:03");

    // "Stop this edit" with a newer save unpasted: the file stays and the user hears where.
    e.sys.Save(path, "\xEF\xBB\xBFnewer");
    ASSERT_TRUE(StopEdit(e.engine, path));
    EXPECT_TRUE(e.engine.table.edits.empty());
    EXPECT_TRUE(e.engine.table.pendingDeletes.empty());
    ASSERT_FALSE(e.host.told.empty());
    EXPECT_EQ(e.host.told.back(), notice::kStoppedWithSave + path + u".");
    EXPECT_FALSE(StopEdit(e.engine, path)) << "an edit gone meanwhile is no error";
    EXPECT_FALSE(CopySavedText(e.engine, path));
}

TEST(OpenEdits, StoppingAnEditWithNothingUnpastedLeavesItsFileForTheExit) {
    Edits e;
    e.engine.StartEdit(Box(7), 0);
    const std::u16string path = e.Path();
    ASSERT_TRUE(StopEdit(e.engine, path));
    ASSERT_EQ(e.engine.table.pendingDeletes.size(), 1u);
    EXPECT_EQ(e.engine.table.pendingDeletes[0].path, path);
    EXPECT_TRUE(e.host.told.empty());
    EXPECT_EQ(ShortenTitle(u"A very long title of a browser window, with a site name at the end", 20),
              u"A very long title...");
}
