// Starting an edit, watching it and writing back.
#include "engine/edit_road.h"

#include <algorithm>

#include "engine/clipboard_backup.h"
#include "engine/edit_engine.h"
#include "engine/edit_rules.h"

namespace quillon {

namespace {

// Closes a file of the seam when the scope ends.
class CSeamFile {
public:
    CSeamFile(ISystem& system, FileHandle file) : m_system(system), m_file(file) {}
    ~CSeamFile() { Close(); }
    CSeamFile(const CSeamFile&) = delete;
    CSeamFile& operator=(const CSeamFile&) = delete;
    FileHandle Get() const { return m_file; }
    void Close() {
        if (m_file)
            m_system.CloseFile(m_file);
        m_file = nullptr;
    }

private:
    ISystem& m_system;
    FileHandle m_file;
};

constexpr std::uint32_t kCopyPollMs = 20;

}  // namespace

void SendCtrlKeys(ISystem& system, std::string_view letters) {
    // The user's own key events that wait for our keyboard hook come before the batch:
    // answered first, the hook knows whether the user's Ctrl is still down, and the batch
    // ends with Ctrl as the user's key leaves it. (The system's key state lags behind the
    // hook, so it cannot tell.) Looked at once, just before the batch: the batch itself
    // cannot be interleaved with the user's own key releases.
    system.ServeSentMessages();
    const bool altDown = system.IsKeyDown(vk::kMenu);
    const bool shiftDown = system.IsKeyDown(vk::kShift);
    const bool ctrlDown = system.IsUserKeyDown(vk::kControl);
    system.SendKeys(PlanCtrlKeys(letters, altDown, shiftDown, ctrlDown,
                                 [&](std::uint8_t key) { return system.ScanCodeOf(key); }));
}

EXTENSIONREC ChooseExtension(CEditEngine& engine, int choiceIndex) {
    const int rows = static_cast<int>(engine.Extensions.size());
    if (choiceIndex >= 0 && choiceIndex < rows)
        return engine.Extensions[static_cast<std::size_t>(choiceIndex)];
    EXTENSIONREC cancelled(u"", u"", u"", 1);
    IEngineHost* host = engine.Host();
    if (choiceIndex < 0 || !host)
        return cancelled;
    EXTENSIONREC chosen;
    bool saveForFuture = false;
    if (!host->ChooseNewExtension(chosen, saveForFuture) || chosen.Extension.empty())
        return cancelled;
    if (saveForFuture) {
        // Shown in the choice list at once; written to the file at the next save.
        engine.Extensions.push_back(chosen);
        host->ExtensionsChanged();
    }
    return chosen;
}

std::u16string ResolveTempFolder(CEditEngine& engine) {
    std::u16string folder = ResolveTempFolderPath(engine.moduleFolder, engine.TemporaryFolder);
    if (!folder.empty())
        engine.System().CreateDirectories(folder);
    return folder;
}

std::u16string MakeTempFileName(ISystem& system) {
    int hour = 0, minute = 0, second = 0;
    const bool known = system.LocalTimeOfDay(hour, minute, second);
    return TempFileBaseName(known, hour, minute, second);
}

FileHandle CreateTempFile(ISystem& system, const std::u16string& folder, const std::u16string& base,
                          const std::u16string& extension, std::u16string& path) {
    // Never reuse a name: an earlier edit's file may hold the user's unsaved work.
    for (int attempt = 1; attempt <= kMaxTempFileAttempts; ++attempt) {
        std::u16string candidate = TempFileCandidate(folder, base, extension, attempt);
        CreateResult result = CreateResult::kFailed;
        FileHandle file = system.CreateNewFile(candidate, result);
        if (result == CreateResult::kCreated && file) {
            path = std::move(candidate);
            return file;
        }
        if (result != CreateResult::kExists)
            return nullptr;
    }
    return nullptr;
}

bool CopyBoxText(CEditEngine& engine, CClipboardBackup& backup, std::u16string& text) {
    ISystem& system = engine.System();
    backup.Backup();
    // Emptied so that the arrival of the copied text can be seen.
    if (OpenClipboardPatiently(system)) {
        system.EmptyClipboard();
        system.CloseClipboard();
    }
    SendCtrlKeys(system, CopyLetters(engine.EditOnlySelection != 0));
    const std::int64_t limit = CopyWaitLimit(engine.EffectiveDelay());
    if (limit > 0)
        // Ends the moment the copy lands; the 20 ms look is for a system that cannot tell.
        system.WaitWatchingClipboard(static_cast<std::uint32_t>(std::min<std::int64_t>(limit, 0xFFFFFFFF)),
                                     [&] { return system.IsClipboardFormatAvailable(clip::kUnicodeText); },
                                     kCopyPollMs);
    bool copied = false;
    if (OpenClipboardPatiently(system)) {
        copied = system.GetClipboardText(text);
        system.CloseClipboard();
    }
    return copied;
}

void LaunchEditor(ISystem& system, const std::u16string& editor, const std::u16string& parameters,
                  const std::u16string& path) {
    if (editor.empty()) {
        system.ShellOpen(path, u"");
        return;
    }
    const std::u16string arguments = SubstituteParameters(parameters, path);
    // A program file is started directly: the same command line the shell would build,
    // without the shell's own start-up, which is most of the wait for the editor. Anything
    // else (scripts, registered names, programs that need elevation) goes to the shell.
    if (IsDirectProgram(editor) && system.StartProgram(editor, arguments))
        return;
    system.ShellOpen(editor, arguments);
}

void WriteBack(CEditEngine& engine, const std::string& savedBytes) {
    ISystem& system = engine.System();
    std::u16string decoded;
    // Less than the file holds would replace the box's whole text with part of it: a file
    // that cannot be read as text leaves the box as it is.
    if (!DecodeSavedText(savedBytes, [&](const std::string& b) { return system.FromAnsi(b); }, decoded))
        return;
    const std::u16string text = NormalizeLineEnds(decoded);

    CClipboardBackup backup(system);
    backup.Backup();
    if (OpenClipboardPatiently(system)) {
        system.EmptyClipboard();
        const bool put = system.SetClipboardText(text);
        system.CloseClipboard();
        // Without the text on the clipboard a paste would put the user's own clipboard
        // content into the box.
        if (put)
            SendCtrlKeys(system, PasteLetters(engine.Insert != 0));
    }
    // The text box reads the clipboard when the keys arrive: give it the time.
    system.PauseServingMessages(static_cast<std::uint32_t>(engine.EffectiveDelay()));
    // A box still inserting a long text keeps the clipboard open meanwhile: wait for it
    // rather than lose the user's clipboard.
    backup.Restore(kRestoreAfterPasteRetryMs);
}

namespace {

// Marks the engine busy with a copy or a paste while the scope lasts. Their waits answer
// messages sent to the program, and what such a message starts must not begin a second
// copy or paste on the same clipboard and keyboard in the middle of the first.
class CBusyScope {
public:
    explicit CBusyScope(bool& busy) : m_busy(busy) { m_busy = true; }
    ~CBusyScope() { m_busy = false; }
    CBusyScope(const CBusyScope&) = delete;
    CBusyScope& operator=(const CBusyScope&) = delete;

private:
    bool& m_busy;
};

}  // namespace

void CEditEngine::StartEdit(HWND target, int choiceIndex) {
    if (m_busy || !target)
        return;
    try {
        ISystem& system = m_system;
        // A row whose extension cannot name a file in the temporary folder starts nothing:
        // not even the keys of the copy.
        const int rows = static_cast<int>(Extensions.size());
        if (choiceIndex >= 0 && choiceIndex < rows &&
            !IsValidExtension(Extensions[static_cast<std::size_t>(choiceIndex)].Extension))
            return;
        // The text is taken, and the user's clipboard put back, before the New Extension
        // dialog may open: the user can copy and paste in it (or anywhere) meanwhile, and
        // whatever they copy is theirs, neither the file's text nor overwritten afterwards.
        std::u16string text;
        bool copied = false;
        CClipboardBackup backup(system);
        if (SaveContent) {
            CBusyScope busy(m_busy);
            copied = CopyBoxText(*this, backup, text);
            // A row of the table needs no dialog: its file is written first and the
            // clipboard put back after, so that the editor has its file sooner.
            if (choiceIndex < 0 || choiceIndex >= rows)
                backup.Restore();
        }
        const EXTENSIONREC rec = ChooseExtension(*this, choiceIndex);
        if (!IsValidExtension(rec.Extension))
            return;
        std::u16string path;
        CSeamFile file(system, CreateTempFile(system, ResolveTempFolder(*this), MakeTempFileName(system),
                                              rec.Extension, path));
        if (!file.Get())
            return;
        if (copied)
            system.WriteFile(file.Get(), EncodeTempFileText(text, rec.UTF8 != 0, [&](const std::u16string& t) {
                                 return system.ToAnsi(t);
                             }));
        // The time of our own write, taken at once: a save that lands while the clipboard is
        // put back must count as the user's.
        std::uint32_t low = 0;
        system.GetLastWriteLow(file.Get(), low);
        openEdits.push_back(OpenEdit{target, path, low});
        {
            CBusyScope busy(m_busy);
            backup.Restore();  // nothing left to do when the dialog's turn put it back
        }
        file.Close();
        LaunchEditor(system, rec.Editor, rec.Parameters, path);
    } catch (...) {
        // Called from a window message: nothing may unwind further. The backup has put
        // the clipboard back on its way out.
    }
}

bool CEditEngine::PollEdit(HWND focused) {
    // A copy or paste under way: this return of the focus is looked at again later.
    if (m_busy)
        return false;
    try {
        const int index = FindNewestEdit(focused);
        if (index < 0)
            return true;
        CSeamFile file(m_system, m_system.OpenFileForRead(openEdits[static_cast<std::size_t>(index)].tempPath));
        if (!file.Get())
            return true;  // deleted, or locked by the editor: looked at again next time
        std::uint32_t low = 0;
        if (!m_system.GetLastWriteLow(file.Get(), low))
            return true;
        OpenEdit& edit = openEdits[static_cast<std::size_t>(index)];
        if (low != edit.lastWriteLow) {
            // A file that cannot be read now is looked at again at the next return.
            std::string bytes;
            if (!m_system.ReadFile(file.Get(), bytes))
                return true;
            edit.lastWriteLow = low;
            // Closed before the paste and its pause: an editor that saves again right
            // then, opening the file for itself alone, must not fail.
            file.Close();
            CBusyScope busy(m_busy);
            WriteBack(*this, bytes);
        }
    } catch (...) {
        // A text too large to hold: the box keeps what it has.
    }
    return true;
}

void CEditEngine::PurgeClosedEdits() {
    for (int i = static_cast<int>(openEdits.size()) - 1; i >= 0; --i) {
        const OpenEdit& edit = openEdits[static_cast<std::size_t>(i)];
        if (m_system.IsWindow(edit.hTarget))
            continue;
        if (DeleteTempFile)
            pendingDeletes.push_back(edit.tempPath);
        openEdits.erase(openEdits.begin() + i);
    }
}

}  // namespace quillon
