// The table of open edits and the stamps that tell one save from another.
#include "engine/edit_table.h"

#include <algorithm>

#include "engine/edit_rules.h"
#include "engine/temp_files.h"

namespace quillon {

SaveStamp SaveStamp::Of(std::uint32_t low, std::string_view bytes) {
    return SaveStamp{low, true, bytes.size(), ContentHash(bytes)};
}

bool SaveStamp::IsOtherSave(const SaveStamp& now) const {
    // The bytes decide when they are known: a time alone moves without a save (stamped again
    // at close, an editor's Ctrl+S with nothing changed, a copy tool touching the file), and
    // pasting the same text again would flatten the box's formatting or double an insert.
    if (contentKnown && now.contentKnown)
        return now.size != size || now.hash != hash;
    return now.low != low;
}

bool ReadStamp(IFiles& files, const std::u16string& path, SaveStamp& stamp, std::string* bytes) {
    CScopedSeamFile file(files, files.OpenFileForRead(path));
    std::uint32_t low = 0;
    std::string read;
    if (!file.Get() || !files.GetLastWriteLow(file.Get(), low) || !files.ReadFile(file.Get(), read))
        return false;
    stamp = SaveStamp::Of(low, read);
    if (bytes)
        *bytes = std::move(read);
    return true;
}

bool IsNewSave(const OpenEdit& edit, std::uint32_t low, const std::string& bytes) {
    return edit.last.IsOtherSave(SaveStamp::Of(low, bytes));
}

bool OpenEdit::TellOnce(std::uint32_t saveLow) {
    if (told && toldLow == saveLow)
        return false;
    told = true;
    toldLow = saveLow;
    return true;
}

int CEditTable::FindNewest(HWND box) const {
    for (int i = static_cast<int>(edits.size()) - 1; i >= 0; --i)
        if (edits[static_cast<std::size_t>(i)].hTarget == box)
            return i;
    return -1;
}

void CEditTable::PurgeClosed(ISystem& system, bool deleteFiles) {
    for (int i = static_cast<int>(edits.size()) - 1; i >= 0; --i) {
        const OpenEdit& edit = edits[static_cast<std::size_t>(i)];
        WindowFacts facts;
        if (system.IsWindow(edit.hTarget) &&
            (!system.DescribeWindow(edit.hTarget, facts) || facts == edit.targetFacts))
            continue;
        if (deleteFiles && !HasUnpastedSave(system, edit))
            pendingDeletes.push_back({edit.tempPath, edit.last});
        edits.erase(edits.begin() + i);
    }
}

bool CEditTable::Stop(IFiles& files, const std::u16string& path, bool deleteFiles, bool& unpasted) {
    auto edit =
        std::find_if(edits.begin(), edits.end(), [&](const OpenEdit& e) { return e.tempPath == path; });
    if (edit == edits.end())
        return false;
    unpasted = HasUnpastedSave(files, *edit);
    if (!unpasted && deleteFiles)
        pendingDeletes.push_back({edit->tempPath, edit->last});
    edits.erase(edit);
    return true;
}

void CEditTable::DeleteFilesAtExit(IFiles& files) const {
    for (const auto& ended : pendingDeletes)
        DeleteIfUnchanged(files, ended.path, ended.stamp);
    for (const auto& edit : edits)
        DeleteIfUnchanged(files, edit.tempPath, edit.last);
}

} // namespace quillon
