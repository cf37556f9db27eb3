// The temporary files' end: which may be deleted at exit, and what is left for the next
// start when Windows ends the session.
#pragma once
#include <string>

#include "engine/edit_engine.h"
#include "engine/edit_table.h"

namespace quillon {

// The list, in the temporary folder, of files that could not be deleted when the last
// session ended.
constexpr char16_t kLeftoverListName[] = u"Quillon_leftovers.lst";

// Whether the edit's file holds a save that never reached its box: its last-write time is
// not the one last seen (our own write, or the last save pasted back). The user's text may
// exist nowhere else once the editor is closed, so such a file is never deleted.
bool HasUnpastedSave(IFiles& files, const OpenEdit& edit);

// Deletes the file only while it is the save it was known as: one the user saved into since
// is their only copy of that text and stays, and so does one that cannot be read now.
enum class DeleteOutcome { kDeleted, kChanged, kNotNow };
DeleteOutcome DeleteIfUnchanged(IFiles& files, const std::u16string& path, const SaveStamp& known);

// When Windows ends the session (the process may be ended at any moment after): with
// DeleteTempFile set, deletes the files of ended edits and of open edits without an
// unpasted save, and lists those that could not be deleted (an editor closing too still
// holds them) with the save they were known as, for the next start.
void EndSessionTempFiles(CEditEngine& engine);

// At start: deletes the files the last session listed that are still the save listed, only
// ever our own temporary files in the temporary folder, then the list.
void DeleteFilesLeftLastSession(CEditEngine& engine);

} // namespace quillon
