// CClipboardBackup against the fake clipboard: what is saved, how it comes back, the
// viewer chain, the two states, and a clipboard that another program holds for a moment.
#include <gtest/gtest.h>

#include "engine/clipboard_backup.h"
#include "fake_system.h"

using namespace quillon;
using namespace quillon::test;

namespace {

void FillUsualClipboard(CFakeSystem& sys) {
    sys.clipboard = {{1, "text"},
                     {2, "<bitmap handle>"},
                     {3, "<metafile pict>"},
                     {8, "DIB bytes"},
                     {9, "<palette>"},
                     {13, std::string("t\0e\0\0\0", 6)},
                     {14, "EMF"},
                     {16, "locale"},
                     {0x80, "<owner display>"},
                     {0x82, "x"},
                     {0x83, "x"},
                     {0x8E, "dsp emf"},
                     {0x200, "private"},
                     {0x2FF, "private"},
                     {0xC123, "<html>"}};
    sys.formatNames[0xC123] = u"HTML Format";
}

} // namespace

TEST(ClipboardBackup, SavesEveryFormatButTheNeverSavedOnesInOrder) {
    CFakeSystem sys;
    FillUsualClipboard(sys);
    CClipboardBackup backup(sys, sys);
    ASSERT_TRUE(backup.Backup());
    std::vector<std::uint32_t> saved;
    for (const auto& e : backup.Entries())
        saved.push_back(e.format);
    EXPECT_EQ(saved, (std::vector<std::uint32_t>{1, 8, 13, 14, 16, 0x8E, 0xC123}));
    EXPECT_EQ(backup.Entries().back().name, u"HTML Format");
    EXPECT_EQ(backup.Entries().front().name, u"");
    EXPECT_FALSE(sys.clipboardOpen);
    EXPECT_TRUE(sys.viewerJoined);
    // Order: open, join the chain, copy, close.
    EXPECT_LT(sys.IndexOf("OpenClipboard"), sys.IndexOf("JoinViewerChain"));
    EXPECT_LT(sys.IndexOf("JoinViewerChain"), sys.IndexOf("Copy 1"));
    EXPECT_LT(sys.IndexOf("Copy 49443"), sys.IndexOf("CloseClipboard"));
}

TEST(ClipboardBackup, RestorePutsBackTheBytesAndRenumbersRegisteredFormats) {
    CFakeSystem sys;
    FillUsualClipboard(sys);
    CClipboardBackup backup(sys, sys);
    ASSERT_TRUE(backup.Backup());
    sys.clipboard = {{13, "operation text"}};
    sys.registerAs[u"HTML Format"] = 0xC200; // numbered differently now
    ASSERT_TRUE(backup.Restore());
    EXPECT_EQ(sys.Unmarked(),
              (std::vector<std::pair<std::uint32_t, std::string>>{{1, "text"},
                                                                  {8, "DIB bytes"},
                                                                  {13, std::string("t\0e\0\0\0", 6)},
                                                                  {14, "EMF"},
                                                                  {16, "locale"},
                                                                  {0x8E, "dsp emf"},
                                                                  {0xC200, "<html>"}}));
    EXPECT_TRUE(sys.Marked()) << "put back, it is a duplicate: kept out of the history and the cloud";
    EXPECT_LT(sys.IndexOf("SetClipboardData 49664"), sys.IndexOf("MarkOwnContent"));
    EXPECT_FALSE(backup.IsHeld());
    EXPECT_TRUE(backup.Entries().empty());
    EXPECT_TRUE(sys.copies.empty()) << "every copy went to the clipboard";
    EXPECT_FALSE(sys.viewerJoined);
    EXPECT_EQ(sys.Calls("LeaveViewerChain"), std::vector<std::string>{"LeaveViewerChain"});
    EXPECT_LT(sys.IndexOf("CloseClipboard", sys.IndexOf("EmptyClipboard")), sys.IndexOf("LeaveViewerChain"));
    // A second restore changes nothing.
    sys.clipboard = {{13, "later"}};
    EXPECT_FALSE(backup.Restore());
    EXPECT_EQ(sys.ClipBytes(13), "later");
}

TEST(ClipboardBackup, AnEmptyClipboardStaysEmptyAndAFailedCopyIsLeftOut) {
    CFakeSystem sys;
    CClipboardBackup backup(sys, sys);
    ASSERT_TRUE(backup.Backup());
    EXPECT_TRUE(backup.Entries().empty());
    sys.clipboard = {{13, "x"}};
    ASSERT_TRUE(backup.Restore());
    EXPECT_TRUE(sys.clipboard.empty());

    CFakeSystem other;
    other.clipboard = {{1, "a"}, {7, "b"}};
    other.copyFailsFor = 1;
    CClipboardBackup partial(other, other);
    ASSERT_TRUE(partial.Backup());
    ASSERT_EQ(partial.Entries().size(), 1u);
    EXPECT_EQ(partial.Entries()[0].format, 7u);
}

TEST(ClipboardBackup, ASecondBackupKeepsTheFirstCopies) {
    CFakeSystem sys;
    sys.clipboard = {{1, "first"}};
    CClipboardBackup backup(sys, sys);
    ASSERT_TRUE(backup.Backup());
    sys.clipboard = {{1, "second"}};
    EXPECT_FALSE(backup.Backup());
    ASSERT_TRUE(backup.Restore());
    EXPECT_EQ(sys.ClipBytes(1), "first");
    EXPECT_EQ(sys.Calls("JoinViewerChain").size(), 1u);
}

