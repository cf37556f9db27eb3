// Element outlines and index checks for tests and fuzzing.
#include "xml_debug.h"

#include <algorithm>

#include "xml/xml_document.h"

namespace quillon {

std::vector<ElementOutline> OutlineFromIndex(CXmlDocument& document) {
    std::vector<ElementOutline> out;
    uint32_t n = document.FirstChild(0);
    uint32_t depth = 0;
    while (n) {
        out.push_back(ElementOutline{depth, std::u16string(document.ElementName(n)), document.ElementStart(n),
                                     document.ElementLength(n)});
        n = NextInDocumentOrder(document, n, &depth);
    }
    return out;
}

std::vector<ElementOutline> OutlineFromText(CXmlDocument& document) {
    CXmlDocument fresh;
    fresh.SetDocumentFlags(document.GetDocumentFlags());
    fresh.SetDocument(document.GetDocument());
    return OutlineFromIndex(fresh);
}

std::string CheckIndex(CXmlDocument& document) {
    const size_t textLength = document.GetDocument().size();
    if (document.ElementLength(0) != textLength)
        return "document record length differs from the text length";
    std::string problem;
    uint32_t count = 0;
    // Recursive walk with an explicit stack of parents.
    std::vector<uint32_t> parents{0};
    while (!parents.empty() && problem.empty()) {
        const uint32_t parent = parents.back();
        parents.pop_back();
        const uint32_t first = document.FirstChild(parent);
        uint32_t previous = 0;
        uint32_t lastEnd = parent ? document.ElementStart(parent) + document.StartTagLength(parent) : 0;
        const uint64_t parentEnd = uint64_t{document.ElementStart(parent)} + document.ElementLength(parent);
        for (uint32_t c = first; c; c = document.NextSibling(c)) {
            ++count;
            const uint32_t flags = document.ElementFlags(c);
            if (document.ParentOf(c) != parent)
                return "child " + std::to_string(c) + " names the wrong parent";
            if (((flags & CXmlDocument::kElementFirstChild) != 0) != (c == first))
                return "first-child bit wrong on " + std::to_string(c);
            const uint32_t parentLevel = document.ElementFlags(parent) & CXmlDocument::kLevelMask;
            const uint32_t level = parent ? std::min(parentLevel + 1, CXmlDocument::kLevelMask) : 0;
            if ((flags & CXmlDocument::kLevelMask) != level)
                return "element " + std::to_string(c) + " has level " +
                       std::to_string(flags & CXmlDocument::kLevelMask) + ", its parent's is " +
                       std::to_string(parent ? parentLevel : 0);
            const uint32_t start = document.ElementStart(c);
            if (start < lastEnd)
                return "element " + std::to_string(c) +
                       " starts inside its previous sibling or parent's start tag";
            if (uint64_t{start} + document.ElementLength(c) > parentEnd)
                return "element " + std::to_string(c) + " reaches beyond its parent";
            if (document.StartTagLength(c) > document.ElementLength(c) ||
                document.StartTagLength(c) + document.EndTagLength(c) > document.ElementLength(c))
                return "tag lengths of " + std::to_string(c) + " exceed its length";
            const std::u16string_view text = document.GetDocument();
            const uint32_t startTag = document.StartTagLength(c);
            if (start >= text.size() || startTag < 2 || uint64_t{start} + startTag > text.size() ||
                text[start] != u'<' || text[start + startTag - 1] != u'>')
                return "element " + std::to_string(c) + " does not begin with its start tag";
            if (c != first && document.PreviousSibling(c) != previous)
                return "previous sibling of " + std::to_string(c) + " is wrong";
            if (document.NextSibling(c) == 0 && document.PreviousSibling(first) != c)
                return "the first child of " + std::to_string(parent) + " does not hold the last child";
            lastEnd = start + document.ElementLength(c);
            previous = c;
            parents.push_back(c);
            if (count > document.ElementCount())
                return "more linked elements than live ones (a cycle?)";
        }
    }
    if (count != document.ElementCount())
        return "linked elements " + std::to_string(count) + " but live " +
               std::to_string(document.ElementCount());
    return problem;
}

} // namespace quillon
