// The clipboard way of moving text: Ctrl+A, Ctrl+C out of the box and Ctrl+A, Ctrl+V back,
// with the user's clipboard saved before and put back after.
#include "engine/text_route.h"

#include <algorithm>

#include "engine/clipboard_backup.h"
#include "engine/edit_engine.h"
#include "engine/edit_rules.h"
#include "engine/program_rules.h"

namespace quillon {

namespace {

constexpr std::uint32_t kCopyPollMs = 20;
// A busy box (a web page) may handle the paste's keys long after they went out.
constexpr std::uint32_t kPasteTakenCapMs = 10000;
constexpr char kCtrlEnd[] = "\x23"; // VK_END: with Ctrl, the end of the whole text

// Keys go only to the box they are meant for: the focus may have moved since it was seen
// (saving a large clipboard can take seconds), and Ctrl+A, Ctrl+V in another box would
// replace that box's text.
bool StillFocused(ISystem& system, void* box) {
    return box && system.FocusedWindow() == box;
}

} // namespace

bool SendCtrlKeys(ISystem& system, std::string_view letters) {
    // The user's own key events that wait for our keyboard hook come before the batch:
    // answered first, the hook knows whether the user's Ctrl is still down, and the batch
    // ends with Ctrl as the user's key leaves it. (The system's key state lags behind the
    // hook, so it cannot tell.) Looked at once, just before the batch: a release of the
    // user's Ctrl that still comes in while the batch passes is held back by the seam, which
    // then releases Ctrl itself.
    system.ServeSentMessages();
    const bool altDown = system.IsKeyDown(vk::kMenu);
    const bool shiftDown = system.IsKeyDown(vk::kShift);
    const bool ctrlDown = system.IsUserKeyDown(vk::kControl);
    return system.SendKeys(PlanCtrlKeys(letters, altDown, shiftDown, ctrlDown,
                                        [&](std::uint8_t key) { return system.ScanCodeOf(key); }));
}

CClipboardRoute::CClipboardRoute(CEditEngine& engine) : m_engine(engine) {}

CClipboardRoute::~CClipboardRoute() = default;

bool CClipboardRoute::Begin() {
    ISystem& system = m_engine.System();
    m_backup = std::make_unique<CClipboardBackup>(system, system, m_engine.HostWindow());
    m_pasted = false;
    m_selectedAll = false;
    return m_backup->Backup();
}

CopyResult CClipboardRoute::Copy(void* box, const WindowFacts& facts, bool onlySelection,
                                 CopiedText& copied) {
    ISystem& system = m_engine.System();
    m_copyUnanswered = false;
    if (!StillFocused(system, box))
        return CopyResult::kFocusMoved;
    // Emptied so that the arrival of the copied text can be seen.
    if (OpenClipboardPatiently(system, system)) {
        system.EmptyClipboard();
        system.CloseClipboard();
    }
    if (!SendCtrlKeys(system, CopyLetters(onlySelection)))
        return StillFocused(system, box) ? CopyResult::kUnanswered : CopyResult::kFocusMoved;
    // An empty box copies nothing, and would keep us waiting for the whole cap: the
    // system's own edit controls say so at once.
    std::u16string own;
    m_boxProcess = facts.process;
    const bool empty =
        !onlySelection && IsPlainEditClass(facts.className) && system.ReadWindowText(box, own) && own.empty();
    if (!empty)
        // Ends the moment the copy lands; the 20 ms look is for a system that cannot tell.
        m_copyUnanswered = !system.WaitWatchingClipboard(
            m_engine.HostWindow(), kCopyWaitCapMs,
            [&] { return system.IsClipboardFormatAvailable(clip::kUnicodeText); }, kCopyPollMs);
    bool got = false;
    if (OpenClipboardPatiently(system, system)) {
        got = system.GetClipboardText(copied.text);
        // The box's copy is the clipboard as it should be until the restore: anything later
        // is a copy of the user's own. (A copy that came late may yet land: not known then.)
        if (got && !m_copyUnanswered && m_backup)
            m_backup->ExpectSequence(system.ClipboardSequence());
        for (const char16_t* name : {kHtmlFormatName, kRichTextFormatName})
            if (got && system.IsClipboardFormatAvailable(system.RegisterFormatName(name)))
                copied.formatted = true;
        system.CloseClipboard();
    }
    if (got)
        return CopyResult::kCopied;
    // The user moved on before the keys could reach the box: no text of theirs to edit.
    if (!StillFocused(system, box))
        return CopyResult::kFocusMoved;
    return m_copyUnanswered ? CopyResult::kUnanswered : CopyResult::kEmpty;
}

ReadResult CClipboardRoute::Read(void* box, const WindowFacts& facts, bool mayCostCaret,
                                 std::u16string& text) {
    ISystem& system = m_engine.System();
    // The system's own edit controls tell their text directly, which decides without the
    // copy (and without its Ctrl+A in the user's box). One that tells nothing (an empty box)
    // is still asked by the copy.
    if (facts.edit != EditKind::kNone && system.ReadWindowText(box, text) && !text.empty())
        return ReadResult::kRead;
    if (!mayCostCaret)
        return ReadResult::kCostsCaret;
    CopiedText copied;
    const CopyResult result = Copy(box, facts, false, copied);
    if (result == CopyResult::kFocusMoved)
        return ReadResult::kFocusMoved;
    m_selectedAll = true;
    text = result == CopyResult::kCopied ? std::move(copied.text)
                                         : std::u16string(); // an empty box copies nothing
    return ReadResult::kRead;
}

PasteResult CClipboardRoute::Paste(void* box, const WindowFacts&, const std::u16string& text,
                                   PastePlace& place) {
    ISystem& system = m_engine.System();
    if (!StillFocused(system, box))
        return PasteResult::kFocusMoved;
    if (!OpenClipboardPatiently(system, system))
        return PasteResult::kClipboardBusy;
    system.EmptyClipboard();
    // Offered rather than handed over: the box's reading it is what tells us the paste
    // happened, and the user's clipboard must not come back before.
    const bool put = system.OfferClipboardText(text);
    system.CloseClipboard();
    const std::uint32_t offered = system.ClipboardSequence();
    // Without the text on the clipboard a paste would put the user's own clipboard content
    // into the box.
    if (!put)
        return PasteResult::kClipboardBusy;
    if (!StillFocused(system, box))
        return PasteResult::kFocusMoved;
    if (!SendCtrlKeys(system, PasteLetters(place.insert)))
        return PasteResult::kKeysFailed;
    m_pasted = true;
    m_selectedAll = false;
    // The request for the text comes as a message sent to our window, answered in the wait.
    system.WaitServingMessages(
        kPasteTakenCapMs, [&] { return system.OfferState() != ClipboardOffer::kWaiting; }, kCopyPollMs);
    // Taken, the clipboard is as the box's reading left it; dropped untaken, someone emptied
    // it after our offer (the user copied), and that copy is theirs to keep.
    if (m_backup)
        m_backup->ExpectSequence(system.OfferState() == ClipboardOffer::kTaken ? system.ClipboardSequence()
                                                                               : offered);
    return system.OfferState() == ClipboardOffer::kTaken ? PasteResult::kPasted : PasteResult::kNotTaken;
}

void CClipboardRoute::Deselect(void* box) {
    ISystem& system = m_engine.System();
    if (m_selectedAll && StillFocused(system, box))
        SendCtrlKeys(system, kCtrlEnd);
    m_selectedAll = false;
}

bool CClipboardRoute::End() {
    if (!m_backup)
        return true;
    ISystem& system = m_engine.System();
    std::uint32_t retryMs = kClipboardRetryMs;
    if (m_pasted) {
        // The text box reads the clipboard when the keys arrive: give it the time.
        system.PauseServingMessages(static_cast<std::uint32_t>(m_engine.EffectiveDelay()));
        // A box still inserting a long text keeps the clipboard open meanwhile: wait for it
        // rather than lose the user's clipboard.
        retryMs = kRestoreAfterPasteRetryMs;
    }
    const bool held = m_backup->IsHeld();
    // A copy that did not land yet may land after the restore, over the user's clipboard.
    // One that landed meanwhile is simply replaced by the restore.
    const bool lateCopyDue = m_copyUnanswered && !system.IsClipboardFormatAvailable(clip::kUnicodeText);
    const bool restored = !held || m_backup->Restore(retryMs);
    if (held && restored && lateCopyDue)
        m_engine.WatchForLateCopy(m_boxProcess);
    m_copyUnanswered = false;
    // Still held by the box or another program, after a copy as after a paste: the engine
    // keeps the user's clipboard and puts it back at a later tick, unless the user copies
    // something meanwhile.
    if (!restored)
        m_engine.KeepForLaterRestore(*m_backup);
    m_backup.reset();
    m_pasted = false;
    return restored;
}

} // namespace quillon

