// Test support: the element structure as the index holds it, and as a fresh parse of
// the document text finds it, so checks can compare the two after every edit.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace quillon {

class CXmlDocument;

struct ElementOutline {
    uint32_t depth;      // 0 for top-level elements
    std::u16string name; // tag name
    uint32_t start;      // offset of '<'
    uint32_t length;
    bool operator==(const ElementOutline& other) const {
        return depth == other.depth && name == other.name && start == other.start && length == other.length;
    }
    bool operator!=(const ElementOutline& other) const { return !(*this == other); }
};

// Every live element in document order, walking the index from the document record.
std::vector<ElementOutline> OutlineFromIndex(CXmlDocument& document);
// The same for a fresh parse of the document's current text.
std::vector<ElementOutline> OutlineFromText(CXmlDocument& document);
// Checks the index's own invariants (links, rings, first-child bits, lengths within the
// text, parents containing children); returns an empty text or what is wrong.
std::string CheckIndex(CXmlDocument& document);

} // namespace quillon
