// The XML engine's scanners: one node of markup at a time, the attributes of a start
// tag, element and tag names, and the path syntax accepted by the finds.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "xml/xml_simd.h"

namespace quillon {

// Node kinds; the values are also the document's node type codes.
enum NodeKind : int {
    kNodeEndTag = 0,
    kNodeStartTag = 1,
    kNodeText = 2,
    kNodeWhitespace = 4,
    kNodeCdata = 8,
    kNodeProcessingInstruction = 16,
    kNodeComment = 32,
    kNodeDoctype = 64,
    kNodeLoneEndTag = 128,
    kNodeError = -1,
    kNodeEnd = -2,
};

enum ScanError : int {
    kScanOk = 0,
    kFirstTagSyntax,
    kExclamationTagSyntax,
    kCommentTagSyntax,
    kCdataSectionSyntax,
    kDoctypeTagSyntax,
    kUnterminatedTagSyntax,
};

constexpr uint32_t kNodeEmptyElement = 1u << 16;

struct NodeToken {
    int kind = kNodeEnd;
    size_t start = 0;
    size_t length = 0;
    uint32_t flags = 0;
    size_t nameStart = 0; // tag name of start and end tags (and the target of a PI)
    size_t nameEnd = 0;
    int error = kScanOk;
    const char* unterminatedType = nullptr; // "start_tag", "comment", ..., "tag"
};

// Character classes of the units below 128 (units of 128 and more have none of these
// bits except kClassNameStart).
enum : uint8_t {
    kClassSpace = 0x01,       // space, tab, LF, CR
    kClassNameStart = 0x02,   // may begin a start tag name: ':', '_', letters, 123 and up
    kClassTagStop = 0x04,     // ends a start/end tag name: space, '/', '>'
    kClassElementStop = 0x08, // ends an element's tag name: space < > = \ / ? ! " ' ;
    kClassAttrStop = 0x10,    // ends an attribute name: = space > / ?
    kClassPathStop = 0x20,    // ends a path step name: space = / [ ]
    kClassRefBody = 0x40,     // may continue a reference name: letters, digits, _ : - .
    kClassRefStart = 0x80,    // may begin a reference: letters, #, _, :
};
extern const uint8_t kCharClass[128];

inline bool IsSpace(char16_t c) {
    return c < 128 && (kCharClass[c] & kClassSpace);
}
inline bool HasClass(char16_t c, uint8_t bits) {
    return c < 128 ? (kCharClass[c] & bits) != 0 : false;
}

// A start tag at text[start] ('<' followed by a name): the end of its name, whether it
// closes as an empty element, and the offset after its '>' (0 when the text ends first).
// A quote opens a quoted value only right after '=' (white space between allowed), and
// "/>" closes an empty element unless that '/' belongs to an unquoted value.
// simpleName (optional) tells whether the element's name as ElementNameSpan reads it is
// that same run and ends where the attribute scanner's first token ends too.
inline size_t ScanStartTagBody(const char16_t* text, size_t length, size_t start, size_t* nameEnd,
                               bool* empty, bool* simpleName = nullptr) {
    // Element-name stops include the tag-name stops: one search finds the first of either.
    const char16_t* q = text + start + 1;
    for (;;) {
        q = FindElementNameStop(q, text + length);
        if (q == text + length || HasClass(*q, kClassElementStop))
            break;
        ++q;
    }
    size_t p = static_cast<size_t>(q - text);
    if (simpleName)
        *simpleName = p < length && HasClass(text[p], kClassTagStop);
    while (p < length && !HasClass(text[p], kClassTagStop))
        ++p;
    const size_t nameStop = p;
    *nameEnd = p;
    const char16_t* end = text + length;
    for (;;) {
        const char16_t* q = FindAny3(text + p, end, u'>', u'"', u'\'');
        if (q == end)
            return 0;
        p = static_cast<size_t>(q - text);
        const char16_t c = *q;
        if (c == u'>')
            break;
        size_t k = p;
        while (k > nameStop && IsSpace(text[k - 1]))
            --k;
        if (k > nameStop && text[k - 1] == u'=') {
            // The closing quote, searched with the same three-unit pattern (kept in registers);
            // a '>' or the other quote inside the value is stepped over.
            const char16_t* close = q + 1;
            for (;;) {
                close = FindAny3(close, end, u'>', u'"', u'\'');
                if (close == end)
                    return 0;
                if (*close == c)
                    break;
                ++close;
            }
            p = static_cast<size_t>(close - text) + 1;
        } else {
            ++p;
        }
    }
    *empty = false;
    if (p > nameStop && text[p - 1] == u'/') {
        const size_t slash = p - 1;
        bool isEmpty = true;
        if (slash > nameStop) {
            size_t k = slash;
            while (k > nameStop && !IsSpace(text[k - 1]) && text[k - 1] != u'"' && text[k - 1] != u'\'' &&
                   text[k - 1] != u'=')
                --k;
            if (!(k > nameStop && (text[k - 1] == u'"' || text[k - 1] == u'\''))) {
                size_t j = k;
                while (j > nameStop && IsSpace(text[j - 1]))
                    --j;
                if (j > nameStop && text[j - 1] == u'=')
                    isEmpty = false;
            }
        }
        *empty = isEmpty;
    }
    return p + 1;
}

// An end tag at text[start] ("</"): the end of its name and the offset after its '>'
// (0 when the text ends first).
inline size_t ScanEndTagBody(const char16_t* text, size_t length, size_t start, size_t* nameEnd) {
    size_t p = start + 2;
    while (p < length && !HasClass(text[p], kClassTagStop))
        ++p;
    *nameEnd = p;
    const char16_t* q = FindAny1(text + p, text + length, u'>');
    return q == text + length ? 0 : static_cast<size_t>(q - text) + 1;
}

// Scans the node beginning at position start of text[0, length); returns its kind.
int ScanNode(const char16_t* text, size_t length, size_t start, NodeToken& node);

// The "ResultReport" entry name of a scan error and the type name of a node kind.
const char16_t* ScanErrorName(int error);

// Element name comparison: exact, or with noCase ASCII letters fold until the first pair
// of equal units of 128 or more, after which the comparison is exact.
bool NamesEqual(const char16_t* a, size_t aLength, const char16_t* b, size_t bLength, bool noCase);

// The tag name of an element whose start tag is tag[0, length) (tag[0] is '<'):
// offset and length of the name within the tag.
void ElementNameSpan(const char16_t* tag, size_t length, size_t* nameStart, size_t* nameLength);

// Attribute scanning over a start tag or processing instruction tag[0, length), starting
// after the '<' (or "<?"). The first name token is the tag name and is skipped.
struct AttributeToken {
    size_t nameStart = 0, nameLength = 0;
    size_t valueStart = 0, valueLength = 0;
    bool quoted = false;
    bool hasValue = false; // false: written without '=' (the value is the name itself)
};
class CAttributeScanner {
public:
    CAttributeScanner(const char16_t* tag, size_t length, size_t begin);
    // Starts after a tag name already known to end at begin.
    CAttributeScanner(const char16_t* tag, size_t length, size_t begin, bool tagNameSeen)
        : m_tag(tag), m_length(length), m_pos(begin), m_tagNameSeen(tagNameSeen) {}
    bool Next(AttributeToken& token);       // false at the end of the attribute list
    size_t StopAt() const { return m_pos; } // the '/', '>' or '?' that ended it (or length)

private:
    void SkipSpace();
    const char16_t* m_tag;
    size_t m_length;
    size_t m_pos;
    bool m_tagNameSeen = false;
};

namespace detail {

// Attribute lists are mostly single spaces or a line break and a tab or two; only longer
// runs (indentation by spaces) are worth skipping eight units at a time.
constexpr size_t kShortSpaceRun = 4;
inline size_t SkipSpaceAt(const char16_t* tag, size_t pos, size_t length) {
    const size_t shortEnd = pos + kShortSpaceRun < length ? pos + kShortSpaceRun : length;
    while (pos < shortEnd && IsSpace(tag[pos]))
        ++pos;
    if (pos == shortEnd && pos < length && IsSpace(tag[pos]))
        pos = static_cast<size_t>(SkipSpaceUnits(tag + pos + 1, tag + length) - tag);
    return pos;
}

// The end of an attribute name: '=', space, '>', '/' or '?' (control units other than
// the spaces belong to the name).
inline size_t AttributeNameEnd(const char16_t* tag, size_t pos, size_t length) {
    const char16_t* const end = tag + length;
    const char16_t* p = tag + pos;
    for (;;) {
        p = FindAttributeNameStop(p, end);
        if (p == end || HasClass(*p, kClassAttrStop))
            return static_cast<size_t>(p - tag);
        ++p;
    }
}

inline bool IsQuoteUnit(char16_t c) {
    return c == u'"' || c == u'\'';
}

} // namespace detail

inline CAttributeScanner::CAttributeScanner(const char16_t* tag, size_t length, size_t begin)
    : m_tag(tag), m_length(length), m_pos(begin) {}

inline void CAttributeScanner::SkipSpace() {
    m_pos = detail::SkipSpaceAt(m_tag, m_pos, m_length);
}

// Inline so that a loop over a tag's attributes keeps the cursor in registers.
QUILLON_XML_ALWAYS_INLINE bool CAttributeScanner::Next(AttributeToken& token) {
    using detail::IsQuoteUnit;
    using detail::SkipSpaceAt;
    const char16_t* const tag = m_tag;
    const size_t length = m_length;
    const char16_t* const end = tag + length;
    size_t pos = m_pos;
    for (;;) {
        pos = SkipSpaceAt(tag, pos, length);
        if (pos >= length) {
            m_pos = pos;
            return false;
        }
        const char16_t c = tag[pos];
        if (c == u'/' || c == u'>' || c == u'?') {
            m_pos = pos; // the cursor stays on the end of the list
            return false;
        }
        if (IsQuoteUnit(c) || c == u'=') {
            // A stray value or '=' without a name before it: skip it.
            if (c == u'=') {
                pos = SkipSpaceAt(tag, pos + 1, length);
                if (pos >= length) {
                    m_pos = pos;
                    return false;
                }
                if (!IsQuoteUnit(tag[pos])) {
                    while (pos < length && !IsSpace(tag[pos]) && tag[pos] != u'>')
                        ++pos;
                    continue;
                }
            }
            const char16_t* close = FindAny1(tag + pos + 1, end, tag[pos]);
            pos = close == end ? length : static_cast<size_t>(close - tag) + 1;
            continue;
        }
        // A name token.
        const size_t nameStart = pos;
        pos = detail::AttributeNameEnd(tag, pos + 1, length);
        const size_t nameLength = pos - nameStart;
        if (!m_tagNameSeen) {
            m_tagNameSeen = true;
            continue;
        }
        token.nameStart = nameStart;
        token.nameLength = nameLength;
        token.quoted = false;
        token.hasValue = false;
        if (pos < length && IsSpace(tag[pos]))
            pos = SkipSpaceAt(tag, pos, length);
        if (pos < length && tag[pos] == u'=') {
            ++pos;
            while (pos < length && IsSpace(tag[pos]))
                ++pos;
            token.hasValue = true;
            if (pos < length && IsQuoteUnit(tag[pos])) {
                const char16_t quote = tag[pos];
                token.quoted = true;
                token.valueStart = ++pos;
                pos = static_cast<size_t>(FindAny1(tag + pos, end, quote) - tag);
                token.valueLength = pos - token.valueStart;
                if (pos < length)
                    ++pos;
            } else {
                token.valueStart = pos;
                while (pos < length && !IsSpace(tag[pos]) && tag[pos] != u'>')
                    ++pos;
                token.valueLength = pos - token.valueStart;
            }
        } else {
            token.valueStart = nameStart;
            token.valueLength = nameLength;
        }
        m_pos = pos;
        return true;
    }
}

// Path syntax of FindElement/FindChildElement names.
enum PathType { kPathInvalid = -1, kPathNone = 0, kPathRelative = 1, kPathAbsolute = 2, kPathAnywhere = 3 };
PathType CheckPath(std::u16string_view path, size_t* firstStepOffset, size_t* firstStepLength);

} // namespace quillon
