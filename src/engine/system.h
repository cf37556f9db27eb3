// The engine's narrow seam to the operating system. The Win32 implementation does the
// real work; tests substitute a recording fake to check the order of operations.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/launch_rules.h"

namespace quillon {

// Opaque handles crossing the seam: clipboard data blocks and open files.
using ClipHandle = void*;
using FileHandle = void*;

// Clipboard formats the engine names.
namespace clip {
constexpr std::uint32_t kBitmap = 2;
constexpr std::uint32_t kMetafilePict = 3;
constexpr std::uint32_t kPalette = 9;
constexpr std::uint32_t kUnicodeText = 13;
constexpr std::uint32_t kEnhMetafile = 14;
constexpr std::uint32_t kOwnerDisplay = 0x80;
constexpr std::uint32_t kDspBitmap = 0x82;
constexpr std::uint32_t kDspMetafilePict = 0x83;
constexpr std::uint32_t kDspEnhMetafile = 0x8E;
constexpr std::uint32_t kPrivateFirst = 0x200;
constexpr std::uint32_t kPrivateLast = 0x2FF;
} // namespace clip

// The extra information carried by every key event the program synthesises, so that the
// keyboard hook can tell them from the user's own keys (those of other programs included).
constexpr std::uintptr_t kOwnKeyMark = 0x514C4E4B;

// One synthesised key event.
struct KeyInput {
    std::uint8_t vk = 0;
    std::uint16_t scan = 0;
    bool up = false;
    bool extended = false; // of the keys that share a scan code, the extended one (arrows, right Ctrl)
    bool operator==(const KeyInput& o) const {
        return vk == o.vk && scan == o.scan && up == o.up && extended == o.extended;
    }
};

enum class CreateResult { kCreated, kExists, kFailed };

// The seam is cut into small interfaces with no default bodies, so that a stand-in has to
// say what each of its parts does. The engine and the text route take them all as ISystem;
// a step that needs only some takes only those: the clipboard backup (clipboard, clock), the
// temporary file's name and creation (clock, files), the editor's start (shell) and the
// saved text's decoding (ANSI text).

class IFiles {
public:
    virtual ~IFiles() = default;
    virtual bool DeleteFile(const std::u16string& path) = 0;
    // The user's temporary folder, ending with a backslash; empty when unknown.
    virtual std::u16string GetTempPath() = 0;
    // Creates the folder and any missing parents; the result is not needed.
    virtual void CreateDirectories(const std::u16string& folder) = 0;
    // Creates a new file for reading and writing (shared for reading and writing), never
    // opening one that exists: the check and the creation are one step.
    virtual FileHandle CreateNewFile(const std::u16string& path, CreateResult& result) = 0;
    // Opens an existing file for reading (shared for reading and writing); null on failure.
    virtual FileHandle OpenFileForRead(const std::u16string& path) = 0;
    virtual bool WriteFile(FileHandle file, const std::string& bytes) = 0;
    // Reads the file from its start: at most its size (low 32 bits) + 1 bytes.
    virtual bool ReadFile(FileHandle file, std::string& bytes) = 0;
    // The low 32 bits of the file's last-write time.
    virtual bool GetLastWriteLow(FileHandle file, std::uint32_t& low) = 0;
    // Whether the file was written less than ms ago: a writer may not be done with it yet.
    virtual bool WrittenWithinMs(FileHandle file, std::uint32_t ms) = 0;
    // Whether a program has the file open for writing now (it cannot be opened with writing
    // denied to others): a save still under way.
    virtual bool HeldForWriting(const std::u16string& path) = 0;
    virtual void CloseFile(FileHandle file) = 0;
};

// Where a text offered on the clipboard stands (see OfferClipboardText).
enum class ClipboardOffer {
    kNone,
    kWaiting, // on the clipboard, not asked for yet
    kTaken,   // a program asked for it and got it
    kDropped, // emptied away before anyone asked for it
};

// The clipboard is opened with the program's own window (see SetOwnerWindow); the others
// expect the clipboard open (except IsClipboardFormatAvailable, ChangedSinceOwnWrite and
// the viewer chain).
class IClipboard {
public:
    virtual ~IClipboard() = default;
    // The program's window, passed to every later open: emptying the clipboard makes it the
    // owner. Opened with no window, the clipboard gets no owner, and Windows then refuses
    // the data put on it. Null (no window yet, or none any more): opened with none.
    virtual void SetOwnerWindow(void* window) = 0;
    virtual bool OpenClipboard() = 0;
    virtual void CloseClipboard() = 0;
    virtual bool EmptyClipboard() = 0;
    virtual std::uint32_t EnumClipboardFormats(std::uint32_t after) = 0;
    // The registered name of a format; empty when it has none.
    virtual std::u16string ClipboardFormatName(std::uint32_t format) = 0;
    // A copy of the format's data owned by the caller (global memory, or an enhanced
    // metafile for the two enhanced-metafile formats); null when it cannot be had.
    virtual ClipHandle CopyClipboardData(std::uint32_t format) = 0;
    // Hands a copy to the clipboard. On success the clipboard owns it; on failure the
    // caller still does.
    virtual bool SetClipboardData(std::uint32_t format, ClipHandle data) = 0;
    // Frees a copy that the clipboard never took.
    virtual void FreeClipboardCopy(std::uint32_t format, ClipHandle data) = 0;
    virtual std::uint32_t RegisterFormatName(const std::u16string& name) = 0;
    virtual bool IsClipboardFormatAvailable(std::uint32_t format) = 0;
    // The Unicode text on the clipboard up to its first NUL; false when there is none.
    virtual bool GetClipboardText(std::u16string& text) = 0;
    // Puts Unicode text on the clipboard in movable global memory, marked as the program's
    // own (MarkOwnContent).
    virtual bool SetClipboardText(const std::u16string& text) = 0;
    // Puts Unicode text on the clipboard as the user's own copy (they asked for it): not
    // marked, so it reaches the clipboard history and monitors as any copy of theirs does.
    virtual bool SetClipboardTextAsCopy(const std::u16string& text) = 0;
    // Puts Unicode text on the open clipboard to be handed over only when a program asks
    // for it (delayed rendering: the owner window's WM_RENDERFORMAT calls RenderOffer), so
    // that we learn when the text box took it. Marked as the program's own.
    virtual bool OfferClipboardText(const std::u16string& text) = 0;
    // WM_RENDERFORMAT: hands the offered text over (the clipboard is not opened for it).
    virtual void RenderOffer(std::uint32_t format) = 0;
    // WM_RENDERALLFORMATS: the owner window is going; the text is handed over while the
    // clipboard is still ours, so that a box that asks later still gets it.
    virtual void RenderOfferBeforeLeaving(void* window) = 0;
    // WM_DESTROYCLIPBOARD: the clipboard was emptied; an offer not taken is gone.
    virtual void DropOffer() = 0;
    virtual ClipboardOffer OfferState() = 0;
    // Marks what the program puts on the clipboard as its own passing content, with the
    // formats Windows documents for it: kept out of clipboard monitors, out of the clipboard
    // history and off the cloud clipboard.
    virtual bool MarkOwnContent() = 0;
    // Whether anyone has written to the clipboard since the program last closed it after
    // writing (the user copied something).
    virtual bool ChangedSinceOwnWrite() = 0;
    // The clipboard's sequence number, which every write moves on (by one or more).
    virtual std::uint32_t ClipboardSequence() = 0;
    // The process of the window that owns the clipboard's content; 0 when none is known.
    virtual std::uint32_t ClipboardOwnerProcess() = 0;
    // The process of the window that has the clipboard open now (a reader of an offered
    // text, during its request); 0 when it is closed or was opened with no window.
    virtual std::uint32_t ClipboardOpenerProcess() = 0;
    // Puts the viewer window at the head of the clipboard viewer chain, until as many
    // leaves as joins; meanwhile the window keeps track of the viewer that follows it as
    // the chain changes. False when there is no window to put there.
    virtual bool JoinClipboardViewerChain(void* viewer) = 0;
    virtual void LeaveClipboardViewerChain(void* viewer) = 0;
};

// The registered clipboard formats that mark content as kept out of monitors, the history
// and the cloud clipboard.
constexpr char16_t kExcludeFromMonitorsFormat[] = u"ExcludeClipboardContentFromMonitorProcessing";
constexpr char16_t kHistoryFormat[] = u"CanIncludeInClipboardHistory";
constexpr char16_t kCloudFormat[] = u"CanUploadToCloudClipboard";

class CUserKeys;

class IKeyboard {
public:
    virtual ~IKeyboard() = default;
    // The record the program's keyboard hook keeps of the user's keys, which outlives its use
    // here; none: the system's key state is all there is.
    virtual void FollowHook(CUserKeys* record) = 0;
    virtual bool IsKeyDown(std::uint8_t vk) = 0;
    // The user's own key as the keyboard hook last saw it, the program's own synthesised keys
    // left out; the system's key state when no hook watches.
    virtual bool IsUserKeyDown(std::uint8_t vk) = 0;
    // How many keys the user has pressed so far, as the keyboard hook saw them.
    virtual std::uint32_t UserKeyPresses() = 0;
    virtual std::uint16_t ScanCodeOf(std::uint8_t vk) = 0;
    // Sends the events as one batch, each marked with kOwnKeyMark. While a batch that
    // presses Ctrl passes, a release of the user's own Ctrl does not get between its events:
    // it is held back, and Ctrl is released after the batch when the batch left it down.
    virtual bool SendKeys(const std::vector<KeyInput>& keys) = 0;
    // From Hold on, the user's own key events are held back by the keyboard hook instead of
    // reaching the focused window; Release sends them on, in order, as the user's. A key
    // typed while the box's whole text is selected for a check would replace all of it.
    virtual void HoldUserKeys() = 0;
    virtual void ReleaseUserKeys() = 0;
};

// Time, and waiting. Every wait of the edit road goes through here: it answers the messages
// sent to this thread while it waits, because the low-level keyboard hook is called through
// such a message and the system drops a hook that keeps it waiting too long. Posted messages
// stay queued: nothing else of the program runs meanwhile.
class IClock {
public:
    virtual ~IClock() = default;
    // Waits until done() holds or timeoutMs have passed and tells which. done is looked at
    // first, then at least every pollMs and whenever a sent message was answered; an empty
    // done waits the whole time. A timeout of 0 only answers what is waiting now.
    virtual bool WaitServingMessages(std::uint32_t timeoutMs, const std::function<bool()>& done,
                                     std::uint32_t pollMs) = 0;
    // The same wait, which also looks at done() the moment the clipboard reports a change
    // (the listener window listens to the clipboard meanwhile). Without a listener, or where
    // changes cannot be heard, the plain wait.
    virtual bool WaitWatchingClipboard(void* listener, std::uint32_t timeoutMs,
                                       const std::function<bool()>& done, std::uint32_t pollMs) = 0;
    // A pause of ms milliseconds that keeps answering sent messages.
    void PauseServingMessages(std::uint32_t ms) { WaitServingMessages(ms, nullptr, ms); }
    // Answers the messages sent to this thread that are waiting now.
    void ServeSentMessages() { WaitServingMessages(0, nullptr, 0); }
    // Milliseconds since some fixed moment, for deadlines.
    virtual std::uint64_t NowMs() = 0;
    // The local time of day; false when it cannot be had.
    virtual bool LocalTimeOfDay(int& hour, int& minute, int& second) = 0;
};

// Latin-1, where no ANSI code page is to be had: each unit keeps its low byte, and each
// byte is the unit of the same number.
inline std::string Latin1Bytes(const std::u16string& text) {
    return std::string(text.begin(), text.end());
}
inline std::u16string FromLatin1Bytes(const std::string& bytes) {
    std::u16string out;
    for (unsigned char c : bytes)
        out += static_cast<char16_t>(c);
    return out;
}

// Text in the system ANSI code page.
class IAnsiText {
public:
    virtual ~IAnsiText() = default;
    virtual std::string ToAnsi(const std::u16string& text) = 0;
    virtual std::u16string FromAnsi(const std::string& bytes) = 0;
};

// How the "Open with" choice ended.
enum class OpenWithResult { kOpened, kCancelled, kUnavailable };

// The shell may take seconds (a virus scanner looks at what starts): its calls are made on a
// thread of their own, never on the one that answers the keyboard hook.
class IShell {
public:
    virtual ~IShell() = default;
    // The shell's "open": of file with parameters (empty: none).
    virtual bool ShellOpen(const std::u16string& file, const std::u16string& parameters) = 0;
    // Starts a program file directly (no shell), with the parameters after its quoted
    // path on the command line; false when it could not be started that way.
    virtual bool StartProgram(const std::u16string& program, const std::u16string& parameters) = 0;
    // What the type of files with the extension (".bat") registers for the verb.
    virtual VerbFacts FileTypeVerb(const std::u16string& extension, const std::u16string& verb) = 0;
    // The extensions the system runs as programs (the PATHEXT variable); empty when unset.
    virtual std::u16string ProgramExtensions() = 0;
    // Carries out a verb on the file. Only for a verb its type registers: a shell may take a
    // verb it does not know for the type's default, which for a program or script runs it.
    virtual bool ShellVerb(const std::u16string& file, const std::u16string& verb) = 0;
    // Windows' "Open with" choice for the file, which opens it in the program the user picks;
    // kUnavailable where the system has none.
    virtual OpenWithResult OpenWithDialog(const std::u16string& file) = 0;
};

// A shell of its own for a thread that starts editors (it shares nothing with the process's
// system, which lives on the UI thread and ends with the process).
std::unique_ptr<IShell> NewShell();

class IWindows {
public:
    virtual ~IWindows() = default;
    virtual bool IsWindow(const void* window) = 0;
};

// --- Whose window: what the edit road learns of a text box's window before it sends keys.

// The system's edit controls by how they count positions: an EDIT control counts a line
// break (CR LF) as two, a RichEdit control its paragraph break as one.
enum class EditKind : std::uint8_t { kNone, kEdit, kRichEdit };

// A window's owner as recorded when an edit starts: a handle that was destroyed and given
// to another window later differs in one of these.
struct WindowFacts {
    std::uint32_t thread = 0;
    std::uint32_t process = 0;
    std::u16string className;
    // The class of the top-level window it belongs to (its own for a top-level window): a
    // terminal keeps the keyboard focus in a child window of a class of its own.
    std::u16string topClassName;
    // An edit control that hides its text (a password box): its text is never taken.
    bool password = false;
    // One of the system's own edit controls (or a superclass of one), which answer the edit
    // messages: its text can be read and replaced without the clipboard or keys.
    EditKind edit = EditKind::kNone;
    bool readOnly = false; // an edit control the user cannot change
    // For the per-program rules and for telling the user which edit is which; not part of
    // the window's identity (a title changes as the user works).
    std::u16string program; // the executable's file name ("notepad.exe"); empty when unknown
    std::u16string title;   // the title of the window's top-level window
    bool operator==(const WindowFacts& o) const {
        return thread == o.thread && process == o.process && className == o.className;
    }
    bool operator!=(const WindowFacts& o) const { return !(*this == o); }
};

class IWindowFacts {
public:
    virtual ~IWindowFacts() = default;
    // What makes the window the one it is (all but the program and title); false when it is
    // gone. Asked at every return of the focus, so it opens nothing.
    virtual bool DescribeWindow(const void* window, WindowFacts& facts) = 0;
    // Adds the program and the title, for the rules and the tray menu: read without sending
    // the window a message, so a hung program cannot hold us.
    virtual void DescribeProgram(const void* window, WindowFacts& facts) = 0;
    virtual std::uint32_t OwnProcess() = 0;
    // Whether the window's program runs at a higher integrity level than this one (as
    // administrator, say): the system drops the keys sent to it without a word.
    virtual bool RunsAboveUs(const void* window) = 0;
    // Whether a text cursor shows in the window (its thread's caret is in it): the focus is in
    // a place that takes text, not on a page or a list, where Ctrl+A selects everything.
    virtual bool CaretShownIn(const void* window) = 0;
    // The focused window of the foreground thread now; null when there is none.
    virtual void* FocusedWindow() = 0;
    // The text a window reports of itself (WM_GETTEXT), for the system's own edit controls,
    // whose text that is; false when it does not answer in a moment.
    virtual bool ReadWindowText(const void* window, std::u16string& text) = 0;
};

// The edit messages of the system's own edit controls, which the system carries between
// programs: the selection in the control's own positions, and its replacement, undoable as
// the user's own typing. Each is false when the control did not answer in a moment.
class IEditMessages {
public:
    virtual ~IEditMessages() = default;
    virtual bool GetEditSelection(const void* box, std::uint32_t& start, std::uint32_t& end) = 0;
    // kEditEnd as the end selects to the end of the text.
    virtual bool SetEditSelection(const void* box, std::uint32_t start, std::uint32_t end) = 0;
    virtual bool ReplaceEditSelection(const void* box, const std::u16string& text) = 0;
};
constexpr std::uint32_t kEditEnd = 0xFFFFFFFFu;

// Everything the edit engine asks of the system.
class ISystem : public IFiles,
                public IClipboard,
                public IKeyboard,
                public IClock,
                public IAnsiText,
                public IShell,
                public IWindows,
                public IWindowFacts,
                public IEditMessages {};

// The process's real system (Win32 on Windows; a POSIX stand-in natively, for tools and tests).
ISystem& DefaultSystem();

} // namespace quillon
