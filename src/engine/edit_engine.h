// CEditEngine: the process-wide engine holding the settings, the configuration document,
// the table of open edits and the files to delete at exit.
//
// The "edit road" is the way one edit travels, and the word the engine's files use for it:
// the hotkey in a text box (the box), its text copied out (text_route.h), a new temporary
// file written with it and the editor started on it (edit_road.h), then, each time the user
// comes back to the box, the file looked at and a new save pasted back into that same box.
// An edit (OpenEdit) stays on the road until its box is gone; its file is deleted at exit
// unless its last save never reached the box.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "config/config_file.h"
#include "config/config_xml.h"
#include "config/settings.h"
#include "engine/clipboard_backup.h"
#include "engine/engine_host.h"
#include "engine/system.h"
#include "engine/text_route.h"

#ifdef _WIN32
struct HWND__;
typedef HWND__* HWND;
#else
struct HWND__;
using HWND = HWND__*;
#endif

namespace quillon {

class IConfigPlatform;

// What tells one save of a file from another: its bytes (size and hash) when known, else the
// low half of its last-write time. Two saves within the file system's time resolution (two
// seconds on FAT) leave the same time, and the system may stamp a file again when it closes.
struct SaveStamp {
    std::uint32_t low = 0;
    bool contentKnown = false;
    std::uint64_t size = 0;
    std::uint64_t hash = 0;
    static SaveStamp Of(std::uint32_t low, std::string_view bytes);
    // Whether a file stamped `now` holds another save than this one: other bytes when this
    // one knows its bytes (a time alone moves without a save), else another time.
    bool IsOtherSave(const SaveStamp& now) const;
    bool operator==(const SaveStamp& o) const {
        return low == o.low && contentKnown == o.contentKnown && size == o.size && hash == o.hash;
    }
    bool operator!=(const SaveStamp& o) const { return !(*this == o); }
};
// The file's stamp now (and its bytes); false when it cannot be read now (deleted, or held by
// an editor).
bool ReadStamp(IFiles& files, const std::u16string& path, SaveStamp& stamp, std::string* bytes = nullptr);

// One edit whose temporary file was created.
struct OpenEdit {
    OpenEdit() = default;
    OpenEdit(HWND target, std::u16string path, std::uint32_t low)
        : hTarget(target), tempPath(std::move(path)) {
        last.low = low;
    }

    HWND hTarget = nullptr;  // the text box that receives the text back
    std::u16string tempPath; // full path of the temporary file
    SaveStamp last;          // the file as last pasted (or as Quillon wrote it)
    // The window as it was at the start: a handle given to another window since is not
    // this edit's box.
    WindowFacts targetFacts;
    // What the box held as the edit last knew it (the text copied, then each text pasted):
    // a box that holds something else now is another box of the same window, or the user
    // changed it meanwhile, and its text is not replaced.
    std::u16string knownText;
    bool textKnown = false;
    bool knownIsPart = false;  // the edit was of a selection: the box holds more
    std::int64_t knownAt = -1; // where that selection is, in the box's own positions (-1: unknown)
    // The save the user was told could not be pasted (told once per save).
    bool told = false;
    std::uint32_t toldLow = 0;
    bool boxTextEndedWithBreak = false; // the text copied from the box ended with a line break
    SaveStamp looked;                   // the save as the last look found it, whatever became of it
    // The row it was started with (its editor starts again on the file from the tray menu).
    EXTENSIONREC row;
    // The local time of day of the last save pasted into the box; none yet when pastedHour < 0.
    int pastedHour = -1;
    int pastedMinute = 0;
};

// What the user is told when the temporary file could not take the box's text.
constexpr char16_t kTempFileWriteFailedMessage[] = u"The text could not be written to a temporary file (the "
                                                   u"disk may be full). No editor was started; the text "
                                                   u"box keeps its text.";

class CEditEngine : public SettingsFields {
public:
    // The engine works through the system and configuration seams it is given; they
    // outlive it.
    CEditEngine(ISystem& system, IConfigPlatform& configPlatform);
    ~CEditEngine();
    CEditEngine(const CEditEngine&) = delete;
    CEditEngine& operator=(const CEditEngine&) = delete;

    std::vector<OpenEdit> openEdits; // oldest first
    // The files of ended edits, deleted at exit only while they still are what they were
    // when their edit ended: the user may go on saving into one after its box is gone.
    struct PendingDelete {
        std::u16string path;
        SaveStamp stamp;
    };
    std::vector<PendingDelete> pendingDeletes;
    std::u16string moduleFilePath;
    std::u16string moduleFolder;
    std::u16string configFilePath;
    CConfigXml configXml;

    // The host's window also becomes the clipboard's owner whenever the engine empties it.
    void SetHost(IEngineHost* host) {
        m_host = host;
        m_system.SetOwnerWindow(host ? host->HostWindow() : nullptr);
    }
    IEngineHost* Host() const { return m_host; }
    // The host's window, for the clipboard viewer chain and listening; null without a host.
    void* HostWindow() const { return m_host ? m_host->HostWindow() : nullptr; }
    ISystem& System() const { return m_system; }
    // How text leaves the box and goes back into it: the system's own edit controls through
    // their messages (unless the user turned that off), every other box through the clipboard.
    ITextRoute& RouteFor(const WindowFacts& box) const;

