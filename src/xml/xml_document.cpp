// CXmlDocument: the element table, positions, navigation, reading and in-place
// modification with renumbering.
#include "xml/xml_document.h"

#include <algorithm>
#include <cstring>

#include "xml/xml_escape.h"
#include "xml/xml_scanner.h"

namespace quillon {

namespace {

constexpr std::u16string_view kLineBreak = u"\r\n";

// A name we can write into a tag without changing how the tag scans.
bool IsWritableName(std::u16string_view name, bool element) {
    if (name.empty())
        return false;
    if (element && !(name[0] >= 123 || HasClass(name[0], kClassNameStart)))
        return false;
    for (char16_t c : name) {
        if (c == 0 || HasClass(c, kClassElementStop | kClassTagStop | kClassAttrStop))
            return false;
    }
    return true;
}

// Calls visit(n) for `root` and every element below it, in document order; the links of the
// table lead the walk, so it needs no stack and never leaves the subtree.
template <class Visit> void ForEachInSubtree(const CElementTable& table, uint32_t root, Visit visit) {
    uint32_t n = root;
    for (;;) {
        visit(n);
        if (table[n].firstChild) {
            n = table[n].firstChild;
            continue;
        }
        while (n != root && table[n].nextSibling == 0)
            n = table[n].parent;
        if (n == root)
            return;
        n = table[n].nextSibling;
    }
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Element table.

bool CElementTable::Grow(uint64_t newSize) {
    if (newSize <= m_size)
        return true;
    // Never more than one segment beyond the current last one.
    const uint64_t lastSegment = m_size ? (m_size - 1) >> kSegmentBits : 0;
    const uint64_t cap = m_size ? (lastSegment + 2) * kSegmentSize : kSegmentSize;
    newSize = std::min<uint64_t>(std::min<uint64_t>(newSize, cap), 0xFFFFFFFFull);
    if (newSize <= m_size)
        return false;
    const uint32_t newLast = static_cast<uint32_t>((newSize - 1) >> kSegmentBits);
    const uint32_t newLastRecords = static_cast<uint32_t>(newSize - (uint64_t{newLast} << kSegmentBits));
    if (m_size && newLast > lastSegment) {
        // The partly filled last segment becomes a full one.
        const uint32_t used = m_size - static_cast<uint32_t>(lastSegment << kSegmentBits);
        if (used < kSegmentSize) {
            void* grown = std::realloc(m_segments[lastSegment].get(), kSegmentSize * sizeof(ElementRecord));
            if (!grown)
                return false;
            (void)m_segments[lastSegment].release();
            m_segments[lastSegment].reset(static_cast<ElementRecord*>(grown));
        }
    }
    if (m_segments.size() <= newLast)
        m_segments.reserve(2 * newLast + 4);
    if (m_size && newLast == lastSegment) {
        void* grown = std::realloc(m_segments[newLast].get(), size_t{newLastRecords} * sizeof(ElementRecord));
        if (!grown)
            return false;
        (void)m_segments[newLast].release();
        m_segments[newLast].reset(static_cast<ElementRecord*>(grown));
    } else {
        MallocPtr<ElementRecord> segment = MallocArray<ElementRecord>(newLastRecords);
        if (!segment)
            return false;
        m_segments.resize(newLast + 1);
        m_segments[newLast] = std::move(segment);
    }
    m_size = static_cast<uint32_t>(newSize);
    return true;
}

void CElementTable::Trim(uint32_t used) {
    if (used == 0) {
        Release();
        return;
    }
    if (used >= m_size)
        return;
    const uint32_t last = (used - 1) >> kSegmentBits;
    m_segments.resize(last + 1);
    const uint32_t records = used - (last << kSegmentBits);
    void* shrunk = std::realloc(m_segments[last].get(), size_t{records} * sizeof(ElementRecord));
    if (shrunk) {
        (void)m_segments[last].release();
        m_segments[last].reset(static_cast<ElementRecord*>(shrunk));
    }
    m_size = used;
}

void CElementTable::Release() {
    m_segments.clear();
    m_segments.shrink_to_fit();
    m_size = 0;
}

size_t CElementTable::BytesHeld() const {
    return size_t{m_size} * sizeof(ElementRecord) + m_segments.capacity() * sizeof(void*);
}

// ---------------------------------------------------------------------------------------------
// Construction and state.

CXmlDocument::CXmlDocument() {
    SetDocument();
}

CXmlDocument::CXmlDocument(std::u16string_view text) {
    SetDocument(text);
}

CXmlDocument::~CXmlDocument() = default;

CXmlDocument::CXmlDocument(CXmlDocument&& other) noexcept {
    *this = std::move(other);
}

CXmlDocument& CXmlDocument::operator=(CXmlDocument&& other) noexcept {
    if (this == &other)
        return *this;
    m_text = std::move(other.m_text);
    m_result = std::move(other.m_result);
    m_fileOutcome = other.m_fileOutcome;
    m_parent = other.m_parent;
    m_main = other.m_main;
    m_child = other.m_child;
    m_nextFree = other.m_nextFree;
    m_nodeType = other.m_nodeType;
    m_flags = other.m_flags;
    m_table = std::move(other.m_table);
    m_longTags = std::move(other.m_longTags);
    m_shiftFrom = other.m_shiftFrom;
    m_shiftBy = other.m_shiftBy;
    m_liveCount = other.m_liveCount;
    m_quiet = other.m_quiet;
    other.m_result.clear();
    other.m_fileOutcome = DocumentFileOutcome();
    other.m_longTags.clear();
    other.m_parent = other.m_main = other.m_child = other.m_nodeType = 0;
    other.m_nextFree = 0; // no records: Valid() refuses everything until the next parse
    other.m_shiftFrom = UINT32_MAX;
    other.m_shiftBy = 0;
    other.m_liveCount = 0;
    other.SetDocument();
    return *this;
}

bool CXmlDocument::SetDocument() {
    m_text.Clear();
    m_table.Release();
    m_result.clear();
    m_fileOutcome = DocumentFileOutcome();
    Parse();
    return CheckWellFormed();
}

bool CXmlDocument::SetDocument(std::u16string_view text) {
    m_result.clear();
    m_fileOutcome = DocumentFileOutcome();
    if (text.size() > kMaxTextLength) {
        // Offsets are 32-bit: a text this long cannot be indexed, so it is not taken.
        m_text.Clear();
        Parse();
        return false;
    }
    m_text.Assign(text, text.size() / 100 + 1);
    Parse();
    return CheckWellFormed();
}

std::u16string_view CXmlDocument::GetDocument() {
    return m_text.View();
}

bool CXmlDocument::CheckWellFormed() const {
    if (m_nextFree == 0 || m_table.Size() == 0)
        return false;
    const ElementRecord& doc = m_table[0];
    if (doc.levelFlags & kDocumentIllFormed)
        return false;
    return doc.firstChild != 0 && m_table[doc.firstChild].nextSibling == 0;
}

uint32_t CXmlDocument::ElementCount() const {
    return m_liveCount;
}

size_t CXmlDocument::MemoryUsage() const {
    return sizeof(*this) + m_text.Capacity() * sizeof(char16_t) + m_table.BytesHeld() +
           m_result.capacity() * 2 + m_longTags.size() * 32;
}

// ---------------------------------------------------------------------------------------------
// Records.

uint32_t CXmlDocument::ElementStart(uint32_t n) const {
    if (n == 0 || !Valid(n))
        return 0;
    const uint32_t stored = m_table[n].start;
    return stored >= m_shiftFrom ? static_cast<uint32_t>(stored + m_shiftBy) : stored;
}

void CXmlDocument::SetStart(uint32_t n, uint32_t start) {
    if (m_shiftBy != 0 && int64_t{start} >= int64_t{m_shiftFrom} + m_shiftBy)
        m_table[n].start = static_cast<uint32_t>(start - m_shiftBy);
    else
        m_table[n].start = start;
}

std::pair<uint32_t, uint32_t> CXmlDocument::TagLengths(uint32_t n) const {
    if (!Valid(n))
        return {0, 0};
    const uint32_t packed = m_table[n].tagLengths;
    if (packed == kLongTags) {
        auto it = m_longTags.find(n);
        return it == m_longTags.end() ? std::pair<uint32_t, uint32_t>{0, 0} : it->second;
    }
    return {packed & kStartTagMax, packed >> kStartTagBits};
}

uint32_t CXmlDocument::StartTagLength(uint32_t n) const {
    return TagLengths(n).first;
}

uint32_t CXmlDocument::EndTagLength(uint32_t n) const {
    return TagLengths(n).second;
}

void CXmlDocument::SetTagLengths(uint32_t n, uint32_t startTag, uint32_t endTag) {
    if (startTag < kStartTagMax && endTag < kEndTagMax) {
        if (m_table[n].tagLengths == kLongTags)
            m_longTags.erase(n);
        m_table[n].tagLengths = startTag | (endTag << kStartTagBits);
    } else {
        m_table[n].tagLengths = kLongTags;
        m_longTags[n] = {startTag, endTag};
    }
}

uint32_t CXmlDocument::TakeRecord() {
    if (m_nextFree >= m_table.Size()) {
        const uint64_t size = m_table.Size();
        if (!m_table.Grow(std::max<uint64_t>(size + size / 2, size + 1)))
            return 0;
    }
    const uint32_t n = m_nextFree++;
    std::memset(&m_table[n], 0, sizeof(ElementRecord));
    ++m_liveCount;
    return n;
}

// ---------------------------------------------------------------------------------------------
// Navigation.

void CXmlDocument::ResetPosition() {
    m_parent = m_main = m_child = 0;
    m_nodeType = 0;
}

bool CXmlDocument::NameMatches(uint32_t n, std::u16string_view name, size_t nameLength) {
    if (name.empty())
        return true;
    const std::u16string_view tagName = ElementName(n);
    return NamesEqual(tagName.data(), tagName.size(), name.data(), nameLength, (m_flags & kFlagNoCase) != 0);
}

bool CXmlDocument::FindSibling(uint32_t from, std::u16string_view name, size_t nameLength, uint32_t* found) {
    for (uint32_t n = from; n != 0; n = m_table[n].nextSibling) {
        if (NameMatches(n, name, nameLength)) {
            *found = n;
            return true;
        }
    }
    return false;
}

// The next element named name (any name when empty) among the children of container,
// after current (from the first child when current is 0).
bool CXmlDocument::FindNextAmong(uint32_t container, uint32_t current, std::u16string_view name,
                                 uint32_t* found) {
    size_t stepOffset = 0, stepLength = 0;
    const PathType type = CheckPath(name, &stepOffset, &stepLength);
    if (type != kPathNone && type != kPathRelative)
        return false;
    if (!Valid(container) || (current && !Valid(current)))
        return false;
    const uint32_t from = current ? m_table[current].nextSibling : m_table[container].firstChild;
    return FindSibling(from, name, stepLength, found);
}

bool CXmlDocument::FindElement(std::u16string_view name) {
    uint32_t found = 0;
    if (!FindNextAmong(m_parent, m_main, name, &found))
        return false;
    m_main = found;
    m_parent = m_table[found].parent;
    m_child = 0;
    m_nodeType = 1;
    return true;
}

bool CXmlDocument::FindChildElement(std::u16string_view name) {
    if (m_main == 0 && !FindElement())
        return false;
    uint32_t found = 0;
    if (!FindNextAmong(m_main, m_child, name, &found))
        return false;
    m_child = found;
    m_main = m_table[found].parent;
    m_parent = m_table[m_main].parent;
    m_nodeType = 1;
    return true;
}

bool CXmlDocument::EnterElement() {
    if (m_nodeType != 1 || m_main == 0)
        return false;
    m_parent = m_main;
    m_main = m_child;
    m_child = 0;
    m_nodeType = m_main ? 1 : 0;
    return true;
}

bool CXmlDocument::LeaveElement() {
    if (m_parent == 0 || !Valid(m_parent))
        return false;
    m_child = m_main;
    m_main = m_parent;
    m_parent = m_table[m_parent].parent;
    m_nodeType = 1;
    return true;
}

// ---------------------------------------------------------------------------------------------
// Reading.

std::u16string_view CXmlDocument::ElementName(uint32_t n) {
    if (n == 0 || !Valid(n))
        return {};
    uint32_t start = 0, length = 0;
    StartTagSpan(n, &start, &length);
    const char16_t* tag = m_text.Range(start, start + length);
    if (const uint32_t known = m_table[n].levelFlags >> kNameLengthShift)
        return std::u16string_view(tag + 1, known);
    size_t nameStart = 0, nameLength = 0;
    ElementNameSpan(tag, length, &nameStart, &nameLength);
    return std::u16string_view(tag + nameStart, nameLength);
}

std::u16string CXmlDocument::GetTagName() {
    return std::u16string(ElementName(m_main));
}

std::u16string CXmlDocument::GetChildTagName() {
    return std::u16string(ElementName(m_child));
}

std::u16string CXmlDocument::ElementText(uint32_t n) {
    std::u16string out;
    if (n == 0 || !Valid(n))
        return out;
    const ElementRecord& record = m_table[n];
    const uint32_t startTag = StartTagLength(n);
    const uint32_t endTag = EndTagLength(n);
    if (record.length == startTag || record.firstChild != 0 || record.length < startTag + endTag)
        return out;
    const uint32_t begin = ElementStart(n) + startTag;
    const uint32_t end = ElementStart(n) + record.length - endTag;
    const char16_t* content = m_text.Range(begin, end);
    const size_t length = end - begin;
    if (std::u16string_view(content, length).find(u'<') == std::u16string_view::npos) {
        AppendUnescapedMarkupText(out, std::u16string_view(content, length));
        return out;
    }
    NodeToken node;
    for (size_t pos = 0; ScanNode(content, length, pos, node) != kNodeEnd; pos += node.length) {
        if (node.kind == kNodeText) {
            AppendUnescapedMarkupText(out, std::u16string_view(content + node.start, node.length));
        } else if (node.kind == kNodeCdata) {
            constexpr size_t kOpen = 9, kClose = 3; // "<![CDATA[" and "]]>"
            if (node.length >= kOpen + kClose)
                out.append(content + node.start + kOpen, node.length - kOpen - kClose);
        }
        if (node.length == 0)
            break;
    }
    return out;
}

std::u16string CXmlDocument::GetChildText() {
    return ElementText(m_child);
}

bool CXmlDocument::ScanAttributes(uint32_t n, std::u16string_view name, size_t nth, AttributeSpan* span,
                                  size_t* stopAt, size_t* count) {
    if (n == 0 || !Valid(n))
        return false;
    const uint32_t start = ElementStart(n);
    const uint32_t length = StartTagLength(n);
    const char16_t* tag = m_text.Range(start, start + length);
    const uint32_t knownName = m_table[n].levelFlags >> kNameLengthShift;
    CAttributeScanner scanner(tag, length, 1 + knownName, knownName != 0);
    AttributeToken token;
    size_t index = 0;
    const bool noCase = (m_flags & kFlagNoCase) != 0;
    while (scanner.Next(token)) {
        const bool hit = nth == SIZE_MAX ? NamesEqual(tag + token.nameStart, token.nameLength, name.data(),
                                                      name.size(), noCase)
                                         : index == nth;
        if (hit) {
            *span = AttributeSpan{token.nameStart,   token.nameLength, token.valueStart,
                                  token.valueLength, token.quoted,     token.hasValue};
            return true;
        }
        ++index;
    }
    if (stopAt)
        *stopAt = scanner.StopAt();
    if (count)
        *count = index;
    return false;
}

std::u16string CXmlDocument::ElementAttribute(uint32_t n, std::u16string_view name) {
    std::u16string out;
    AttributeSpan span{};
    if (name.empty() || !ScanAttributes(n, name, SIZE_MAX, &span, nullptr, nullptr))
        return out;
    const uint32_t start = ElementStart(n);
    const char16_t* tag = m_text.Range(start, start + StartTagLength(n));
    AppendUnescapedMarkupText(out, std::u16string_view(tag + span.valueStart, span.valueLength));
    return out;
}

std::u16string CXmlDocument::GetChildAttribute(std::u16string_view name) {
    if (m_nodeType != 1 || m_child == 0)
        return std::u16string();
    return ElementAttribute(m_child, name);
}

std::u16string CXmlDocument::GetAttribute(std::u16string_view name) {
    return ElementAttribute(m_main, name);
}

bool CXmlDocument::GetAttributeAt(size_t index, std::u16string* name, std::u16string* value) {
    AttributeSpan span{};
    if (m_main == 0 || !ScanAttributes(m_main, {}, index, &span, nullptr, nullptr))
        return false;
    const uint32_t start = ElementStart(m_main);
    const char16_t* tag = m_text.Range(start, start + StartTagLength(m_main));
    if (name)
        name->assign(tag + span.nameStart, span.nameLength);
    if (value) {
        value->clear();
        AppendUnescapedMarkupText(*value, std::u16string_view(tag + span.valueStart, span.valueLength));
    }
    return true;
}

bool CXmlDocument::GetChildAttributeAt(size_t index, std::u16string* name, std::u16string* value) {
    if (m_child == 0)
        return false;
    const uint32_t saved = m_main;
    m_main = m_child;
    const bool ok = GetAttributeAt(index, name, value);
    m_main = saved;
    return ok;
}

// ---------------------------------------------------------------------------------------------
// Editing and renumbering.

void CXmlDocument::Renumber(uint32_t element, int64_t delta, bool includeChildren, size_t editPoint,
                            size_t removed, size_t inserted) {
    const uint32_t d = static_cast<uint32_t>(delta);
    auto shiftSubtree = [&](uint32_t root) {
        ForEachInSubtree(m_table, root, [&](uint32_t n) { m_table[n].start += d; });
    };
    if (includeChildren) {
        for (uint32_t c = m_table[element].firstChild; c; c = m_table[c].nextSibling)
            shiftSubtree(c);
    }
    for (uint32_t cur = element; cur != 0; cur = m_table[cur].parent) {
        for (uint32_t s = m_table[cur].nextSibling; s; s = m_table[s].nextSibling)
            shiftSubtree(s);
        const uint32_t parent = m_table[cur].parent;
        if (parent)
            m_table[parent].length += d;
    }
    if (m_shiftBy != 0) {
        // Move the pending shift's threshold so it still separates the elements it covers
        // (all shifted alike above) from those it does not.
        const int64_t boundary = int64_t{m_shiftFrom} + m_shiftBy;
        const int64_t x = int64_t(editPoint);
        const int64_t y = x + int64_t(removed);
        if (y <= boundary)
            m_shiftFrom += d;
        else if (x <= boundary)
            m_shiftFrom = static_cast<uint32_t>(x + int64_t(inserted) - m_shiftBy);
    }
}

bool CXmlDocument::EditText(size_t x, size_t removed, std::u16string_view inserted, uint32_t element,
                            bool includeChildren, bool allowLazy) {
    const size_t length = m_text.Length();
    if (length - removed + inserted.size() > kMaxTextLength)
        return false;
    if (!m_text.Replace(x, removed, inserted))
        return false;
    const int64_t delta = int64_t(inserted.size()) - int64_t(removed);
    m_table[0].length = static_cast<uint32_t>(m_text.Length());
    if (delta == 0)
        return true;
    const size_t y = x + removed;
    bool lazy = false;
    if (delta < 0 && allowLazy) {
        // A stored start may exceed the text by the whole pending shift: keep that in 32 bits.
        const bool roomy = uint64_t(m_text.Length()) + uint64_t(-(m_shiftBy + delta)) < 0xFFFFFFF0ull;
        if (m_shiftBy == 0) {
            m_shiftFrom = static_cast<uint32_t>(y);
            m_shiftBy = delta;
            lazy = true;
        } else if (roomy && int64_t(x) == int64_t{m_shiftFrom} + m_shiftBy) {
            // Next to the pending shift (the next sibling of one just removed): extend it.
            m_shiftFrom = static_cast<uint32_t>(int64_t(y) - m_shiftBy);
            m_shiftBy += delta;
            lazy = true;
        }
    }
    if (lazy) {
        for (uint32_t parent = m_table[element].parent; parent != 0; parent = m_table[parent].parent)
            m_table[parent].length += static_cast<uint32_t>(delta);
        return true;
    }
    Renumber(element, delta, includeChildren, x, removed, inserted.size());
    return true;
}

void CXmlDocument::MarkDeleted(uint32_t root) {
    ForEachInSubtree(m_table, root, [&](uint32_t n) {
        m_table[n].levelFlags |= kElementDeleted;
        if (m_table[n].tagLengths == kLongTags)
            m_longTags.erase(n);
        --m_liveCount;
    });
}

bool CXmlDocument::AddElement(std::u16string_view name, std::u16string_view value, uint32_t options) {
    return AddImpl(name, value, options & ~kAddAsChild);
}

bool CXmlDocument::AddChildElement(std::u16string_view name, std::u16string_view value, uint32_t options) {
    return AddImpl(name, value, options | kAddAsChild);
}

namespace {

// The markup of a new element: its start tag, and for a value the escaped text and the
// end tag. Returns the lengths of the two tags.
void WriteNodeText(std::u16string_view name, std::u16string_view value, uint32_t options,
                   std::u16string& node, uint32_t* startTag, uint32_t* endTag) {
    node.reserve(name.size() * 2 + value.size() + 16);
    *endTag = 0;
    node += u'<';
    node += name;
    if (value.empty()) {
        if (options & CXmlDocument::kAddUnended)
            node += u'>';
        else if (options & CXmlDocument::kAddSpaceBeforeSlash)
            node += u" />";
        else
            node += u"/>";
        *startTag = static_cast<uint32_t>(node.size());
        return;
    }
    node += u'>';
    *startTag = static_cast<uint32_t>(node.size());
    if (options & kEscapeCdata)
        node += CdataSection(value);
    else
        AppendEscapedMarkupText(node, value, options & kEscapeKeepReferences);
    node += u"</";
    node += name;
    node += u'>';
    *endTag = static_cast<uint32_t>(name.size() + 3);
}

// Room kept below the longest text when adding, for the line breaks and a parent's new end tag.
constexpr size_t kAddHeadroom = 16;

} // namespace

bool CXmlDocument::AddImpl(std::u16string_view name, std::u16string_view value, uint32_t options) {
    const bool asChild = (options & kAddAsChild) != 0;
    if (asChild && (m_main == 0 || m_nodeType != 1))
        return false;
    if (!IsWritableName(name, true))
        return false;
    if ((options & kAddUnended) && !value.empty())
        return false;
    const uint32_t parent = asChild ? m_main : m_parent;
    const uint32_t after = asChild ? m_child : m_main;
    if (!Valid(parent) || (after && (!Valid(after) || m_table[after].parent != parent)))
        return false;

    std::u16string node;
    uint32_t startTag = 0, endTag = 0;
    WriteNodeText(name, value, options, node, &startTag, &endTag);
    if (node.size() + m_text.Length() + kAddHeadroom > kMaxTextLength)
        return false;

    AddPlacement place;
    if (!PlaceNewNode(parent, after, node, (options & kAddNoLineBreaks) == 0, &place))
        return false;
    const uint32_t n =
        LinkNewRecord(parent, after, static_cast<uint32_t>(node.size()), startTag, endTag, options);
    if (n == 0)
        return false;
    if (!EditText(place.point, place.replaced, place.inserted, n, false, false)) {
        UnlinkNewRecord(n, parent, after);
        return false;
    }
    SetStart(n, place.newStart);
    if (place.parentGetsEndTag) {
        SetTagLengths(parent, place.parentStartTag, static_cast<uint32_t>(place.parentNameLength + 3));
        m_table[parent].levelFlags &= ~kElementUnended;
    }
    if (asChild) {
        m_child = n;
    } else {
        m_main = n;
        m_child = 0;
    }
    m_nodeType = 1;
    return true;
}

bool CXmlDocument::PlaceNewNode(uint32_t parent, uint32_t after, std::u16string_view node, bool lineBreaks,
                                AddPlacement* place) {
    const ElementRecord& parentRecord = m_table[parent];
    const uint32_t parentStartTag = parent ? StartTagLength(parent) : 0;
    const bool parentUnended = parent && (parentRecord.levelFlags & kElementUnended);
    const bool parentEmptyTag = parent && !parentUnended && parentRecord.length == parentStartTag;
    if (after == 0 && (parentEmptyTag || parentUnended))
        return PlaceFirstChildOfChildless(parent, parentEmptyTag, node, lineBreaks, place);

    const uint32_t textLength = static_cast<uint32_t>(m_text.Length());
    const uint32_t parentEndTag = parent ? EndTagLength(parent) : 0;
    size_t point = 0;
    if (after) {
        // After the sibling, and after the white space that follows it when markup or the
        // end of the text comes next, so the new element keeps the layout's line breaks.
        point = ElementStart(after) + m_table[after].length;
        if (lineBreaks) {
            size_t k = point;
            while (k < textLength && IsSpace(m_text.At(k)))
                ++k;
            if (k == textLength || m_text.At(k) == u'<')
                point = k;
        }
    } else if (parent == 0) {
        point = textLength;
    } else {
        point = ElementStart(parent) + parentRecord.length - parentEndTag;
    }
    const bool emptyContent =
        parent != 0 && after == 0 && parentRecord.length == parentStartTag + parentEndTag;
    std::u16string& inserted = place->inserted;
    if (lineBreaks && emptyContent)
        inserted += kLineBreak;
    place->point = point;
    place->replaced = 0;
    place->newStart = static_cast<uint32_t>(point + inserted.size());
    inserted += node;
    if (lineBreaks)
        inserted += kLineBreak;
    place->parentGetsEndTag = false;
    return true;
}

bool CXmlDocument::PlaceFirstChildOfChildless(uint32_t parent, bool parentEmptyTag, std::u16string_view node,
                                              bool lineBreaks, AddPlacement* place) {
    // The parent gets its first child and with it an end tag.
    const uint32_t parentStart = ElementStart(parent);
    const uint32_t parentStartTag = StartTagLength(parent);
    const std::u16string_view parentName = ElementName(parent);
    std::u16string& inserted = place->inserted;
    inserted += u'>';
    if (lineBreaks)
        inserted += kLineBreak;
    size_t newStart = inserted.size();
    inserted += node;
    if (lineBreaks)
        inserted += kLineBreak;
    inserted += u"</";
    inserted += parentName;
    const uint32_t closing = parentStart + parentStartTag - 1; // the start tag's '>'
    size_t point = closing, replaced = 0;
    if (parentEmptyTag) {
        // "<P/>" or "<P />": the '/' before the '>' is replaced. A run of them ("<P//>")
        // goes whole, or the new start tag would still read as an empty element.
        if (parentStartTag < 3 || m_text.At(closing) != u'>' || m_text.At(closing - 1) != u'/')
            return false;
        point = closing - 1;
        while (point > parentStart + 2 && m_text.At(point - 1) == u'/')
            --point;
        replaced = closing - point;
    } else if (m_text.At(closing) != u'>') {
        return false;
    }
    place->point = point;
    place->replaced = replaced;
    place->newStart = static_cast<uint32_t>(newStart + point);
    place->parentGetsEndTag = true;
    place->parentStartTag =
        parentEmptyTag ? parentStartTag - static_cast<uint32_t>(replaced) : parentStartTag;
    place->parentNameLength = parentName.size();
    return true;
}

uint32_t CXmlDocument::LinkNewRecord(uint32_t parent, uint32_t after, uint32_t nodeLength, uint32_t startTag,
                                     uint32_t endTag, uint32_t options) {
    const uint32_t n = TakeRecord();
    if (n == 0)
        return 0;
    ElementRecord& parentRecord = m_table[parent];
    ElementRecord& record = m_table[n];
    record.length = nodeLength;
    record.parent = parent;
    // As the parser counts: the deepest levels all share the top value.
    record.levelFlags = parent ? std::min((parentRecord.levelFlags & kLevelMask) + 1, kLevelMask) : 0;
    if (options & kAddUnended)
        record.levelFlags |= kElementUnended;
    SetTagLengths(n, startTag, endTag);
    // Link it after the reference sibling, or as the parent's last child.
    if (after) {
        ElementRecord& previous = m_table[after];
        record.nextSibling = previous.nextSibling;
        record.previousSibling = after;
        if (previous.nextSibling)
            m_table[previous.nextSibling].previousSibling = n;
        else
            m_table[parentRecord.firstChild].previousSibling = n;
        previous.nextSibling = n;
    } else if (AppendChildRecord(m_table, parent, n)) {
        record.levelFlags |= kElementFirstChild;
    }
    return n;
}

void CXmlDocument::UnlinkNewRecord(uint32_t n, uint32_t parent, uint32_t after) {
    ElementRecord& parentRecord = m_table[parent];
    ElementRecord& record = m_table[n];
    if (after) {
        m_table[after].nextSibling = record.nextSibling;
        if (record.nextSibling)
            m_table[record.nextSibling].previousSibling = after;
        else
            m_table[parentRecord.firstChild].previousSibling = after;
    } else if (parentRecord.firstChild == n) {
        parentRecord.firstChild = 0;
    } else {
        const uint32_t first = parentRecord.firstChild;
        m_table[record.previousSibling].nextSibling = 0;
        m_table[first].previousSibling = record.previousSibling;
    }
    record.levelFlags |= kElementDeleted;
    --m_liveCount;
}

bool CXmlDocument::SetAttributeOn(uint32_t n, std::u16string_view name, std::u16string_view value) {
    if (n == 0 || !Valid(n) || !IsWritableName(name, false))
        return false;
    const uint32_t start = ElementStart(n);
    const uint32_t startTag = StartTagLength(n);
    const char16_t* tag = m_text.Range(start, start + startTag);
    // Nothing is written past the tag's closing '>' (or the '/' of "/>").
    const ElementRecord& record = m_table[n];
    size_t limit = startTag ? startTag - 1 : 0;
    const bool emptyTag = record.length == startTag && !(record.levelFlags & kElementUnended);
    if (emptyTag && limit > 0 && tag[limit - 1] == u'/')
        --limit;
    std::u16string inserted;
    size_t x = 0, removed = 0;
    AttributeSpan span{};
    size_t stopAt = 0;
    if (ScanAttributes(n, name, SIZE_MAX, &span, &stopAt, nullptr)) {
        if (span.hasValue) {
            x = span.quoted ? span.valueStart - 1 : span.valueStart;
            size_t end = span.valueStart + span.valueLength + (span.quoted ? 1 : 0);
            end = std::min(end, limit);
            removed = end > x ? end - x : 0;
            inserted += u'"';
        } else {
            x = span.nameStart + span.nameLength;
            inserted += u"=\"";
        }
    } else {
        x = std::min(stopAt, limit);
        inserted += u' ';
        inserted += name;
        inserted += u"=\"";
    }
    if (x > limit)
        return false;
    AppendEscapedMarkupText(inserted, value, kEscapeQuotes);
    inserted += u'"';
    const int64_t delta = int64_t(inserted.size()) - int64_t(removed);
    if (!EditText(start + x, removed, inserted, n, true, true))
        return false;
    ElementRecord& edited = m_table[n];
    edited.length = static_cast<uint32_t>(edited.length + delta);
    SetTagLengths(n, static_cast<uint32_t>(startTag + delta), EndTagLength(n));
    return true;
}

bool CXmlDocument::SetAttribute(std::u16string_view name, std::u16string_view value) {
    return SetAttributeOn(m_main, name, value);
}

bool CXmlDocument::SetAttribute(std::u16string_view name, int value) {
    const std::string digits = std::to_string(value);
    return SetAttributeOn(m_main, name, std::u16string(digits.begin(), digits.end()));
}

bool CXmlDocument::SetChildAttribute(std::u16string_view name, std::u16string_view value) {
    return SetAttributeOn(m_child, name, value);
}

bool CXmlDocument::SetChildAttribute(std::u16string_view name, int value) {
    const std::string digits = std::to_string(value);
    return SetAttributeOn(m_child, name, std::u16string(digits.begin(), digits.end()));
}

bool CXmlDocument::SetElementAttribute(uint32_t n, std::u16string_view name, std::u16string_view value) {
    return SetAttributeOn(n, name, value);
}

bool CXmlDocument::RemoveElement() {
    if (m_nodeType != 1 || m_main == 0 || !Valid(m_main))
        return false;
    const uint32_t e = m_main;
    const uint32_t start = ElementStart(e);
    const uint32_t end = start + m_table[e].length;
    const size_t textLength = m_text.Length();
    size_t k = end;
    while (k < textLength && IsSpace(m_text.At(k)))
        ++k;
    const size_t cutEnd = (k == textLength || m_text.At(k) == u'<') ? k : end;
    ElementRecord& record = m_table[e];
    const uint32_t parent = record.parent;
    const bool wasFirst = (record.levelFlags & kElementFirstChild) != 0;
    const uint32_t previous = wasFirst ? 0 : record.previousSibling;
    if (!EditText(start, cutEnd - start, {}, e, false, true))
        return false;
    // Unlink.
    ElementRecord& parentRecord = m_table[parent];
    const uint32_t next = m_table[e].nextSibling;
    if (wasFirst) {
        if (next) {
            m_table[next].levelFlags |= kElementFirstChild;
            m_table[next].previousSibling = m_table[e].previousSibling;
        }
        parentRecord.firstChild = next;
    } else {
        m_table[previous].nextSibling = next;
        if (next)
            m_table[next].previousSibling = previous;
        else
            m_table[parentRecord.firstChild].previousSibling = previous;
    }
    MarkDeleted(e);
    m_main = previous;
    m_child = 0;
    m_nodeType = m_main ? 1 : 0;
    return true;
}

} // namespace quillon
