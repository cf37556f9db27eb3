// Locating, reading and writing the configuration file.
#include "config/config_file.h"

namespace quillon {
namespace {

std::u16string WithoutTrailingSeparator(std::u16string path, char16_t separator) {
    while (path.size() > 1 && (path.back() == separator || path.back() == u'/'))
        path.pop_back();
    return path;
}

// A file in one of the Unicode forms can hold any folder name already.
constexpr std::uint32_t kAnyMark = CXmlDocument::kFlagUnicodeForms;

bool WasLossy(const CXmlDocument& xml) { return xml.GetFileOutcome().conversionLoss; }

// Back to the empty document a first run starts from (no text, no encoding of an old file).
void StartAfresh(CConfigXml& xml) {
    static_cast<CXmlDocument&>(xml) = CXmlDocument();
}

}  // namespace

std::u16string UserDataFolder(IConfigPlatform& platform, const std::u16string& moduleFolder) {
    const char16_t sep = platform.PathSeparator();
    // A failed shell query leaves its buffer undefined, so it is never taken as a path;
    // the fallbacks are places the user can write to, in order of how likely they are to
    // be the same folder the shell would have named.
    std::u16string folder = platform.ShellAppDataFolder();
    if (folder.empty())
        folder = platform.EnvironmentVariable(u"APPDATA");
    if (folder.empty())
        folder = platform.TempFolder();
    if (folder.empty())
        folder = moduleFolder;
    return WithoutTrailingSeparator(std::move(folder), sep);
}

ConfigLocation ResolveConfigLocation(IConfigPlatform& platform) {
    const char16_t sep = platform.PathSeparator();
    ConfigLocation location;
    location.moduleFilePath = platform.ModuleFilePath();
    const size_t cut = location.moduleFilePath.rfind(sep);
    if (cut != std::u16string::npos)
        location.moduleFolder = location.moduleFilePath.substr(0, cut);

    // A file beside the program makes the installation portable; it is only ever used
    // when it is already there, and then no other folder is looked at or created.
    const std::u16string candidate =
        platform.FileSystemPath(location.moduleFolder + sep + kConfigFileName);
    if (platform.Exists(candidate)) {
        location.configFilePath = candidate;
        return location;
    }

    const std::u16string folder = platform.FileSystemPath(
        UserDataFolder(platform, location.moduleFolder) + sep + kConfigFolderName);
    if (!platform.Exists(folder))
        platform.CreateFolder(folder);  // one level only; a failure shows up as a failed read/write
    location.configFilePath = folder + sep + kConfigFileName;
    return location;
}

void ReadSettings(CConfigXml& xml, SettingsFields& settings) {
    xml.ResetPosition();
    if (!xml.FindElement(u""))  // the root, whatever its name
        return;
    if (xml.FindChildElement(u"Settings")) {
        xml.EnterElement();
        // Each lookup continues after the key found before it, so this order is the
        // order a file must have; Save always writes it so.
        xml.GetChildWord(u"HotKey", settings.HotKey);
        xml.GetChildBool(u"SaveContent", settings.SaveContent);
        xml.GetChildBool(u"Insert", settings.Insert);
        xml.GetChildBool(u"EditOnlySelection", settings.EditOnlySelection);
        if (xml.FindChildElement(u"TemporaryFolder"))
            settings.TemporaryFolder = xml.GetChildText();
        xml.GetChildBool(u"DeleteTempFile", settings.DeleteTempFile);
        xml.GetChildInt(u"Delay", settings.Delay);
        xml.LeaveElement();
    }
    if (xml.FindChildElement(u"Extensions")) {
        xml.EnterElement();
        settings.Extensions.clear();
        while (xml.FindChildElement(u"Extension")) {
            EXTENSIONREC row;
            row.Extension = xml.GetChildAttribute(u"Extension");
            row.Editor = xml.GetChildAttribute(u"Editor");
            row.Parameters = xml.GetChildAttribute(u"Parameters");
            row.UTF8 = xml.GetChildAttributeBool(u"UTF8", 1);
            settings.Extensions.push_back(std::move(row));
        }
        xml.LeaveElement();
    }
}

void WriteSettings(CConfigXml& xml, const SettingsFields& settings) {
    xml.ResetPosition();
    while (xml.FindElement(u""))
        xml.RemoveElement();

    xml.AddElement(u"Quillon", u"");
    xml.AddChildElement(u"Settings", u"");
    xml.EnterElement();
    xml.AddChildElement(u"HotKey", FormatDecimal(settings.HotKey));
    xml.AddChildBool(u"SaveContent", settings.SaveContent);
    xml.AddChildBool(u"Insert", settings.Insert);
    xml.AddChildBool(u"EditOnlySelection", settings.EditOnlySelection);
    xml.AddChildElement(u"TemporaryFolder", settings.TemporaryFolder);
    xml.AddChildBool(u"DeleteTempFile", settings.DeleteTempFile);
    xml.AddChildElement(u"Delay", FormatDecimal(settings.Delay));
    xml.LeaveElement();

    xml.AddChildElement(u"Extensions", u"");
    xml.EnterElement();
    for (const EXTENSIONREC& row : settings.Extensions) {
        xml.AddChildElement(u"Extension", u"");
        xml.SetChildAttribute(u"Extension", row.Extension);
        xml.SetChildAttribute(u"Editor", row.Editor);
        xml.SetChildAttribute(u"Parameters", row.Parameters);
        xml.SetChildAttributeBool(u"UTF8", row.UTF8);
    }
    xml.LeaveElement();
}

bool LoadConfigFile(CConfigXml& xml, const std::u16string& path, SettingsFields& settings,
                    IConfigPlatform& platform) {
    const bool existed = platform.Exists(path);
    if (!xml.LoadFile(path)) {
        xml.SetLoadState(existed ? ConfigLoadState::kUnreadable : ConfigLoadState::kNotLoaded);
        return false;
    }
    xml.SetLoadState(ConfigLoadState::kLoaded);
    ReadSettings(xml, settings);
    return true;
}

bool SaveConfigFile(CConfigXml& xml, const std::u16string& path, const SettingsFields& settings,
                    IConfigPlatform& platform) {
    if (path.empty())
        return false;
    const ConfigLoadState state = xml.LoadState();
    // Text that did not load as a well-formed document is not edited in place: whatever
    // the parse made of it could be written back still broken, and every later start
    // would then fall back to the defaults again.
    if (state != ConfigLoadState::kLoaded && state != ConfigLoadState::kWritten)
        StartAfresh(xml);
    WriteSettings(xml, settings);

    // The old file is replaced only by a complete, flushed new one, so a crash, a full
    // disk or a failed conversion leaves the previous settings readable. A linked file is
    // replaced where it really lives (the new text is written beside it, on its volume),
    // so the link stays a link.
    const std::u16string target = platform.LinkTarget(path);
    const std::u16string temp = target + kConfigTempSuffix;
    bool ok = xml.SaveFile(temp);
    if (ok && WasLossy(xml) && !(xml.GetDocumentFlags() & kAnyMark)) {
        // The file's own encoding cannot hold some text (a folder name typed in Options, say):
        // rather than writing question marks in its place, the file becomes UTF-8 with a mark,
        // which the reader honours ahead of any declaration.
        xml.SetDocumentFlags(xml.GetDocumentFlags() | CXmlDocument::kFlagUtf8Bom);
        ok = xml.SaveFile(temp);
    }
    ok = ok && platform.FlushFile(temp);
    // A file that was there but could not be read may hold the user's hand edits:
    // it is kept as a copy before it is replaced for the first time.
    if (ok && state == ConfigLoadState::kUnreadable && platform.Exists(path))
        ok = platform.CopyFile(path, path + kConfigBackupSuffix);
    const bool hadFile = ok && platform.Exists(target);
    if (ok)
        ok = platform.ReplaceFile(temp, target);
    if (!ok) {
        // The state stays as it was, so the next save starts the same way again. Should a
        // failed replacement have taken the old file away, the new one is all that is left
        // of the settings: it stays.
        if (hadFile && !platform.Exists(target))
            return false;
        platform.RemoveFile(temp);
        return false;
    }
    xml.SetLoadState(ConfigLoadState::kWritten);
    return true;
}

}  // namespace quillon
