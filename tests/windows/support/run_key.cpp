// The Run value through the plain registry calls, apart from the code under test.
#include "windows/support/run_key.h"

#include <cstring>

#include "base/u16.h"
#include "config/autostart.h"

namespace quillon::test {

std::wstring RunValue::Text() const {
    if (!present || (type != REG_SZ && type != REG_EXPAND_SZ))
        return {};
    std::wstring text(data.size() / sizeof(wchar_t), L'\0');
    if (!text.empty())
        std::memcpy(text.data(), data.data(), text.size() * sizeof(wchar_t));
    return text.substr(0, text.find(L'\0'));
}

RunValue ReadRunValue() {
    RunValue value;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, WidePtr(kRunKeyPath), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return value;
    DWORD size = 0;
    if (::RegQueryValueExW(key, WidePtr(kRunValueName), nullptr, &value.type, nullptr, &size) ==
        ERROR_SUCCESS) {
        value.data.resize(size);
        value.present = ::RegQueryValueExW(key, WidePtr(kRunValueName), nullptr, &value.type,
                                           value.data.data(), &size) == ERROR_SUCCESS;
        value.data.resize(size);
    }
    ::RegCloseKey(key);
    return value;
}

bool WriteRunValue(DWORD type, const std::vector<BYTE>& data) {
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, WidePtr(kRunKeyPath), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                          &key, nullptr) != ERROR_SUCCESS)
        return false;
    const bool written = ::RegSetValueExW(key, WidePtr(kRunValueName), 0, type, data.data(),
                                          static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
    ::RegCloseKey(key);
    return written;
}

bool WriteRunText(const std::wstring& text) {
    const auto* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    return WriteRunValue(REG_SZ, std::vector<BYTE>(bytes, bytes + (text.size() + 1) * sizeof(wchar_t)));
}

void DeleteRunValue() {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, WidePtr(kRunKeyPath), 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        ::RegDeleteValueW(key, WidePtr(kRunValueName));
        ::RegCloseKey(key);
    }
}

CRunValueKeeper::~CRunValueKeeper() {
    if (m_saved.present)
        WriteRunValue(m_saved.type, m_saved.data);
    else
        DeleteRunValue();
}

} // namespace quillon::test
