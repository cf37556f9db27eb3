// The one meeting point of the portable core's UTF-16 strings (char16_t) and
// the Win32 layer's (wchar_t, also UTF-16 on Windows).
#pragma once
#include <string>
#include <string_view>

namespace quillon {

// ASCII literal helper for portable code: u16("abc").
inline std::u16string u16(std::string_view ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

// UTF-8 <-> UTF-16 for logging, command-line tools and tests. Unpaired surrogates
// are written as U+FFFD; invalid UTF-8 bytes decode as U+FFFD.
std::string ToUtf8(std::u16string_view text);
std::u16string FromUtf8(std::string_view text);

#ifdef _WIN32
static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wchar_t is UTF-16");
inline std::wstring ToWide(std::u16string_view s) {
    return std::wstring(reinterpret_cast<const wchar_t*>(s.data()), s.size());
}
inline std::u16string FromWide(std::wstring_view s) {
    return std::u16string(reinterpret_cast<const char16_t*>(s.data()), s.size());
}
inline const wchar_t* WidePtr(const std::u16string& s) {
    return reinterpret_cast<const wchar_t*>(s.c_str());
}
#endif

} // namespace quillon
