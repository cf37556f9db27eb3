// UTF-8 <-> UTF-16 helpers shared by tools, tests and diagnostics.
#include "base/u16.h"

#include "base/utf8.h"

namespace quillon {

namespace {

// How many bytes one U+FFFD stands for when the bytes at p are no well-formed sequence: a
// lead byte and the continuation bytes that follow it (as many as it announces) go together,
// so a wrong value such as an encoded surrogate reads as one character; any other byte alone.
size_t IllFormedSpan(const unsigned char* p, const unsigned char* end) {
    const size_t announced = ReadUtf8Lead(*p).need + 1;
    if (announced == 1 || static_cast<size_t>(end - p) < announced)
        return 1;
    size_t k = 1;
    while (k < announced && (p[k] & 0xC0) == 0x80)
        ++k;
    return k;
}

} // namespace

std::string ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (IsHighSurrogate(cp) && i + 1 < text.size() && IsLowSurrogate(text[i + 1]))
            cp = CombineSurrogates(cp, text[++i]);
        else if (IsSurrogate(cp))
            cp = kReplacementCharacter;
        char bytes[4];
        out.append(bytes, EncodeUtf8(cp, bytes));
    }
    return out;
}

std::u16string FromUtf8(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const unsigned char* const end = p + text.size();
    while (p < end) {
        char32_t cp = kReplacementCharacter;
        size_t length = StrictUtf8Length(p, end);
        if (length)
            cp = DecodeUtf8Sequence(p, length);
        else
            length = IllFormedSpan(p, end);
        p += length;
        char16_t units[2];
        out.append(units, EncodeUtf16(cp, units));
    }
    return out;
}

} // namespace quillon
