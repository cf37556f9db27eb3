// Start with Windows through the current user's Run key.
#include <windows.h>

#include <cwchar>
#include <string>

#include "base/u16.h"
#include "config/autostart.h"

namespace quillon {
namespace {

class CRegKey {
public:
    CRegKey() = default;
    ~CRegKey() {
        if (m_key)
            ::RegCloseKey(m_key);
    }
    CRegKey(const CRegKey&) = delete;
    CRegKey& operator=(const CRegKey&) = delete;
    HKEY* Out() { return &m_key; }
    HKEY Get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

} // namespace

BOOL32 IsAutoStartEnabled() {
    CRegKey key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, WidePtr(kRunKeyPath), 0, KEY_READ, key.Out()) != ERROR_SUCCESS)
        return 0;
    DWORD type = 0;
    DWORD size = 0;
    const LONG rc = ::RegQueryValueExW(key.Get(), WidePtr(kRunValueName), nullptr, &type, nullptr, &size);
    // A value written by hand or by an installer with an environment variable in its path
    // (REG_EXPAND_SZ) starts the program just the same.
    return rc == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ) ? 1 : 0;
}

namespace {

// True when the value is an expandable text that, expanded and unquoted, names this program:
// then it already does what the box asks, and rewriting it would lose its variables.
bool ExpandableValueNames(HKEY key, const std::u16string& programPath) {
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExW(key, WidePtr(kRunValueName), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_EXPAND_SZ || size < sizeof(wchar_t))
        return false;
    std::wstring raw(size / sizeof(wchar_t) + 1, L'\0');
    if (::RegQueryValueExW(key, WidePtr(kRunValueName), nullptr, &type, reinterpret_cast<BYTE*>(&raw[0]),
                           &size) != ERROR_SUCCESS)
        return false;
    raw.resize(::wcsnlen(raw.c_str(), raw.size()));
    const DWORD needed = ::ExpandEnvironmentStringsW(raw.c_str(), nullptr, 0);
    if (needed == 0)
        return false;
    std::wstring expanded(needed, L'\0');
    expanded.resize(::ExpandEnvironmentStringsW(raw.c_str(), &expanded[0], needed));
    while (!expanded.empty() && expanded.back() == L'\0')
        expanded.pop_back();
    if (expanded.size() >= 2 && expanded.front() == L'"' && expanded.back() == L'"')
        expanded = expanded.substr(1, expanded.size() - 2);
    const std::wstring program = ToWide(programPath);
    return ::CompareStringOrdinal(expanded.c_str(), static_cast<int>(expanded.size()), program.c_str(),
                                  static_cast<int>(program.size()), TRUE) == CSTR_EQUAL;
}

} // namespace

void SetAutoStart(BOOL32 enabled, const std::u16string& programPath) {
    CRegKey key;
    if (!enabled) {
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, WidePtr(kRunKeyPath), 0, KEY_SET_VALUE, key.Out()) !=
            ERROR_SUCCESS)
            return;
        ::RegDeleteValueW(key.Get(), WidePtr(kRunValueName)); // a missing value is fine
        return;
    }
    // Created when a fresh profile lacks it, so ticking the box is never lost silently.
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, WidePtr(kRunKeyPath), 0, nullptr, 0,
                          KEY_SET_VALUE | KEY_QUERY_VALUE, nullptr, key.Out(), nullptr) != ERROR_SUCCESS)
        return;
    if (ExpandableValueNames(key.Get(), programPath))
        return;
    const std::u16string command = AutoStartCommand(programPath);
    const DWORD bytes =
        static_cast<DWORD>((command.size() + 1) * sizeof(char16_t)); // terminating NUL counted
    ::RegSetValueExW(key.Get(), WidePtr(kRunValueName), 0, REG_SZ,
                     reinterpret_cast<const BYTE*>(command.c_str()), bytes);
}

} // namespace quillon
