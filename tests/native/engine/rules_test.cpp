// The pure rules of the edit road: strict UTF-8, saved-file decoding, line ends, folder
// and file names, editor parameters and key plans.
#include <gtest/gtest.h>

#include "base/u16.h"
#include "engine/edit_rules.h"
#include "engine/launch_rules.h"

using namespace quillon;

namespace {
std::u16string Latin1(const std::string& b) {
    std::u16string s;
    for (unsigned char c : b)
        s += static_cast<char16_t>(c);
    return s;
}
// The ANSI page as Latin-1: each unit keeps its low byte, so anything above U+00FF does
// not read back the same.
class CLatin1Page : public IAnsiText {
public:
    std::string ToAnsi(const std::u16string& text) override { return Latin1Bytes(text); }
    std::u16string FromAnsi(const std::string& bytes) override { return FromLatin1Bytes(bytes); }
};
// The decoded text, or "<box left alone>" when the bytes cannot be taken whole.
std::u16string Decoded(const std::string& bytes) {
    std::u16string text;
    return DecodeSavedText(bytes, Latin1, text) ? text : u"<box left alone>";
}
} // namespace

TEST(StrictUtf8, AcceptsOnlyWellFormedTextUnits) {
    EXPECT_TRUE(IsUtf8Text(""));
    EXPECT_TRUE(IsUtf8Text("plain\tline\r\nnext\n"));
    EXPECT_TRUE(IsUtf8Text("\xEF\xBB\xBF"
                           "bom"));
    EXPECT_TRUE(IsUtf8Text("\xC2\x80 \xDF\xBF"));
    EXPECT_TRUE(IsUtf8Text("\xE0\xA0\x80 \xED\x9F\xBF \xEE\x80\x80"));
    EXPECT_TRUE(IsUtf8Text("\xF0\x90\x80\x80 \xF3\xBF\xBF\xBF \xF4\x8F\xBF\xBF"));
    // Stops at the first NUL: what follows does not count.
    EXPECT_TRUE(IsUtf8Text(std::string("ok\0\xFF", 4)));

    EXPECT_FALSE(IsUtf8Text("\xC0\xAF")); // overlong
    EXPECT_FALSE(IsUtf8Text("\xC1\xBF"));
    EXPECT_FALSE(IsUtf8Text("\xE0\x9F\xBF"));     // overlong three-byte
    EXPECT_FALSE(IsUtf8Text("\xED\xA0\x80"));     // surrogate
    EXPECT_FALSE(IsUtf8Text("\xF0\x8F\xBF\xBF")); // overlong four-byte
    EXPECT_FALSE(IsUtf8Text("\xF4\x90\x80\x80")); // above U+10FFFF
    EXPECT_FALSE(IsUtf8Text("\xF5\x80\x80\x80"));
    EXPECT_FALSE(IsUtf8Text("caf\xE9"));  // Latin-1
    EXPECT_FALSE(IsUtf8Text("\xE2\x82")); // cut short at the end
    EXPECT_FALSE(IsUtf8Text("\xC3"));
    for (char c : std::string("\x01\x08\x0B\x0C\x0E\x1F\x7F"))
        EXPECT_FALSE(IsUtf8Text(std::string("a") + c)) << int(c);
    EXPECT_FALSE(IsUtf8Text("\x80")); // lone continuation byte
}

