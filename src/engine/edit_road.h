// The steps of the edit road that need neither the box nor its route, each on its own so it
// can be tested: the row, the temporary folder and file, the editor, and a save's text.
#pragma once
#include <string>
#include <string_view>

#include "config/settings.h"
#include "engine/system.h"
#include "engine/text_route.h"

namespace quillon {

class CEditEngine;

// The row for the choice list's item: a copy of the table's row, or one asked for with
// the New Extension dialog (appended to the table when the user wants it kept). A
// cancelled choice gives a row with an empty Extension.
EXTENSIONREC ChooseExtension(CEditEngine& engine, int choiceIndex);

// The temporary folder, with a trailing backslash unless empty, created if missing.
std::u16string ResolveTempFolder(CEditEngine& engine);

// "Quillon_" + the local time as HH_MM_SS.
std::u16string MakeTempFileName(IClock& clock);

// Creates a temporary file that did not exist: folder + base + "." + extension, or with
// "_2", "_3", ... before the dot when that name is taken. Null when creation fails.
FileHandle CreateTempFile(IFiles& files, const std::u16string& folder, const std::u16string& base,
                          const std::u16string& extension, std::u16string& path);

// Starts the editor on the file (an ".exe" directly, anything else through the shell). With
// no Editor the file is opened by its type without ever being run: the type's "edit" verb, the
// "open" of a document type, else the "Open with" choice; where none of these is to be had,
// nothing is opened (kNoSafeWay). It may take seconds: not for the UI thread.
LaunchOutcome LaunchEditor(IShell& shell, const std::u16string& editor, const std::u16string& parameters,
                           const std::u16string& path);
LaunchOutcome LaunchEditor(IShell& shell, const EditorStart& start);

// The text of a saved file as it is to be pasted (CR LF line ends, and without the line
// break an editor added at the end unless the box's text ended with one); false when its
// bytes cannot be read whole as text, which pastes nothing.
bool SavedTextOf(IAnsiText& ansi, const std::string& savedBytes, bool boxTextEndedWithBreak,
                 std::u16string& text);

} // namespace quillon
