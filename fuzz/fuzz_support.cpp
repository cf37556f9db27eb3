// Shared checks of the fuzz targets: index against text, and shape comparisons.
#include "fuzz_support.h"

#include <cstdio>
#include <cstdlib>

#include "base/u16.h"
#include "xml_debug.h"

namespace quillon::fuzz {

bool ElementShape::operator==(const ElementShape& other) const {
    return depth == other.depth && name == other.name && start == other.start && length == other.length &&
           startTag == other.startTag && endTag == other.endTag;
}

std::vector<ElementShape> Shape(CXmlDocument& document) {
    std::vector<ElementShape> shape;
    uint32_t depth = 0;
    uint32_t n = document.FirstChild(0);
    while (n) {
        shape.push_back({depth, std::u16string(document.ElementName(n)), document.ElementStart(n),
                         document.ElementLength(n), document.StartTagLength(n), document.EndTagLength(n)});
        if (shape.size() > 10000000)
            break; // a cycle in the links; CheckIndex reports it
        n = NextInDocumentOrder(document, n, &depth);
    }
    return shape;
}

std::string Printable(std::u16string_view text) {
    std::u16string shown;
    for (char16_t c : text.substr(0, 4000)) {
        if (c < 0x20 && c != u'\n') {
            const char hex[] = "0123456789abcdef";
            shown += u"\\x";
            shown += static_cast<char16_t>(hex[c >> 4]);
            shown += static_cast<char16_t>(hex[c & 15]);
        } else {
            shown += c;
        }
    }
    return ToUtf8(shown);
}

[[noreturn]] void Fail(const std::string& message, const std::u16string& text) {
    std::fprintf(stderr, "index check failed: %s\ntext (%zu units): %s\n", message.c_str(), text.size(),
                 Printable(text).c_str());
    std::abort();
}

void CheckIndex(CXmlDocument& document) {
    const std::u16string text(document.GetDocument());
    // The engine's own check of links, rings and first-child bits first.
    const std::string problem = ::quillon::CheckIndex(document);
    if (!problem.empty())
        Fail(problem, text);
    size_t walked = 0;
    uint32_t n = document.FirstChild(0);
    while (n) {
        if (++walked > document.ElementCount())
            Fail("the walk reaches more elements than are live (" + std::to_string(document.ElementCount()) +
                     ")",
                 text);
        const uint64_t start = document.ElementStart(n);
        const uint64_t end = start + document.ElementLength(n);
        if (end > text.size() || start >= text.size() || text[start] != u'<')
            Fail("element " + std::to_string(n) + " at " + std::to_string(start) + "+" +
                     std::to_string(document.ElementLength(n)) + " is not a tag of the text",
                 text);
        if (document.StartTagLength(n) + document.EndTagLength(n) > document.ElementLength(n))
            Fail("element " + std::to_string(n) + " has tags longer than itself", text);
        if (const uint32_t parent = document.ParentOf(n)) {
            const uint64_t parentStart = document.ElementStart(parent);
            if (start < parentStart || end > parentStart + document.ElementLength(parent))
                Fail("element " + std::to_string(n) + " lies outside its parent " + std::to_string(parent),
                     text);
        }
        if (const uint32_t child = document.FirstChild(n)) {
            if (document.ParentOf(child) != n)
                Fail("child " + std::to_string(child) + " names another parent", text);
            n = child;
            continue;
        }
        while (n && !document.NextSibling(n))
            n = document.ParentOf(n);
        if (n) {
            const uint32_t next = document.NextSibling(n);
            if (document.ElementStart(next) < document.ElementStart(n) + document.ElementLength(n))
                Fail("sibling " + std::to_string(next) + " overlaps " + std::to_string(n), text);
            n = next;
        }
    }
    if (walked != document.ElementCount())
        Fail("the walk reaches " + std::to_string(walked) + " elements, " +
                 std::to_string(document.ElementCount()) + " are live",
             text);
}

void CheckSameShape(const std::vector<ElementShape>& index, const std::vector<ElementShape>& reparsed,
                    const std::u16string& text, const char* step) {
    if (index == reparsed)
        return;
    std::string message = std::string("after ") + step + " the index differs from a parse of the text\n";
    const size_t count = index.size() > reparsed.size() ? index.size() : reparsed.size();
    for (size_t i = 0; i < count && i < 40; ++i) {
        auto line = [](const std::vector<ElementShape>& shape, size_t k) {
            if (k >= shape.size())
                return std::string("-");
            const ElementShape& e = shape[k];
            return std::to_string(e.depth) + " " + ToUtf8(e.name) + " @" + std::to_string(e.start) + "+" +
                   std::to_string(e.length) + " tags " + std::to_string(e.startTag) + "/" +
                   std::to_string(e.endTag);
        };
        message += "  index: " + line(index, i) + "   parse: " + line(reparsed, i) + "\n";
    }
    Fail(message, text);
}

std::u16string TextFromBytes(const uint8_t* data, size_t size) {
    std::u16string text;
    if (size == 0)
        return text;
    if (data[0] % 2 == 0) {
        for (size_t i = 1; i + 1 < size; i += 2)
            text += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
        return text;
    }
    for (size_t i = 1; i < size; ++i) {
        if (data[i] == 0xFF && i + 2 < size) {
            text += static_cast<char16_t>(data[i + 1] | (data[i + 2] << 8));
            i += 2;
        } else {
            text += static_cast<char16_t>(data[i]);
        }
    }
    return text;
}

} // namespace quillon::fuzz
