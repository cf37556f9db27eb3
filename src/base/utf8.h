// Scalar UTF-8 and UTF-16, one character at a time: the strict UTF-8 rules, encoding a
// code point in either form, and surrogate pairs. Bulk conversions build on these.
#pragma once
#include <cstddef>
#include <cstdint>

namespace quillon {

constexpr char32_t kReplacementCharacter = 0xFFFD;
constexpr char32_t kMaxCodePoint = 0x10FFFF;

constexpr bool IsHighSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
constexpr bool IsLowSurrogate(char32_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}
constexpr bool IsSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDFFF;
}
constexpr char32_t CombineSurrogates(char32_t high, char32_t low) {
    return 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00);
}

// What a UTF-8 lead byte (80 or above) asks of the bytes after it: how many there must be (0
// for a byte that cannot lead a sequence) and the range of the first one, narrowed for the
// leads whose full range would allow overlong forms (E0, F0), surrogates (ED) or values above
// U+10FFFF (F4); every later one is 80-BF. The lead's own bits of the code point are
// lead & (0x3F >> need).
struct Utf8Lead {
    unsigned need;
    unsigned low;
    unsigned high;
};
constexpr Utf8Lead ReadUtf8Lead(unsigned lead) {
    if (lead >= 0xC2 && lead <= 0xDF)
        return {1, 0x80, 0xBF};
    if (lead >= 0xE0 && lead <= 0xEF)
        return {2, lead == 0xE0 ? 0xA0u : 0x80u, lead == 0xED ? 0x9Fu : 0xBFu};
    if (lead >= 0xF0 && lead <= 0xF4)
        return {3, lead == 0xF0 ? 0x90u : 0x80u, lead == 0xF4 ? 0x8Fu : 0xBFu};
    return {0, 0, 0};
}

// The length (1 to 4) of the well-formed UTF-8 sequence at p, or 0 when the bytes there
// are not one: no overlong forms, surrogates or values above U+10FFFF, nothing cut off.
size_t StrictUtf8Length(const unsigned char* p, const unsigned char* end);
// The code point of a sequence StrictUtf8Length accepted.
char32_t DecodeUtf8Sequence(const unsigned char* p, size_t length);
// True when every byte belongs to a well-formed UTF-8 sequence (zero bytes count as ASCII).
bool IsStrictUtf8(const char* bytes, size_t length);

// Writes a code point (at most U+10FFFF, not a surrogate) as UTF-8; out may be nullptr to
// count. Returns the bytes (1 to 4).
size_t EncodeUtf8(char32_t codePoint, char* out);
// Writes a code point (at most U+10FFFF) as one unit or a surrogate pair; returns the units.
inline size_t EncodeUtf16(char32_t codePoint, char16_t* out) {
    if (codePoint < 0x10000) {
        out[0] = static_cast<char16_t>(codePoint);
        return 1;
    }
    out[0] = static_cast<char16_t>(0xD800 + ((codePoint - 0x10000) >> 10));
    out[1] = static_cast<char16_t>(0xDC00 + ((codePoint - 0x10000) & 0x3FF));
    return 2;
}

} // namespace quillon
