// Node, attribute, name and path scanning shared by the parser, the readers and the
// declared-encoding search.
#include "xml/xml_scanner.h"

namespace quillon {

namespace {

constexpr uint8_t ClassOf(unsigned c) {
    uint8_t bits = 0;
    const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    const bool digit = c >= '0' && c <= '9';
    const bool space = c == ' ' || c == '\t' || c == '\n' || c == '\r';
    if (space)
        bits |= kClassSpace | kClassTagStop | kClassElementStop | kClassAttrStop | kClassPathStop;
    if (letter || c == ':' || c == '_' || c >= 123)
        bits |= kClassNameStart;
    if (c == '/' || c == '>')
        bits |= kClassTagStop;
    if (c == '<' || c == '>' || c == '=' || c == '\\' || c == '/' || c == '?' || c == '!' || c == '"' ||
        c == '\'' || c == ';')
        bits |= kClassElementStop;
    if (c == '=' || c == '>' || c == '/' || c == '?')
        bits |= kClassAttrStop;
    if (c == '=' || c == '/' || c == '[' || c == ']')
        bits |= kClassPathStop;
    if (letter || digit || c == '_' || c == ':' || c == '-' || c == '.')
        bits |= kClassRefBody;
    if (letter || c == '#' || c == '_' || c == ':')
        bits |= kClassRefStart;
    return bits;
}

struct ClassTable {
    uint8_t values[128];
};

constexpr ClassTable MakeTable() {
    ClassTable table{};
    for (unsigned c = 0; c < 128; ++c)
        table.values[c] = ClassOf(c);
    return table;
}

constexpr ClassTable kTable = MakeTable();

bool IsQuote(char16_t c) {
    return c == u'"' || c == u'\'';
}

// Error recovery: the node runs on to the next '>' (inclusive) or ends before the next '<'.
size_t RecoverEnd(const char16_t* text, size_t length, size_t from) {
    const char16_t* p = FindAny2(text + from, text + length, u'<', u'>');
    if (p == text + length)
        return length;
    return *p == u'>' ? static_cast<size_t>(p - text) + 1 : static_cast<size_t>(p - text);
}

int Fail(NodeToken& node, const char16_t* text, size_t length, size_t from, int error) {
    node.kind = kNodeError;
    node.error = error;
    node.length = RecoverEnd(text, length, from) - node.start;
    if (node.length == 0)
        node.length = 1;
    return kNodeError;
}

int Unterminated(NodeToken& node, size_t length, const char* type) {
    node.kind = kNodeError;
    node.error = kUnterminatedTagSyntax;
    node.unterminatedType = type;
    node.length = length - node.start;
    return kNodeError;
}

// Finds a '>' at or after from whose preceding units complete the terminator (the units
// of which must lie at or after minStart); returns the offset after the '>' or 0.
size_t FindTerminator(const char16_t* text, size_t length, size_t from, std::u16string_view before,
                      size_t minStart) {
    const char16_t* end = text + length;
    const char16_t* p = text + from;
    for (;;) {
        p = FindAny1(p, end, u'>');
        if (p == end)
            return 0;
        const size_t gt = static_cast<size_t>(p - text);
        if (gt >= minStart + before.size()) {
            bool ok = true;
            for (size_t i = 0; i < before.size(); ++i) {
                if (text[gt - before.size() + i] != before[i]) {
                    ok = false;
                    break;
                }
            }
            if (ok)
                return gt + 1;
        }
        ++p;
    }
}

int ScanStartTag(const char16_t* text, size_t length, NodeToken& node) {
    bool empty = false;
    const size_t after = ScanStartTagBody(text, length, node.start, &node.nameEnd, &empty);
    node.nameStart = node.start + 1;
    if (!after)
        return Unterminated(node, length, "start_tag");
    node.kind = kNodeStartTag;
    node.length = after - node.start;
    if (empty)
        node.flags |= kNodeEmptyElement;
    return kNodeStartTag;
}

int ScanDoctype(const char16_t* text, size_t length, NodeToken& node) {
    size_t p = node.start + 3;
    char16_t quote = 0;
    while (p < length) {
        const char16_t c = text[p];
        if (quote) {
            if (c == quote)
                quote = 0;
            ++p;
            continue;
        }
        if (IsQuote(c)) {
            quote = c;
            ++p;
        } else if (c == u'>') {
            node.kind = kNodeDoctype;
            node.length = p + 1 - node.start;
            return kNodeDoctype;
        } else if (c == u'<' && p + 1 < length && text[p + 1] == u'!') {
            if (p + 2 >= length)
                break;
            const char16_t c3 = text[p + 2];
            if (c3 == u'-') {
                const size_t after = FindTerminator(text, length, p + 2, u"--", p + 4);
                if (!after)
                    break;
                p = after;
            } else if (c3 == u'E' || c3 == u'A' || c3 == u'N') {
                // A declaration runs to its own '>' (quoted literals may hold one).
                size_t q = p + 3;
                char16_t inner = 0;
                while (q < length && (inner || text[q] != u'>')) {
                    if (inner) {
                        if (text[q] == inner)
                            inner = 0;
                    } else if (IsQuote(text[q])) {
                        inner = text[q];
                    }
                    ++q;
                }
                if (q >= length)
                    break;
                p = q + 1;
            } else {
                return Fail(node, text, length, p + 2, kDoctypeTagSyntax);
            }
        } else if (c == u'<' && p + 1 < length && text[p + 1] == u'?') {
            const size_t after = FindTerminator(text, length, p + 2, u"?", p + 2);
            if (!after)
                break;
            p = after;
        } else {
            ++p;
        }
    }
    return Unterminated(node, length, "document_type");
}

} // namespace

const uint8_t kCharClass[128] = {
#define Q(i) kTable.values[i]
#define R8(i) Q(i), Q(i + 1), Q(i + 2), Q(i + 3), Q(i + 4), Q(i + 5), Q(i + 6), Q(i + 7)
    R8(0),  R8(8),  R8(16), R8(24), R8(32), R8(40),  R8(48),  R8(56),
    R8(64), R8(72), R8(80), R8(88), R8(96), R8(104), R8(112), R8(120),
#undef R8
#undef Q
};

int ScanNode(const char16_t* text, size_t length, size_t start, NodeToken& node) {
    node = NodeToken();
    node.start = start;
    if (start >= length) {
        node.kind = kNodeEnd;
        return kNodeEnd;
    }
    const char16_t* end = text + length;
    char16_t c = text[start];
    if (c != u'<') {
        size_t p = start;
        if (IsSpace(c)) {
            while (p < length && IsSpace(text[p]))
                ++p;
            if (p == length || text[p] == u'<') {
                node.kind = kNodeWhitespace;
                node.length = p - start;
                return kNodeWhitespace;
            }
        }
        const char16_t* q = FindAny2(text + p, end, u'<', u'>');
        p = static_cast<size_t>(q - text);
        if (q != end && *q == u'>')
            ++p;
        node.kind = kNodeText;
        node.length = p - start;
        return kNodeText;
    }
    if (start + 1 >= length)
        return Unterminated(node, length, "tag");
    c = text[start + 1];
    if (c == u'!') {
        if (start + 2 >= length)
            return Unterminated(node, length, "tag");
        const char16_t c3 = text[start + 2];
        if (c3 == u'-') {
            if (start + 3 >= length)
                return Unterminated(node, length, "tag");
            if (text[start + 3] != u'-')
                return Fail(node, text, length, start + 3, kCommentTagSyntax);
            const size_t after = FindTerminator(text, length, start + 4, u"--", start + 4);
            if (!after)
                return Unterminated(node, length, "comment");
            node.kind = kNodeComment;
            node.length = after - start;
            return kNodeComment;
        }
        if (c3 == u'[') {
            if (start + 3 >= length)
                return Unterminated(node, length, "tag");
            if (text[start + 3] != u'C')
                return Fail(node, text, length, start + 3, kCdataSectionSyntax);
            const size_t after = FindTerminator(text, length, start + 4, u"]]", start + 4);
            if (!after)
                return Unterminated(node, length, "cdata_section");
            node.kind = kNodeCdata;
            node.length = after - start;
            return kNodeCdata;
        }
        if (c3 == u'D')
            return ScanDoctype(text, length, node);
        return Fail(node, text, length, start + 2, kExclamationTagSyntax);
    }
    if (c == u'/') {
        node.nameStart = start + 2;
        const size_t after = ScanEndTagBody(text, length, start, &node.nameEnd);
        if (!after)
            return Unterminated(node, length, "end_tag");
        node.kind = kNodeEndTag;
        node.length = after - start;
        return kNodeEndTag;
    }
    if (c == u'?') {
        size_t p = start + 2;
        while (p < length && !IsSpace(text[p]) && text[p] != u'?' && text[p] != u'>')
            ++p;
        node.nameStart = start + 2;
        node.nameEnd = p;
        const size_t after = FindTerminator(text, length, start + 2, u"?", start + 2);
        if (!after)
            return Unterminated(node, length, "processing_instruction");
        node.kind = kNodeProcessingInstruction;
        node.length = after - start;
        return kNodeProcessingInstruction;
    }
    if (c >= 123 || HasClass(c, kClassNameStart))
        return ScanStartTag(text, length, node);
    return Fail(node, text, length, start + 1, kFirstTagSyntax);
}

const char16_t* ScanErrorName(int error) {
    switch (error) {
    case kFirstTagSyntax:
        return u"first_tag_syntax";
    case kExclamationTagSyntax:
        return u"exclamation_tag_syntax";
    case kCommentTagSyntax:
        return u"comment_tag_syntax";
    case kCdataSectionSyntax:
        return u"cdata_section_syntax";
    case kDoctypeTagSyntax:
        return u"doctype_tag_syntax";
    case kUnterminatedTagSyntax:
        return u"unterminated_tag_syntax";
    default:
        return u"";
    }
}

bool NamesEqual(const char16_t* a, size_t aLength, const char16_t* b, size_t bLength, bool noCase) {
    if (aLength != bLength)
        return false;
    size_t i = 0;
    if (noCase) {
        for (; i < aLength; ++i) {
            char16_t x = a[i], y = b[i];
            if (x == y) {
                if (x >= 128) {
                    ++i;
                    break; // exact from here on
                }
                continue;
            }
            if (x >= u'A' && x <= u'Z')
                x = static_cast<char16_t>(x + 32);
            if (y >= u'A' && y <= u'Z')
                y = static_cast<char16_t>(y + 32);
            if (x != y)
                return false;
        }
    }
    for (; i < aLength; ++i) {
        if (a[i] != b[i])
            return false;
    }
    return true;
}

void ElementNameSpan(const char16_t* tag, size_t length, size_t* nameStart, size_t* nameLength) {
    size_t p = 1;
    while (p < length && IsSpace(tag[p]))
        ++p;
    *nameStart = p;
    if (p >= length) {
        *nameLength = 0;
        return;
    }
    if (HasClass(tag[p], kClassElementStop)) {
        *nameLength = 1;
        return;
    }
    const char16_t* const end = tag + length;
    const char16_t* q = tag + p + 1;
    for (;;) {
        q = FindElementNameStop(q, end);
        if (q == end || HasClass(*q, kClassElementStop))
            break;
        ++q;
    }
    *nameLength = static_cast<size_t>(q - tag) - p;
}

PathType CheckPath(std::u16string_view path, size_t* firstStepOffset, size_t* firstStepLength) {
    *firstStepOffset = 0;
    *firstStepLength = 0;
    if (path.empty())
        return kPathNone;
    PathType type = kPathRelative;
    size_t p = 0;
    if (path.size() >= 2 && path[0] == u'/' && path[1] == u'/') {
        type = kPathAnywhere;
        p = 2;
    } else if (path[0] == u'/') {
        type = kPathAbsolute;
        p = 1;
    }
    const size_t n = path.size();
    auto isStop = [](char16_t c) {
        return HasClass(c, kClassPathStop) && c != u'\t' && c != u'\n' && c != u'\r';
    };
    auto readName = [&](size_t& q) {
        const size_t s = q;
        while (q < n && !isStop(path[q]))
            ++q;
        return q - s;
    };
    size_t steps = 0;
    for (;;) {
        // Last step in attribute form: '@' name.
        if (steps > 0 && p < n && path[p] == u'@') {
            ++p;
            if (readName(p) == 0 || p != n)
                return kPathInvalid;
            break;
        }
        const size_t stepStart = p;
        const size_t nameLength = readName(p);
        if (nameLength == 0)
            return kPathInvalid;
        if (steps == 0) {
            *firstStepOffset = stepStart;
            *firstStepLength = nameLength;
        }
        ++steps;
        if (p < n && path[p] == u'[') {
            ++p;
            if (p < n && path[p] >= u'1' && path[p] <= u'9') {
                while (p < n && path[p] >= u'0' && path[p] <= u'9')
                    ++p;
            } else if (p < n && path[p] == u'@') {
                ++p;
                if (readName(p) == 0)
                    return kPathInvalid;
                if (p < n && path[p] == u'=') {
                    ++p;
                    if (p < n && IsQuote(path[p])) {
                        const char16_t quote = path[p++];
                        while (p < n && path[p] != quote)
                            ++p;
                        if (p >= n)
                            return kPathInvalid;
                        ++p;
                    } else {
                        while (p < n && path[p] != u']')
                            ++p;
                    }
                }
            } else {
                if (readName(p) == 0)
                    return kPathInvalid;
            }
            if (p >= n || path[p] != u']')
                return kPathInvalid;
            ++p;
        }
        if (p == n)
            break;
        if (path[p] != u'/')
            return kPathInvalid;
        ++p;
        if (p == n)
            return kPathInvalid; // ends right after a '/'
    }
    if (type == kPathAnywhere && steps > 1)
        return kPathInvalid;
    return type;
}

} // namespace quillon