TEST(SavedText, DecodesUtf8AnsiAndUtf16) {
    // UTF-8 with and without its mark; the mark is dropped.
    EXPECT_EQ(Decoded("\xEF\xBB\xBF"
                      "caf\xC3\xA9"),
              u"caf\u00E9");
    EXPECT_EQ(Decoded("caf\xC3\xA9"), u"caf\u00E9");
    EXPECT_EQ(Decoded("\xF0\x9F\x98\x80"), u"\U0001F600");
    // Not UTF-8: ANSI, and a mark in such text stays part of it.
    EXPECT_EQ(Decoded("caf\xE9"), u"caf\u00E9");
    // The mark makes it UTF-8 whatever follows: a stray byte is one replacement character,
    // not a whole text of mojibake with the mark pasted as three letters.
    EXPECT_EQ(Decoded("\xEF\xBB\xBF"
                      "caf\xE9!"),
              u"caf\uFFFD!");
    // Control characters (form feed, vertical tab, escape, bell) do not make it ANSI.
    EXPECT_EQ(Decoded("p\x0C"
                      "caf\xC3\xA9\x0B\x1B[0m\x07\x7F"),
              u"p\fcaf\u00E9\v\x1B[0m\a\x7F");
    EXPECT_EQ(Decoded("\xEF\xBB\xBF\x0C\xC3\xA9"), u"\f\u00E9");
    EXPECT_EQ(Decoded("\x0C"
                      "caf\xE9"),
              u"\fcaf\u00E9"); // not UTF-8 at all: ANSI
    EXPECT_EQ(Decoded(""), u"");
    EXPECT_EQ(Decoded("\xEF\xBB\xBF"), u"");
    // Trailing NULs end the text; anything after a NUL would be lost, so nothing is pasted.
    EXPECT_EQ(Decoded(std::string("ab\0\0", 4)), u"ab");
    EXPECT_EQ(Decoded(std::string("ab\0cd", 5)), u"<box left alone>");
    EXPECT_EQ(Decoded(std::string("h\0i\0", 4)), u"<box left alone>"); // UTF-16 without its mark
    // An ANSI conversion that gives nothing for bytes that are there has failed.
    std::u16string text;
    EXPECT_FALSE(DecodeSavedText(
        "caf\xE9", [](const std::string&) { return std::u16string(); }, text));
}

TEST(SavedText, Utf16AndUtf32FilesAreTakenWholeOrNotAtAll) {
    const std::string le("\xFF\xFE"
                         "h\0i\0\x3D\xD8\x00\xDE"
                         "\r\0\n\0",
                         14);
    EXPECT_EQ(Decoded(le), u"hi\U0001F600\r\n");
    const std::string be("\xFE\xFF\0h\0i\0\xE9", 8);
    EXPECT_EQ(Decoded(be), u"hi\u00E9");
    // The UTF-32 marks come first: FF FE 00 00 is not an empty UTF-16 text.
    const std::string le32("\xFF\xFE\0\0"
                           "h\0\0\0\x00\xF6\x01\0"
                           "\n\0\0\0",
                           16);
    EXPECT_EQ(Decoded(le32), u"h\U0001F600\n");
    const std::string be32("\0\0\xFE\xFF"
                           "\0\0\0h\0\0\0\xE9",
                           12);
    EXPECT_EQ(Decoded(be32), u"h\u00E9");
    EXPECT_EQ(Decoded(std::string("\xFF\xFE\0\0", 4)), u"");
    // Trailing NUL characters end the text.
    EXPECT_EQ(Decoded(std::string("\xFF\xFE"
                                  "a\0\0\0",
                                  6)),
              u"a");
    // Less than the file holds, or not what its mark promises: the box is left alone.
    for (const std::string& bad : {std::string("\xFF\xFE"
                                               "a\0\0\0b\0",
                                               8),
                                   std::string("\xFF\xFE"
                                               "a\0b",
                                               5),
                                   std::string("\xFF\xFE\0\0"
                                               "a\0\0\0b",
                                               9),
                                   std::string("\xFF\xFE\0\0"
                                               "\0\0\x11\0",
                                               8), // above U+10FFFF
                                   std::string("\0\0\xFE\xFF"
                                               "\0\0\xD8\x00",
                                               8)}) // a surrogate
        EXPECT_EQ(Decoded(bad), u"<box left alone>") << ::testing::PrintToString(bad);
}

TEST(LineEnds, LoneLfAndCrBecomeCrLf) {
    EXPECT_EQ(NormalizeLineEnds(u"a\nb\rc\r\nd"), u"a\r\nb\r\nc\r\nd");
    EXPECT_EQ(NormalizeLineEnds(u"\n\n"), u"\r\n\r\n");
    EXPECT_EQ(NormalizeLineEnds(u"\r\r\n\n\r"), u"\r\n\r\n\r\n\r\n");
    EXPECT_EQ(NormalizeLineEnds(u"none"), u"none");
    EXPECT_EQ(NormalizeLineEnds(u""), u"");
}

