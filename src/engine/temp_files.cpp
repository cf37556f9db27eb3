// The temporary files' end: kept when they hold unpasted text, deleted at exit or at the
// end of the session, and what could not be deleted then, at the next start.
#include "engine/temp_files.h"

#include "base/u16.h"
#include "engine/edit_road.h"
#include "engine/edit_rules.h"

namespace quillon {

namespace {

std::u16string LeftoverListPath(CEditEngine& engine) {
    return ResolveTempFolderPath(engine.moduleFolder, engine.TemporaryFolder) + kLeftoverListName;
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
    FileHandle file = files.OpenFileForRead(edit.tempPath);
    if (!file)
        return false; // gone, or held: a delete then fails on its own
    std::uint32_t low = 0;
    std::string bytes;
    const bool known = files.GetLastWriteLow(file, low) && files.ReadFile(file, bytes);
    files.CloseFile(file);
    return !known || IsNewSave(edit, low, bytes);
}

void EndSessionTempFiles(CEditEngine& engine) {
    if (!engine.DeleteTempFile)
        return;
    IFiles& files = engine.System();
    std::vector<std::u16string> left;
    auto remove = [&](const std::u16string& path) {
        if (!files.DeleteFile(path))
            left.push_back(path);
    };
    for (const auto& path : engine.pendingDeletes)
        remove(path);
    for (const auto& edit : engine.openEdits)
        if (!HasUnpastedSave(files, edit))
            remove(edit.tempPath);
    const std::u16string list = LeftoverListPath(engine);
    files.DeleteFile(list);
    if (left.empty())
        return;
    std::string lines;
    for (const auto& path : left)
        lines += ToUtf8(path) + "\n";
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
    const std::u16string folder = ResolveTempFolderPath(engine.moduleFolder, engine.TemporaryFolder);
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string::npos)
            end = bytes.size();
        const std::u16string path = FromUtf8(std::string_view(bytes).substr(start, end - start));
        if (IsOurTempFile(folder, path))
            files.DeleteFile(path);
        start = end + 1;
    }
    // Tried once: a file still held now is the user's to keep.
    files.DeleteFile(list);
}

} // namespace quillon
