// The single-pass parser: scans the document text node by node and builds the element
// table, recovering from every syntax error and reporting it.
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "xml/xml_document.h"
#include "xml/xml_report.h"
#include "xml/xml_scanner.h"
#include "xml/xml_simd.h"

namespace quillon {

namespace {

struct OpenTag {
    uint32_t element;
    uint32_t nameStart;
    uint32_t nameLength;
};

std::u16string_view Ascii16(const char* text, std::u16string& buffer) {
    buffer.assign(text, text + std::strlen(text));
    return buffer;
}

}  // namespace

void CXmlDocument::Parse() {
    m_parent = m_main = m_child = 0;
    m_nodeType = 0;
    m_nextFree = 1;
    m_liveCount = 0;
    m_shiftFrom = UINT32_MAX;
    m_shiftBy = 0;
    m_longTags.clear();

    const char16_t* text = m_text.Data();
    const size_t length = m_text.Length();
    if (!m_table.Grow(uint64_t{length} / 64 + 8) && m_table.Size() == 0) {
        m_nextFree = 0;  // no memory for even the document record
        return;
    }
    std::memset(&m_table[0], 0, sizeof(ElementRecord));
    m_table[0].length = static_cast<uint32_t>(length);

    std::unique_ptr<CResultReport> report;
    auto addEntry = [&](const ReportEntry& entry) {
        if (m_quiet)
            return;
        if (!report)
            report = std::make_unique<CResultReport>(m_result);
        report->Add(entry);
    };
    std::u16string nameBuffer;

    const bool noCase = (m_flags & kFlagNoCase) != 0;
    std::vector<OpenTag> open;
    open.reserve(7);
    uint32_t current = 0;  // the current parent (also where error marks go)
    uint32_t root = 0;
    bool failed = false;
    bool relinked = false;  // children of unended elements were moved up

    // Closes the open elements above index keep (all of them when keep is -1) as unended.
    auto closeUnended = [&](ptrdiff_t keep, size_t endOffset) {
        const size_t first = static_cast<size_t>(keep + 1);
        if (first >= open.size())
            return;
        for (size_t j = open.size(); j-- > first;) {
            const uint32_t e = open[j].element;
            ElementRecord& record = m_table[e];
            record.length = StartTagLength(e);
            SetTagLengths(e, record.length, 0);
            record.levelFlags |= kElementUnended;
            if (record.levelFlags & kElementErrorInside)
                m_table[record.parent].levelFlags |= kElementErrorInside;
            m_table[0].levelFlags |= kDocumentIllFormed;
            addEntry(ReportEntry{u"unended_start_tag", u"tagname",
                                 std::u16string_view(text + open[j].nameStart, open[j].nameLength), u"offset",
                                 int64_t{ElementStart(e)}, true, int64_t(endOffset)});
        }
        // Their children become following siblings, in document order, under the parent of
        // the outermost one; each element moves once.
        const uint32_t outer = open[first].element;
        const uint32_t target = m_table[outer].parent;
        const uint32_t level = target ? ((m_table[target].levelFlags & kLevelMask) + 1) & kLevelMask : 0;
        uint32_t last = outer;
        for (size_t j = first; j < open.size(); ++j) {
            const uint32_t e = open[j].element;
            const uint32_t child = m_table[e].firstChild;
            if (!child)
                continue;
            m_table[child].levelFlags &= ~kElementFirstChild;
            m_table[child].previousSibling = last;
            m_table[last].nextSibling = child;
            for (uint32_t c = child; c; c = m_table[c].nextSibling) {
                m_table[c].parent = target;
                m_table[c].levelFlags = (m_table[c].levelFlags & ~kLevelMask) | level;
                last = c;
            }
            m_table[e].firstChild = 0;
        }
        m_table[last].nextSibling = 0;
        m_table[m_table[target].firstChild].previousSibling = last;
        relinked = relinked || last != outer;
        open.resize(first);
        current = target;
    };

    // Elements go into the table as they are met; the fields are written directly so a
    // record costs no more than its eight words.
    auto openElement = [&](size_t start, size_t tagLength, size_t nameEnd, bool empty, bool simpleName) {
        uint32_t n;
        if (m_nextFree < m_table.Size()) {
            n = m_nextFree++;
            ++m_liveCount;
        } else {
            n = TakeRecord();
            if (n == 0)
                return false;
        }
        ElementRecord& record = m_table[n];
        ElementRecord& parent = m_table[current];
        record.start = static_cast<uint32_t>(start);
        record.length = static_cast<uint32_t>(tagLength);
        record.parent = current;
        record.firstChild = 0;
        record.nextSibling = 0;
        uint32_t levelFlags = static_cast<uint32_t>(std::min<size_t>(open.size(), kLevelMask));
        if (parent.firstChild == 0) {
            parent.firstChild = n;
            levelFlags |= kElementFirstChild;
            record.previousSibling = n;
        } else {
            const uint32_t first = parent.firstChild;
            const uint32_t last = m_table[first].previousSibling;
            m_table[last].nextSibling = n;
            record.previousSibling = last;
            m_table[first].previousSibling = n;
        }
        const size_t nameLength = nameEnd - start - 1;
        if (simpleName && nameLength <= 0xFF)
            levelFlags |= static_cast<uint32_t>(nameLength) << kNameLengthShift;
        record.levelFlags = levelFlags;
        if (tagLength < (1u << 22) - 1)
            record.tagLengths = static_cast<uint32_t>(tagLength);
        else
            SetTagLengths(n, static_cast<uint32_t>(tagLength), 0);
        if (!root)
            root = n;
        if (!empty) {
            open.push_back(OpenTag{n, static_cast<uint32_t>(start + 1), static_cast<uint32_t>(nameEnd - start - 1)});
            current = n;
        }
        return true;
    };
    // The innermost open element ends with the end tag at start.
    auto closeInnermost = [&](size_t start, size_t tagLength) {
        const uint32_t e = open.back().element;
        ElementRecord& record = m_table[e];
        record.length = static_cast<uint32_t>(start + tagLength - record.start);
        const uint32_t startTag =
            record.tagLengths == 0xFFFFFFFFu ? StartTagLength(e) : (record.tagLengths & ((1u << 22) - 1));
        if (startTag < (1u << 22) - 1 && tagLength < (1u << 10) - 1)
            record.tagLengths = startTag | static_cast<uint32_t>(tagLength << 22);
        else
            SetTagLengths(e, startTag, static_cast<uint32_t>(tagLength));
        current = record.parent;
        open.pop_back();
    };
    auto closeElement = [&](size_t start, size_t tagLength, size_t nameStart, size_t nameEnd) {
        const char16_t* name = text + nameStart;
        const size_t nameLength = nameEnd - nameStart;
        ptrdiff_t match = -1;
        for (size_t j = open.size(); j-- > 0;) {
            if (NamesEqual(text + open[j].nameStart, open[j].nameLength, name, nameLength, noCase)) {
                match = static_cast<ptrdiff_t>(j);
                break;
            }
        }
        if (match < 0) {
            m_table[0].levelFlags |= kDocumentIllFormed;
            m_table[current].levelFlags |= kElementErrorInside;
            addEntry(ReportEntry{u"lone_end_tag", u"tagname", std::u16string_view(name, nameLength), u"offset",
                                 int64_t(start), false, 0});
            return;
        }
        if (static_cast<size_t>(match) + 1 < open.size())
            closeUnended(match, nameStart);
        closeInnermost(start, tagLength);
    };

    size_t pos = 0;
    NodeToken node;
    const char16_t* const end = text + length;
    while (pos < length && !failed) {
        if (text[pos] != u'<') {
            // Text and white space make no records: go straight to the next markup.
            pos = static_cast<size_t>(FindAny1(text + pos, end, u'<') - text);
            continue;
        }
        if (pos + 1 < length) {
            const char16_t c = text[pos + 1];
            if (c >= 123 || HasClass(c, kClassNameStart)) {
                size_t nameEnd = 0;
                bool empty = false;
                bool simpleName = false;
                const size_t after = ScanStartTagBody(text, length, pos, &nameEnd, &empty, &simpleName);
                if (after) {
                    if (!openElement(pos, after - pos, nameEnd, empty, simpleName)) {
                        failed = true;
                        break;
                    }
                    pos = after;
                    continue;
                }
            } else if (c == u'/') {
                // Most end tags close the innermost open element and are written "</name>".
                if (!open.empty() && !noCase) {
                    const OpenTag& top = open.back();
                    const size_t close = pos + 2 + top.nameLength;
                    if (close < length && text[close] == u'>' &&
                        std::memcmp(text + pos + 2, text + top.nameStart, top.nameLength * sizeof(char16_t)) == 0) {
                        closeInnermost(pos, close + 1 - pos);
                        pos = close + 1;
                        continue;
                    }
                }
                size_t nameEnd = 0;
                const size_t after = ScanEndTagBody(text, length, pos, &nameEnd);
                if (after) {
                    closeElement(pos, after - pos, pos + 2, nameEnd);
                    pos = after;
                    continue;
                }
            }
        }
        // Everything else (and the unterminated cases) through the general scanner.
        const int kind = ScanNode(text, length, pos, node);
        if (kind == kNodeError) {
            m_table[0].levelFlags |= kDocumentIllFormed;
            m_table[current].levelFlags |= kElementErrorInside;
            if (node.error == kUnterminatedTagSyntax)
                addEntry(ReportEntry{ScanErrorName(node.error), u"type", Ascii16(node.unterminatedType, nameBuffer),
                                     u"offset", int64_t(pos), false, 0});
            else
                addEntry(ReportEntry{ScanErrorName(node.error), {}, {}, u"offset", int64_t(pos), false, 0});
        }
        if (node.length == 0)
            break;
        pos += node.length;
    }
    closeUnended(-1, length);

    ElementRecord& document = m_table[0];
    document.length = static_cast<uint32_t>(length);
    document.firstChild = root ? document.firstChild : 0;
    if (relinked) {
        // A moved child brought its descendants along, each now some levels nearer the top:
        // every level is set again from its parent's, in one walk in document order.
        for (uint32_t n = document.firstChild; n;) {
            const uint32_t parent = m_table[n].parent;
            const uint32_t level = parent ? std::min((m_table[parent].levelFlags & kLevelMask) + 1, kLevelMask) : 0;
            m_table[n].levelFlags = (m_table[n].levelFlags & ~kLevelMask) | level;
            if (m_table[n].firstChild) {
                n = m_table[n].firstChild;
                continue;
            }
            while (n && !m_table[n].nextSibling)
                n = m_table[n].parent;
            if (n)
                n = m_table[n].nextSibling;
        }
    }
    if (!root && length > 0)
        addEntry(ReportEntry{u"no_root_element", {}, {}, {}, 0, false, 0});
    if (root && m_table[root].nextSibling)
        addEntry(ReportEntry{u"root_has_sibling", {}, {}, {}, 0, false, 0});
    if (report)
        m_result = report->Text();
    // Give back the table's unused tail: a loaded document holds no more than it needs
    // (for a small file the estimate of one record per 64 units is most of the table).
    if (m_table.Size() > m_nextFree + 8)
        m_table.Trim(m_nextFree + 8);
}

}  // namespace quillon
