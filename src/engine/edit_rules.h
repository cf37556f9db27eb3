// The pure rules of the edit road: text tests and conversions, folder and file names,
// editor parameters and keystroke plans. No system calls; natively tested.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/system.h"

namespace quillon {

// Strict UTF-8 test of the bytes up to the first NUL: only tab, line feed, carriage
// return, printable ASCII and well-formed multi-byte sequences (no overlongs, no
// surrogates, nothing above U+10FFFF). The empty string passes.
bool IsUtf8Text(std::string_view bytes);

// Bytes of a temporary file for the text: a UTF-8 byte-order mark and UTF-8, or the ANSI
// code page. A text the code page cannot hold whole (an emoji, a letter of another script)
// is written as UTF-8 with its mark all the same: in ANSI its letters would become "?" and
// come back so over the box.
std::string EncodeTempFileText(const std::u16string& text, bool utf8, IAnsiText& ansi);

// The text of a saved temporary file, false when the bytes cannot be taken whole as text
// (the box is then left alone rather than given less than the file holds). A byte-order
// mark decides first: UTF-32 (FF FE 00 00, 00 00 FE FF) before UTF-16 (FF FE, FE FF).
// A file that starts with the UTF-8 mark is UTF-8 (a malformed byte in it becomes U+FFFD
// rather than the whole text turning into mojibake). Without a mark the bytes are UTF-8
// when they are well-formed UTF-8, control characters allowed (form feeds, escapes and
// the like come from word processors and terminals), else ANSI. The text ends at its first
// NUL, which may only be followed by more NULs.
bool DecodeSavedText(std::string_view bytes,
                     const std::function<std::u16string(const std::string&)>& fromAnsi, std::u16string& text);

// Many editors end a file with a line break: when the box's text had none, exactly one
// trailing line break (CR LF, LF or CR) is taken off, so that a round trip adds no empty
// line (nor runs a command in a console).
std::u16string DropAddedLineBreak(std::u16string text, bool boxTextEndedWithBreak);
// Whether a text ends with a line break (CR or LF).
bool EndsWithLineBreak(std::u16string_view text);

// A hash of a file's bytes (64-bit FNV-1a): two saves within the file system's time
// resolution (two seconds on FAT) leave the same time, but rarely the same content.
std::uint64_t ContentHash(std::string_view bytes);

// Clipboard text uses CR LF line ends: lone LF and lone CR become CR LF.
std::u16string NormalizeLineEnds(std::u16string_view text);

// The folder for temporary files: a value that begins with a single backslash is relative
// to the program's folder (a network path, \\server\share, or a \\?\ path is not); a
// non-empty result ends with a backslash; empty stays empty.
std::u16string ResolveTempFolderPath(const std::u16string& moduleFolder,
                                     const std::u16string& temporaryFolder);

// "Quillon_" + the time of day as HH_MM_SS; just "Quillon_" when the time is unknown.
std::u16string TempFileBaseName(bool timeKnown, int hour, int minute, int second);
// The file name of the attempt-th candidate (1, 2, ...): base.ext, then base_2.ext, ...
std::u16string TempFileCandidate(const std::u16string& folder, const std::u16string& base,
                                 const std::u16string& extension, int attempt);
// How many names are tried before the creation is given up.
constexpr int kMaxTempFileAttempts = 1000;

// Whether an Extension can name a temporary file inside the temporary folder: not empty,
// and none of \ / : * ? " < > | or control characters, which would reach outside the
// folder or name no file at all.
bool IsValidExtension(std::u16string_view extension);

// The editor's parameters: " \"%1\"" appended when the template lacks "%1", then every
// "%1" replaced by the path.
std::u16string SubstituteParameters(const std::u16string& parameters, const std::u16string& path);

// Whether an Editor value names a program file that can be started directly, without the
// shell: a path ending in ".exe" (any case).
bool IsDirectProgram(const std::u16string& editor);

// The one batch of key events for Ctrl plus the letters: Ctrl pressed first, then Alt and
// Shift released when down, each letter pressed and released, and Ctrl released
// at the end unless the user was holding it.
std::vector<KeyInput> PlanCtrlKeys(std::string_view letters, bool altDown, bool shiftDown, bool ctrlDown,
                                   const std::function<std::uint16_t(std::uint8_t)>& scanCode);

// The letters for the copy and for the paste.
inline const char* CopyLetters(bool editOnlySelection) {
    return editOnlySelection ? "C" : "AC";
}
inline const char* PasteLetters(bool insert) {
    return insert ? "V" : "AV";
}

// How long to wait for copied text at most. The wait ends the moment the text lands; a slow
// box (a busy web page) can take well over a second, and one that has not copied when we
// give up leaves the user an empty file and, later, its text on their clipboard. Not a
// multiple of Delay, which is about how long a box takes to read a paste.
constexpr std::uint32_t kCopyWaitCapMs = 2000;

// Console and terminal windows: Ctrl+C there interrupts the running program, Ctrl+A is not
// "select all", and a pasted text runs as commands. Class names compare without case.
bool IsConsoleWindowClass(std::u16string_view className);
// A window of a console or terminal: its own class, or its top-level window's (a terminal
// keeps the keyboard focus in a child window of a class of its own).
bool IsConsoleWindow(const WindowFacts& facts);

// The system's own edit controls, whose window text is the box's whole text: read
// directly, it confirms the box without a copy.
bool IsPlainEditClass(std::u16string_view className);
// Which of the system's edit controls a class is (compared without case); kNone for others.
EditKind EditKindOfClass(std::u16string_view className);

// Whether the box still holds what an edit last knew to be there (the text it copied, or
// the text it last pasted), forgiving only what boxes change themselves: the kind of line
// ends and white space at the end. An edit of a selection knew only part of the box: the
// box must still hold that part somewhere.
bool BoxStillHolds(std::u16string_view boxText, std::u16string_view known, bool knownIsPart);

// What the user is told when a step of the edit road could not be done for them.
namespace notice {
constexpr char16_t kConsole[] = u"Quillon cannot take text from a console window.";
constexpr char16_t kPassword[] =
    u"Quillon does not edit password boxes: their text is never copied or written to a file.";
constexpr char16_t kAdministrator[] =
    u"Quillon cannot reach programs that run as administrator unless it runs as administrator itself.";
constexpr char16_t kNotThisBox[] =
    u"Your saved text was not pasted: this box no longer holds the text the edit started from. "
    u"It stays saved and goes in when you come back to the box it came from; meanwhile "
    u"\"Open edits\" in the tray menu can copy it.";
constexpr char16_t kClipboardBusy[] =
    u"Quillon did not start the edit: another program is holding the clipboard. Try again in a moment.";
constexpr char16_t kNoTempFile[] =
    u"Quillon did not start the edit: no new file could be made in the temporary folder, so no editor was "
    u"started and the text box keeps its text. Either the folder cannot be written, or files already there "
    u"(perhaps another user's) hold every name Quillon would give its file; choose another folder in "
    u"Options. "
    u"The folder: ";
constexpr char16_t kNotText[] =
    u"Your saved text was not pasted: the file does not hold text Quillon can read. Save it again as text.";
constexpr char16_t kNoTextCame[] =
    u"No text came from the text box in time, so the editor opens an empty file. "
    u"If the box had text, saving this file replaces it.";
constexpr char16_t kNoTextCursor[] =
    u"Your saved text was not pasted: Quillon checks the box before it pastes, and no text cursor "
    u"shows in it. It stays saved: click into the box, then come back to it.";
constexpr char16_t kSelectAgain[] =
    u"Your saved text was not pasted: the text you edited is no longer in the box at one place Quillon "
    u"can tell. It stays saved: select that text in the box again, then come back to the box.";
constexpr char16_t kReadOnly[] =
    u"Your saved text was not pasted: the text box is read-only. It stays saved in its file.";
constexpr char16_t kNotPasted[] =
    u"Your saved text could not be pasted back. It stays saved and goes in when you come back to the box; "
    u"meanwhile \"Open edits\" in the tray menu can copy it.";
} // namespace notice

// The formats a clipboard backup never saves: GDI handles, metafile pictures, owner-drawn
// display and private formats.
bool IsNeverSavedClipboardFormat(std::uint32_t format);

} // namespace quillon