TEST(ClipboardBackup, ABusyClipboardIsWaitedForBriefly) {
    CFakeSystem sys;
    sys.clipboard = {{1, "user text"}};
    sys.busyOpens = 5; // held by another program for about 50 ms
    CClipboardBackup backup(sys, sys);
    ASSERT_TRUE(backup.Backup());
    sys.clipboard = {{1, "operation"}};
    sys.busyOpens = 8;
    ASSERT_TRUE(backup.Restore()) << "a failed restore would lose the user's clipboard";
    EXPECT_EQ(sys.ClipBytes(1), "user text");

    // Held for longer than the bound: give up within it.
    CFakeSystem stuck;
    stuck.busyOpens = 1000;
    const std::uint64_t start = stuck.now;
    CClipboardBackup none(stuck, stuck);
    EXPECT_FALSE(none.Backup());
    EXPECT_LE(stuck.now - start, kClipboardRetryMs + kClipboardRetryStepMs);
    EXPECT_GE(stuck.now - start, kClipboardRetryMs);
    EXPECT_FALSE(stuck.viewerJoined);
    EXPECT_FALSE(none.Restore());
}

TEST(ClipboardBackup, DestructionRestoresAHeldBackupOrDiscardsItAndRepairsTheChain) {
    CFakeSystem sys;
    sys.clipboard = {{1, "keep me"}};
    {
        CClipboardBackup backup(sys, sys);
        ASSERT_TRUE(backup.Backup());
        sys.clipboard = {{1, "operation"}};
        // leaves scope without Restore (an early exit)
    }
    EXPECT_EQ(sys.ClipBytes(1), "keep me");
    EXPECT_FALSE(sys.viewerJoined);

    CFakeSystem busy;
    busy.clipboard = {{1, "a"}, {14, "emf"}};
    {
        CClipboardBackup backup(busy, busy);
        ASSERT_TRUE(backup.Backup());
        busy.busyOpens = 100000;
        EXPECT_FALSE(backup.Restore());
        EXPECT_TRUE(backup.IsHeld()) << "the copies stay while the clipboard is busy";
        EXPECT_TRUE(busy.viewerJoined);
    }
    EXPECT_TRUE(busy.copies.empty()) << "discarded copies are freed";
    EXPECT_EQ(busy.Calls("Free").size(), 2u);
    EXPECT_FALSE(busy.viewerJoined);
    EXPECT_EQ(busy.Calls("LeaveViewerChain"), std::vector<std::string>{"LeaveViewerChain"});
}

TEST(ClipboardBackup, TheUsersOwnMarkersComeBackWithTheirContent) {
    // A password manager's copy carries markers of its own: after the restore they are
    // still there (ours only add to them), so the password stays out of the history.
    CFakeSystem sys;
    sys.clipboard = {{13, "secret"}, {0xC0FF, "x"}, {CFakeSystem::kHistoryMark, CFakeSystem::Dword0()}};
    sys.formatNames = {{0xC0FF, u"Clipboard Viewer Ignore"}, {CFakeSystem::kHistoryMark, kHistoryFormat}};
    sys.registerAs = {{u"Clipboard Viewer Ignore", 0xC0FF}, {kHistoryFormat, CFakeSystem::kHistoryMark}};
    CClipboardBackup backup(sys, sys);
    ASSERT_TRUE(backup.Backup());
    sys.UserCopies({{13, "pasted text"}});
    ASSERT_TRUE(backup.Restore());
    EXPECT_EQ(sys.ClipBytes(0xC0FF), "x");
    EXPECT_TRUE(sys.Marked());
    EXPECT_EQ(sys.ClipBytes(13), "secret");
}

TEST(ClipboardBackup, ABackupKeptForLaterComesBackUnlessTheUserCopiedSince) {
    for (bool userCopied : {false, true}) {
        CFakeSystem sys;
        sys.clipboard = {{1, "user"}};
        CClipboardBackup later(sys, sys);
        {
            CClipboardBackup backup(sys, sys, Box(99));
            ASSERT_TRUE(backup.Backup());
            ASSERT_TRUE(OpenClipboardPatiently(sys, sys));
            sys.EmptyClipboard();
            sys.SetClipboardText(u"pasted");
            sys.CloseClipboard();
            sys.busyOpens = 1000;
            ASSERT_FALSE(backup.Restore());
            ASSERT_TRUE(later.TakeOver(backup));
            EXPECT_FALSE(backup.IsHeld());
        } // the first holder goes: nothing is freed, the chain is kept
        EXPECT_TRUE(sys.Calls("Free").empty());
        EXPECT_TRUE(sys.viewerJoined);
        EXPECT_FALSE(later.RetryRestore()) << "still busy";
        sys.busyOpens = 0;
        if (userCopied)
            sys.UserCopies({{1, "copied since"}});
        EXPECT_TRUE(later.RetryRestore());
        EXPECT_FALSE(later.IsHeld());
        EXPECT_EQ(sys.ClipBytes(1), userCopied ? "copied since" : "user");
        EXPECT_TRUE(sys.copies.empty());
        EXPECT_FALSE(sys.viewerJoined);
        EXPECT_EQ(sys.Calls("LeaveViewerChain"), std::vector<std::string>{"LeaveViewerChain"});
    }
}
