// Locating, reading and writing the configuration file.
#include "config/config_file.h"

#include "config/settings_table.h"

#include <utility>

namespace quillon {
namespace {

std::u16string WithoutTrailingSeparator(std::u16string path, char16_t separator) {
    while (path.size() > 1 && (path.back() == separator || path.back() == u'/'))
        path.pop_back();
    return path;
}

// A file in one of the Unicode forms can hold any folder name already.
constexpr std::uint32_t kAnyUnicodeForm = CXmlDocument::kFlagUnicodeForms;

// The rows of a list element (the extensions, the rules), each read by `read` from the row's
// attributes; a file without the element keeps the rows as they are.
template <class Row, class Read>
void ReadRows(CConfigXml& xml, const char16_t* list, const char16_t* item, std::vector<Row>& rows,
              Read read) {
    if (!xml.FindChildElement(list))
        return;
    xml.EnterElement();
    rows.clear();
    while (xml.FindChildElement(item)) {
        Row row;
        read(row);
        rows.push_back(std::move(row));
    }
    xml.LeaveElement();
}

template <class Row, class Write>
void WriteRows(CConfigXml& xml, const char16_t* list, const char16_t* item, const std::vector<Row>& rows,
               Write write) {
    xml.AddChildElement(list, u"");
    xml.EnterElement();
    for (const Row& row : rows) {
        xml.AddChildElement(item, u"");
        write(row);
    }
    xml.LeaveElement();
}

bool WasLossy(const CXmlDocument& xml) {
    return xml.GetFileOutcome().conversionLoss;
}

// Back to the empty document a first run starts from (no text, no encoding of an old file).
void StartAfresh(CConfigXml& xml) {
    static_cast<CXmlDocument&>(xml) = CXmlDocument();
}

} // namespace

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
    const std::u16string candidate = platform.FileSystemPath(location.moduleFolder + sep + kConfigFileName);
    if (RecoverConfigFile(platform, candidate)) {
        location.configFilePath = candidate;
        return location;
    }

    const std::u16string folder =
        platform.FileSystemPath(UserDataFolder(platform, location.moduleFolder) + sep + kConfigFolderName);
    if (!platform.Exists(folder))
        platform.CreateFolder(folder); // one level only; a failure shows up as a failed read/write
    location.configFilePath = folder + sep + kConfigFileName;
    RecoverConfigFile(platform, location.configFilePath);
    return location;
}

void ReadSettings(CConfigXml& xml, SettingsFields& settings) {
    xml.ResetPosition();
    if (!xml.FindElement(u"")) // the root, whatever its name
        return;
    if (xml.FindChildElement(u"Settings")) {
        xml.EnterElement();
        // Each lookup continues after the key found before it, so the table's order is the
        // order a file must have; Save always writes it so.
        for (const SettingEntry& entry : kSettingsTable) {
            switch (entry.kind) {
            case SettingKind::kWord:
                xml.GetChildWord(entry.key, settings.*entry.word);
                break;
            case SettingKind::kBool:
                xml.GetChildBool(entry.key, settings.*entry.number);
                break;
            case SettingKind::kNumber:
                xml.GetChildInt(entry.key, settings.*entry.number);
                break;
            case SettingKind::kText:
                if (xml.FindChildElement(entry.key))
                    settings.*entry.text = xml.GetChildText();
                break;
            }
        }
        xml.LeaveElement();
    }
    ReadRows(xml, u"Extensions", u"Extension", settings.Extensions, [&](EXTENSIONREC& row) {
        row.Extension = xml.GetChildAttribute(u"Extension");
        row.Editor = xml.GetChildAttribute(u"Editor");
        row.Parameters = xml.GetChildAttribute(u"Parameters");
        row.UTF8 = xml.GetChildAttributeBool(u"UTF8", 1);
    });
    // After the extensions, which a file of an older version ends with: that version passes
    // over the element.
    ReadRows(xml, u"Rules", u"Rule", settings.Rules, [&](RULEREC& rule) {
        rule.Program = xml.GetChildAttribute(u"Program");
        rule.Title = xml.GetChildAttribute(u"Title");
        rule.Extension = xml.GetChildAttribute(u"Extension");
        rule.List = xml.GetChildAttributeBool(u"List", 1);
        rule.QuietFormatting = xml.GetChildAttribute(u"Formatting") == kQuietFormatting;
    });
}

