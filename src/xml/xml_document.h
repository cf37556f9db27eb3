// CXmlDocument: one XML document held as UTF-16 text plus an index of where every
// element lies in it; navigation reads the index, modifications edit the text in place.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "xml/xml_file.h"
#include "xml/xml_scanner.h"
#include "xml/xml_text.h"

namespace quillon {

// One element of the index (eight 32-bit fields).
struct ElementRecord {
    uint32_t start;      // offset of the element's '<' (see CXmlDocument::ElementStart)
    uint32_t length;     // through the end tag, or through the start tag when there is none
    uint32_t tagLengths; // low 22 bits start tag, high 10 bits end tag; all ones = see overflow map
    uint32_t levelFlags; // low 16 bits nesting level, bits 16-23 kElement* flags, top byte name length
    uint32_t parent;
    uint32_t firstChild;
    uint32_t nextSibling;
    uint32_t previousSibling; // for a first child: the parent's last child
};

// Element records in segments of 65,536; element number n lives in segment n >> 16, slot n & 0xFFFF.
class CElementTable {
public:
    static constexpr uint32_t kSegmentBits = 16;
    static constexpr uint32_t kSegmentSize = 1u << kSegmentBits;

    CElementTable() = default;
    CElementTable(CElementTable&& other) noexcept { *this = std::move(other); }
    CElementTable& operator=(CElementTable&& other) noexcept {
        if (this != &other) {
            m_segments = std::move(other.m_segments);
            m_size = other.m_size;
            other.m_segments.clear();
            other.m_size = 0;
        }
        return *this;
    }

    uint32_t Size() const { return m_size; }
    ElementRecord& operator[](uint32_t n) {
        return m_segments[n >> kSegmentBits].get()[n & (kSegmentSize - 1)];
    }
    const ElementRecord& operator[](uint32_t n) const {
        return m_segments[n >> kSegmentBits].get()[n & (kSegmentSize - 1)];
    }
    // Grows to at least newSize records (never by more than one segment beyond the last).
    bool Grow(uint64_t newSize);
    // Gives back the unused tail of the last segment.
    void Trim(uint32_t used);
    void Release();
    size_t BytesHeld() const;

private:
    std::vector<MallocPtr<ElementRecord>> m_segments; // the segment-pointer array
    uint32_t m_size = 0;
};

class CXmlDocument {
public:
    // Add options (bits of the options word of AddElement/AddChildElement).
    static constexpr uint32_t kAddCdata = 0x01;
    static constexpr uint32_t kAddNoLineBreaks = 0x02;
    static constexpr uint32_t kAddSpaceBeforeSlash = 0x04;
    static constexpr uint32_t kAddKeepReferences = 0x08;
    static constexpr uint32_t kAddUnended = 0x10;
    static constexpr uint32_t kAddAsChild = 0x4000;

    // Document flags.
    static constexpr uint32_t kFlagUtf16LE = 0x01;
    static constexpr uint32_t kFlagUtf8Bom = 0x04;
    static constexpr uint32_t kFlagNoCase = 0x08;
    static constexpr uint32_t kFlagRead = 0x10;
    static constexpr uint32_t kFlagWrite = 0x20;
    static constexpr uint32_t kFlagAppend = 0x40;
    static constexpr uint32_t kFlagUtf16BE = 0x80;
    static constexpr uint32_t kFlagUtf32LE = 0x100; // written with FF FE 00 00
    static constexpr uint32_t kFlagUtf32BE = 0x200; // written with 00 00 FE FF
    // With one of the UTF-16/UTF-32 bits: the file had no mark (its form was seen in the
    // markup itself) and is written back without one.
    static constexpr uint32_t kFlagNoMark = 0x400;
    // Every bit that names the file's Unicode form.
    static constexpr uint32_t kFlagUnicodeForms =
        kFlagUtf16LE | kFlagUtf8Bom | kFlagUtf16BE | kFlagUtf32LE | kFlagUtf32BE | kFlagNoMark;

