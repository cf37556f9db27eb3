// Matching the per-program rules, and folding case for names and titles.
#include "engine/program_rules.h"

#include <algorithm>

namespace quillon {
namespace {

char16_t Fold(char16_t c) {
    if (c < 0x80)
        return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 0x20) : c;
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) ||
        (c >= 0x410 && c <= 0x42F))
        return static_cast<char16_t>(c + 0x20);
    if (c >= 0x400 && c <= 0x40F)
        return static_cast<char16_t>(c + 0x50);
    return c;
}

bool SameUnit(char16_t a, char16_t b) {
    return Fold(a) == Fold(b);
}

} // namespace

bool SameIgnoringCase(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), SameUnit);
}

bool ContainsIgnoringCase(std::u16string_view text, std::u16string_view part) {
    return std::search(text.begin(), text.end(), part.begin(), part.end(), SameUnit) != text.end();
}

std::u16string ProgramFileName(std::u16string_view path) {
    const std::size_t cut = path.find_last_of(u"\\/");
    return std::u16string(cut == std::u16string_view::npos ? path : path.substr(cut + 1));
}

bool RuleMatches(const RULEREC& rule, std::u16string_view program, std::u16string_view title) {
    return (rule.Program.empty() || SameIgnoringCase(rule.Program, program)) &&
           (rule.Title.empty() || ContainsIgnoringCase(title, rule.Title));
}

RuleChoice ChooseByRules(const std::vector<RULEREC>& rules, const std::vector<EXTENSIONREC>& rows,
                         std::u16string_view program, std::u16string_view title) {
    RuleChoice choice;
    bool decided = false;
    for (const RULEREC& rule : rules) {
        if (!RuleMatches(rule, program, title))
            continue;
        if (rule.QuietFormatting)
            choice.quietFormatting = true;
        if (decided || rule.Extension.empty())
            continue;
        const auto row = std::find_if(rows.begin(), rows.end(), [&](const EXTENSIONREC& r) {
            return SameIgnoringCase(r.Extension, rule.Extension);
        });
        if (row == rows.end())
            continue;
        choice.row = static_cast<int>(row - rows.begin());
        choice.showList = rule.List != 0;
        decided = true;
    }
    return choice;
}

std::vector<RULEREC> RememberChoice(std::vector<RULEREC> rules, const std::u16string& program,
                                    const std::u16string& extension) {
    if (program.empty())
        return rules;
    // "Always" is for every window of the program: its rule goes first, where no rule made
    // earlier for it (one for some titles included) can win over it.
    BOOL32 quiet = 0;
    rules.erase(std::remove_if(rules.begin(), rules.end(),
                               [&](const RULEREC& r) {
                                   const bool own = r.Title.empty() && SameIgnoringCase(r.Program, program);
                                   if (own && r.QuietFormatting)
                                       quiet = 1;
                                   return own;
                               }),
                rules.end());
    rules.insert(rules.begin(), RULEREC(program, u"", extension, 0, quiet));
    return rules;
}

} // namespace quillon
