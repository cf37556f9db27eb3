// Start with Windows through the current user's Run key.
#include <windows.h>

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

}  // namespace

BOOL32 IsAutoStartEnabled() {
    CRegKey key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, WidePtr(kRunKeyPath), 0, KEY_READ, key.Out()) != ERROR_SUCCESS)
        return 0;
    DWORD type = 0;
    DWORD size = 0;
    const LONG rc = ::RegQueryValueExW(key.Get(), WidePtr(kRunValueName), nullptr, &type, nullptr, &size);
    return rc == ERROR_SUCCESS && type == REG_SZ ? 1 : 0;
}

void SetAutoStart(BOOL32 enabled, const std::u16string& programPath) {
    CRegKey key;
    if (!enabled) {
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, WidePtr(kRunKeyPath), 0, KEY_SET_VALUE, key.Out()) != ERROR_SUCCESS)
            return;
        ::RegDeleteValueW(key.Get(), WidePtr(kRunValueName));  // a missing value is fine
        return;
    }
    // Created when a fresh profile lacks it, so ticking the box is never lost silently.
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, WidePtr(kRunKeyPath), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.Out(),
                          nullptr) != ERROR_SUCCESS)
        return;
    const std::u16string command = AutoStartCommand(programPath);
    const DWORD bytes = static_cast<DWORD>((command.size() + 1) * sizeof(char16_t));  // terminating NUL counted
    ::RegSetValueExW(key.Get(), WidePtr(kRunValueName), 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                     bytes);
}

}  // namespace quillon
