// The configuration file: where it lives, reading the settings from it and writing them
// back in its fixed layout, replacing the old file only once the new one is complete.
#pragma once
#include <string>

#include "config/config_platform.h"
#include "config/config_xml.h"
#include "config/settings.h"

namespace quillon {

constexpr char16_t kConfigFileName[] = u"QLNConfig.xml";
constexpr char16_t kConfigFolderName[] = u"Quillon";
// Beside the configuration file: the new text while it is written, and the copy of a file
// that could not be read, kept before the first save replaces it.
constexpr char16_t kConfigTempSuffix[] = u".new";
constexpr char16_t kConfigBackupSuffix[] = u".bak";

// The values of a rule's Formatting attribute; anything but "Quiet" tells.
constexpr char16_t kQuietFormatting[] = u"Quiet";
constexpr char16_t kTellFormatting[] = u"Tell";

struct ConfigLocation {
    std::u16string moduleFilePath;
    std::u16string moduleFolder; // without trailing backslash
    std::u16string configFilePath;
};

// The portable file beside the program when it exists (nothing else is touched then),
// else the file in the per-user "Quillon" folder, which is created one level deep.
ConfigLocation ResolveConfigLocation(IConfigPlatform& platform);

// The per-user application-data folder, never undefined: the shell's folder, else
// %APPDATA%, else the user's temporary folder, else the program's folder.
std::u16string UserDataFolder(IConfigPlatform& platform, const std::u16string& moduleFolder);

// Reads the settings from a loaded document in the fixed reading order: a key placed
// before one read earlier is not seen. Values without a key keep their current value.
void ReadSettings(CConfigXml& xml, SettingsFields& settings);
// Replaces every top-level element by a fresh "Quillon" root holding the settings;
// other top-level content (declaration, comments) stays where it was.
void WriteSettings(CConfigXml& xml, const SettingsFields& settings);

// What a save did, and when it failed, where and why in the system's words.
struct ConfigSaveResult {
    enum Status {
        kUnchanged, // nothing changed since the file was read or written: it was left alone
        kWritten,
        kFailed, // the file on disk is as it was (or, after a replacement that lost it, the
                 // complete new text waits beside it as ".new")
    };
    Status status = kUnchanged;
    // The file had been changed by someone else: it was read again and the user's own changes
    // were put on top of it (the settings passed in now hold the result).
    bool merged = false;
    std::u16string path;
    std::u16string reason;

    bool Saved() const { return status != kFailed; }
};

// The plain words that tell the user a save failed: the path and the reason.
std::u16string DescribeSaveFailure(const ConfigSaveResult& result);

// When the file is missing but a complete ".new" of a replacement that failed half-way (or,
// with such a ".new" cut short, the ".bak" copy) lies beside it, puts that in its place. A file
// missing without a ".new" was deleted on purpose and stays missing. True when the file is
// there afterwards.
bool RecoverConfigFile(IConfigPlatform& platform, const std::u16string& path);

// LoadFile + ReadSettings; records in the document whether a file was there but unreadable,
// and the file's bytes and settings as read, for the next save to compare with.
bool LoadConfigFile(CConfigXml& xml, const std::u16string& path, SettingsFields& settings,
                    IConfigPlatform& platform);
// Writes the settings when they changed since the file was read or written (or there is no
// file): WriteSettings, the document written beside the file, then put in its place once it is
// complete and flushed, retried for a moment while another program holds the file. A file
// changed on disk since is read again first and the user's changes are put on top of it, so
// settings edited by hand survive. On any failure the old file stays as it was.
ConfigSaveResult SaveConfigFile(CConfigXml& xml, const std::u16string& path, SettingsFields& settings,
                                IConfigPlatform& platform);

} // namespace quillon