void WriteSettings(CConfigXml& xml, const SettingsFields& settings) {
    xml.ResetPosition();
    while (xml.FindElement(u""))
        xml.RemoveElement();

    xml.AddElement(u"Quillon", u"");
    xml.AddChildElement(u"Settings", u"");
    xml.EnterElement();
    for (const SettingEntry& entry : kSettingsTable) {
        switch (entry.kind) {
        case SettingKind::kWord:
            xml.AddChildElement(entry.key, FormatDecimal(settings.*entry.word));
            break;
        case SettingKind::kBool:
            xml.AddChildBool(entry.key, settings.*entry.number);
            break;
        case SettingKind::kNumber:
            xml.AddChildElement(entry.key, FormatDecimal(settings.*entry.number));
            break;
        case SettingKind::kText:
            xml.AddChildElement(entry.key, settings.*entry.text);
            break;
        }
    }
    xml.LeaveElement();

    WriteRows(xml, u"Extensions", u"Extension", settings.Extensions, [&](const EXTENSIONREC& row) {
        xml.SetChildAttribute(u"Extension", row.Extension);
        xml.SetChildAttribute(u"Editor", row.Editor);
        xml.SetChildAttribute(u"Parameters", row.Parameters);
        xml.SetChildAttributeBool(u"UTF8", row.UTF8);
    });
    // No rules, no element: the file stays as a version without rules writes it.
    if (settings.Rules.empty())
        return;
    WriteRows(xml, u"Rules", u"Rule", settings.Rules, [&](const RULEREC& rule) {
        xml.SetChildAttribute(u"Program", rule.Program);
        xml.SetChildAttribute(u"Title", rule.Title);
        xml.SetChildAttribute(u"Extension", rule.Extension);
        xml.SetChildAttributeBool(u"List", rule.List);
        xml.SetChildAttribute(u"Formatting", rule.QuietFormatting ? kQuietFormatting : kTellFormatting);
    });
}

std::u16string DescribeSaveFailure(const ConfigSaveResult& result) {
    // The extended-length prefix is how the path is handed to the system, not how users know it.
    std::u16string shown = result.path;
    if (shown.rfind(u"\\\\?\\UNC\\", 0) == 0)
        shown = u"\\\\" + shown.substr(8);
    else if (shown.rfind(u"\\\\?\\", 0) == 0)
        shown = shown.substr(4);
    return u"Quillon could not save its settings to " + shown + u": " + result.reason + u".";
}

bool RecoverConfigFile(IConfigPlatform& platform, const std::u16string& path) {
    if (platform.Exists(path))
        return true;
    // Without a ".new" no replacement was under way: the file was deleted on purpose (to start
    // afresh), and an older backup must not bring it back.
    if (!platform.Exists(path + kConfigTempSuffix))
        return false;
    // The ".new" is the newest text but is only complete if the replacement got as far as
    // removing the old file; either is taken only when it reads as a whole document.
    for (const char16_t* suffix : {kConfigTempSuffix, kConfigBackupSuffix}) {
        const std::u16string aside = path + suffix;
        CXmlDocument probe;
        if (!platform.Exists(aside) || !probe.LoadFile(aside))
            continue;
        // The backup stays a backup; the ".new" has done its job once it is in place.
        if (suffix == kConfigTempSuffix ? platform.ReplaceFile(aside, path) : platform.CopyFile(aside, path))
            return true;
    }
    return false;
}

bool LoadConfigFile(CConfigXml& xml, const std::u16string& path, SettingsFields& settings,
                    IConfigPlatform& platform) {
    const bool existed = platform.Exists(path);
    std::string bytes;
    const bool readable = platform.ReadBytes(path, bytes);
    if (!xml.LoadFile(path)) {
        xml.SetLoadState(existed ? ConfigLoadState::kUnreadable : ConfigLoadState::kNotLoaded);
        // A broken file is left as the user made it until a setting changes. One that could not
        // be read at all (held by another program just now) counts as holding nothing, so once
        // it reads, a save takes its settings in before anything is written over it.
        if (existed)
            xml.SetSynced(readable ? std::move(bytes) : std::string(), settings);
        else
            xml.ForgetSynced();
        return false;
    }
    xml.SetLoadState(ConfigLoadState::kLoaded);
    ReadSettings(xml, settings);
    if (readable)
        xml.SetSynced(std::move(bytes), settings);
    else
        xml.ForgetSynced();
    return true;
}

