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

// A first guess at the table's size: about one element per 64 units of text; the table
// grows past it and gives back what the guess left over.
constexpr uint64_t kUnitsPerRecordGuess = 64;
// Records kept spare at the end of a parse, so the first few additions need no growth.
constexpr uint32_t kSpareRecords = 8;
// Most documents nest no deeper than this, so the open-tag stack rarely reallocates.
constexpr size_t kUsualDepth = 7;

std::u16string_view Ascii16(const char* text, std::u16string& buffer) {
    buffer.assign(text, text + std::strlen(text));
    return buffer;
}

} // namespace

// One parse of a document's text: the table is filled as the markup is met, open elements
// are kept on a stack of their names, and every error is reported where it is found.
class CXmlDocument::CParser {
public:
    explicit CParser(CXmlDocument& document)
        : m_doc(document), m_table(document.m_table), m_text(document.m_text.Data()),
          m_length(document.m_text.Length()), m_noCase((document.m_flags & kFlagNoCase) != 0) {}

    void Run() {
        if (!StartTable())
            return;
        m_open.reserve(kUsualDepth);
        ScanMarkup();
        CloseUnended(-1, m_length);
        Finish();
    }

private:
    // Forgets every position and element and sets up the document record.
    bool StartTable() {
        CXmlDocument& d = m_doc;
        d.m_parent = d.m_main = d.m_child = 0;
        d.m_nodeType = 0;
        d.m_nextFree = 1;
        d.m_liveCount = 0;
        d.m_shiftFrom = UINT32_MAX;
        d.m_shiftBy = 0;
        d.m_longTags.clear();
        if (!m_table.Grow(uint64_t{m_length} / kUnitsPerRecordGuess + kSpareRecords) && m_table.Size() == 0) {
            d.m_nextFree = 0; // no memory for even the document record
            return false;
        }
        std::memset(&m_table[0], 0, sizeof(ElementRecord));
        m_table[0].length = static_cast<uint32_t>(m_length);
        return true;
    }

    // The main loop: text is skipped to the next '<'; start and end tags take the fast
    // paths; everything else (and what the fast paths refuse) goes through the general scanner.
    void ScanMarkup() {
        const char16_t* const text = m_text;
        const char16_t* const end = text + m_length;
        size_t pos = 0;
        while (pos < m_length) {
            if (text[pos] != u'<') {
                // Text and white space make no records: go straight to the next markup.
                pos = static_cast<size_t>(FindAny1(text + pos, end, u'<') - text);
                continue;
            }
            if (pos + 1 < m_length) {
                const char16_t c = text[pos + 1];
                if (c >= 123 || HasClass(c, kClassNameStart)) {
                    size_t after = 0;
                    if (!TakeStartTag(pos, &after))
                        return; // out of memory for records: the table ends here
                    if (after) {
                        pos = after;
                        continue;
                    }
                } else if (c == u'/') {
                    if (const size_t after = TakeEndTag(pos)) {
                        pos = after;
                        continue;
                    }
                }
            }
            const size_t nodeLength = TakeOtherNode(pos);
            if (nodeLength == 0)
                break;
            pos += nodeLength;
        }
    }

    // A well-formed start tag at pos opens an element; *after is where it ends, or 0 when
    // the tag is not well formed (the general scanner then reports it).
    bool TakeStartTag(size_t pos, size_t* after) {
        size_t nameEnd = 0;
        bool empty = false;
        bool simpleName = false;
        *after = ScanStartTagBody(m_text, m_length, pos, &nameEnd, &empty, &simpleName);
        return !*after || OpenElement(pos, *after - pos, nameEnd, empty, simpleName);
    }

    // An end tag at pos; returns where it ends, or 0 when it is not well formed.
    size_t TakeEndTag(size_t pos) {
        // Most end tags close the innermost open element and are written "</name>".
        if (!m_open.empty() && !m_noCase) {
            const OpenTag& top = m_open.back();
            const size_t close = pos + 2 + top.nameLength;
            if (close < m_length && m_text[close] == u'>' &&
                std::memcmp(m_text + pos + 2, m_text + top.nameStart, top.nameLength * sizeof(char16_t)) ==
                    0) {
                CloseInnermost(pos, close + 1 - pos);
                return close + 1;
            }
        }
        size_t nameEnd = 0;
        const size_t after = ScanEndTagBody(m_text, m_length, pos, &nameEnd);
        if (after)
            CloseElement(pos, after - pos, pos + 2, nameEnd);
        return after;
    }

