// Saving and restoring the clipboard around the edit road's copy and paste.
#include "engine/clipboard_backup.h"

#include "engine/edit_rules.h"

namespace quillon {

bool OpenClipboardPatiently(IClipboard& clipboard, IClock& clock, std::uint32_t retryMs) {
    // Another program (a clipboard manager, the text box itself) may hold the clipboard for
    // a moment; giving up at once would lose the user's text or clipboard.
    return clock.WaitServingMessages(retryMs, [&] { return clipboard.OpenClipboard(); }, kClipboardRetryStepMs);
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
    m_inChain = m_system.JoinClipboardViewerChain(m_viewer, m_hNextViewer);
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
    return true;
}

bool CClipboardBackup::Restore(std::uint32_t retryMs) {
    if (!m_bSaved)
        return false;
    if (!OpenClipboardPatiently(m_system, m_clock, retryMs)) {
        m_restoreFailed = true;
        return false;
    }
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
    m_system.CloseClipboard();
    m_list.clear();
    m_bSaved = false;
    m_restoreFailed = false;
    LeaveChain();
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
        m_system.LeaveClipboardViewerChain(m_viewer, m_hNextViewer);
    m_inChain = false;
    m_hNextViewer = nullptr;
}

}  // namespace quillon