namespace quillon {

std::u16string InEditPositions(EditKind kind, std::u16string_view text) {
    if (kind != EditKind::kRichEdit)
        return std::u16string(text);
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        out += text[i] == u'\n' ? u'\r' : text[i];
    }
    return out;
}

std::int64_t FindSelectionAgain(std::u16string_view boxText, std::u16string_view selected, std::int64_t at,
                                std::int64_t selectedNow) {
    if (selected.empty())
        return -1;
    auto holdsAt = [&](std::int64_t place) {
        return place >= 0 && static_cast<std::size_t>(place) + selected.size() <= boxText.size() &&
               boxText.compare(static_cast<std::size_t>(place), selected.size(), selected) == 0;
    };
    if (holdsAt(at))
        return at;
    // The user selected it again where it occurs more than once.
    if (holdsAt(selectedNow))
        return selectedNow;
    const std::size_t first = boxText.find(selected);
    if (first == std::u16string_view::npos || boxText.find(selected, first + 1) != std::u16string_view::npos)
        return -1;
    return static_cast<std::int64_t>(first);
}

CopyResult CMessageRoute::Copy(void* box, const WindowFacts& facts, bool onlySelection, CopiedText& copied) {
    std::u16string all;
    if (!m_system.ReadWindowText(box, all))
        return CopyResult::kUnanswered;
    if (!onlySelection) {
        copied.text = std::move(all);
        return copied.text.empty() ? CopyResult::kEmpty : CopyResult::kCopied;
    }
    std::uint32_t start = 0, end = 0;
    if (!m_system.GetEditSelection(box, start, end))
        return CopyResult::kUnanswered;
    const std::u16string positions = InEditPositions(facts.edit, all);
    const std::size_t first = std::min<std::size_t>(start, positions.size());
    const std::size_t last = std::min<std::size_t>(std::max(start, end), positions.size());
    if (first == last)
        return CopyResult::kEmpty;
    const std::u16string selected = positions.substr(first, last - first);
    copied.text = facts.edit == EditKind::kRichEdit ? NormalizeLineEnds(selected) : selected;
    copied.at = static_cast<std::int64_t>(first);
    return CopyResult::kCopied;
}

