// CConfigXml: the configuration document with its typed readers and writers, and the
// decimal number rules of the configuration file.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "config/settings.h"
#include "xml/xml_document.h"

namespace quillon {

// Base-10 number as the configuration file stores it: optional leading white space, an
// optional sign, digits up to the first other character. No digits give 0; values beyond
// the 32-bit signed range give the nearest limit.
std::int32_t ParseDecimal(std::u16string_view text);
std::u16string FormatDecimal(std::int64_t value);

// How the last LoadFile of the configuration went; Save uses it to decide whether the
// loaded text may be edited in place or must be started afresh.
enum class ConfigLoadState {
    kNotLoaded,  // nothing read yet (or the file was missing)
    kLoaded,     // the file was read and is well-formed: its text is edited in place on save
    kUnreadable, // a file was there but could not be read or is not well-formed
    kWritten,    // the document holds exactly what the last save wrote
};

class CConfigXml : public CXmlDocument {
public:
    CConfigXml() = default;
    virtual ~CConfigXml() = default;

    // Each works on the current position and moves it as FindChildElement does.
    // A key that is not found leaves the value unchanged.
    bool GetChildBool(std::u16string_view name, BOOL32& value);
    bool GetChildInt(std::u16string_view name, std::int32_t& value);
    bool GetChildWord(std::u16string_view name, std::uint16_t& value);
    bool AddChildBool(std::u16string_view name, BOOL32 value);
    // 1 for "True", 0 for "False", the default for anything else (a missing attribute too).
    BOOL32 GetChildAttributeBool(std::u16string_view name, BOOL32 defaultValue);
    bool SetChildAttributeBool(std::u16string_view name, BOOL32 value);

    ConfigLoadState LoadState() const { return m_loadState; }
    void SetLoadState(ConfigLoadState state) { m_loadState = state; }

    // The file as it was last read or written, and the settings it held then: a save compares
    // the file on disk with the first to see whether someone else changed it, and the settings
    // with the second to see what the user changed.
    bool HasSynced() const { return m_hasSynced; }
    const std::string& SyncedBytes() const { return m_syncedBytes; }
    const SettingsFields& SyncedSettings() const { return m_syncedSettings; }
    void SetSynced(std::string bytes, const SettingsFields& settings) {
        m_hasSynced = true;
        m_syncedBytes = std::move(bytes);
        m_syncedSettings = settings;
    }
    void ForgetSynced() { m_hasSynced = false; }

private:
    ConfigLoadState m_loadState = ConfigLoadState::kNotLoaded;
    bool m_hasSynced = false;
    std::string m_syncedBytes;
    SettingsFields m_syncedSettings;
};

} // namespace quillon
