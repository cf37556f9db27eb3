// The settings table: each setting's key in the configuration file, its field, its kind and
// its default, written once. Reading, writing, the defaults, comparing and merging the
// settings, and the packaged default file all go through it.
#pragma once
#include <cstdint>
#include <string_view>
#include <vector>

#include "config/settings.h"

namespace quillon {

enum class SettingKind {
    kWord,   // unsigned 16-bit decimal; the low 16 bits of what is read are kept
    kBool,   // "True" or "False"; anything but "True" reads as 0
    kText,   // element text, escaped; an empty text is an empty element
    kNumber, // signed 32-bit decimal
};

struct SettingEntry {
    std::u16string_view key; // the element's name under Settings
    SettingKind kind;
    std::uint16_t SettingsFields::*word;  // kWord
    std::int32_t SettingsFields::*number; // kBool and kNumber (a BOOL is a 32-bit int)
    std::u16string SettingsFields::*text; // kText
    std::int32_t defaultValue;            // kWord, kBool, kNumber; a text's default is empty
};

// In the order the file holds them, which is also the only order they are read in.
inline constexpr SettingEntry kSettingsTable[] = {
    {u"HotKey", SettingKind::kWord, &SettingsFields::HotKey, nullptr, nullptr, hotkey::kDefault},
    {u"SaveContent", SettingKind::kBool, nullptr, &SettingsFields::SaveContent, nullptr, 1},
    {u"Insert", SettingKind::kBool, nullptr, &SettingsFields::Insert, nullptr, 0},
    {u"EditOnlySelection", SettingKind::kBool, nullptr, &SettingsFields::EditOnlySelection, nullptr, 0},
    // Empty here; the engine puts the user's temporary folder in at start, before the file is read.
    {u"TemporaryFolder", SettingKind::kText, nullptr, nullptr, &SettingsFields::TemporaryFolder, 0},
    {u"DeleteTempFile", SettingKind::kBool, nullptr, &SettingsFields::DeleteTempFile, nullptr, 1},
    {u"Delay", SettingKind::kNumber, nullptr, &SettingsFields::Delay, nullptr, 200},
    {u"UseEditMessages", SettingKind::kBool, nullptr, &SettingsFields::UseEditMessages, nullptr, 1},
};

// The extension table's default: one "txt" row opened with the shell's default program.
std::vector<EXTENSIONREC> DefaultExtensions();

// True when the setting holds the same value in both (booleans compare as true or false).
bool SameSetting(const SettingEntry& entry, const SettingsFields& a, const SettingsFields& b);
void CopySetting(const SettingEntry& entry, const SettingsFields& from, SettingsFields& to);
// Every setting of the table, the extension table and the rules.
bool SameSettings(const SettingsFields& a, const SettingsFields& b);

// The settings as read from `theirs` (a file changed by someone else) with every setting the
// user changed from `base` in `mine` put on top; the extension table's rows merge by their
// extension, and the rules count as one setting.
SettingsFields MergeSettings(const SettingsFields& base, const SettingsFields& mine,
                             const SettingsFields& theirs);

} // namespace quillon