    // Configuration file: Load reads it into the settings and then registers the hotkey
    // through the host; Save writes the settings back when they changed, taking in what
    // someone else changed in the file meanwhile, and says how it went: the caller tells
    // the user of a failure (DescribeSaveFailure), as only it knows how.
    void Load();
    ConfigSaveResult Save();
    // Puts settings edited in the Options dialog into effect: a changed hotkey is registered
    // in place of the working one and the choice list is rebuilt. `opened` is what the dialog
    // was given: rows appended to the table since then (saved for future use by an edit
    // started meanwhile) are kept after the edited ones. Delay, which the dialog does not
    // show, stays. False when the new hotkey could not be registered: then nothing changes
    // and the working hotkey stays registered.
    bool ApplySettings(const SettingsFields& opened, const SettingsFields& edited);
    // Records the module paths and returns the configuration file path.
    std::u16string ResolveConfigPath();

    // The edit road: start an edit of the target text box with the choice list's item
    // index (no target: nothing starts); check the newest edit of a window that got the
    // focus and write saved text back; drop edits whose text box is gone.
    void StartEdit(HWND target, int choiceIndex);
    // False when the window could not be looked at now, because a copy or paste is under
    // way (its waits answer messages sent to the program): the caller asks again later.
    // A second look at the same return (lookAgain) takes only saves that changed since the
    // last look: one that waits for another box must not have this box copied (Ctrl+A
    // included) again and again while the user types in it.
    bool PollEdit(HWND focused, bool lookAgain = false);
    void PurgeClosedEdits();

    // Index of the newest open edit of the window, or -1.
    int FindNewestEdit(HWND target) const;

    // The user's clipboard that could not be put back after a paste (the box or another
    // program held the clipboard too long) is kept and tried again later: at each tick of
    // the focus timer and before the next copy or paste, until it is back or the user has
    // copied something since.
    void KeepForLaterRestore(CClipboardBackup& backup) { m_laterRestore.TakeOver(backup); }
    void RetryLaterRestore(std::uint32_t retryMs = 0);
    bool HasLaterRestore() const { return m_laterRestore.IsHeld(); }
    // The user put something on the clipboard on purpose (a saved text, from the tray menu):
    // no clipboard of theirs waits to come back over it any more.
    void ForgetHeldClipboard() {
        m_laterRestore.Discard();
        m_lateCopy.Discard();
    }

    // A copy the box did not answer in time may still land, after the user's clipboard was
    // put back: for a while, such a copy of the box's program is replaced by the user's
    // clipboard again. Checked at each tick while watched; anyone else's copy ends the watch.
    void WatchForLateCopy(std::uint32_t boxProcess);
    void CheckLateCopy();
    bool WatchingLateCopy() const { return m_lateCopy.IsHeld(); }

    // The last look found a save that was still being written: it is looked at again soon.
    bool SaveSettling() const { return m_settling; }

private:
    ISystem& m_system;
    IConfigPlatform& m_configPlatform;
    IEngineHost* m_host = nullptr;
    bool m_busy = false; // a copy or a paste is under way
    std::unique_ptr<ITextRoute> m_clipboardRoute;
    std::unique_ptr<ITextRoute> m_messageRoute;
    // The box's text taken out through its route (or the clipboard's, where the box does not
    // answer its own messages); the round is the clipboard's, begun only when it is used.
    CopyResult CopyBox(HWND target, const WindowFacts& facts, CRouteRound& clipboardRound,
                       CopiedText& copied);
    // Pastes a save where its edit's text is, and notes what the box holds afterwards.
    PasteResult PasteSave(ITextRoute& route, HWND box, const WindowFacts& facts, OpenEdit& edit,
                          const std::u16string& text);

    // Whether keys may go to the window at all; tells the user why not where it matters.
    bool MayReach(HWND target, WindowFacts& facts);
    void Tell(const std::u16string& message);
    // Whether the user is yet to hear about this save of the edit (and notes that they have).
    static bool TellOnce(OpenEdit& edit, std::uint32_t saveLow);
    // The saved file's time and bytes; false when it cannot be read now.
    bool ReadSave(const std::u16string& path, std::uint32_t& low, std::string& bytes);
    // Whether a save just read has stopped changing: written a while ago, or no longer open
    // for writing and the same as read.
    bool IsSteady(const std::u16string& path, std::uint32_t low, const std::string& bytes);
    // Open edits (open_edits.cpp): the time of a paste, for the tray menu, and the word that
    // a save will drop the formatting the copy brought.
    void NotePasted(OpenEdit& edit);
    void TellIfFormattingLost(const CopiedText& copied, const WindowFacts& facts);
    CClipboardBackup m_laterRestore;
    CClipboardBackup m_lateCopy;
    std::uint32_t m_lateCopyProcess = 0;
    std::uint64_t m_lateCopyUntil = 0;
    std::uint32_t m_lateCopyPresses = 0; // the user's key presses when the watch began
    bool m_settling = false;
};

// Whether the file holds a save the edit has not pasted: bytes other than it last pasted (or
// wrote), or, when those are not known, another write time.
bool IsNewSave(const OpenEdit& edit, std::uint32_t low, const std::string& bytes);
// How long a copy may still land after the wait for it ended.
constexpr std::uint32_t kLateCopyWatchMs = 10000;
// A file written less than this long ago may still be in the middle of a save.
constexpr std::uint32_t kSettleMs = 500;

// The single engine, constructed on first use and destroyed at process exit.
CEditEngine& GetEditEngine();

} // namespace quillon
