// The defaults, comparison and merging of the settings, driven by the settings table.
#include "config/settings_table.h"

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

SettingsFields MergeSettings(const SettingsFields& base, const SettingsFields& mine,
                             const SettingsFields& theirs) {
    SettingsFields merged = theirs;
    for (const SettingEntry& entry : kSettingsTable)
        if (!SameSetting(entry, base, mine))
            CopySetting(entry, mine, merged);
    if (base.Extensions != mine.Extensions)
        merged.Extensions = mine.Extensions;
    if (base.Rules != mine.Rules)
        merged.Rules = mine.Rules;
    return merged;
}

} // namespace quillon
