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

struct ConfigLocation {
    std::u16string moduleFilePath;
    std::u16string moduleFolder;  // without trailing backslash
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

// LoadFile + ReadSettings; records in the document whether a file was there but unreadable.
bool LoadConfigFile(CConfigXml& xml, const std::u16string& path, SettingsFields& settings,
                    IConfigPlatform& platform);
// WriteSettings, then write the document beside the file and replace the file with it
// once it is complete and flushed. On any failure the old file stays as it was.
bool SaveConfigFile(CConfigXml& xml, const std::u16string& path, const SettingsFields& settings,
                    IConfigPlatform& platform);

}  // namespace quillon
