// Shared checks of the fuzz targets: the index of a document must describe its text, and
// two indexes can be compared element by element.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "xml/xml_document.h"

namespace quillon::fuzz {

struct ElementShape {
    uint32_t depth;
    std::u16string name;
    uint32_t start, length, startTag, endTag;
    bool operator==(const ElementShape& other) const;
};

// Every live element in document order.
std::vector<ElementShape> Shape(CXmlDocument& document);

// Aborts with a description when an element lies outside the text or its parent, does not
// begin with '<', or when the walk and the live count disagree.
void CheckIndex(CXmlDocument& document);

// Aborts with both shapes printed when they differ.
void CheckSameShape(const std::vector<ElementShape>& index, const std::vector<ElementShape>& reparsed,
                    const std::u16string& text, const char* step);

// The text with control characters written as \xNN, for messages.
std::string Printable(std::u16string_view text);

[[noreturn]] void Fail(const std::string& message, const std::u16string& text);

// Text of the input: an even first byte takes the rest as UTF-16LE units; an odd one widens
// each byte, and 0xFF followed by two bytes gives any unit (markup stays easy to reach).
std::u16string TextFromBytes(const uint8_t* data, size_t size);

} // namespace quillon::fuzz