    // Comments, processing instructions, declarations, CDATA and broken markup; returns the
    // node's length (0 when nothing more can be scanned).
    size_t TakeOtherNode(size_t pos) {
        NodeToken node;
        const int kind = ScanNode(m_text, m_length, pos, node);
        if (kind == kNodeError) {
            MarkError();
            if (node.error == kUnterminatedTagSyntax)
                AddEntry(ReportEntry{ScanErrorName(node.error), u"type",
                                     Ascii16(node.unterminatedType, m_nameBuffer), u"offset", int64_t(pos),
                                     false, 0});
            else
                AddEntry(ReportEntry{ScanErrorName(node.error), {}, {}, u"offset", int64_t(pos), false, 0});
        }
        return node.length;
    }

    // Elements go into the table as they are met; the fields are written directly so a
    // record costs no more than its eight words.
    bool OpenElement(size_t start, size_t tagLength, size_t nameEnd, bool empty, bool simpleName) {
        const uint32_t n = NewRecord();
        if (n == 0)
            return false;
        ElementRecord& record = m_table[n];
        record.start = static_cast<uint32_t>(start);
        record.length = static_cast<uint32_t>(tagLength);
        record.parent = m_current;
        record.firstChild = 0;
        record.nextSibling = 0;
        uint32_t levelFlags = static_cast<uint32_t>(std::min<size_t>(m_open.size(), kLevelMask));
        if (LinkAsLastChild(n))
            levelFlags |= kElementFirstChild;
        const size_t nameLength = nameEnd - start - 1;
        if (simpleName && nameLength <= kMaxKeptNameLength)
            levelFlags |= static_cast<uint32_t>(nameLength) << kNameLengthShift;
        record.levelFlags = levelFlags;
        if (tagLength < kStartTagMax)
            record.tagLengths = static_cast<uint32_t>(tagLength);
        else
            m_doc.SetTagLengths(n, static_cast<uint32_t>(tagLength), 0);
        if (!m_root)
            m_root = n;
        if (!empty) {
            m_open.push_back(OpenTag{n, static_cast<uint32_t>(start + 1), static_cast<uint32_t>(nameLength)});
            m_current = n;
        }
        return true;
    }

    uint32_t NewRecord() {
        if (m_doc.m_nextFree < m_table.Size()) {
            ++m_doc.m_liveCount;
            return m_doc.m_nextFree++;
        }
        return m_doc.TakeRecord();
    }

    // Links n as the current parent's last child; true when it is the first.
    bool LinkAsLastChild(uint32_t n) { return AppendChildRecord(m_table, m_current, n); }

    // The innermost open element ends with the end tag at start.
    void CloseInnermost(size_t start, size_t tagLength) {
        const uint32_t e = m_open.back().element;
        ElementRecord& record = m_table[e];
        record.length = static_cast<uint32_t>(start + tagLength - record.start);
        const uint32_t startTag =
            record.tagLengths == kLongTags ? m_doc.StartTagLength(e) : (record.tagLengths & kStartTagMax);
        if (startTag < kStartTagMax && tagLength < kEndTagMax)
            record.tagLengths = startTag | static_cast<uint32_t>(tagLength << kStartTagBits);
        else
            m_doc.SetTagLengths(e, startTag, static_cast<uint32_t>(tagLength));
        m_current = record.parent;
        m_open.pop_back();
    }

    // An end tag closes the innermost open element of its name; those opened after it are
    // unended. An end tag no open element matches is reported and otherwise ignored.
    void CloseElement(size_t start, size_t tagLength, size_t nameStart, size_t nameEnd) {
        const char16_t* name = m_text + nameStart;
        const size_t nameLength = nameEnd - nameStart;
        ptrdiff_t match = -1;
        for (size_t j = m_open.size(); j-- > 0;) {
            if (NamesEqual(m_text + m_open[j].nameStart, m_open[j].nameLength, name, nameLength, m_noCase)) {
                match = static_cast<ptrdiff_t>(j);
                break;
            }
        }
        if (match < 0) {
            MarkError();
            AddEntry(ReportEntry{u"lone_end_tag", u"tagname", std::u16string_view(name, nameLength),
                                 u"offset", int64_t(start), false, 0});
            return;
        }
        if (static_cast<size_t>(match) + 1 < m_open.size())
            CloseUnended(match, nameStart);
        CloseInnermost(start, tagLength);
    }