    // Element flags (levelFlags of ElementRecord).
    static constexpr uint32_t kLevelMask = 0xFFFF;
    static constexpr uint32_t kElementDeleted = 1u << 17;
    static constexpr uint32_t kElementFirstChild = 1u << 19;
    static constexpr uint32_t kElementUnended = 1u << 20;
    static constexpr uint32_t kElementErrorInside = 1u << 21;
    static constexpr uint32_t kDocumentIllFormed = 1u << 23;
    // The top byte of levelFlags is no flag: the parser keeps there the length of a start
    // tag's name (1 to 255 units) when that name ends where the attribute list begins, so
    // walking names and attributes does not scan it again; 0 means scan it.
    static constexpr uint32_t kNameLengthShift = 24;

    // Longest document text the index can describe.
    static constexpr size_t kMaxTextLength = 0x7FFFFFF0;

    // ElementRecord::tagLengths packs the start tag's length in the low bits and the end
    // tag's above; lengths too long for either field are kept in a side map instead.
    static constexpr uint32_t kStartTagBits = 22;
    static constexpr uint32_t kStartTagMax = (1u << kStartTagBits) - 1;
    static constexpr uint32_t kEndTagMax = (1u << (32 - kStartTagBits)) - 1;
    static constexpr uint32_t kLongTags = 0xFFFFFFFFu; // both fields all ones: see the side map
    // Longest name the top byte of levelFlags can hold.
    static constexpr size_t kMaxKeptNameLength = 0xFF;

    CXmlDocument();
    explicit CXmlDocument(std::u16string_view text);
    CXmlDocument(CXmlDocument&&) noexcept;
    CXmlDocument& operator=(CXmlDocument&&) noexcept;
    CXmlDocument(const CXmlDocument&) = delete;
    CXmlDocument& operator=(const CXmlDocument&) = delete;
    ~CXmlDocument();

    // Document and state.
    bool SetDocument(); // no text: the empty document, every table segment released
    bool SetDocument(std::u16string_view text);
    std::u16string_view GetDocument(); // the whole text (valid until the next change)
    const std::u16string& GetResult() const { return m_result; }
    // What the last LoadFile or SaveFile did, as the report of that call tells it.
    const DocumentFileOutcome& GetFileOutcome() const { return m_fileOutcome; }
    bool CheckWellFormed() const;
    bool LoadFile(std::u16string_view path);
    bool SaveFile(std::u16string_view path);
    uint32_t GetDocumentFlags() const { return m_flags; }
    void SetDocumentFlags(uint32_t flags) { m_flags = flags; }

    // Positions.
    uint32_t GetParentPosition() const { return m_parent; }
    uint32_t GetMainPosition() const { return m_main; }
    uint32_t GetChildPosition() const { return m_child; }
    uint32_t GetNodeType() const { return m_nodeType; }

    // Navigation.
    void ResetPosition();
    bool FindElement(std::u16string_view name = {});
    bool FindChildElement(std::u16string_view name = {});
    bool EnterElement();
    bool LeaveElement();

    // Reading.
    std::u16string GetChildText();
    std::u16string GetChildAttribute(std::u16string_view name);
    std::u16string GetTagName();                           // of the main element; empty when there is none
    std::u16string GetChildTagName();                      // of the child element
    std::u16string GetAttribute(std::u16string_view name); // of the main element
    // The index-th attribute (from 0) of the main or child element's start tag, value unescaped.
    bool GetAttributeAt(size_t index, std::u16string* name, std::u16string* value);
    bool GetChildAttributeAt(size_t index, std::u16string* name, std::u16string* value);

    // Modification.
    bool AddElement(std::u16string_view name, std::u16string_view value = {}, uint32_t options = 0);
    bool AddChildElement(std::u16string_view name, std::u16string_view value = {}, uint32_t options = 0);
    bool SetAttribute(std::u16string_view name, std::u16string_view value);
    bool SetAttribute(std::u16string_view name, int value);
    bool SetChildAttribute(std::u16string_view name, std::u16string_view value);
    bool SetChildAttribute(std::u16string_view name, int value);
    bool RemoveElement();

