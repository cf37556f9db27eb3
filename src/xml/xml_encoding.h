// Text encodings of the XML engine: encoding names to code pages, UTF-8 checks,
// and two-pass conversions between byte encodings and UTF-16.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

#include "base/utf8.h"

namespace quillon {

// Code page numbers follow Windows: 0 = the system ANSI code page (windows-1252 on Linux),
// 1200 UTF-16LE, 1201 UTF-16BE, 12000 UTF-32LE, 12001 UTF-32BE, 65001 UTF-8, 28591 ISO-8859-1 ...
constexpr int kCodePageUtf16LE = 1200;
constexpr int kCodePageUtf16BE = 1201;
constexpr int kCodePageWindows1252 = 1252;
constexpr int kCodePageUtf32LE = 12000;
constexpr int kCodePageUtf32BE = 12001;
constexpr int kCodePageAscii = 20127;
constexpr int kCodePageLatin1 = 28591;
constexpr int kCodePageUtf8 = 65001;
int CodePageFromName(std::u16string_view name); // 0 for "", -1 when unknown (table of 365 names)
bool LooksLikeUtf8(const char* bytes, size_t length, size_t* nonAsciiCount, bool* errorAtEnd);
// IsStrictUtf8 (base/utf8.h) follows the rules BytesToUtf16 decodes UTF-8 with: bytes it
// accepts convert without a single U+FFFD of the decoder's making.
int DecodeUtf8Char(const char*& cursor, const char* end);      // code point or -1 (cursor advanced)
void EncodeUtf8Char(int codePoint, char* out, size_t& length); // out may be nullptr: only counts

// Two-pass conversions (out == nullptr: return the exact size needed). Unknown code pages (-1)
// convert as 0. Invalid input bytes become U+FFFD. Fast paths (no iconv, no per-char calls) for
// UTF-8 (ASCII fast path), ISO-8859-1, windows-1252/ANSI, US-ASCII; other code pages go through the
// codec seam (iconv on Linux, MultiByteToWideChar/WideCharToMultiByte on Windows).
size_t BytesToUtf16(int codePage, const char* bytes, size_t length, char16_t* out);
size_t Utf16ToBytes(int codePage, const char16_t* text, size_t length, char* out, bool* lossy);
// lossy (may be nullptr) is set when a character had no representation and was replaced by the
// default character; never set for the code pages that do not allow it (50220, 50221, 50222,
// 50225, 50227, 50229, 52936, 54936, 57002-57011, 65000, 65001).
// Code pages 12000/12001 (UTF-32) and 1200/1201 are handled by these functions too (bytes <-> UTF-16).

// One conversion request (target name, source name, source buffer, source length in source
// units, output length, loss flag) as a struct over the two functions above.
struct EncodingConverter {
    std::u16string toEncoding;   // "UTF-16" for decoding
    std::u16string fromEncoding; // "UTF-16" for encoding
    const void* source = nullptr;
    size_t sourceLength = 0; // units of the source encoding
    size_t outputLength = 0; // in: capacity when out given; out: units produced/needed
    bool lossy = false;
    bool Convert(void* out); // out == nullptr: size pass only
};

} // namespace quillon
