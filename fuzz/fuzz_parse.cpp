// Fuzz target: parse arbitrary UTF-16 text, then read everything the navigation offers.
// The index must describe the text, and parsing the same text twice must agree.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"

using namespace quillon;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::u16string text = fuzz::TextFromBytes(data, size);
    CXmlDocument document(text);
    if (document.GetDocument() != text)
        fuzz::Fail("the parse changed the text", text);
    document.CheckWellFormed();
    fuzz::CheckIndex(document);

    // Walk with the cursor operations, reading text and attributes on the way.
    document.ResetPosition();
    int steps = 0;
    while (document.FindChildElement() && ++steps < 2000) {
        document.GetChildText();
        document.GetChildAttribute(u"a");
        std::u16string name, value;
        for (size_t i = 0; i < 4 && document.GetChildAttributeAt(i, &name, &value); ++i) {
        }
        if (steps % 3 == 0) {
            document.EnterElement();
        } else if (steps % 7 == 0) {
            document.LeaveElement();
        }
    }
    document.ResetPosition();
    document.FindElement(u"a[1]");
    document.FindElement(u"/a");

    CXmlDocument again(text);
    fuzz::CheckSameShape(fuzz::Shape(document), fuzz::Shape(again), text, "a second parse");
    return 0;
}
