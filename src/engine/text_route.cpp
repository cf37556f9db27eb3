// The clipboard way of moving text: Ctrl+A, Ctrl+C out of the box and Ctrl+A, Ctrl+V back,
// with the user's clipboard saved before and put back after.
#include "engine/text_route.h"

#include <algorithm>
#include <functional>

#include "engine/clipboard_backup.h"
#include "config/settings.h"
#include "engine/edit_rules.h"
#include "engine/keyboard.h"
#include "engine/program_rules.h"

namespace quillon {

namespace {

constexpr std::uint32_t kCopyPollMs = 20;
// A busy box (a web page) may handle the paste's keys long after they went out.
constexpr std::uint32_t kPasteTakenCapMs = 10000;
constexpr char kCtrlEnd[] = "\x23"; // VK_END: with Ctrl, the end of the whole text
// How often a text another program read first is offered again for the box.
constexpr int kMaxReoffers = 3;

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
    const bool altDown = system.IsKeyDown(keyboard::vk::kMenu);
    const bool shiftDown = system.IsKeyDown(keyboard::vk::kShift);
    const bool ctrlDown = system.IsUserKeyDown(keyboard::vk::kControl);
    return system.SendKeys(PlanCtrlKeys(letters, altDown, shiftDown, ctrlDown,
                                        [&](std::uint8_t key) { return system.ScanCodeOf(key); }));
}

CClipboardRoute::CClipboardRoute(ISystem& system, const SettingsFields& settings)
    : m_system(system), m_settings(settings),
      m_laterRestore(std::make_unique<CClipboardBackup>(system, system)),
      m_lateCopy(std::make_unique<CClipboardBackup>(system, system)) {}

CClipboardRoute::~CClipboardRoute() {
    // What the watch holds is on the clipboard already. A restore still waiting was tried
    // while the program's window could own the clipboard (its last chance is as it goes);
    // now, without an owner, emptying the clipboard would lose the user's content for good
    // (nothing can be put back), so the clipboard stays as it is.
    m_lateCopy->Discard();
    m_laterRestore->Discard();
}

void CClipboardRoute::SetHostWindow(void* window) {
    m_hostWindow = window;
    m_system.SetOwnerWindow(window);
}

bool CClipboardRoute::Begin() {
    CheckLateCopy();
    m_lateCopy->Discard();
    RetryLaterRestore(kClipboardRetryMs);
    m_busy = true;
    m_backup = std::make_unique<CClipboardBackup>(m_system, m_system, m_hostWindow);
    m_pasted = false;
    m_selectedAll = false;
    m_copyUnanswered = false;
    return m_backup->Backup();
}

TickNeed CClipboardRoute::NeedsTicks() const {
    return m_lateCopy->IsHeld()       ? TickNeed::kFast
           : m_laterRestore->IsHeld() ? TickNeed::kSlow
                                      : TickNeed::kNone;
}

void CClipboardRoute::Tick() {
    CheckLateCopy();
    RetryLaterRestore();
}

void CClipboardRoute::ForgetHeld() {
    m_laterRestore->Discard();
    m_lateCopy->Discard();
}

bool CClipboardRoute::HasLaterRestore() const {
    return m_laterRestore->IsHeld();
}

bool CClipboardRoute::WatchingLateCopy() const {
    return m_lateCopy->IsHeld();
}

void CClipboardRoute::RetryLaterRestore(std::uint32_t retryMs) {
    // Not inside a round or a chore: their waits answer sent messages.
    if (m_busy || !m_laterRestore->IsHeld())
        return;
    m_busy = true;
    m_laterRestore->RetryRestore(retryMs);
    m_busy = false;
}

void CClipboardRoute::WatchForLateCopy(std::uint32_t boxProcess) {
    m_lateCopy->Discard();
    // What is on the clipboard now is the user's own content, just put back.
    if (boxProcess == 0 || !m_lateCopy->Backup())
        return;
    m_lateCopyProcess = boxProcess;
    m_lateCopyUntil = m_system.NowMs() + kLateCopyWatchMs;
    m_lateCopyPresses = m_system.UserKeyPresses();
}

void CClipboardRoute::CheckLateCopy() {
    if (m_busy || !m_lateCopy->IsHeld())
        return;
    m_busy = true;
    // The user pressed a key since (their own Ctrl+C of the box's text, having heard that
    // none came, or typing into the box): what lands now is theirs.
    if (m_system.UserKeyPresses() != m_lateCopyPresses)
        m_lateCopy->Discard();
    else if (!m_lateCopy->RestoreOverLateCopy(m_lateCopyProcess) && m_system.NowMs() >= m_lateCopyUntil)
        m_lateCopy->Discard();
    m_busy = false;
}

void CClipboardRoute::Serve(ClipboardRequest request, std::uint32_t format) {
    switch (request) {
    case ClipboardRequest::kRender: {
        // Whoever asks is served; only the box's own program counts as the paste taken. A
        // clipboard manager or collector that reads every copy would otherwise make a paste
        // the box never took count as done.
        const std::uint32_t reader = m_system.ClipboardOpenerProcess();
        const bool waiting = m_system.OfferState() == ClipboardOffer::kWaiting;
        m_system.RenderOffer(format);
        if (waiting && m_system.OfferState() == ClipboardOffer::kTaken)
            m_takenByOther = reader != 0 && m_boxProcess != 0 && reader != m_boxProcess;
        break;
    }
    case ClipboardRequest::kRenderAll:
        m_system.RenderOfferBeforeLeaving(m_hostWindow);
        break;
    case ClipboardRequest::kDestroyed:
        m_system.DropOffer();
        break;
    }
}

CopyResult CClipboardRoute::Copy(void* box, const WindowFacts& facts, bool onlySelection,
                                 CopiedText& copied) {
    ISystem& system = m_system;
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
    // An empty box (or one with nothing selected, for a copy of the selection) copies
    // nothing, and would keep us waiting for the whole cap: the system's own edit controls say
    // so at once.
    std::u16string own;
    m_boxProcess = facts.process;
    std::uint32_t start = 0, end = 0;
    const bool empty = IsPlainEditClass(facts.className) &&
                       (onlySelection ? system.GetEditSelection(box, start, end) && start == end
                                      : system.ReadWindowText(box, own) && own.empty());
    if (!empty)
        // Ends the moment the copy lands; the 20 ms look is for a system that cannot tell.
        m_copyUnanswered = !system.WaitWatchingClipboard(
            m_hostWindow, kCopyWaitCapMs,
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
    ISystem& system = m_system;
    // The system's own edit controls tell their text directly, which decides without the
    // copy (and without its Ctrl+A in the user's box). One that tells nothing (an empty box)
    // is still asked by the copy.
    if (facts.edit != EditKind::kNone && system.ReadWindowText(box, text) && !text.empty())
        return ReadResult::kRead;
    if (!mayCostCaret)
        return ReadResult::kCostsCaret;
    // Ctrl+A where no text cursor shows selects the page (in web mail, every message).
    if (!system.CaretShownIn(box))
        return ReadResult::kNoCaret;
    // From Ctrl+A until the paste or the deselection, a key the user types would replace the
    // whole text: their keys wait those few milliseconds, and follow.
    system.HoldUserKeys();
    m_keysHeld = true;
    CopiedText copied;
    const CopyResult result = Copy(box, facts, false, copied);
    if (result == CopyResult::kFocusMoved) {
        LetKeysPass();
        return ReadResult::kFocusMoved;
    }
    m_selectedAll = true;
    text = result == CopyResult::kCopied ? std::move(copied.text)
                                         : std::u16string(); // an empty box copies nothing
    return ReadResult::kRead;
}

PasteResult CClipboardRoute::Paste(void* box, const WindowFacts& facts, const std::u16string& text,
                                   PastePlace& place) {
    ISystem& system = m_system;
    if (!StillFocused(system, box))
        return PasteResult::kFocusMoved;
    if (place.selection && !place.insert) {
        CopiedText selected;
        const CopyResult seen = Copy(box, facts, true, selected);
        if (seen == CopyResult::kFocusMoved)
            return PasteResult::kFocusMoved;
        if (seen != CopyResult::kCopied ||
            NormalizeLineEnds(selected.text) != NormalizeLineEnds(place.selected))
            return PasteResult::kSelectionGone;
    }
    if (!OpenClipboardPatiently(system, system))
        return PasteResult::kClipboardBusy;
    system.EmptyClipboard();
    // Offered rather than handed over: the box's reading it is what tells us the paste
    // happened, and the user's clipboard must not come back before.
    const bool put = system.OfferClipboardText(text);
    system.CloseClipboard();
    // Without the text on the clipboard a paste would put the user's own clipboard content
    // into the box.
    if (!put)
        return PasteResult::kClipboardBusy;
    if (!StillFocused(system, box))
        return PasteResult::kFocusMoved;
    m_boxProcess = facts.process;
    m_takenByOther = false;
    // Only the selection the edit was of is replaced (the rest of the box is the user's): the
    // paste replaces what is selected, never all, and only while the selected text is the
    // same text again.
    const bool whole = !place.insert && !place.selection;
    // What a box that tells its text held before a paste into part of it: only a change
    // shows that the text went in.
    std::u16string before;
    const bool beforeKnown = !whole && facts.edit != EditKind::kNone && system.ReadWindowText(box, before);
    const bool sent = SendCtrlKeys(system, PasteLetters(!whole));
    LetKeysPass();
    if (!sent)
        return PasteResult::kKeysFailed;
    m_pasted = true;
    m_selectedAll = false;
    const auto arrived = [&] {
        std::u16string now;
        if (facts.edit == EditKind::kNone || !system.ReadWindowText(box, now))
            return false;
        if (whole)
            return BoxStillHolds(now, text, false);
        return beforeKnown && now != before &&
               NormalizeLineEnds(now).find(NormalizeLineEnds(text)) != std::u16string::npos;
    };
    return WaitForTheBoxToTake(text, arrived) ? PasteResult::kPasted : PasteResult::kNotTaken;
}

bool CClipboardRoute::WaitForTheBoxToTake(const std::u16string& text, const std::function<bool()>& arrived) {
    ISystem& system = m_system;
    std::uint32_t offered = system.ClipboardSequence();
    int reoffers = 0;
    bool seen = false; // the box's program was seen reading what another program had rendered
    // A text another program read first is on the clipboard for anyone now, and the box's
    // own read would go unseen: it is offered again (the other program may read it again).
    // Once that is used up, the box is watched: its program holding the clipboard open, or its
    // text showing the paste, tells that it took it.
    auto takenByTheBox = [&] {
        const ClipboardOffer state = system.OfferState();
        if (state != ClipboardOffer::kTaken || !m_takenByOther)
            return state == ClipboardOffer::kTaken;
        if (reoffers < kMaxReoffers && system.OpenClipboard()) {
            ++reoffers;
            system.EmptyClipboard();
            m_takenByOther = !system.OfferClipboardText(text);
            system.CloseClipboard();
            offered = system.ClipboardSequence();
            return false;
        }
        seen = seen || (m_boxProcess != 0 && system.ClipboardOpenerProcess() == m_boxProcess) || arrived();
        return seen;
    };
    // The request for the text comes as a message sent to our window, answered in the wait.
    system.WaitServingMessages(
        kPasteTakenCapMs, [&] { return system.OfferState() == ClipboardOffer::kDropped || takenByTheBox(); },
        kCopyPollMs);
    const bool taken =
        system.OfferState() == ClipboardOffer::kTaken && (!m_takenByOther || seen || arrived());
    // Taken, the clipboard is as the reading left it; dropped untaken, someone emptied it
    // after our offer (the user copied), and that copy is theirs to keep.
    if (m_backup)
        m_backup->ExpectSequence(system.OfferState() == ClipboardOffer::kTaken ? system.ClipboardSequence()
                                                                               : offered);
    return taken;
}

void CClipboardRoute::Deselect(void* box) {
    if (m_selectedAll && StillFocused(m_system, box))
        SendCtrlKeys(m_system, kCtrlEnd);
    m_selectedAll = false;
    LetKeysPass();
}

void CClipboardRoute::LetKeysPass() {
    if (m_keysHeld)
        m_system.ReleaseUserKeys();
    m_keysHeld = false;
}

bool CClipboardRoute::End() {
    LetKeysPass();
    if (!m_backup)
        return true;
    ISystem& system = m_system;
    std::uint32_t retryMs = kClipboardRetryMs;
    if (m_pasted) {
        // The text box reads the clipboard when the keys arrive: give it the time.
        system.PauseServingMessages(static_cast<std::uint32_t>(m_settings.EffectiveDelay()));
        // A box still inserting a long text keeps the clipboard open meanwhile: wait for it
        // rather than lose the user's clipboard.
        retryMs = kRestoreAfterPasteRetryMs;
    }
    const bool held = m_backup->IsHeld();
    // A copy that did not land yet may land after the restore, over the user's clipboard.
    // One that landed meanwhile is simply replaced by the restore.
    const bool lateCopyDue = m_copyUnanswered && !system.IsClipboardFormatAvailable(clip::kUnicodeText);
    const bool restored = !held || m_backup->Restore(retryMs);
    m_busy = false;
    if (held && restored && lateCopyDue)
        WatchForLateCopy(m_boxProcess);
    m_copyUnanswered = false;
    // Still held by the box or another program, after a copy as after a paste: the user's
    // clipboard is kept and put back at a later tick, unless the user copies something
    // meanwhile.
    if (!restored)
        m_laterRestore->TakeOver(*m_backup);
    m_backup.reset();
    m_pasted = false;
    return restored;
}

CTextRoutes::CTextRoutes(ISystem& system, const SettingsFields& settings)
    : m_settings(settings), m_clipboard(system, settings), m_messages(system) {}

ITextRoute& CTextRoutes::For(const WindowFacts& box) {
    if (m_settings.UseEditMessages && box.edit != EditKind::kNone)
        return m_messages;
    return m_clipboard;
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