TEST(TempFileText, WritesAMarkThenUtf8OrTheAnsiPageWhenItHoldsTheText) {
    CLatin1Page page;
    EXPECT_EQ(EncodeTempFileText(u"", true, page), "\xEF\xBB\xBF");
    EXPECT_EQ(EncodeTempFileText(u"\u00E9\U0001F600", true, page), "\xEF\xBB\xBF\xC3\xA9\xF0\x9F\x98\x80");
    EXPECT_EQ(EncodeTempFileText(u"caf\u00E9", false, page), "caf\xE9");
    EXPECT_EQ(EncodeTempFileText(u"", false, page), "");
    // What the page lacks would come back as "?" (or a look-alike): UTF-8 with its mark.
    EXPECT_EQ(EncodeTempFileText(u"caf\u00E9 \U0001F600", false, page), "\xEF\xBB\xBF"
                                                                        "caf\xC3\xA9 \xF0\x9F\x98\x80");
    EXPECT_EQ(EncodeTempFileText(u"\u65E5", false, page), "\xEF\xBB\xBF\xE6\x97\xA5");
}

TEST(LineEnds, OneBreakTheEditorAddedIsDroppedWhenTheBoxHadNone) {
    struct Case {
        const char16_t* saved;
        bool boxHadBreak;
        const char16_t* pasted;
    } cases[] = {
        {u"text\r\n", false, u"text"},
        {u"text\n", false, u"text"},
        {u"text\r", false, u"text"},
        {u"text\n\n", false, u"text\n"}, // exactly one
        {u"text\r\n\r\n", false, u"text\r\n"},
        {u"text\n\r", false, u"text\n"},
        {u"text", false, u"text"},
        {u"", false, u""},
        {u"\n", false, u""},
        {u"text\r\n", true, u"text\r\n"}, // the box's own break
    };
    for (const Case& c : cases)
        EXPECT_EQ(DropAddedLineBreak(c.saved, c.boxHadBreak), c.pasted) << ToUtf8(c.saved) << c.boxHadBreak;
    EXPECT_TRUE(EndsWithLineBreak(u"a\r"));
    EXPECT_FALSE(EndsWithLineBreak(u"a\r\nb"));
}

TEST(TempFolder, BackslashMeansBesideTheProgram) {
    const std::u16string module = u"C:\\Tools\\Quillon";
    EXPECT_EQ(ResolveTempFolderPath(module, u"\\Temp"), u"C:\\Tools\\Quillon\\Temp\\");
    EXPECT_EQ(ResolveTempFolderPath(module, u"\\Temp\\"), u"C:\\Tools\\Quillon\\Temp\\");
    EXPECT_EQ(ResolveTempFolderPath(module, u"D:\\Edits"), u"D:\\Edits\\");
    EXPECT_EQ(ResolveTempFolderPath(module, u"D:\\Edits\\"), u"D:\\Edits\\");
    EXPECT_EQ(ResolveTempFolderPath(module, u"rel"), u"rel\\");
    EXPECT_EQ(ResolveTempFolderPath(module, u""), u"");
    // Network and \\?\ paths stand on their own.
    EXPECT_EQ(ResolveTempFolderPath(module, u"\\\\server\\share\\tmp"), u"\\\\server\\share\\tmp\\");
    EXPECT_EQ(ResolveTempFolderPath(module, u"\\\\?\\D:\\Edits"), u"\\\\?\\D:\\Edits\\");
}

TEST(TempFileName, TimeOfDayThenANumberForTakenNames) {
    EXPECT_EQ(TempFileBaseName(true, 14, 5, 9), u"Quillon_14_05_09");
    EXPECT_EQ(TempFileBaseName(true, 0, 0, 0), u"Quillon_00_00_00");
    EXPECT_EQ(TempFileBaseName(false, 1, 2, 3), u"Quillon_");
    EXPECT_EQ(TempFileCandidate(u"D:\\E\\", u"Quillon_14_05_09", u"txt", 1), u"D:\\E\\Quillon_14_05_09.txt");
    EXPECT_EQ(TempFileCandidate(u"D:\\E\\", u"Quillon_14_05_09", u"txt", 2),
              u"D:\\E\\Quillon_14_05_09_2.txt");
    EXPECT_EQ(TempFileCandidate(u"", u"Q", u".md", 12), u"Q_12..md"); // a leading dot is kept
}

TEST(EditorParameters, PathQuotedWhenMissingAndEveryPlaceholderReplaced) {
    EXPECT_EQ(SubstituteParameters(u"", u"C:\\t\\a.txt"), u" \"C:\\t\\a.txt\"");
    EXPECT_EQ(SubstituteParameters(u"-n", u"p"), u"-n \"p\"");
    EXPECT_EQ(SubstituteParameters(u"\"%1\"", u"p q"), u"\"p q\"");
    EXPECT_EQ(SubstituteParameters(u"%1 -x \"%1\"", u"p"), u"p -x \"p\"");
    EXPECT_EQ(SubstituteParameters(u"%%1%", u"p"), u"%p%");
    // The path itself may hold "%1": it is not substituted again.
    EXPECT_EQ(SubstituteParameters(u"%1", u"a%1b"), u"a%1b");
}