ReadResult CMessageRoute::Read(void* box, const WindowFacts&, bool, std::u16string& text) {
    return m_system.ReadWindowText(box, text) ? ReadResult::kRead : ReadResult::kUnreadable;
}

PasteResult CMessageRoute::Paste(void* box, const WindowFacts& facts, const std::u16string& text,
                                 PastePlace& place) {
    if (facts.readOnly)
        return PasteResult::kReadOnly;
    if (place.selection && !place.insert) {
        // Only the selection the edit was of is replaced: the rest of the box is the user's.
        std::u16string all;
        if (!m_system.ReadWindowText(box, all))
            return PasteResult::kNotAnswered;
        const std::u16string positions = InEditPositions(facts.edit, all);
        const std::u16string selected = InEditPositions(facts.edit, place.selected);
        std::uint32_t start = 0, end = 0;
        const std::int64_t now = m_system.GetEditSelection(box, start, end) && end - start == selected.size()
                                     ? static_cast<std::int64_t>(start)
                                     : -1;
        const std::int64_t at = FindSelectionAgain(positions, selected, place.at, now);
        if (at < 0)
            return PasteResult::kSelectionGone;
        const auto from = static_cast<std::uint32_t>(at);
        if (!m_system.SetEditSelection(box, from, from + static_cast<std::uint32_t>(selected.size())))
            return PasteResult::kNotAnswered;
        place.at = at;
    } else if (!place.insert && !m_system.SetEditSelection(box, 0, kEditEnd)) {
        return PasteResult::kNotAnswered;
    }
    if (!m_system.ReplaceEditSelection(box, text))
        return PasteResult::kNotAnswered;
    // What the box holds now is known without asking, but for a text put in at the caret.
    if (place.insert)
        place.boxKnownAfter = m_system.ReadWindowText(box, place.boxAfter);
    return PasteResult::kPasted;
}

} // namespace quillon
