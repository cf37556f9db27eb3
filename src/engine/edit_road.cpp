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

constexpr std::int32_t kCopyPollMs = 20;

}  // namespace

void SendCtrlKeys(ISystem& system, std::string_view letters) {
    // Looked at once, just before the batch: the batch itself cannot be interleaved with
    // the user's own key releases.
    const bool altDown = system.IsKeyDown(vk::kMenu);
    const bool shiftDown = system.IsKeyDown(vk::kShift);
    const bool ctrlDown = system.IsKeyDown(vk::kControl);
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

void WriteClipboardTextToFile(ISystem& system, FileHandle file, bool utf8) {
    std::u16string text;
    if (system.GetClipboardText(text)) {
        system.WriteFile(file, EncodeTempFileText(text, utf8, [&](const std::u16string& t) {
                             return system.ToAnsi(t);
                         }));
    }
    system.CloseClipboard();
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
    const std::u16string text = NormalizeLineEnds(
        DecodeSavedText(savedBytes, [&](const std::string& b) { return system.FromAnsi(b); }));

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
    system.Sleep(static_cast<std::uint32_t>(engine.EffectiveDelay()));
    // A box still inserting a long text keeps the clipboard open meanwhile: wait for it
    // rather than lose the user's clipboard.
    backup.Restore(kRestoreAfterPasteRetryMs);
}

void CEditEngine::StartEdit(HWND target, int choiceIndex) {
    try {
        ISystem& system = m_system;
        CClipboardBackup backup(system);
        if (SaveContent) {
            backup.Backup();
            // Emptied so that the arrival of the copied text can be seen.
            if (OpenClipboardPatiently(system)) {
                system.EmptyClipboard();
                system.CloseClipboard();
            }
            SendCtrlKeys(system, CopyLetters(EditOnlySelection != 0));
        }
        // May run the New Extension dialog; the keys above went out while the text box
        // still had the focus.
        const EXTENSIONREC rec = ChooseExtension(*this, choiceIndex);
        if (rec.Extension.empty()) {
            backup.Restore();
            return;
        }
        if (SaveContent) {
            const std::int64_t limit = CopyWaitLimit(EffectiveDelay());
            for (std::int64_t elapsed = 0; elapsed < limit; elapsed += kCopyPollMs) {
                if (system.IsClipboardFormatAvailable(clip::kUnicodeText))
                    break;
                system.Sleep(kCopyPollMs);
            }
        }
        std::u16string path;
        CSeamFile file(system, CreateTempFile(system, ResolveTempFolder(*this), MakeTempFileName(system),
                                              rec.Extension, path));
        if (!file.Get()) {
            backup.Restore();
            return;
        }
        if (SaveContent) {
            if (OpenClipboardPatiently(system))
                WriteClipboardTextToFile(system, file.Get(), rec.UTF8 != 0);
            backup.Restore();
        }
        std::uint32_t low = 0;
        system.GetLastWriteLow(file.Get(), low);
        openEdits.push_back(OpenEdit{target, path, low});
        file.Close();
        LaunchEditor(system, rec.Editor, rec.Parameters, path);
    } catch (...) {
        // Called from a window message: nothing may unwind further. The backup has put
        // the clipboard back on its way out.
    }
}

void CEditEngine::PollEdit(HWND focused) {
    try {
        const int index = FindNewestEdit(focused);
        if (index < 0)
            return;
        CSeamFile file(m_system, m_system.OpenFileForRead(openEdits[static_cast<std::size_t>(index)].tempPath));
        if (!file.Get())
            return;  // deleted, or locked by the editor: looked at again next time
        std::uint32_t low = 0;
        if (!m_system.GetLastWriteLow(file.Get(), low))
            return;
        OpenEdit& edit = openEdits[static_cast<std::size_t>(index)];
        if (low != edit.lastWriteLow) {
            // A file that cannot be read now is looked at again at the next return.
            std::string bytes;
            if (!m_system.ReadFile(file.Get(), bytes))
                return;
            edit.lastWriteLow = low;
            // Closed before the paste and its pause: an editor that saves again right
            // then, opening the file for itself alone, must not fail.
            file.Close();
            WriteBack(*this, bytes);
        }
    } catch (...) {
        // A text too large to hold: the box keeps what it has.
    }
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
