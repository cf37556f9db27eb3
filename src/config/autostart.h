// Start with Windows: the program's value under the current user's Run key.
#pragma once
#include <string>

#include "config/settings.h"

namespace quillon {

constexpr char16_t kRunKeyPath[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char16_t kRunValueName[] = u"Quillon";

// The value's text: the program path between double quotes, nothing else.
inline std::u16string AutoStartCommand(const std::u16string& programPath) {
    return u"\"" + programPath + u"\"";
}

#ifdef _WIN32
// True exactly when the value exists as text (REG_SZ, or REG_EXPAND_SZ as installers and
// hand edits may leave it), whatever program it names.
BOOL32 IsAutoStartEnabled();
// Writes the quoted program path (the engine's module file path) or deletes the value. An
// expandable value that already names this program stays as it is. Silent on every failure.
void SetAutoStart(BOOL32 enabled, const std::u16string& programPath);
#endif

} // namespace quillon