namespace {

// A file held open by another program for a moment is tried again for about two seconds;
// any other failure is final at once.
constexpr int kHeldFileRetries = 20;
constexpr unsigned kHeldFilePauseMs = 100;

template <typename Step>
bool RetriedWhileHeld(IConfigPlatform& platform, Step&& step, std::u16string& reason) {
    for (int attempt = 0;; ++attempt) {
        if (step())
            return true;
        if (attempt >= kHeldFileRetries || !platform.LastFailureMayPass()) {
            reason = platform.LastFailureReason();
            return false;
        }
        platform.Pause(kHeldFilePauseMs);
    }
}

// Someone else changed the file since it was read or written (a hand edit while the program
// runs, a restored backup): its settings are read again and the user's own changes since then
// go on top, so neither side's change is lost. A file that no longer reads as a document is
// treated as an unreadable one: copied aside before the first save replaces it.
void TakeInChangesOnDisk(CConfigXml& xml, const std::u16string& target, std::string onDisk,
                         SettingsFields& settings, ConfigSaveResult& result) {
    CConfigXml theirs;
    SettingsFields theirSettings = xml.SyncedSettings();
    if (theirs.LoadFile(target)) {
        ReadSettings(theirs, theirSettings);
        settings = MergeSettings(xml.SyncedSettings(), settings, theirSettings);
        static_cast<CXmlDocument&>(xml) = std::move(static_cast<CXmlDocument&>(theirs));
        xml.SetLoadState(ConfigLoadState::kLoaded);
        result.merged = true;
    } else {
        xml.SetLoadState(ConfigLoadState::kUnreadable);
    }
    xml.SetSynced(std::move(onDisk), theirSettings);
}

// Writes the document to the file and flushes it to the disk. The new text goes into a file of
// this program's own, so a refusal there (a denied or read-only folder) is final at once; only
// the replacement waits for other programs.
bool WriteFlushed(CConfigXml& xml, const std::u16string& temp, IConfigPlatform& platform,
                  std::u16string& reason) {
    bool ok = xml.SaveFile(temp);
    if (ok && WasLossy(xml) && !(xml.GetDocumentFlags() & kAnyUnicodeForm)) {
        // The file's own encoding cannot hold some text (a folder name typed in Options, say):
        // rather than writing question marks in its place, the file becomes UTF-8 with a mark,
        // which the reader honours ahead of any declaration.
        xml.SetDocumentFlags(xml.GetDocumentFlags() | CXmlDocument::kFlagUtf8Bom);
        ok = xml.SaveFile(temp);
    }
    ok = ok && platform.FlushFile(temp);
    if (!ok)
        reason = platform.LastFailureReason();
    return ok;
}

// The document now is the file as written: its bytes, read back, are what a later save
// compares with to see whether someone else changed the file meanwhile.
void NoteWritten(CConfigXml& xml, const std::u16string& target, const SettingsFields& settings,
                 IConfigPlatform& platform) {
    xml.SetLoadState(ConfigLoadState::kWritten);
    std::string written;
    if (platform.ReadBytes(target, written))
        xml.SetSynced(std::move(written), settings);
    else
        xml.ForgetSynced();
}

} // namespace

ConfigSaveResult SaveConfigFile(CConfigXml& xml, const std::u16string& path, SettingsFields& settings,
                                IConfigPlatform& platform) {
    ConfigSaveResult result;
    result.path = path;
    if (path.empty()) {
        result.status = ConfigSaveResult::kFailed;
        result.reason = u"no folder could be found for the settings file";
        return result;
    }
    // A linked file is replaced where it really lives (the new text is written beside it, on
    // its volume), so the link stays a link.
    const std::u16string target = platform.LinkTarget(path);

    std::string onDisk;
    const bool readable = platform.ReadBytes(target, onDisk);
    if (xml.HasSynced() && readable && onDisk != xml.SyncedBytes())
        TakeInChangesOnDisk(xml, target, std::move(onDisk), settings, result);
    // Nothing to write when the settings are those of the file as it is: the file keeps its
    // bytes, its time and whatever the user arranged in it.
    if (xml.HasSynced() && (readable || platform.Exists(target)) &&
        SameSettings(settings, xml.SyncedSettings()))
        return result;

    result.status = ConfigSaveResult::kFailed;
    const ConfigLoadState state = xml.LoadState();
    // Text that did not load as a well-formed document is not edited in place: whatever
    // the parse made of it could be written back still broken, and every later start
    // would then fall back to the defaults again.
    if (state != ConfigLoadState::kLoaded && state != ConfigLoadState::kWritten)
        StartAfresh(xml);
    WriteSettings(xml, settings);

    // The old file is replaced only by a complete, flushed new one, so a crash, a full
    // disk or a failed conversion leaves the previous settings readable.
    const std::u16string temp = target + kConfigTempSuffix;
    bool ok = WriteFlushed(xml, temp, platform, result.reason);
    // A file that was there but could not be read may hold the user's hand edits:
    // it is kept as a copy before it is replaced for the first time.
    if (ok && state == ConfigLoadState::kUnreadable && platform.Exists(path) &&
        !platform.CopyFile(path, path + kConfigBackupSuffix)) {
        ok = false;
        result.reason = platform.LastFailureReason();
    }
    const bool hadFile = ok && platform.Exists(target);
    if (ok)
        ok = RetriedWhileHeld(
            platform, [&] { return platform.ReplaceFile(temp, target); }, result.reason);
    if (!ok) {
        // The state stays as it was, so the next save starts the same way again. Should a
        // failed replacement have taken the old file away, the new one is all that is left
        // of the settings: it stays, and the next start takes it up.
        if (!hadFile || platform.Exists(target))
            platform.RemoveFile(temp);
        return result;
    }
    result.status = ConfigSaveResult::kWritten;
    NoteWritten(xml, target, settings, platform);
    return result;
}

} // namespace quillon
