// The steps of the edit road beside the box: the row, the temporary file, the editor, and a save's text.
#include "engine/edit_road.h"

#include <algorithm>
#include <utility>

#include "engine/edit_engine.h"
#include "engine/edit_rules.h"

namespace quillon {

EXTENSIONREC ChooseExtension(CEditEngine& engine, int choiceIndex) {
    const int rows = static_cast<int>(engine.Settings().Extensions.size());
    if (choiceIndex >= 0 && choiceIndex < rows)
        return engine.Settings().Extensions[static_cast<std::size_t>(choiceIndex)];
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
        engine.Settings().Extensions.push_back(chosen);
        host->ExtensionsChanged();
    }
    return chosen;
}

std::u16string ResolveTempFolder(CEditEngine& engine) {
    std::u16string folder =
        ResolveTempFolderPath(engine.Settings().moduleFolder, engine.Settings().TemporaryFolder);
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

namespace {

// A file without an editor: opened by its type's own editor, or shown by its type's program,
// or in the program the user picks; never run (see ChooseFileOpening).
LaunchOutcome OpenByType(IShell& shell, const std::u16string& path) {
    FileTypeFacts facts;
    facts.extension = ExtensionOf(path);
    facts.programExtensions = shell.ProgramExtensions();
    facts.edit = shell.FileTypeVerb(facts.extension, u"edit");
    if (!facts.edit.registered)
        facts.open = shell.FileTypeVerb(facts.extension, u"open");
    switch (ChooseFileOpening(facts)) {
    case FileOpening::kEditVerb:
        return shell.ShellVerb(path, u"edit") ? LaunchOutcome::kStarted : LaunchOutcome::kFailed;
    case FileOpening::kOpenVerb:
        return shell.ShellVerb(path, u"open") ? LaunchOutcome::kStarted : LaunchOutcome::kFailed;
    case FileOpening::kOpenWith:
        break;
    }
    switch (shell.OpenWithDialog(path)) {
    case OpenWithResult::kOpened:
        return LaunchOutcome::kStarted;
    case OpenWithResult::kCancelled:
        return LaunchOutcome::kCancelled;
    case OpenWithResult::kUnavailable:
        break;
    }
    // The "openas" verb shows the same choice, but only where the type registers it: a shell
    // that does not know a verb may run the file in its place.
    if (shell.FileTypeVerb(facts.extension, u"openas").registered)
        return shell.ShellVerb(path, u"openas") ? LaunchOutcome::kStarted : LaunchOutcome::kFailed;
    return LaunchOutcome::kNoSafeWay;
}

} // namespace

LaunchOutcome LaunchEditor(IShell& shell, const std::u16string& editor, const std::u16string& parameters,
                           const std::u16string& path) {
    if (editor.empty())
        return OpenByType(shell, path);
    const std::u16string arguments = SubstituteParameters(parameters, path);
    // A program file is started directly: the same command line the shell would build,
    // without the shell's own start-up, which is most of the wait for the editor. Anything
    // else (scripts, registered names, programs that need elevation) goes to the shell.
    if (IsDirectProgram(editor) && shell.StartProgram(editor, arguments))
        return LaunchOutcome::kStarted;
    return shell.ShellOpen(editor, arguments) ? LaunchOutcome::kStarted : LaunchOutcome::kFailed;
}

LaunchOutcome LaunchEditor(IShell& shell, const EditorStart& start) {
    return LaunchEditor(shell, start.editor, start.parameters, start.path);
}

bool SavedTextOf(IAnsiText& ansi, const std::string& savedBytes, bool boxTextEndedWithBreak,
                 std::u16string& text) {
    std::u16string decoded;
    // Less than the file holds would replace the box's whole text with part of it: a file
    // that cannot be read as text leaves the box as it is.
    if (!DecodeSavedText(
            savedBytes, [&](const std::string& b) { return ansi.FromAnsi(b); }, decoded))
        return false;
    text = NormalizeLineEnds(DropAddedLineBreak(std::move(decoded), boxTextEndedWithBreak));
    return true;
}

} // namespace quillon
