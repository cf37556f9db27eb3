// Fuzz target: arbitrary bytes as a file to load (mark detection, declared encodings,
// UTF-8 detection, conversion, parse), saved and loaded again; and the same bytes through
// the encoding functions, whose two passes must agree exactly.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/u16.h"
#include "fuzz_support.h"
#include "xml/xml_encoding.h"

using namespace quillon;

namespace {

const std::string& TempFolder() {
    static const std::string folder = [] {
        std::string base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        return base + "/quillon-fuzz-load-" + std::to_string(getpid());
    }();
    return folder;
}

bool WriteFile(const std::string& path, const uint8_t* data, size_t size) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool ok = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && ok;
}

void Abort(const char* what, int codePage) {
    std::fprintf(stderr, "encoding check failed: %s (code page %d)\n", what, codePage);
    std::abort();
}

// Both passes into buffers of exactly the announced size (the sanitizer sees any overrun).
std::u16string Decode(int codePage, const char* bytes, size_t length) {
    const size_t size = BytesToUtf16(codePage, bytes, length, nullptr);
    std::vector<char16_t> out(size);
    if (BytesToUtf16(codePage, bytes, length, out.data()) != size)
        Abort("decode passes differ", codePage);
    return std::u16string(out.begin(), out.end());
}

std::string Encode(int codePage, const std::u16string& text, bool* lossy) {
    bool sizeLossy = false;
    const size_t size = Utf16ToBytes(codePage, text.data(), text.size(), nullptr, &sizeLossy);
    std::vector<char> out(size);
    if (Utf16ToBytes(codePage, text.data(), text.size(), out.data(), lossy) != size)
        Abort("encode passes differ", codePage);
    if (*lossy != sizeLossy)
        Abort("loss flag differs between passes", codePage);
    return std::string(out.begin(), out.end());
}

void CheckEncodings(const uint8_t* data, size_t size) {
    static const int kCodePages[] = {65001, 1252, 28591, 20127, 1200,  1201,  12000, 12001,
                                     932,   936,  949,   1251,  65000, 50220, 54936, 0};
    const auto* bytes = reinterpret_cast<const char*>(data);
    const int codePage = kCodePages[size ? data[0] % (sizeof kCodePages / sizeof kCodePages[0]) : 0];
    const std::u16string text = Decode(codePage, bytes, size);
    bool lossy = false;
    const std::string back = Encode(codePage, text, &lossy);
    switch (codePage) {
    case 28591:
    case 1252: // every byte has a character: an exact round trip
        if (back != std::string(bytes, size) || lossy)
            Abort("single-byte round trip", codePage);
        break;
    case 1200:
        if (size % 2 == 0 && back != std::string(bytes, size))
            Abort("UTF-16 round trip", codePage);
        break;
    case 65001:
        // Decoding is a normalisation: once decoded, the text survives the round trip.
        if (Decode(65001, back.data(), back.size()) != text)
            Abort("UTF-8 round trip", codePage);
        // The check that decides whether a file is read as UTF-8 accepts exactly the bytes
        // that come back unchanged.
        if (IsStrictUtf8(bytes, size) != (back == std::string(bytes, size)))
            Abort("strict UTF-8 check and conversion disagree", codePage);
        break;
    default:
        break;
    }
    // The lax scan and the single-character decoder agree on what is valid.
    size_t nonAscii = 0;
    bool atEnd = false;
    const bool looksValid = LooksLikeUtf8(bytes, size, &nonAscii, &atEnd);
    const char* end = bytes + size;
    for (size_t i = 0; i < size; ++i)
        if (bytes[i] == 0) {
            end = bytes + i;
            break;
        }
    bool decodes = true;
    size_t sequences = 0;
    for (const char* cursor = bytes; cursor < end;) {
        if (static_cast<unsigned char>(*cursor) >= 0x80)
            ++sequences;
        if (DecodeUtf8Char(cursor, end) < 0) {
            decodes = false;
            break;
        }
    }
    if (looksValid != decodes || (looksValid && sequences != nonAscii))
        Abort("UTF-8 scan and decoder disagree", 65001);
    // Every name lookup ends, whatever the text.
    CodePageFromName(std::u16string_view(text).substr(0, 120));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CheckEncodings(data, size);

    const std::string path = TempFolder() + ".xml";
    const std::string savedPath = TempFolder() + ".saved.xml";
    if (!WriteFile(path, data, size))
        return 0;
    CXmlDocument document;
    document.LoadFile(FromUtf8(path));
    fuzz::CheckIndex(document);
    // Save in the encoding the file was read in (or its declaration), and read that back.
    if (document.SaveFile(FromUtf8(savedPath))) {
        CXmlDocument again;
        again.SetDocumentFlags(0);
        again.LoadFile(FromUtf8(savedPath));
        fuzz::CheckIndex(again);
    }
    std::remove(path.c_str());
    std::remove(savedPath.c_str());
    return 0;
}