TEST(Extension, OnlyNamesThatStayInTheTemporaryFolder) {
    for (const char16_t* good : {u"txt", u"tar.gz", u" ", u".md", u"\u00E9t\u00E9", u"c++"})
        EXPECT_TRUE(IsValidExtension(good)) << ToUtf8(good);
    for (const char16_t* bad : {u"", u"txt\\..\\..\\evil", u"a/b", u"C:x", u"*", u"?", u"\"", u"<", u">",
                                u"|", u"t\tx", u"x\n", u"\x1F"})
        EXPECT_FALSE(IsValidExtension(bad)) << ToUtf8(bad);
}

TEST(DirectProgram, OnlyExeFiles) {
    EXPECT_TRUE(IsDirectProgram(u"C:\\a\\ed.exe"));
    EXPECT_TRUE(IsDirectProgram(u"ed.EXE"));
    EXPECT_FALSE(IsDirectProgram(u".exe"));
    EXPECT_FALSE(IsDirectProgram(u"ed.cmd"));
    EXPECT_FALSE(IsDirectProgram(u"notepad"));
    EXPECT_FALSE(IsDirectProgram(u"ed.exe.lnk"));
}

// Registrations as Windows and common programs make them (a null command: the verb is not
// registered; an empty one: a handler without a command line, as a packaged app has).
TEST(FileOpening, ANoEditorRowGetsTheTypesEditorADocumentsProgramOrTheUsersChoiceNeverARun) {
    const std::u16string pathExt = u".COM;.EXE;.BAT;.CMD;.VBS;.VBE;.JS;.JSE;.WSF;.WSH;.MSC";
    const char16_t* const none = nullptr;
    const char16_t* const notepad = u"%SystemRoot%\\system32\\NOTEPAD.EXE %1";
    struct Case {
        const char16_t* extension;
        const char16_t* edit;
        const char16_t* open;
        FileOpening expected;
    } cases[] = {
        {u".bat", notepad, u"\"%1\" %*", FileOpening::kEditVerb},
        {u".bat", none, u"\"%1\" %*", FileOpening::kOpenWith},
        {u".CMD", none, notepad, FileOpening::kOpenWith}, // a program, whatever its "open" says
        {u".ps1", none, notepad, FileOpening::kOpenWith}, // a script, though not in PATHEXT
        {u".js", none, u"C:\\Windows\\System32\\WScript.exe \"%1\" %*", FileOpening::kOpenWith},
        {u".reg", notepad, u"regedit.exe \"%1\"", FileOpening::kEditVerb},
        {u".hta", none, u"C:\\Windows\\SysWOW64\\mshta.exe \"%1\" {1E460BD7}%U{1E460BD7} %*",
         FileOpening::kOpenWith},
        {u".xyz", u"\"%1\"", none, FileOpening::kOpenWith}, // an "edit" that runs the file
        {u".txt", none, u"\"C:\\Windows\\notepad.exe\" \"%1\"", FileOpening::kOpenVerb},
        {u".txt", none, u"", FileOpening::kOpenVerb},
        {u".log", none, u"C:\\Program Files\\Ed Pro\\ed.exe %1", FileOpening::kOpenVerb},
        {u".log", none, u"C:\\Program Files\\Python\\python.exe %1", FileOpening::kOpenWith},
        {u".py", none, u"\"C:\\Windows\\py.exe\" \"%L\"", FileOpening::kOpenWith},
        {u".md", none, none, FileOpening::kOpenWith}, // no program at all
        {u"", none, none, FileOpening::kOpenWith},
    };
    auto verb = [](const char16_t* command) { return command ? VerbFacts{true, command} : VerbFacts{}; };
    for (const Case& c : cases) {
        const FileTypeFacts facts{c.extension, pathExt, verb(c.edit), verb(c.open)};
        EXPECT_EQ(ChooseFileOpening(facts), c.expected)
            << ToUtf8(c.extension) << " " << ToUtf8(c.open ? c.open : u"(no open)");
    }
    // PATHEXT as users extend it: any case, spaces around the entries.
    EXPECT_TRUE(IsProgramType(u".foo", u".COM; .FOO ;.EXE"));
    EXPECT_FALSE(IsProgramType(u".fo", u".COM;.FOO"));
    EXPECT_EQ(ExtensionOf(u"C:\\a.b\\Quillon_1.tar.gz"), u".gz");
    EXPECT_EQ(ExtensionOf(u"C:\\a.b\\Quillon"), u"");
}

