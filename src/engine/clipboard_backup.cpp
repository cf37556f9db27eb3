// Saving and restoring the clipboard around the edit road's copy and paste.
#include "engine/clipboard_backup.h"

#include "engine/edit_rules.h"

namespace quillon {

bool OpenClipboardPatiently(IClipboard& clipboard, IClock& clock, std::uint32_t retryMs) {
    // Another program (a clipboard manager, the text box itself) may hold the clipboard for
    // a moment; giving up at once would lose the user's text or clipboard.
    return clock.WaitServingMessages(
        retryMs, [&] { return clipboard.OpenClipboard(); }, kClipboardRetryStepMs);
}

CClipboardBackup::~CClipboardBackup() {
    if (!m_bSaved)
        return;
    // Only a failed or skipped Restore gets here. One more attempt is worth it when none
    // was made (an early exit); after a failed one the clipboard is taken to stay busy.
    if (!m_restoreFailed && Restore())
        return;
    Discard();
}

bool CClipboardBackup::Backup() {
    if (m_bSaved || !OpenClipboardPatiently(m_system, m_clock))
        return false;
    // At the head of the viewer chain the change notices come to our window first, and it
    // passes none on: the viewers behind it (clipboard viewers and history managers) are not
    // told of the passing texts of the edit road's copy and paste, which are not the user's
    // own clipboard. The chain is made whole again when the backup is restored or discarded.
    m_inChain = m_system.JoinClipboardViewerChain(m_viewer);
    for (std::uint32_t format = m_system.EnumClipboardFormats(0); format != 0;
         format = m_system.EnumClipboardFormats(format)) {
        if (IsNeverSavedClipboardFormat(format))
            continue;
        ClipboardData entry;
        entry.format = format;
        if (format > clip::kEnhMetafile)
            entry.name = m_system.ClipboardFormatName(format);
        entry.data = m_system.CopyClipboardData(format);
        if (!entry.data)
            continue;
        m_list.push_back(std::move(entry));
    }
    m_system.CloseClipboard();
    m_bSaved = true;
    m_restoreFailed = false;
    m_expected = 0;
    return true;
}

bool CClipboardBackup::SomeoneCopiedSince() {
    return m_expected ? m_system.ClipboardSequence() != m_expected : m_system.ChangedSinceOwnWrite();
}

bool CClipboardBackup::Restore(std::uint32_t retryMs) {
    if (!m_bSaved)
        return false;
    if (!OpenClipboardPatiently(m_system, m_clock, retryMs)) {
        m_restoreFailed = true;
        return false;
    }
    // Looked at while the clipboard is ours: nobody can copy between the look and the restore.
    if (m_expected && SomeoneCopiedSince()) {
        m_system.CloseClipboard();
        Discard();
        return true;
    }
    PutBackOpen();
    return true;
}

void CClipboardBackup::PutBackOpen() {
    m_system.EmptyClipboard();
    for (ClipboardData& entry : m_list) {
        std::uint32_t format = entry.format;
        // Registered formats are numbered anew in each session: use today's number.
        if (!entry.name.empty()) {
            if (std::uint32_t registered = m_system.RegisterFormatName(entry.name))
                format = registered;
        }
        if (!m_system.SetClipboardData(format, entry.data))
            m_system.FreeClipboardCopy(entry.format, entry.data);
        entry.data = nullptr;
    }
    // Put back, the user's content is a duplicate: the history and the cloud already have
    // it when they should. Markers of its own (a password manager's) came back above; ours
    // only add to them.
    if (!m_list.empty())
        m_system.MarkOwnContent();
    m_system.CloseClipboard();
    m_list.clear();
    m_bSaved = false;
    m_restoreFailed = false;
    LeaveChain();
}

bool CClipboardBackup::TakeOver(CClipboardBackup& from) {
    if (m_bSaved || !from.m_bSaved)
        return false;
    m_list = std::move(from.m_list);
    from.m_list.clear();
    m_viewer = from.m_viewer;
    m_inChain = from.m_inChain;
    m_bSaved = true;
    m_restoreFailed = false;
    m_expected = from.m_expected;
    from.m_inChain = false;
    from.m_bSaved = false;
    return true;
}

bool CClipboardBackup::RetryRestore(std::uint32_t retryMs) {
    if (!m_bSaved)
        return true;
    if (!OpenClipboardPatiently(m_system, m_clock, retryMs))
        return false;
    // Looked at while the clipboard is ours: nobody can copy between the look and the restore.
    if (SomeoneCopiedSince()) {
        m_system.CloseClipboard();
        Discard();
        return true;
    }
    PutBackOpen();
    return true;
}

bool CClipboardBackup::RestoreOverLateCopy(std::uint32_t process, std::uint32_t retryMs) {
    if (!m_bSaved)
        return true;
    if (!m_system.ChangedSinceOwnWrite())
        return false; // nothing landed yet
    if (!OpenClipboardPatiently(m_system, m_clock, retryMs))
        return false;
    // Looked at while the clipboard is ours: nobody can copy between the look and the restore.
    if (process == 0 || m_system.ClipboardOwnerProcess() != process) {
        m_system.CloseClipboard();
        Discard();
        return true;
    }
    PutBackOpen();
    return true;
}

void CClipboardBackup::Discard() {
    for (ClipboardData& entry : m_list)
        if (entry.data)
            m_system.FreeClipboardCopy(entry.format, entry.data);
    m_list.clear();
    m_bSaved = false;
    LeaveChain();
}

void CClipboardBackup::LeaveChain() {
    if (m_inChain)
        m_system.LeaveClipboardViewerChain(m_viewer);
    m_inChain = false;
}

} // namespace quillon
