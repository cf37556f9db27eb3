// The steps of the edit road, each on its own so it can be tested: starting an edit
// (copy, file, editor) and writing saved text back (paste).
#pragma once
#include <string>
#include <string_view>

#include "config/settings.h"
#include "engine/system.h"

namespace quillon {

class CEditEngine;
class CClipboardBackup;

// Ctrl plus the letters, as one batch of input (see PlanCtrlKeys).
void SendCtrlKeys(ISystem& system, std::string_view letters);

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

// Copies the focused text box's text with Ctrl+A, Ctrl+C (Ctrl+C alone with
// EditOnlySelection) and waits up to 2.5 x Delay for it; the user's clipboard is saved
// in backup before, for the caller to put back. False when no text arrived.
bool CopyBoxText(CEditEngine& engine, CClipboardBackup& backup, std::u16string& text);

// Starts the editor on the file (an ".exe" directly, anything else through the shell), or
// the shell's "open" of the file when Editor is empty.
void LaunchEditor(IShell& shell, const std::u16string& editor, const std::u16string& parameters,
                  const std::u16string& path);

// Pastes the saved file's text (its bytes as read) into the focused text box, the
// clipboard saved and restored around it; bytes that cannot be read whole as text paste
// nothing. A line break the editor added at the end is dropped unless the box's text
// ended with one.
void WriteBack(CEditEngine& engine, const std::string& savedBytes, bool boxTextEndedWithBreak);

}  // namespace quillon
