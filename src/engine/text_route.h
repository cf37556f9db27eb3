// How text leaves a text box and goes back into it: the copy, the check of the box, the
// paste, and the user's clipboard saved and put back around them (with the chores that
// outlast a round: a restore kept for later, a late copy watched for, the clipboard's requests
// for an offered text). The edit engine asks this unit and never touches the clipboard or the
// keys itself.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "engine/system.h"

namespace quillon {

class CClipboardBackup;
struct SettingsFields;

enum class PasteResult {
    kPasted,
    kFocusMoved,    // the box lost the focus before the keys went out: nothing was sent
    kClipboardBusy, // the text could not be put where the box would take it
    kKeysFailed,    // the system refused the keys
    kNotTaken,      // the box never asked for the text (it stays the user's save to paste)
    kReadOnly,      // the box takes no text from anyone
    kSelectionGone, // the text the edit was of is no longer in the box at one known place
    kNotAnswered,   // the box did not answer the messages in time
};

// What came of a copy.
enum class CopyResult {
    kCopied,     // the text is here (it may be empty)
    kEmpty,      // the box is known to hold nothing (or nothing is selected)
    kUnanswered, // the box did not answer in time: nothing is known of its text
    kFocusMoved, // the user moved on before anything went to the box
};

// A copy's text and, for a selection, where it was in the box's own positions.
struct CopiedText {
    std::u16string text;
    std::int64_t at = -1; // unknown
    bool formatted =
        false; // formatted text (HTML or rich text) came too, which a plain save cannot give back
};

// What a check of the box found.
enum class ReadResult {
    kRead,       // the box's whole text
    kCostsCaret, // only a copy of all of it could tell, which would lose the caret
    kUnreadable, // the box did not tell
    kFocusMoved,
    kNoCaret, // only a copy of all of it could tell, and no text cursor shows where it would go
};

// Where a paste goes, and what the box holds after it when the route can tell.
struct PastePlace {
    bool insert = false;    // at the caret, in place of what is selected there
    bool selection = false; // in place of the selection the edit was of, found again
    std::u16string selected;
    std::int64_t at = -1; // where that selection was (and, after the paste, where the text went)
    bool boxKnownAfter = false;
    std::u16string boxAfter;
};

// How often a route's chores between rounds want a tick.
enum class TickNeed {
    kNone,
    kSlow, // now and then (a restore kept for later)
    kFast, // soon (a late copy watched for)
};

// One way of moving text. Its steps run inside a round (Begin ... End): whatever the way
// borrows from the user (the clipboard) is taken at Begin and given back at End.
class ITextRoute {
public:
    virtual ~ITextRoute() = default;
    // Starts a round; false when what the user has could not be put aside (the round then
    // goes on, as it always has, but the caller may choose to stop).
    virtual bool Begin() = 0;
    // The box's text: all of it, or the selection only. Keys go out only while the box still
    // has the focus. facts: the box's window as just described.
    virtual CopyResult Copy(void* box, const WindowFacts& facts, bool onlySelection, CopiedText& copied) = 0;
    // The box's whole text, to check it before a paste; mayCostCaret allows a copy that
    // selects all of it (and leaves it selected until Deselect).
    virtual ReadResult Read(void* box, const WindowFacts& facts, bool mayCostCaret, std::u16string& text) = 0;
    // Puts the text into the box, at the place given.
    virtual PasteResult Paste(void* box, const WindowFacts& facts, const std::u16string& text,
                              PastePlace& place) = 0;
    // Leaves the caret at the end of the box's text, nothing selected, after a Read that
    // selected all: a box left alone must not have all its text selected, where the next
    // key the user types would replace it.
    virtual void Deselect(void* box) = 0;
    // Ends the round: the user's clipboard back as it was. True when it was put back (or
    // nothing had been taken).
    virtual bool End() = 0;
    virtual bool InRound() const = 0;
    // Chores left from earlier rounds, done at the ticks the route asks for.
    virtual TickNeed NeedsTicks() const { return TickNeed::kNone; }
    virtual void Tick() {}
    // The user put something on the clipboard on purpose: nothing of theirs that the route
    // held back goes over it any more.
    virtual void ForgetHeld() {}
};

// How long a copy may still land after the wait for it ended.
constexpr std::uint32_t kLateCopyWatchMs = 10000;

// What the clipboard asks of the window that offered a text (WM_RENDERFORMAT and its kin).
enum class ClipboardRequest {
    kRender,    // a program reads the offered format
    kRenderAll, // the window is going: hand everything over now
    kDestroyed, // the clipboard was emptied: the offer is gone
};

// The clipboard and synthesised Ctrl keys: the way that works with any program.
class CClipboardRoute : public ITextRoute {
public:
    // The settings give the delay a box may take to read a paste; both outlive the route.
    CClipboardRoute(ISystem& system, const SettingsFields& settings);
    ~CClipboardRoute() override;
    // The program's window: it owns the clipboard whenever the route empties it, joins the
    // viewer chain and listens for the copy. Null: none (yet, or any more).
    void SetHostWindow(void* window);
    // Begins by settling what earlier rounds left: a late copy still awaited is over, and the
    // user's clipboard still waiting to come back goes back first (a new backup would
    // otherwise save the pasted text in its place).
    bool Begin() override;
    CopyResult Copy(void* box, const WindowFacts& facts, bool onlySelection, CopiedText& copied) override;
    ReadResult Read(void* box, const WindowFacts& facts, bool mayCostCaret, std::u16string& text) override;
    PasteResult Paste(void* box, const WindowFacts& facts, const std::u16string& text,
                      PastePlace& place) override;
    void Deselect(void* box) override;
    bool End() override;
    bool InRound() const override { return m_backup != nullptr; }
    TickNeed NeedsTicks() const override;
    // Checks the late copy watched for, and tries the kept restore again.
    void Tick() override;
    void ForgetHeld() override;

