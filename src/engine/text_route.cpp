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
    return m_backup->Backup();
}

bool CClipboardRoute::Copy(void* box, bool onlySelection, std::u16string& text) {
    ISystem& system = m_engine.System();
    m_copyUnanswered = false;
    m_copyFormatted = false;
    if (!StillFocused(system, box))
        return false;
    // Emptied so that the arrival of the copied text can be seen.
    if (OpenClipboardPatiently(system, system)) {
        system.EmptyClipboard();
        system.CloseClipboard();
    }
    if (!SendCtrlKeys(system, CopyLetters(onlySelection)))
        return false;
    // An empty box copies nothing, and would keep us waiting for the whole cap: the
    // system's own edit controls say so at once.
    WindowFacts facts;
    std::u16string own;
    const bool described = system.DescribeWindow(box, facts);
    m_boxProcess = described ? facts.process : 0;
    const bool empty = !onlySelection && described && IsPlainEditClass(facts.className) &&
                       system.ReadWindowText(box, own) && own.empty();
    if (!empty)
        // Ends the moment the copy lands; the 20 ms look is for a system that cannot tell.
        m_copyUnanswered = !system.WaitWatchingClipboard(
            m_engine.HostWindow(), kCopyWaitCapMs,
            [&] { return system.IsClipboardFormatAvailable(clip::kUnicodeText); }, kCopyPollMs);
    bool copied = false;
    if (OpenClipboardPatiently(system, system)) {
        copied = system.GetClipboardText(text);
        for (const char16_t* name : {kHtmlFormatName, kRichTextFormatName})
            if (copied && system.IsClipboardFormatAvailable(system.RegisterFormatName(name)))
                m_copyFormatted = true;
        system.CloseClipboard();
    }
    return copied;
}

PasteResult CClipboardRoute::Paste(void* box, const std::u16string& text, bool insert) {
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
    // Without the text on the clipboard a paste would put the user's own clipboard content
    // into the box.
    if (!put)
        return PasteResult::kClipboardBusy;
    if (!StillFocused(system, box))
        return PasteResult::kFocusMoved;
    if (!SendCtrlKeys(system, PasteLetters(insert)))
        return PasteResult::kKeysFailed;
    m_pasted = true;
    // The request for the text comes as a message sent to our window, answered in the wait.
    system.WaitServingMessages(
        kPasteTakenCapMs, [&] { return system.OfferState() != ClipboardOffer::kWaiting; }, kCopyPollMs);
    return system.OfferState() == ClipboardOffer::kTaken ? PasteResult::kPasted : PasteResult::kNotTaken;
}

void CClipboardRoute::Deselect(void* box) {
    ISystem& system = m_engine.System();
    if (StillFocused(system, box))
        SendCtrlKeys(system, kCtrlEnd);
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
    // Still held by the box or another program: the engine keeps the user's clipboard and
    // puts it back at a later tick, unless the user copies something meanwhile.
    if (!restored && m_pasted)
        m_engine.KeepForLaterRestore(*m_backup);
    m_backup.reset();
    m_pasted = false;
    return restored;
}

} // namespace quillon
