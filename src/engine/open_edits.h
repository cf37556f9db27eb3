// The open edits as the user sees them in the tray menu: what each is, where it stands, and
// what the user can do with one (its editor again, its saved text, its file, an end to it).
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "engine/edit_engine.h"

namespace quillon {

// Where an edit stands, as its menu item says.
enum class EditStanding {
    kNoSaveYet, // nothing saved since it started
    kWaiting,   // a save that has not gone into its box yet: it exists only in the file
    kPasted,    // its last save went in
};

struct OpenEditSummary {
    std::u16string path; // the temporary file, which names the edit
    std::u16string program;
    std::u16string title;
    std::u16string extension;
    EditStanding standing = EditStanding::kNoSaveYet;
    int pastedHour = 0;
    int pastedMinute = 0;
};

// Every open edit, newest first.
std::vector<OpenEditSummary> SummarizeOpenEdits(CEditEngine& engine);

// A title cut to at most `limit` characters, with "..." where it was cut.
std::u16string ShortenTitle(std::u16string_view title, std::size_t limit);
// The menu item's text: program, shortened title, extension and standing, with the menu's
// accelerator marks (&) shown as they are.
std::u16string OpenEditMenuText(const OpenEditSummary& summary);
// "waiting for its box", "pasted 14:03", "no save yet".
std::u16string StandingText(const OpenEditSummary& summary);

// The actions on one edit, named by its file; each is false when the edit is gone (it ended
// while the menu was up) or the step failed, and tells the user what it cost them.
// The edit's editor starts again on its file.
bool ReopenEdit(CEditEngine& engine, const std::u16string& path);
// The last save goes on the clipboard as the user's own copy: no marks that keep it out of
// the clipboard history, and no clipboard of theirs comes back over it.
bool CopySavedText(CEditEngine& engine, const std::u16string& path);
// The file's folder opens with the file selected.
bool ShowEditFile(CEditEngine& engine, const std::u16string& path);
// The edit is watched no more. Its file goes with the others at exit, unless it holds a save
// that never reached the box: then it stays, and the user is told where.
bool StopEdit(CEditEngine& engine, const std::u16string& path);

namespace notice {
constexpr char16_t kSavedTextNotCopied[] =
    u"The saved text could not be put on the clipboard: another program is holding it, or the "
    u"file does not hold text. Try again in a moment.";
constexpr char16_t kStoppedWithSave[] = u"Quillon no longer watches this edit. Its save never reached the "
                                        u"text box and stays in ";
} // namespace notice

} // namespace quillon
