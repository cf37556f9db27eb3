// Conversions of the code pages without a built-in fast path, through the C library's iconv.
// Code page numbers are mapped to iconv's names; a code page iconv cannot convert is refused,
// and the caller then converts as the system ANSI code page.
#include "xml/xml_encoding.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>

namespace quillon::codec {

namespace {

const char* IconvName(int codePage) {
    switch (codePage) {
    case 154:
        return "PT154";
    case 437:
        return "CP437";
    case 708:
        return "ASMO-708";
    case 737:
        return "CP737";
    case 775:
        return "CP775";
    case 850:
        return "CP850";
    case 852:
        return "CP852";
    case 855:
        return "CP855";
    case 857:
        return "CP857";
    case 858:
        return "CP858";
    case 860:
        return "CP860";
    case 861:
        return "CP861";
    case 862:
        return "CP862";
    case 863:
        return "CP863";
    case 864:
        return "CP864";
    case 865:
        return "CP865";
    case 866:
        return "CP866";
    case 869:
        return "CP869";
    case 874:
        return "CP874";
    case 932:
        return "CP932";
    case 936:
        return "GBK";
    case 949:
        return "CP949";
    case 950:
        return "BIG5";
    case 1125:
        return "CP1125";
    case 1133:
        return "CP1133";
    case 1250:
        return "CP1250";
    case 1251:
        return "CP1251";
    case 1253:
        return "CP1253";
    case 1254:
        return "CP1254";
    case 1255:
        return "CP1255";
    case 1256:
        return "CP1256";
    case 1257:
        return "CP1257";
    case 1258:
        return "CP1258";
    case 1361:
        return "JOHAB";
    case 10000:
        return "MACINTOSH";
    case 10007:
        return "MAC-CYRILLIC";
    case 10017:
        return "MAC-UK";
    case 10029:
        return "MAC-CENTRALEUROPE";
    case 10079:
        return "MAC-IS";
    case 20000:
        return "EUC-TW";
    case 20866:
        return "KOI8-R";
    case 20932:
        return "EUC-JP";
    case 21866:
        return "KOI8-U";
    case 28592:
        return "ISO-8859-2";
    case 28593:
        return "ISO-8859-3";
    case 28594:
        return "ISO-8859-4";
    case 28595:
        return "ISO-8859-5";
    case 28596:
        return "ISO-8859-6";
    case 28597:
        return "ISO-8859-7";
    case 28598:
        return "ISO-8859-8";
    case 28599:
        return "ISO-8859-9";
    case 28603:
        return "ISO-8859-13";
    case 28605:
        return "ISO-8859-15";
    case 38598:
        return "ISO-8859-8";
    case 50220:
    case 50221:
    case 50222:
        return "ISO-2022-JP";
    case 50225:
        return "ISO-2022-KR";
    case 51932:
        return "EUC-JP";
    case 51936:
        return "EUC-CN";
    case 51949:
        return "EUC-KR";
    case 54936:
        return "GB18030";
    case 65000:
        return "UTF-7";
    default:
        return nullptr;
    }
}

// An open iconv descriptor, closed with its owner.
class CIconv {
public:
    CIconv(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~CIconv() {
        if (Valid())
            iconv_close(m_cd);
    }
    CIconv(const CIconv&) = delete;
    CIconv& operator=(const CIconv&) = delete;
    bool Valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    // One iconv() call; returns false with errno's value in error when it stopped early.
    bool Run(const char** in, size_t* inLeft, char** out, size_t* outLeft, int& error) {
        errno = 0;
        const size_t result = iconv(m_cd, const_cast<char**>(in), inLeft, out, outLeft);
        error = errno;
        return result != static_cast<size_t>(-1);
    }

private:
    iconv_t m_cd;
};

constexpr size_t kChunkBytes = 16384;

// Appends iconv's UTF-16LE output to the caller's buffer (or only counts it).
void EmitUtf16(const char* data, size_t byteCount, char16_t* out, size_t& produced) {
    const size_t units = byteCount / 2;
    if (out) {
        const auto* p = reinterpret_cast<const unsigned char*>(data);
        for (size_t i = 0; i < units; ++i)
            out[produced + i] = static_cast<char16_t>(p[2 * i] | (p[2 * i + 1] << 8));
    }
    produced += units;
}

void EmitBytes(const char* data, size_t byteCount, char* out, size_t& produced) {
    if (out && byteCount)
        std::memcpy(out + produced, data, byteCount);
    produced += byteCount;
}

bool IsHighSurrogate(unsigned c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(unsigned c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

} // namespace

int SystemAnsiCodePage() {
    return kCodePageWindows1252;
}

bool BytesToUtf16(int codePage, const char* bytes, size_t length, char16_t* out, size_t& produced) {
    const char* name = IconvName(codePage);
    if (!name)
        return false;
    CIconv cd("UTF-16LE", name);
    if (!cd.Valid())
        return false;
    produced = 0;
    char buffer[kChunkBytes];
    const char* in = bytes;
    size_t inLeft = length;
    const char replacement[2] = {static_cast<char>(0xFD), static_cast<char>(0xFF)};
    for (;;) {
        char* o = buffer;
        size_t oLeft = sizeof buffer;
        int error = 0;
        const bool done = cd.Run(&in, &inLeft, &o, &oLeft, error);
        EmitUtf16(buffer, static_cast<size_t>(o - buffer), out, produced);
        if (done || inLeft == 0)
            break;
        if (error == E2BIG)
            continue;
        // An invalid byte becomes U+FFFD and the scan resumes after it; a sequence cut off by
        // the end of the input becomes one U+FFFD.
        EmitUtf16(replacement, 2, out, produced);
        if (error == EILSEQ) {
            ++in;
            --inLeft;
        } else {
            break;
        }
    }
    char* o = buffer;
    size_t oLeft = sizeof buffer;
    int error = 0;
    cd.Run(nullptr, nullptr, &o, &oLeft, error);
    EmitUtf16(buffer, static_cast<size_t>(o - buffer), out, produced);
    return true;
}

bool Utf16ToBytes(int codePage, const char16_t* text, size_t length, char* out, size_t& produced,
                  bool* usedDefault) {
    const char* name = IconvName(codePage);
    if (!name)
        return false;
    CIconv cd(name, "UTF-16LE");
    if (!cd.Valid())
        return false;
    produced = 0;
    char buffer[kChunkBytes];
    // iconv reads little-endian bytes: feed the text through a small staging buffer.
    unsigned char staged[kChunkBytes];
    size_t index = 0;
    while (index < length) {
        size_t count = length - index;
        if (count > sizeof staged / 2)
            count = sizeof staged / 2;
        // Keep a surrogate pair together in one piece.
        if (index + count < length && count > 1 && IsHighSurrogate(text[index + count - 1]))
            --count;
        for (size_t i = 0; i < count; ++i) {
            staged[2 * i] = static_cast<unsigned char>(text[index + i] & 0xFF);
            staged[2 * i + 1] = static_cast<unsigned char>(text[index + i] >> 8);
        }
        const char* in = reinterpret_cast<const char*>(staged);
        size_t inLeft = 2 * count;
        while (inLeft) {
            char* o = buffer;
            size_t oLeft = sizeof buffer;
            int error = 0;
            const bool done = cd.Run(&in, &inLeft, &o, &oLeft, error);
            EmitBytes(buffer, static_cast<size_t>(o - buffer), out, produced);
            if (done || inLeft == 0)
                break;
            if (error == E2BIG)
                continue;
            // A character without a representation (or an unpaired surrogate): write the default
            // character through the converter, so a shifting encoding stays in a valid state.
            const auto* unit = reinterpret_cast<const unsigned char*>(in);
            const unsigned c = unit[0] | (unit[1] << 8);
            size_t skip = 2;
            if (IsHighSurrogate(c) && inLeft >= 4) {
                const unsigned next = unit[2] | (unit[3] << 8);
                if (IsLowSurrogate(next))
                    skip = 4;
            }
            in += skip;
            inLeft -= skip < inLeft ? skip : inLeft;
            const char question[2] = {'?', 0};
            const char* q = question;
            size_t qLeft = 2;
            o = buffer;
            oLeft = sizeof buffer;
            cd.Run(&q, &qLeft, &o, &oLeft, error);
            EmitBytes(buffer, static_cast<size_t>(o - buffer), out, produced);
            if (usedDefault)
                *usedDefault = true;
        }
        index += count;
    }
    char* o = buffer;
    size_t oLeft = sizeof buffer;
    int error = 0;
    cd.Run(nullptr, nullptr, &o, &oLeft, error);
    EmitBytes(buffer, static_cast<size_t>(o - buffer), out, produced);
    return true;
}

} // namespace quillon::codec
