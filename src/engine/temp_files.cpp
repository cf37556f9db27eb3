// The temporary files' end: kept when they hold unpasted text, deleted at exit or at the
// end of the session, and what could not be deleted then, at the next start.
#include "engine/temp_files.h"

#include <cstdio>

#include "base/u16.h"
#include "engine/edit_road.h"
#include "engine/edit_rules.h"

namespace quillon {

namespace {

std::u16string LeftoverListPath(CEditEngine& engine) {
    return ResolveTempFolderPath(engine.Settings().moduleFolder, engine.Settings().TemporaryFolder) +
           kLeftoverListName;
}

// Whether a listed path names one of our temporary files in the folder: a damaged or
// foreign list must not delete anything else.
bool IsOurTempFile(const std::u16string& folder, const std::u16string& path) {
    const std::u16string prefix = folder + u"Quillon_";
    if (path.size() <= prefix.size() || path.compare(0, prefix.size(), prefix) != 0)
        return false;
    const std::u16string name = path.substr(folder.size());
    return name.find_first_of(u"\\/:") == std::u16string::npos && name != kLeftoverListName;
}

} // namespace

bool HasUnpastedSave(IFiles& files, const OpenEdit& edit) {
    SaveStamp now;
    // Gone, or held: a later delete checks again.
    return ReadStamp(files, edit.tempPath, now) && edit.last.IsOtherSave(now);
}

DeleteOutcome DeleteIfUnchanged(IFiles& files, const std::u16string& path, const SaveStamp& known) {
    SaveStamp now;
    if (!ReadStamp(files, path, now))
        return DeleteOutcome::kNotNow;
    if (known.IsOtherSave(now))
        return DeleteOutcome::kChanged;
    return files.DeleteFile(path) ? DeleteOutcome::kDeleted : DeleteOutcome::kNotNow;
}

void EndSessionTempFiles(CEditEngine& engine) {
    if (!engine.Settings().DeleteTempFile)
        return;
    IFiles& files = engine.System();
    // One line a file: its path, then the size and hash of the save it was known as.
    std::string lines;
    auto remove = [&](const std::u16string& path, const SaveStamp& known) {
        if (DeleteIfUnchanged(files, path, known) != DeleteOutcome::kNotNow || !known.contentKnown)
            return;
        char stamp[48];
        std::snprintf(stamp, sizeof stamp, "\t%llu\t%016llx\n", static_cast<unsigned long long>(known.size),
                      static_cast<unsigned long long>(known.hash));
        lines += ToUtf8(path) + stamp;
    };
    for (const auto& ended : engine.table.pendingDeletes)
        remove(ended.path, ended.stamp);
    for (const auto& edit : engine.table.edits)
        remove(edit.tempPath, edit.last);
    const std::u16string list = LeftoverListPath(engine);
    files.DeleteFile(list);
    if (lines.empty())
        return;
    CreateResult result = CreateResult::kFailed;
    if (FileHandle file = files.CreateNewFile(list, result)) {
        files.WriteFile(file, lines);
        files.CloseFile(file);
    }
}

void DeleteFilesLeftLastSession(CEditEngine& engine) {
    IFiles& files = engine.System();
    const std::u16string list = LeftoverListPath(engine);
    FileHandle file = files.OpenFileForRead(list);
    if (!file)
        return;
    std::string bytes;
    const bool read = files.ReadFile(file, bytes);
    files.CloseFile(file);
    if (!read)
        return;
    const std::u16string folder =
        ResolveTempFolderPath(engine.Settings().moduleFolder, engine.Settings().TemporaryFolder);
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string::npos)
            end = bytes.size();
        const std::string line = bytes.substr(start, end - start);
        start = end + 1;
        // A line without the save it was known as (or a damaged one) deletes nothing.
        const std::size_t tab = line.find('\t');
        unsigned long long size = 0, hash = 0;
        if (tab == std::string::npos || std::sscanf(line.c_str() + tab, "\t%llu\t%llx", &size, &hash) != 2)
            continue;
        const std::u16string path = FromUtf8(std::string_view(line).substr(0, tab));
        SaveStamp known;
        known.contentKnown = true;
        known.size = size;
        known.hash = hash;
        if (IsOurTempFile(folder, path))
            DeleteIfUnchanged(files, path, known);
    }
    // Tried once: a file still held now is the user's to keep.
    files.DeleteFile(list);
}

} // namespace quillon