    // Walking by element number (0 = the document record). Numbers come from the
    // positions or from these functions; removed elements must not be asked about.
    uint32_t ElementCount() const; // live elements
    uint32_t FirstChild(uint32_t n) const { return Valid(n) ? m_table[n].firstChild : 0; }
    uint32_t NextSibling(uint32_t n) const { return Valid(n) ? m_table[n].nextSibling : 0; }
    uint32_t ParentOf(uint32_t n) const { return Valid(n) ? m_table[n].parent : 0; }
    // The stored previous sibling: for a first child, the last child of its parent.
    uint32_t PreviousSibling(uint32_t n) const { return Valid(n) ? m_table[n].previousSibling : 0; }
    uint32_t ElementStart(uint32_t n) const;
    uint32_t ElementLength(uint32_t n) const { return Valid(n) ? m_table[n].length : 0; }
    uint32_t StartTagLength(uint32_t n) const;
    uint32_t EndTagLength(uint32_t n) const;
    uint32_t ElementFlags(uint32_t n) const {
        return Valid(n) ? m_table[n].levelFlags & ((1u << kNameLengthShift) - 1) : 0;
    }
    std::u16string_view ElementName(uint32_t n); // valid until the next change
    std::u16string ElementText(uint32_t n);      // the GetChildText rule for element n
    // Calls visit(name, value) for every attribute of n's start tag, in order; the views
    // are raw (escaped) text valid during the call. Returns the number of attributes.
    template <typename Visit> size_t ForEachAttribute(uint32_t n, Visit&& visit);
    std::u16string ElementAttribute(uint32_t n, std::u16string_view name);
    bool SetElementAttribute(uint32_t n, std::u16string_view name, std::u16string_view value);
    size_t MemoryUsage() const;

private:
    friend class CResultReport;
    class CParser; // one run of the parser over m_text (xml_parser.cpp)

    struct AttributeSpan {
        size_t nameStart, nameLength, valueStart, valueLength;
        bool quoted, hasValue;
    };

    bool Valid(uint32_t n) const {
        return n < m_nextFree && (n == 0 || !(m_table[n].levelFlags & kElementDeleted));
    }
    // The start and end tag lengths of element n: packed into its record, or kept aside when
    // either is too long to pack. Zeros for an element that is not there.
    std::pair<uint32_t, uint32_t> TagLengths(uint32_t n) const;
    // Where the start tag of live element n (not 0) lies in the text.
    void StartTagSpan(uint32_t n, uint32_t* start, uint32_t* length) const {
        const ElementRecord& record = m_table[n];
        *start = record.start >= m_shiftFrom ? static_cast<uint32_t>(record.start + m_shiftBy) : record.start;
        *length = record.tagLengths != kLongTags ? (record.tagLengths & kStartTagMax) : StartTagLength(n);
    }
    // Links record n as the last of parent's children; true when it is the first. Siblings
    // form a list whose first member's previousSibling points at the last.
    static bool AppendChildRecord(CElementTable& table, uint32_t parent, uint32_t n) {
        ElementRecord& record = table[n];
        ElementRecord& parentRecord = table[parent];
        if (parentRecord.firstChild == 0) {
            parentRecord.firstChild = n;
            record.previousSibling = n;
            return true;
        }
        const uint32_t first = parentRecord.firstChild;
        const uint32_t last = table[first].previousSibling;
        table[last].nextSibling = n;
        record.previousSibling = last;
        table[first].previousSibling = n;
        return false;
    }
    void SetTagLengths(uint32_t n, uint32_t startTag, uint32_t endTag);
    void SetStart(uint32_t n, uint32_t start);
    uint32_t TakeRecord();
    void Parse();
    bool AddImpl(std::u16string_view name, std::u16string_view value, uint32_t options);
    // Where and how a new element's markup goes into the text.
    struct AddPlacement {
        size_t point = 0;    // where the edit starts
        size_t replaced = 0; // units replaced there
        std::u16string inserted;
        uint32_t newStart = 0;         // the new element's '<' after the edit
        bool parentGetsEndTag = false; // a childless parent gains an end tag
        uint32_t parentStartTag = 0;   // its start tag's length after the edit
        size_t parentNameLength = 0;
    };
    bool PlaceNewNode(uint32_t parent, uint32_t after, std::u16string_view node, bool lineBreaks,
                      AddPlacement* place);
    bool PlaceFirstChildOfChildless(uint32_t parent, bool parentEmptyTag, std::u16string_view node,
                                    bool lineBreaks, AddPlacement* place);
    uint32_t LinkNewRecord(uint32_t parent, uint32_t after, uint32_t nodeLength, uint32_t startTag,
                           uint32_t endTag, uint32_t options);
    void UnlinkNewRecord(uint32_t n, uint32_t parent, uint32_t after);
    bool FindSibling(uint32_t from, std::u16string_view name, size_t nameLength, uint32_t* found);
    bool FindNextAmong(uint32_t container, uint32_t current, std::u16string_view name, uint32_t* found);
    bool NameMatches(uint32_t n, std::u16string_view name, size_t nameLength);
    // Replaces text at [x, x+removed) and renumbers; element is the element whose edit it is.
    bool EditText(size_t x, size_t removed, std::u16string_view inserted, uint32_t element,
                  bool includeChildren, bool allowLazy);
    void Renumber(uint32_t element, int64_t delta, bool includeChildren, size_t editPoint, size_t removed,
                  size_t inserted);
    void MarkDeleted(uint32_t element);
    // Attribute scanning over element n's start tag; nth == SIZE_MAX looks the name up instead.
    bool ScanAttributes(uint32_t n, std::u16string_view name, size_t nth, AttributeSpan* span, size_t* stopAt,
                        size_t* count);
    bool SetAttributeOn(uint32_t n, std::u16string_view name, std::u16string_view value);

