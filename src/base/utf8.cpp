// The strict UTF-8 rules and scalar encoding of one code point.
#include "base/utf8.h"

#include <cstring>

namespace quillon {

size_t StrictUtf8Length(const unsigned char* p, const unsigned char* end) {
    const unsigned lead = *p;
    if (lead < 0x80)
        return 1;
    const Utf8Lead rule = ReadUtf8Lead(lead);
    const size_t need = rule.need;
    if (need == 0)
        return 0;
    unsigned low = rule.low, high = rule.high;
    if (static_cast<size_t>(end - p) <= need)
        return 0;
    for (size_t k = 1; k <= need; ++k) {
        if (p[k] < low || p[k] > high)
            return 0;
        low = 0x80;
        high = 0xBF;
    }
    return need + 1;
}

char32_t DecodeUtf8Sequence(const unsigned char* p, size_t length) {
    static constexpr unsigned char kLeadBits[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    char32_t cp = p[0] & kLeadBits[length];
    for (size_t k = 1; k < length; ++k)
        cp = (cp << 6) | (p[k] & 0x3F);
    return cp;
}

bool IsStrictUtf8(const char* bytes, size_t length) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    const unsigned char* const end = p + length;
    while (p < end) {
        // Runs of ASCII eight bytes at a time.
        while (end - p >= 8) {
            uint64_t word;
            std::memcpy(&word, p, 8);
            if (word & 0x8080808080808080ull)
                break;
            p += 8;
        }
        if (p == end)
            break;
        const size_t n = StrictUtf8Length(p, end);
        if (n == 0)
            return false;
        p += n;
    }
    return true;
}

size_t EncodeUtf8(char32_t cp, char* out) {
    unsigned char bytes[4];
    size_t n;
    if (cp < 0x80) {
        bytes[0] = static_cast<unsigned char>(cp);
        n = 1;
    } else if (cp < 0x800) {
        bytes[0] = static_cast<unsigned char>(0xC0 | (cp >> 6));
        bytes[1] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
        n = 2;
    } else if (cp < 0x10000) {
        bytes[0] = static_cast<unsigned char>(0xE0 | (cp >> 12));
        bytes[1] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
        bytes[2] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
        n = 3;
    } else {
        bytes[0] = static_cast<unsigned char>(0xF0 | (cp >> 18));
        bytes[1] = static_cast<unsigned char>(0x80 | ((cp >> 12) & 0x3F));
        bytes[2] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
        bytes[3] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
        n = 4;
    }
    if (out)
        std::memcpy(out, bytes, n);
    return n;
}

} // namespace quillon
