// The XML engine's scanners: one node of markup at a time, the attributes of a start
// tag, element and tag names, and the path syntax accepted by the finds.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

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
    size_t nameStart = 0;  // tag name of start and end tags (and the target of a PI)
    size_t nameEnd = 0;
    int error = kScanOk;
    const char* unterminatedType = nullptr;  // "start_tag", "comment", ..., "tag"
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

inline bool IsSpace(char16_t c) { return c < 128 && (kCharClass[c] & kClassSpace); }
inline bool HasClass(char16_t c, uint8_t bits) { return c < 128 ? (kCharClass[c] & bits) != 0 : false; }

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
    bool hasValue = false;  // false: written without '=' (the value is the name itself)
};
class CAttributeScanner {
public:
    CAttributeScanner(const char16_t* tag, size_t length, size_t begin);
    bool Next(AttributeToken& token);  // false at the end of the attribute list
    size_t StopAt() const { return m_pos; }  // the '/', '>' or '?' that ended it (or length)

private:
    void SkipSpace();
    const char16_t* m_tag;
    size_t m_length;
    size_t m_pos;
    bool m_tagNameSeen = false;
};

// Path syntax of FindElement/FindChildElement names.
enum PathType { kPathInvalid = -1, kPathNone = 0, kPathRelative = 1, kPathAbsolute = 2, kPathAnywhere = 3 };
PathType CheckPath(std::u16string_view path, size_t* firstStepOffset, size_t* firstStepLength);

}  // namespace quillon
