// The per-program rules: which rule decides the choice for the box's program and window,
// what the choice list's "always" item remembers, and the word about formatting lost.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "config/settings.h"

namespace quillon {

// Equality and containment without regard to case, for program names and window titles:
// ASCII, Latin-1, Greek and Cyrillic letters fold (what file names and titles mostly use).
bool SameIgnoringCase(std::u16string_view a, std::u16string_view b);
bool ContainsIgnoringCase(std::u16string_view text, std::u16string_view part);

// The file name of a program path: what follows its last backslash or slash.
std::u16string ProgramFileName(std::u16string_view path);

// Whether the rule is about this program and window title (an empty field matches anything).
bool RuleMatches(const RULEREC& rule, std::u16string_view program, std::u16string_view title);

// What the rules say about an edit in a program's window.
struct RuleChoice {
    int row = -1;         // the extension row to start with; -1: no rule picks one
    bool showList = true; // false: start at once with the row, without the list
    bool quietFormatting = false;
};

// The first matching rule whose extension the table has decides the row; a rule naming an
// extension the table lacks (or none) is passed over, so it can stay in the file for a table
// that gets the row back. Formatting is quiet when any matching rule says so, which lets a
// rule without an extension do nothing but that.
RuleChoice ChooseByRules(const std::vector<RULEREC>& rules, const std::vector<EXTENSIONREC>& rows,
                         std::u16string_view program, std::u16string_view title);

// The rules after the user chose "always this extension in this program" in the choice list:
// the program's own rule for every title is replaced by one that starts with the extension at
// once, placed first so that no older rule of the program (one for some titles) wins over it.
// A program's quiet formatting stays quiet.
std::vector<RULEREC> RememberChoice(std::vector<RULEREC> rules, const std::u16string& program,
                                    const std::u16string& extension);

// The clipboard formats through which a copy brings formatted text (a mail composer, a word
// processor, a web editor): saving the plain text of the file replaces that formatting.
constexpr char16_t kHtmlFormatName[] = u"HTML Format";
constexpr char16_t kRichTextFormatName[] = u"Rich Text Format";

namespace notice {
constexpr char16_t kFormattingLost[] =
    u"The text box holds formatted text. Saving in the editor replaces it with plain text; "
    u"Ctrl+Z in the box brings the formatting back.";
} // namespace notice

} // namespace quillon
