// The steps of the edit road: the copy, the temporary file, the editor, and the write-back.
#include "engine/edit_road.h"

#include <algorithm>
#include <utility>

#include "engine/clipboard_backup.h"
#include "engine/edit_engine.h"
#include "engine/edit_rules.h"

namespace quillon {

namespace {

constexpr std::uint32_t kCopyPollMs = 20;

}  // namespace

void SendCtrlKeys(ISystem& system, std::string_view letters) {
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

std::u16string MakeTempFileName(IClock& clock) {
    int hour = 0, minute = 0, second = 0;
    const bool known = clock.LocalTimeOfDay(hour, minute, second);
    return TempFileBaseName(known, hour, minute, second);
}

FileHandle CreateTempFile(IFiles& files, const std::u16string& folder, const std::u16string& base,
                          const std::u16string& extension, std::u16string& path) {
    // Never reuse a name: an earlier edit's file may hold the user's unsaved work.
    for (int attempt = 1; attempt <= kMaxTempFileAttempts; ++attempt) {
        std::u16string candidate = TempFileCandidate(folder, base, extension, attempt);
        CreateResult result = CreateResult::kFailed;
        FileHandle file = files.CreateNewFile(candidate, result);
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
    if (OpenClipboardPatiently(system, system)) {
        system.EmptyClipboard();
        system.CloseClipboard();
    }
    SendCtrlKeys(system, CopyLetters(engine.EditOnlySelection != 0));
    const std::int64_t limit = CopyWaitLimit(engine.EffectiveDelay());
    if (limit > 0)
        // Ends the moment the copy lands; the 20 ms look is for a system that cannot tell.
        system.WaitWatchingClipboard(engine.HostWindow(), static_cast<std::uint32_t>(std::min<std::int64_t>(limit, 0xFFFFFFFF)),
                                     [&] { return system.IsClipboardFormatAvailable(clip::kUnicodeText); },
                                     kCopyPollMs);
    bool copied = false;
    if (OpenClipboardPatiently(system, system)) {
        copied = system.GetClipboardText(text);
        system.CloseClipboard();
    }
    return copied;
}

void LaunchEditor(IShell& shell, const std::u16string& editor, const std::u16string& parameters,
                  const std::u16string& path) {
    if (editor.empty()) {
        shell.ShellOpen(path, u"");
        return;
    }
    const std::u16string arguments = SubstituteParameters(parameters, path);
    // A program file is started directly: the same command line the shell would build,
    // without the shell's own start-up, which is most of the wait for the editor. Anything
    // else (scripts, registered names, programs that need elevation) goes to the shell.
    if (IsDirectProgram(editor) && shell.StartProgram(editor, arguments))
        return;
    shell.ShellOpen(editor, arguments);
}

void WriteBack(CEditEngine& engine, const std::string& savedBytes, bool boxTextEndedWithBreak) {
    ISystem& system = engine.System();
    std::u16string decoded;
    // Less than the file holds would replace the box's whole text with part of it: a file
    // that cannot be read as text leaves the box as it is.
    if (!DecodeSavedText(savedBytes, [&](const std::string& b) { return system.FromAnsi(b); }, decoded))
        return;
    const std::u16string text =
        NormalizeLineEnds(DropAddedLineBreak(std::move(decoded), boxTextEndedWithBreak));

    CClipboardBackup backup(system, system, engine.HostWindow());
    backup.Backup();
    if (OpenClipboardPatiently(system, system)) {
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
    if (!backup.Restore(kRestoreAfterPasteRetryMs))
        engine.KeepForLaterRestore(backup);
}

}  // namespace quillon
