// Text encodings of the XML engine (temporary stubs; the real tables and conversions follow).
#include "xml/xml_encoding.h"

namespace quillon {

int CodePageFromName(std::u16string_view name) { return name.empty() ? 0 : -1; }
bool LooksLikeUtf8(const char*, size_t, size_t* nonAsciiCount, bool* errorAtEnd)
{
    if (nonAsciiCount) *nonAsciiCount = 0;
    if (errorAtEnd) *errorAtEnd = false;
    return true;
}
int DecodeUtf8Char(const char*& cursor, const char* end)
{
    if (cursor >= end) return -1;
    return static_cast<unsigned char>(*cursor++);
}
void EncodeUtf8Char(int codePoint, char* out, size_t& length)
{
    if (out) out[length] = static_cast<char>(codePoint);
    ++length;
}
size_t BytesToUtf16(int, const char* bytes, size_t length, char16_t* out)
{
    if (out)
        for (size_t i = 0; i < length; ++i) out[i] = static_cast<unsigned char>(bytes[i]);
    return length;
}
size_t Utf16ToBytes(int, const char16_t* text, size_t length, char* out, bool* lossy)
{
    if (lossy) *lossy = false;
    if (out)
        for (size_t i = 0; i < length; ++i) out[i] = static_cast<char>(text[i]);
    return length;
}
bool EncodingConverter::Convert(void*) { return false; }

}  // namespace quillon
