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
};

// One way of moving text. Its steps run inside a round (Begin ... End): whatever the way
// borrows from the user (the clipboard) is taken at Begin and given back at End.
class ITextRoute {
public:
    virtual ~ITextRoute() = default;
    // Starts a round; false when what the user has could not be put aside (the round then
    // goes on, as it always has, but the caller may choose to stop).
    virtual bool Begin() = 0;
    // The box's text: all of it, or the selection only. The keys go out only while the
    // box still has the focus. False when no text came.
    virtual bool Copy(void* box, bool onlySelection, std::u16string& text) = 0;
    // Puts the text into the box: replacing all of it, or at the caret with insert.
    virtual PasteResult Paste(void* box, const std::u16string& text, bool insert) = 0;
    // Leaves the caret at the end of the box's text, nothing selected: a box that was
    // looked at and left alone must not have all its text selected, where the next key the
    // user types would replace it.
    virtual void Deselect(void* box) = 0;
    // Ends the round: the user's clipboard back as it was. True when it was put back (or
    // nothing had been taken).
    virtual bool End() = 0;
    virtual bool InRound() const = 0;
    // The last Copy waited its whole time without the box answering (as against a box
    // known to be empty).
    virtual bool CopyUnanswered() const = 0;
    // The last Copy came with formatted text too (HTML or rich text), which a plain-text
    // save cannot give back.
    virtual bool CopyBroughtFormatting() const = 0;
};

// The clipboard and synthesised Ctrl keys: the way that works with any program.
class CClipboardRoute : public ITextRoute {
public:
    explicit CClipboardRoute(CEditEngine& engine);
    ~CClipboardRoute() override;
    bool Begin() override;
    bool Copy(void* box, bool onlySelection, std::u16string& text) override;
    PasteResult Paste(void* box, const std::u16string& text, bool insert) override;
    void Deselect(void* box) override;
    bool End() override;
    bool InRound() const override { return m_backup != nullptr; }
    bool CopyUnanswered() const override { return m_copyUnanswered; }
    bool CopyBroughtFormatting() const override { return m_copyFormatted; }

private:
    CEditEngine& m_engine;
    std::unique_ptr<CClipboardBackup> m_backup;
    bool m_pasted = false; // the round pasted: the box may hold the clipboard a while
    bool m_copyUnanswered = false;
    bool m_copyFormatted = false;
    std::uint32_t m_boxProcess = 0; // the copied box's program
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
