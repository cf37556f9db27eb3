// CClipboardBackup: saves every format the clipboard holds that can be copied, and puts
// them all back, around a synthesised copy or paste. Also the patient clipboard opening
// that every step of the edit road uses.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "engine/system.h"

namespace quillon {

// How long the edit road keeps trying to open a clipboard that another program holds.
constexpr std::uint32_t kClipboardRetryMs = 300;
constexpr std::uint32_t kClipboardRetryStepMs = 10;

// After a paste the text box itself holds the clipboard while it inserts the text, which
// for a long text takes far more than a moment (a megabyte into a plain edit box of a busy
// machine took over 5 s): the restore after a paste waits this long rather than lose the
// user's clipboard. The wait answers sent messages, so the keyboard hook stays served.
constexpr std::uint32_t kRestoreAfterPasteRetryMs = 15000;

// Opens the clipboard (with the program's window, see IClipboard::SetOwnerWindow), retrying
// for a bounded time.
bool OpenClipboardPatiently(IClipboard& clipboard, IClock& clock, std::uint32_t retryMs = kClipboardRetryMs);

class CClipboardBackup {
public:
    // One saved format.
    struct ClipboardData {
        std::uint32_t format = 0;  // the format number at backup time
        std::u16string name;       // its registered name; empty for formats without one
        ClipHandle data = nullptr; // the backup's own copy
    };

    // The viewer is the program's window that joins the clipboard viewer chain while a
    // backup is held (none: it is not joined).
    CClipboardBackup(IClipboard& clipboard, IClock& clock, void* viewer = nullptr)
        : m_system(clipboard), m_clock(clock), m_viewer(viewer) {}
    // A backup still held is put back (or, when the clipboard stays busy, discarded).
    ~CClipboardBackup();
    CClipboardBackup(const CClipboardBackup&) = delete;
    CClipboardBackup& operator=(const CClipboardBackup&) = delete;

    // Takes a backup now; false when one is already held or the clipboard stays busy.
    bool Backup();
    // Puts the saved formats back, marked as the program's own (they are a duplicate of
    // what the user copied, not a new copy); false when none is held or the clipboard stays
    // busy for retryMs (the backup is then kept). When the clipboard moved on from the
    // sequence number expected, someone (the user) copied meanwhile: that copy stays, and the
    // backup is dropped.
    bool Restore(std::uint32_t retryMs = kClipboardRetryMs);
    // The clipboard's sequence number as the program's last step left it (the box's copy
    // read, or the paste's text taken); 0: unknown, and only the program's own writes count.
    void ExpectSequence(std::uint32_t sequence) { m_expected = sequence; }
    bool IsHeld() const { return m_bSaved; }
    const std::vector<ClipboardData>& Entries() const { return m_list; }

    // Takes over the copies (and the place in the viewer chain) of a backup whose restore
    // failed, to put them back later; false when this one holds a backup already.
    bool TakeOver(CClipboardBackup& from);
    // Tries once more to put back a backup kept for later: not when anyone has written to
    // the clipboard since the program's own last write (the user copied something, which
    // stays theirs; the backup is then dropped). True when no backup is held any more.
    bool RetryRestore(std::uint32_t retryMs = 0);
    // Puts the backup back over a copy that the given process made since the program's own
    // last write: a text box answering a copy after we stopped waiting for it. Anyone else's
    // copy is the user's, and drops the backup. True when no backup is held any more.
    bool RestoreOverLateCopy(std::uint32_t process, std::uint32_t retryMs = 0);
    // Frees the copies without putting them back.
    void Discard();

private:
    // Empties the open clipboard, puts the copies back, marks them and closes it.
    void PutBackOpen();
    void LeaveChain();

    IClipboard& m_system;
    IClock& m_clock;
    void* m_viewer;
    bool m_bSaved = false;
    std::vector<ClipboardData> m_list;
    bool m_inChain = false;
    bool m_restoreFailed = false;
    std::uint32_t m_expected = 0;
    // Whether anyone but the program wrote since its last step, looked at with the clipboard open.
    bool SomeoneCopiedSince();
};

} // namespace quillon
