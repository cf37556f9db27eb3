// How text leaves a text box and goes back into it: the copy, the check of the box, the
// paste, and the user's clipboard saved and put back around them. The edit engine asks this
// unit and never touches the clipboard or the keys itself.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "engine/system.h"

namespace quillon {

class CEditEngine;
class CClipboardBackup;

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
};

// The clipboard and synthesised Ctrl keys: the way that works with any program.
class CClipboardRoute : public ITextRoute {
public:
    explicit CClipboardRoute(CEditEngine& engine);
    ~CClipboardRoute() override;
    bool Begin() override;
    CopyResult Copy(void* box, const WindowFacts& facts, bool onlySelection, CopiedText& copied) override;
    ReadResult Read(void* box, const WindowFacts& facts, bool mayCostCaret, std::u16string& text) override;
    PasteResult Paste(void* box, const WindowFacts& facts, const std::u16string& text,
                      PastePlace& place) override;
    void Deselect(void* box) override;
    bool End() override;
    bool InRound() const override { return m_backup != nullptr; }

private:
    CEditEngine& m_engine;
    std::unique_ptr<CClipboardBackup> m_backup;
    bool m_pasted = false; // the round pasted: the box may hold the clipboard a while
    bool m_copyUnanswered = false;
    bool m_selectedAll = false;     // a Read copied the whole box
    std::uint32_t m_boxProcess = 0; // the copied box's program
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