    // Closes the open elements above index keep (all of them when keep is -1) as unended.
    void CloseUnended(ptrdiff_t keep, size_t endOffset) {
        const size_t first = static_cast<size_t>(keep + 1);
        if (first >= m_open.size())
            return;
        for (size_t j = m_open.size(); j-- > first;)
            MarkUnended(m_open[j], endOffset);
        MoveChildrenOfUnendedUp(first);
    }

    // An unended element is its start tag alone.
    void MarkUnended(const OpenTag& tag, size_t endOffset) {
        const uint32_t e = tag.element;
        ElementRecord& record = m_table[e];
        record.length = m_doc.StartTagLength(e);
        m_doc.SetTagLengths(e, record.length, 0);
        record.levelFlags |= kElementUnended;
        if (record.levelFlags & kElementErrorInside)
            m_table[record.parent].levelFlags |= kElementErrorInside;
        m_table[0].levelFlags |= kDocumentIllFormed;
        AddEntry(ReportEntry{u"unended_start_tag", u"tagname",
                             std::u16string_view(m_text + tag.nameStart, tag.nameLength), u"offset",
                             int64_t{m_doc.ElementStart(e)}, true, int64_t(endOffset)});
    }

    // The children of the unended elements from m_open[first] on become following siblings,
    // in document order, under the parent of the outermost one; each element moves once.
    void MoveChildrenOfUnendedUp(size_t first) {
        const uint32_t outer = m_open[first].element;
        const uint32_t target = m_table[outer].parent;
        const uint32_t level = target ? ((m_table[target].levelFlags & kLevelMask) + 1) & kLevelMask : 0;
        uint32_t last = outer;
        for (size_t j = first; j < m_open.size(); ++j) {
            const uint32_t e = m_open[j].element;
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
        m_relinked = m_relinked || last != outer;
        m_open.resize(first);
        m_current = target;
    }

    // A moved child brought its descendants along, each now some levels nearer the top:
    // every level is set again from its parent's, in one walk in document order.
    void SetLevelsAgain() {
        for (uint32_t n = m_table[0].firstChild; n;) {
            const uint32_t parent = m_table[n].parent;
            const uint32_t level =
                parent ? std::min((m_table[parent].levelFlags & kLevelMask) + 1, kLevelMask) : 0;
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

    // The document record, the checks on the whole document, the report and the table's tail.
    void Finish() {
        ElementRecord& document = m_table[0];
        document.length = static_cast<uint32_t>(m_length);
        document.firstChild = m_root ? document.firstChild : 0;
        if (m_relinked)
            SetLevelsAgain();
        if (!m_root && m_length > 0)
            AddEntry(ReportEntry{u"no_root_element", {}, {}, {}, 0, false, 0});
        if (m_root && m_table[m_root].nextSibling)
            AddEntry(ReportEntry{u"root_has_sibling", {}, {}, {}, 0, false, 0});
        if (m_report)
            m_doc.m_result = m_report->Text();
        // Give back the table's unused tail: a loaded document holds no more than it needs
        // (for a small file the first guess is most of the table).
        if (m_table.Size() > m_doc.m_nextFree + kSpareRecords)
            m_table.Trim(m_doc.m_nextFree + kSpareRecords);
    }

    // An error in the current element (also the document's first error mark).
    void MarkError() {
        m_table[0].levelFlags |= kDocumentIllFormed;
        m_table[m_current].levelFlags |= kElementErrorInside;
    }

    // The report is made on the first entry: a well-formed document pays nothing for it.
    void AddEntry(const ReportEntry& entry) {
        if (m_doc.m_quiet)
            return;
        if (!m_report)
            m_report = std::make_unique<CResultReport>(m_doc.m_result);
        m_report->Add(entry);
    }

    CXmlDocument& m_doc;
    CElementTable& m_table;
    const char16_t* const m_text;
    const size_t m_length;
    const bool m_noCase;
    std::vector<OpenTag> m_open;
    uint32_t m_current = 0; // the current parent (also where error marks go)
    uint32_t m_root = 0;
    bool m_relinked = false; // children of unended elements were moved up
    std::unique_ptr<CResultReport> m_report;
    std::u16string m_nameBuffer;
};

void CXmlDocument::Parse() {
    CParser(*this).Run();
}

} // namespace quillon
