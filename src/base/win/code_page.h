// UTF-16 <-> bytes in a Windows code page (the ANSI page, UTF-8 or any other), for the
// Win32 calls and files that want narrow text.
#pragma once
#include <string>
#include <string_view>

namespace quillon {

// Through the system's code page tables with no flags: a character the page lacks becomes
// the page's default character, and bytes that do not decode become U+FFFD. Empty when the
// text is empty or the system cannot convert it (an unknown code page, a text too long for
// one call).
std::string WideToCodePage(std::wstring_view text, unsigned codePage);
std::wstring CodePageToWide(std::string_view bytes, unsigned codePage);

} // namespace quillon