    CXmlText m_text;
    std::u16string m_result;
    DocumentFileOutcome m_fileOutcome;
    uint32_t m_parent = 0;
    uint32_t m_main = 0;
    uint32_t m_child = 0;
    uint32_t m_nextFree = 1;
    uint32_t m_nodeType = 0;
    uint32_t m_flags = 0;
    CElementTable m_table;
    // Tag lengths that do not fit the packed widths, by element number.
    std::unordered_map<uint32_t, std::pair<uint32_t, uint32_t>> m_longTags;
    // Pending shift left by removals: stored starts at or above m_shiftFrom are m_shiftBy
    // (negative) ahead of the text, so removing a run of siblings costs no renumbering walk.
    uint32_t m_shiftFrom = UINT32_MAX;
    int64_t m_shiftBy = 0;
    uint32_t m_liveCount = 0;
    bool m_quiet = false; // the private document of a ResultReport keeps no report itself
};

// The element after n in document order: its first child, else the next sibling of n or of
// its nearest ancestor that has one; 0 after the last. `depth` (when given) follows the move.
inline uint32_t NextInDocumentOrder(const CXmlDocument& doc, uint32_t n, uint32_t* depth = nullptr) {
    if (const uint32_t child = doc.FirstChild(n)) {
        if (depth)
            ++*depth;
        return child;
    }
    while (n && doc.NextSibling(n) == 0) {
        n = doc.ParentOf(n);
        if (n && depth)
            --*depth;
    }
    return n ? doc.NextSibling(n) : 0;
}

template <typename Visit> size_t CXmlDocument::ForEachAttribute(uint32_t n, Visit&& visit) {
    if (n == 0 || !Valid(n))
        return 0;
    uint32_t start = 0, length = 0;
    StartTagSpan(n, &start, &length);
    const char16_t* tag = m_text.Range(start, start + length);
    const uint32_t nameLength = m_table[n].levelFlags >> kNameLengthShift;
    CAttributeScanner scanner(tag, length, 1 + nameLength, nameLength != 0);
    AttributeToken token;
    size_t count = 0;
    while (scanner.Next(token)) {
        visit(std::u16string_view(tag + token.nameStart, token.nameLength),
              std::u16string_view(tag + token.valueStart, token.valueLength));
        ++count;
    }
    return count;
}

} // namespace quillon