    // The clipboard's request to the window that offered a paste's text.
    void Serve(ClipboardRequest request, std::uint32_t format);
    // The user's clipboard that could not be put back (the box or another program held the
    // clipboard too long) is kept and tried again at each tick and before the next round,
    // until it is back or the user has copied something since.
    void RetryLaterRestore(std::uint32_t retryMs = 0);
    bool HasLaterRestore() const;
    // A copy the box did not answer in time may still land after the user's clipboard was put
    // back: for a while, such a copy of the box's program is replaced by the user's clipboard
    // again. The user's own key presses (their Ctrl+C, typing) and anyone else's copy end the
    // watch.
    bool WatchingLateCopy() const;
    void CheckLateCopy();

private:
    void WatchForLateCopy(std::uint32_t boxProcess);
    // The user's keys pass again (see HoldUserKeys), if they were held.
    void LetKeysPass();
    // Waits for the box to take the offered text; true when it did. `arrived` tells from the
    // box itself, where it can, that the text is in it.
    bool WaitForTheBoxToTake(const std::u16string& text, const std::function<bool()>& arrived);

    ISystem& m_system;
    const SettingsFields& m_settings;
    void* m_hostWindow = nullptr;
    std::unique_ptr<CClipboardBackup> m_backup;
    bool m_busy = false;   // a round, or a chore, is under way
    bool m_pasted = false; // the round pasted: the box may hold the clipboard a while
    bool m_copyUnanswered = false;
    bool m_selectedAll = false;     // a Read copied the whole box
    bool m_keysHeld = false;        // the user's keys are held while the box is all selected
    std::uint32_t m_boxProcess = 0; // the box's program, this round
    // Whether a program other than the box's read the offered text this round.
    bool m_takenByOther = false;
    std::unique_ptr<CClipboardBackup> m_laterRestore;
    std::unique_ptr<CClipboardBackup> m_lateCopy;
    std::uint32_t m_lateCopyProcess = 0;
    std::uint64_t m_lateCopyUntil = 0;
    std::uint32_t m_lateCopyPresses = 0; // the user's key presses when the watch began
};

// The system's own edit controls, through their messages: no clipboard, no keys, and a
// paste the user can undo.
class CMessageRoute : public ITextRoute {
public:
    explicit CMessageRoute(ISystem& system) : m_system(system) {}
    bool Begin() override { return true; }
    CopyResult Copy(void* box, const WindowFacts& facts, bool onlySelection, CopiedText& copied) override;
    ReadResult Read(void* box, const WindowFacts& facts, bool mayCostCaret, std::u16string& text) override;
    PasteResult Paste(void* box, const WindowFacts& facts, const std::u16string& text,
                      PastePlace& place) override;
    void Deselect(void*) override {} // reading selects nothing
    bool End() override { return true; }
    bool InRound() const override { return false; }

private:
    ISystem& m_system;
};

// Where a selection is to be found again: at the place it was, else where the box's own
// selection holds it, else at the one place the box holds it. -1 when none of these.
std::int64_t FindSelectionAgain(std::u16string_view boxText, std::u16string_view selected, std::int64_t at,
                                std::int64_t selectedNow);
// A text in an edit control's own positions: a RichEdit control counts CR LF as one.
std::u16string InEditPositions(EditKind kind, std::u16string_view text);

// The routes an engine is given: the one for a box, and the clipboard's for a box whose own
// messages failed.
class ITextRoutes {
public:
    virtual ~ITextRoutes() = default;
    virtual ITextRoute& For(const WindowFacts& box) = 0;
    virtual ITextRoute& Clipboard() = 0;
    // The program's window, which the clipboard's way needs (see CClipboardRoute).
    virtual void SetHostWindow(void* window) = 0;
};

// The program's routes: the system's own edit controls through their messages (unless the
// user turned that off), every other box through the clipboard.
class CTextRoutes : public ITextRoutes {
public:
    CTextRoutes(ISystem& system, const SettingsFields& settings);
    ITextRoute& For(const WindowFacts& box) override;
    ITextRoute& Clipboard() override { return m_clipboard; }
    void SetHostWindow(void* window) override { m_clipboard.SetHostWindow(window); }
    CClipboardRoute& ClipboardRoute() { return m_clipboard; }

private:
    const SettingsFields& m_settings;
    CClipboardRoute m_clipboard;
    CMessageRoute m_messages;
};

// A round begun on demand that ends with the scope, unless ended before.
class CRouteRound {
public:
    explicit CRouteRound(ITextRoute& route) : m_route(route) {}
    ~CRouteRound() { End(); }
    CRouteRound(const CRouteRound&) = delete;
    CRouteRound& operator=(const CRouteRound&) = delete;
    bool Begin() { return m_route.Begin(); }
    bool End() { return m_route.InRound() ? m_route.End() : true; }

private:
    ITextRoute& m_route;
};

// Ctrl plus the letters, as one batch of input (see PlanCtrlKeys).
bool SendCtrlKeys(ISystem& system, std::string_view letters);

} // namespace quillon
