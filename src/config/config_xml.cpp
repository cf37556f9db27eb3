// CConfigXml's typed readers and writers, and decimal parsing with clamping.
#include "config/config_xml.h"

#include <limits>

namespace quillon {
namespace {

constexpr std::u16string_view kTrue = u"True";
constexpr std::u16string_view kFalse = u"False";

bool IsLeadingSpace(char16_t c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

} // namespace

std::int32_t ParseDecimal(std::u16string_view text) {
    size_t i = 0;
    while (i < text.size() && IsLeadingSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    // Accumulate the magnitude in 64 bits and stop growing it once it is past every
    // limit, so a long run of digits can neither overflow nor take long.
    constexpr std::int64_t kCap = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 2;
    std::int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        if (magnitude < kCap)
            magnitude = magnitude * 10 + (text[i] - u'0');
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    if (value < std::numeric_limits<std::int32_t>::min())
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(value);
}

std::u16string FormatDecimal(std::int64_t value) {
    std::string ascii = std::to_string(value);
    return std::u16string(ascii.begin(), ascii.end());
}

bool CConfigXml::GetChildBool(std::u16string_view name, BOOL32& value) {
    if (!FindChildElement(name))
        return false;
    value = GetChildText() == kTrue ? 1 : 0;
    return true;
}

bool CConfigXml::GetChildInt(std::u16string_view name, std::int32_t& value) {
    if (!FindChildElement(name))
        return false;
    value = ParseDecimal(GetChildText());
    return true;
}

bool CConfigXml::GetChildWord(std::u16string_view name, std::uint16_t& value) {
    std::int32_t wide = 0;
    if (!GetChildInt(name, wide))
        return false;
    value = static_cast<std::uint16_t>(static_cast<std::uint32_t>(wide) & 0xFFFFu);
    return true;
}

bool CConfigXml::AddChildBool(std::u16string_view name, BOOL32 value) {
    return AddChildElement(name, value ? kTrue : kFalse);
}

BOOL32 CConfigXml::GetChildAttributeBool(std::u16string_view name, BOOL32 defaultValue) {
    const std::u16string text = GetChildAttribute(name);
    if (text == kTrue)
        return 1;
    if (text == kFalse)
        return 0;
    return defaultValue;
}

bool CConfigXml::SetChildAttributeBool(std::u16string_view name, BOOL32 value) {
    return SetChildAttribute(name, value ? kTrue : kFalse);
}

} // namespace quillon