TEST(KeyPlan, OneBatchWithCtrlInsideAndModifiersReleasedFirst) {
    auto scan = [](std::uint8_t k) { return static_cast<std::uint16_t>(k * 2); };
    using K = KeyInput;
    // Nothing held: Ctrl pressed and released around the letters.
    EXPECT_EQ(PlanCtrlKeys("AC", false, false, false, scan), (std::vector<K>{{0x11, 0x22, false},
                                                                             {'A', 'A' * 2, false},
                                                                             {'A', 'A' * 2, true},
                                                                             {'C', 'C' * 2, false},
                                                                             {'C', 'C' * 2, true},
                                                                             {0x11, 0x22, true}}));
    // Alt and Shift held: released after Ctrl is down (Alt released alone would open the
    // target's menu bar) and not pressed again.
    auto plan = PlanCtrlKeys("V", true, true, false, scan);
    ASSERT_EQ(plan.size(), 6u);
    EXPECT_EQ(plan[0], (K{0x11, 0x22, false}));
    EXPECT_EQ(plan[1], (K{0x12, 0x24, true}));
    EXPECT_EQ(plan[2], (K{0x10, 0x20, true}));
    EXPECT_EQ(plan[5], (K{0x11, 0x22, true}));
    // The user holds Ctrl (the hotkey's modifier): still pressed inside the batch, so a
    // release just before the batch cannot strip it from the letters; not released at the end.
    plan = PlanCtrlKeys("AV", false, false, true, scan);
    ASSERT_EQ(plan.size(), 5u);
    EXPECT_EQ(plan.front(), (K{0x11, 0x22, false}));
    EXPECT_EQ(plan.back(), (K{'V', 'V' * 2, true}));
    EXPECT_EQ(CopyLetters(false), std::string("AC"));
    EXPECT_EQ(CopyLetters(true), std::string("C"));
    EXPECT_EQ(PasteLetters(false), std::string("AV"));
    EXPECT_EQ(PasteLetters(true), std::string("V"));
}

// The single formats are each seen skipped or kept by a backup of the usual clipboard
// (ClipboardBackup tests); here the edges of the private range.
TEST(NeverSavedFormats, ThePrivateRangeEndsExactly) {
    for (std::uint32_t f : {0x200u, 0x2FFu})
        EXPECT_TRUE(IsNeverSavedClipboardFormat(f)) << f;
    for (std::uint32_t f : {0x1FFu, 0x300u})
        EXPECT_FALSE(IsNeverSavedClipboardFormat(f)) << f;
}

TEST(BoxCheck, TheBoxStillHoldsWhatTheEditKnewForgivingOnlyLineEndsAndTrailingSpace) {
    struct Case {
        const char16_t* box;
        const char16_t* known;
        bool part;
        bool holds;
    };
    const Case cases[] = {
        {u"one\r\ntwo", u"one\ntwo", false, true},   // line ends of another kind
        {u"one\rtwo\r", u"one\r\ntwo", false, true}, // a rich edit's paragraph marks
        {u"text \t\r\n", u"text", false, true},      // white space at the end
        {u"", u"", false, true},                     // an empty box stays itself
        {u"text typed", u"text", false, false},      // something typed at the end
        {u"tex t", u"text", false, false},           // or inside
        {u" text", u"text", false, false},           // leading space is the user's
        {u"hello world!", u"world", true, true},     // a selection still in the box
        {u"hello earth", u"world", true, false},
        {u"\u00E9t\u00E9", u"\u00E9t\u00E9\u00A0", false, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BoxStillHolds(c.box, c.known, c.part), c.holds)
            << ToUtf8(c.box) << " / " << ToUtf8(c.known);
    EXPECT_TRUE(IsConsoleWindowClass(u"ConsoleWindowClass"));
    EXPECT_TRUE(IsConsoleWindowClass(u"mintty"));
    EXPECT_TRUE(IsConsoleWindowClass(u"virtualconsoleclass")) << "class names compare without case";
    EXPECT_FALSE(IsConsoleWindowClass(u"consolewindowclass2"));
    EXPECT_FALSE(IsConsoleWindowClass(u"Edit"));
}
