// The code page conversions, one call pair each way.
#include "base/win/code_page.h"

#include <windows.h>

#include <climits>

namespace quillon {

std::string WideToCodePage(std::wstring_view text, unsigned codePage) {
    if (text.empty() || text.size() > INT_MAX)
        return {};
    const int length = static_cast<int>(text.size());
    const int n = ::WideCharToMultiByte(codePage, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return {};
    std::string out(static_cast<std::size_t>(n), '\0');
    if (::WideCharToMultiByte(codePage, 0, text.data(), length, out.data(), n, nullptr, nullptr) != n)
        return {};
    return out;
}

std::wstring CodePageToWide(std::string_view bytes, unsigned codePage) {
    if (bytes.empty() || bytes.size() > INT_MAX)
        return {};
    const int length = static_cast<int>(bytes.size());
    const int n = ::MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
    if (n <= 0)
        return {};
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    if (::MultiByteToWideChar(codePage, 0, bytes.data(), length, out.data(), n) != n)
        return {};
    return out;
}

} // namespace quillon
