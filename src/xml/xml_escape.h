// Escaping of values into markup text, decoding of character and entity references,
// and CDATA sections.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace quillon {

constexpr uint32_t kEscapeCdata = 0x01;          // (add option) write a CDATA section instead
constexpr uint32_t kEscapeKeepReferences = 0x08; // copy references already in the text
constexpr uint32_t kEscapeQuotes = 0x100;        // attribute values: escape ' and " too

// "<" "&" ">" (and "'" "\"" with kEscapeQuotes) as references.
std::u16string EscapeMarkupText(std::u16string_view text, uint32_t options);
void AppendEscapedMarkupText(std::u16string& out, std::u16string_view text, uint32_t options);

// Numeric references, the XML references and the HTML 4.01 named references (plus apos)
// decoded; anything that is not a reference stays as written.
std::u16string UnescapeMarkupText(std::u16string_view text);
void AppendUnescapedMarkupText(std::u16string& out, std::u16string_view text);

// "<![CDATA[" value "]]>", with every "]]>" of the value split across two sections.
std::u16string CdataSection(std::u16string_view value);

// The code point of a named reference (case-sensitive), 0 when there is none.
int NamedReference(std::u16string_view name);

} // namespace quillon
