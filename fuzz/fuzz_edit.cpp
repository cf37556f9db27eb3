// Fuzz target: a document and a sequence of navigation and modification operations, both
// decoded from the input. After every step the index must describe the text, and while the
// document is well-formed a fresh parse of the text must give the same element structure.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/u16.h"
#include "fuzz_support.h"
#include "xml/xml_encoding.h"

using namespace quillon;

namespace {

// Names for the add and attribute operations are well-formed; the find operations also
// get paths and names the path syntax refuses.
const char16_t* const kNames[] = {u"a", u"b", u"item", u"R", u"x:y", u"Extension", u"_n.1", u"\u00E9t\u00E9"};
const char16_t* const kFindNames[] = {u"a", u"b", u"item", u"", u"a[2]", u"/a", u"a[", u"b/c", u"Extension"};
const char16_t* const kValues[] = {
    u"",   u"1",    u"text & <more>", u"\"quoted\" 'single'", u"]]>", u"line\r\nbreak", u"\u00E9\U0001F600",
    u"  ", u"&amp;"};

// The shape comparison needs start tags whose name, as navigation reads it, is also where the
// scanner ends the name: "<S</>" is one empty-element tag named "S<" to the scanner but "S" to
// navigation, and a child added to it cannot parse back the same. Zero units end the text for
// the scanner. Documents with either are still edited and index-checked, only not compared.
bool NamesAgree(CXmlDocument& document) {
    const std::u16string text(document.GetDocument());
    if (text.find(u'\0') != std::u16string::npos)
        return false;
    for (const fuzz::ElementShape& element : fuzz::Shape(document)) {
        const size_t after = element.start + 1 + element.name.size();
        if (element.name.empty() || after >= text.size())
            return false;
        for (char16_t c : element.name)
            if (c < 0x20)
                return false;
        const char16_t next = text[after];
        if (next != u' ' && next != u'\t' && next != u'\n' && next != u'\r' && next != u'/' && next != u'>')
            return false;
    }
    return true;
}

template <typename T, size_t N> const T& Pick(const T (&table)[N], uint8_t byte) {
    return table[byte % N];
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    // The first byte gives the length of the starting document (UTF-8), the rest are steps.
    const size_t textLength = data[0] < size - 1 ? data[0] : size - 1;
    const size_t textSize = BytesToUtf16(65001, reinterpret_cast<const char*>(data + 1), textLength, nullptr);
    std::u16string start(textSize, u'\0');
    BytesToUtf16(65001, reinterpret_cast<const char*>(data + 1), textLength, start.data());

    // QUILLON_FUZZ_VERBOSE=1 prints every step with the text after it (for reproducers).
    static const bool verbose = std::getenv("QUILLON_FUZZ_VERBOSE") != nullptr;
    CXmlDocument document(start);
    if (verbose)
        std::fprintf(stderr, "start: [%s]\n", fuzz::Printable(start).c_str());
    bool checkShape = !(document.ElementFlags(0) & CXmlDocument::kDocumentIllFormed) && NamesAgree(document);
    fuzz::CheckIndex(document);

    for (size_t at = 1 + textLength; at + 2 < size; at += 3) {
        const uint8_t op = data[at] % 16, a = data[at + 1], b = data[at + 2];
        const char* step = "";
        switch (op) {
        case 0:
            step = "ResetPosition";
            document.ResetPosition();
            break;
        case 1:
            step = "FindElement";
            document.FindElement(Pick(kFindNames, a));
            break;
        case 2:
            step = "FindChildElement";
            document.FindChildElement(Pick(kFindNames, a));
            break;
        case 3:
            step = "EnterElement";
            document.EnterElement();
            break;
        case 4:
            step = "LeaveElement";
            document.LeaveElement();
            break;
        case 5:
            step = "AddElement";
            document.AddElement(Pick(kNames, a), Pick(kValues, b));
            break;
        case 6:
            step = "AddChildElement";
            document.AddChildElement(Pick(kNames, a), Pick(kValues, b));
            break;
        case 7:
            step = "SetAttribute";
            document.SetAttribute(Pick(kNames, a), Pick(kValues, b));
            break;
        case 8:
            step = "SetChildAttribute";
            document.SetChildAttribute(Pick(kNames, a), Pick(kValues, b));
            break;
        case 9:
            step = "RemoveElement";
            document.RemoveElement();
            break;
        case 10:
            step = "GetChildText";
            document.GetChildText();
            break;
        case 11:
            step = "GetChildAttribute";
            document.GetChildAttribute(Pick(kNames, a));
            break;
        case 12:
            step = "SetAttribute(int)";
            document.SetAttribute(Pick(kNames, a), static_cast<int>(b) - 128);
            break;
        case 13:
            step = "AddElement(no line breaks)";
            document.AddElement(Pick(kNames, a), Pick(kValues, b), CXmlDocument::kAddNoLineBreaks);
            break;
        case 14:
            step = "RemoveElement";
            document.RemoveElement();
            break;
        default:
            step = "FindChildElement";
            document.FindChildElement();
            break;
        }
        if (verbose)
            std::fprintf(stderr, "%s(%d, %d) -> main %u child %u parent %u: [%s]\n", step, a, b,
                         document.GetMainPosition(), document.GetChildPosition(),
                         document.GetParentPosition(), fuzz::Printable(document.GetDocument()).c_str());
        fuzz::CheckIndex(document);
        if (!checkShape)
            continue;
        const std::u16string text(document.GetDocument());
        CXmlDocument reparsed(text);
        fuzz::CheckSameShape(fuzz::Shape(document), fuzz::Shape(reparsed), text, step);
        // Two roots leave the structure comparable (no syntax error); the comparison stops
        // once the text has a syntax error, where the index may keep what the edits made.
        checkShape = !(reparsed.ElementFlags(0) & CXmlDocument::kDocumentIllFormed);
    }
    return 0;
}
