// The defaults, comparison and merging of the settings, driven by the settings table.
#include "config/settings_table.h"

#include <algorithm>

namespace quillon {

SettingsFields::SettingsFields() {
    for (const SettingEntry& entry : kSettingsTable) {
        switch (entry.kind) {
        case SettingKind::kWord:
            this->*entry.word = static_cast<std::uint16_t>(entry.defaultValue);
            break;
        case SettingKind::kBool:
        case SettingKind::kNumber:
            this->*entry.number = entry.defaultValue;
            break;
        case SettingKind::kText:
            (this->*entry.text).clear();
            break;
        }
    }
    Extensions = DefaultExtensions();
}

std::vector<EXTENSIONREC> DefaultExtensions() {
    return {EXTENSIONREC(u"txt", u"", u"", 1)};
}

bool SameSetting(const SettingEntry& entry, const SettingsFields& a, const SettingsFields& b) {
    switch (entry.kind) {
    case SettingKind::kWord:
        return a.*entry.word == b.*entry.word;
    case SettingKind::kBool:
        return (a.*entry.number != 0) == (b.*entry.number != 0);
    case SettingKind::kNumber:
        return a.*entry.number == b.*entry.number;
    case SettingKind::kText:
        return a.*entry.text == b.*entry.text;
    }
    return false;
}

void CopySetting(const SettingEntry& entry, const SettingsFields& from, SettingsFields& to) {
    switch (entry.kind) {
    case SettingKind::kWord:
        to.*entry.word = from.*entry.word;
        break;
    case SettingKind::kBool:
    case SettingKind::kNumber:
        to.*entry.number = from.*entry.number;
        break;
    case SettingKind::kText:
        to.*entry.text = from.*entry.text;
        break;
    }
}

bool SameSettings(const SettingsFields& a, const SettingsFields& b) {
    for (const SettingEntry& entry : kSettingsTable)
        if (!SameSetting(entry, a, b))
            return false;
    return a.Extensions == b.Extensions && a.Rules == b.Rules;
}

namespace {

const EXTENSIONREC* FindRow(const std::vector<EXTENSIONREC>& rows, const std::u16string& extension) {
    auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; };
    for (const EXTENSIONREC& row : rows)
        if (row.Extension.size() == extension.size() &&
            std::equal(row.Extension.begin(), row.Extension.end(), extension.begin(),
                       [&](char16_t a, char16_t b) { return lower(a) == lower(b); }))
            return &row;
    return nullptr;
}

// The rows merge by extension: what the user did in the program since the table was last read
// (a row added, changed, removed or moved) goes over the file as someone else left it, whose
// own additions, changes and removals of the other rows stay.
std::vector<EXTENSIONREC> MergeRows(const std::vector<EXTENSIONREC>& base,
                                    const std::vector<EXTENSIONREC>& mine,
                                    const std::vector<EXTENSIONREC>& theirs) {
    std::vector<EXTENSIONREC> merged;
    for (const EXTENSIONREC& row : mine) {
        const EXTENSIONREC* was = FindRow(base, row.Extension);
        if (!was || !(*was == row))
            merged.push_back(row); // the user's own
        else if (const EXTENSIONREC* now = FindRow(theirs, row.Extension))
            merged.push_back(*now); // as the file has it now (a row removed by hand stays removed)
    }
    for (const EXTENSIONREC& row : theirs)
        if (!FindRow(base, row.Extension) && !FindRow(mine, row.Extension))
            merged.push_back(row); // added by hand meanwhile
    return merged;
}

} // namespace

SettingsFields MergeSettings(const SettingsFields& base, const SettingsFields& mine,
                             const SettingsFields& theirs) {
    SettingsFields merged = theirs;
    for (const SettingEntry& entry : kSettingsTable)
        if (!SameSetting(entry, base, mine))
            CopySetting(entry, mine, merged);
    if (base.Extensions != mine.Extensions)
        merged.Extensions = MergeRows(base.Extensions, mine.Extensions, theirs.Extensions);
    if (base.Rules != mine.Rules)
        merged.Rules = mine.Rules;
    return merged;
}

} // namespace quillon
