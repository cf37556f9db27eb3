// Document files: reading any supported encoding into UTF-16 and writing it back in the
// file's own encoding, with the report of what was done.
#include "xml/xml_file.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "xml/xml_document.h"
#include "xml/xml_encoding.h"
#include "xml/xml_file_io.h"
#include "xml/xml_report.h"
#include "xml/xml_scanner.h"

namespace quillon {

namespace {

// The start of a file that is read before the rest, to find its encoding.
constexpr size_t kProbeBytes = 1024;
// The flags that say a read, a write or an append is under way; none stays set after one.
constexpr uint32_t kModeBits = CXmlDocument::kFlagRead | CXmlDocument::kFlagWrite | CXmlDocument::kFlagAppend;
constexpr uint32_t kFlagUtf16LE = CXmlDocument::kFlagUtf16LE;
constexpr uint32_t kFlagUtf8Bom = CXmlDocument::kFlagUtf8Bom;
constexpr uint32_t kFlagUtf16BE = CXmlDocument::kFlagUtf16BE;
constexpr uint32_t kFlagUtf32LE = CXmlDocument::kFlagUtf32LE;
constexpr uint32_t kFlagUtf32BE = CXmlDocument::kFlagUtf32BE;
constexpr uint32_t kFlagNoMark = CXmlDocument::kFlagNoMark;
constexpr uint32_t kEncodingBits = CXmlDocument::kFlagUnicodeForms;
constexpr size_t kMaxUnits = CXmlDocument::kMaxTextLength;
// The error number a report gives when a block could not be allocated (as the system's
// "not enough memory").
constexpr int64_t kNoMemoryError = 8;

struct FileCloser {
    void operator()(std::FILE* file) const {
        if (file)
            std::fclose(file);
    }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
    return NamesEqual(a.data(), a.size(), b.data(), b.size(), true);
}

// Removes zero units in place; returns how many.
template <typename Unit> size_t RemoveNulls(Unit* units, size_t& length) {
    size_t write = 0;
    for (size_t read = 0; read < length; ++read) {
        if (units[read] != 0)
            units[write++] = units[read];
    }
    const size_t removed = length - write;
    length = write;
    return removed;
}

bool HasZeroByte(const char* bytes, size_t length) {
    return std::memchr(bytes, 0, length) != nullptr;
}

bool HasZeroUnit(const char16_t* units, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        if (units[i] == 0)
            return true;
    }
    return false;
}

void SwapBytes(char16_t* units, size_t length) {
    for (size_t i = 0; i < length; ++i)
        units[i] = static_cast<char16_t>((units[i] << 8) | (units[i] >> 8));
}

bool IsFourByteCodePage(int codePage) {
    return codePage == kCodePageUtf32LE || codePage == kCodePageUtf32BE;
}

bool IsWideCodePage(int codePage) {
    return codePage == kCodePageUtf16LE || codePage == kCodePageUtf16BE || IsFourByteCodePage(codePage);
}

// UTF-8 and the single-byte code pages never give more units than bytes.
bool IsBoundedByBytes(int codePage) {
    return codePage == kCodePageUtf8 || codePage == kCodePageLatin1 || codePage == kCodePageWindows1252 ||
           codePage == kCodePageAscii;
}

// The value of name= in a meta content text such as "text/html; charset=iso-8859-1".
std::u16string CharsetOf(std::u16string_view content) {
    size_t p = 0;
    const size_t n = content.size();
    auto isDelimiter = [](char16_t c) {
        return c == u';' || c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u',' || c == u'"' ||
               c == u'\'';
    };
    while (p < n) {
        while (p < n && isDelimiter(content[p]))
            ++p;
        const size_t tokenStart = p;
        while (p < n && !isDelimiter(content[p]) && content[p] != u'=')
            ++p;
        const std::u16string_view token = content.substr(tokenStart, p - tokenStart);
        size_t q = p;
        while (q < n && IsSpace(content[q]))
            ++q;
        if (q < n && content[q] == u'=') {
            ++q;
            while (q < n && IsSpace(content[q]))
                ++q;
            const size_t valueStart = q;
            while (q < n && !isDelimiter(content[q]))
                ++q;
            if (EqualsNoCase(token, u"charset") && q > valueStart)
                return std::u16string(content.substr(valueStart, q - valueStart));
            p = q;
        }
        if (p == tokenStart)
            ++p;
    }
    return std::u16string();
}

// An attribute of the tag text[0, length) (from "<" or "<?"), unescaped value; found tells.
std::u16string TagAttribute(const char16_t* tag, size_t length, size_t begin, std::u16string_view name,
                            bool* found) {
    CAttributeScanner scanner(tag, length, begin);
    AttributeToken token;
    while (scanner.Next(token)) {
        if (EqualsNoCase(std::u16string_view(tag + token.nameStart, token.nameLength), name)) {
            *found = true;
            return std::u16string(tag + token.valueStart, token.valueLength);
        }
    }
    *found = false;
    return std::u16string();
}

} // namespace

std::u16string FindDeclaredEncoding(std::u16string_view text) {
    const char16_t* units = text.data();
    const size_t length = text.size();
    bool sawHtml = false;
    NodeToken node;
    for (size_t pos = 0;; pos += node.length) {
        const int kind = ScanNode(units, length, pos, node);
        if (kind == kNodeError || kind == kNodeEnd || node.length == 0)
            break;
        const std::u16string_view name(units + node.nameStart, node.nameEnd - node.nameStart);
        if (kind == kNodeProcessingInstruction && pos == 0 && EqualsNoCase(name, u"xml")) {
            bool found = false;
            return TagAttribute(units + pos, node.length, 2, u"encoding", &found);
        }
        if (kind == kNodeStartTag) {
            if (!sawHtml) {
                if (!EqualsNoCase(name, u"html"))
                    break;
                sawHtml = true;
                continue;
            }
            if (EqualsNoCase(name, u"meta")) {
                bool found = false;
                const std::u16string equiv = TagAttribute(units + pos, node.length, 1, u"http-equiv", &found);
                if (found && EqualsNoCase(equiv, u"Content-Type")) {
                    const std::u16string content =
                        TagAttribute(units + pos, node.length, 1, u"content", &found);
                    return CharsetOf(content);
                }
            }
        } else if (kind == kNodeEndTag && sawHtml && EqualsNoCase(name, u"head")) {
            break;
        }
    }
    return std::u16string();
}

namespace {

// The report of one read or write, kept both as the typed outcome and as the report text;
// every step that shows in the outcome writes its entry through here.
class CFileReport {
public:
    void FileError() {
        uint32_t code = 0;
        std::u16string message;
        LastDocumentFileError(&code, &message);
        m_outcome.fileError = true;
        m_entries.Add(ReportEntry{u"file_error", u"msg", message, u"n", int64_t{code}, false, 0});
    }
    void TooLarge() {
        m_outcome.fileError = true;
        m_entries.Add(ReportEntry{u"file_error", u"msg", u"The file is too large.", u"n", 0, false, 0});
    }
    void NoMemory() {
        m_outcome.fileError = true;
        m_entries.Add(
            ReportEntry{u"file_error", u"msg", u"Not enough memory.", u"n", kNoMemoryError, false, 0});
    }
    void Mark() {
        m_outcome.mark = true;
        m_entries.Add(u"bom");
    }
    void NullsRemoved(size_t count) {
        m_outcome.nullsRemoved = true;
        m_entries.Add(ReportEntry{u"nulls_removed", {}, {}, u"count", int64_t(count), false, 0});
    }
    void EndianSwap() {
        m_outcome.endianSwap = true;
        m_entries.Add(u"endian_swap");
    }
    // The encoding was not declared: the bytes' own form decided it.
    void Utf8Detection(std::u16string_view encoding) {
        m_outcome.utf8Detection = true;
        m_entries.Update(u"read", u"encoding", encoding);
        m_entries.Add(u"utf8_detection");
    }
    void ConversionLoss() {
        m_outcome.conversionLoss = true;
        m_entries.Add(u"conversion_loss");
    }
    void Step(std::u16string_view name, std::u16string_view encoding, size_t length) {
        m_entries.Add(ReportEntry{name, u"encoding", encoding, u"length", int64_t(length), false, 0});
    }
    bool Close(FilePtr& file) {
        std::FILE* raw = file.release();
        if (raw && std::fclose(raw) != 0) {
            FileError();
            return false;
        }
        return true;
    }
    // Ends the read or write: the report text, the outcome, and no mode bit left set.
    bool Finish(bool ok, std::u16string& report, uint32_t& flags, DocumentFileOutcome* outcome) {
        report = m_entries.Text();
        flags &= ~kModeBits;
        if (outcome)
            *outcome = m_outcome;
        return ok;
    }

private:
    CResultReport m_entries;
    DocumentFileOutcome m_outcome;
};

// What the start of a file says of its encoding.
struct EncodingGuess {
    std::u16string encoding;
    size_t consumed = 0;  // bytes of a byte-order mark
    size_t unitBytes = 1; // 2 for UTF-16 read as units
    bool mark = false;
    bool declared = false; // by a mark, a wide form or the declaration; otherwise the bytes decide
};

struct MarkPattern {
    int bytes[4]; // -1: any byte
    size_t length;
    const char16_t* encoding;
    uint32_t flags;
    size_t consumed;
    size_t unitBytes;
    bool declared;
};

// In order: the marks, then the shape of markup in a wide form without one. Markup in a
// wide form is read in that form, which keeps every character (taking the low bytes would
// not), and written back as it came.
constexpr MarkPattern kMarkPatterns[] = {
    {{0xEF, 0xBB, 0xBF, 0}, 3, u"UTF-8", kFlagUtf8Bom, 3, 1, true},
    {{0xFF, 0xFE, 0x00, 0x00}, 4, u"UTF-32LE", kFlagUtf32LE, 4, 1, true},
    {{0xFF, 0xFE, 0, 0}, 2, u"UTF-16LE", kFlagUtf16LE, 2, 2, false},
    {{0xFE, 0xFF, 0, 0}, 2, u"UTF-16BE", kFlagUtf16BE, 2, 2, false},
    {{0x00, 0x00, 0xFE, 0xFF}, 4, u"UTF-32BE", kFlagUtf32BE, 4, 1, true},
    {{0x3C, 0x00, 0x00, 0x00}, 4, u"UTF-32LE", kFlagUtf32LE | kFlagNoMark, 0, 1, true},
    {{0x00, 0x00, 0x00, 0x3C}, 4, u"UTF-32BE", kFlagUtf32BE | kFlagNoMark, 0, 1, true},
    {{0x3C, 0x00, -1, 0x00}, 4, u"UTF-16LE", kFlagUtf16LE | kFlagNoMark, 0, 2, false},
    {{0x00, 0x3C, 0x00, -1}, 4, u"UTF-16BE", kFlagUtf16BE | kFlagNoMark, 0, 2, false},
};

bool StartsWith(const unsigned char* probe, size_t probeLength, const MarkPattern& pattern) {
    if (probeLength < pattern.length)
        return false;
    for (size_t i = 0; i < pattern.length; ++i) {
        if (pattern.bytes[i] >= 0 && probe[i] != pattern.bytes[i])
            return false;
    }
    return true;
}

// The encoding: a byte-order mark, the shape of UTF-16/UTF-32 markup without one, or the
// declaration. Sets the encoding bits of flags.
EncodingGuess GuessEncoding(const unsigned char* probe, size_t probeLength, uint32_t& flags) {
    flags &= ~kEncodingBits;
    EncodingGuess guess;
    for (const MarkPattern& pattern : kMarkPatterns) {
        if (!StartsWith(probe, probeLength, pattern))
            continue;
        guess.encoding = pattern.encoding;
        flags |= pattern.flags;
        guess.consumed = pattern.consumed;
        guess.unitBytes = pattern.unitBytes;
        guess.mark = pattern.consumed != 0;
        guess.declared = pattern.declared;
        return guess;
    }
    // UTF-8 never gives more units than bytes: one pass into a buffer of the probe's size.
    char16_t decoded[kProbeBytes];
    const size_t decodedLength =
        BytesToUtf16(kCodePageUtf8, reinterpret_cast<const char*>(probe), probeLength, decoded);
    guess.encoding = FindDeclaredEncoding(std::u16string_view(decoded, std::min(decodedLength, kProbeBytes)));
    guess.declared = !guess.encoding.empty();
    // A declaration of a two- or four-byte encoding cannot describe single-byte markup.
    if (guess.declared && IsWideCodePage(CodePageFromName(guess.encoding))) {
        guess.encoding.clear();
        guess.declared = false;
    }
    if (!guess.declared && probeLength && probe[0] == '<')
        guess.encoding = u"UTF-8"; // confirmed or refuted by the UTF-8 scan of the whole file
    return guess;
}

// The text block with 1 % spare (and at least one unit) for the first edits.
size_t CapacityFor(size_t units) {
    return units + units / 100 + 1;
}

// The bytes of the file after its mark that the probe already holds: the rest is read
// after them, with no seek back (a seek drops the stream's buffer and costs a system call).
struct ProbeTail {
    const unsigned char* bytes;
    size_t length;
};

// count bytes of the file after its mark into dest: the probe's first, then the file's.
bool ReadRest(std::FILE* file, const ProbeTail& tail, void* dest, size_t count) {
    const size_t fromProbe = std::min(tail.length, count);
    std::memcpy(dest, tail.bytes, fromProbe);
    const size_t fromFile = count - fromProbe;
    return fromFile == 0 || std::fread(static_cast<char*>(dest) + fromProbe, 1, fromFile, file) == fromFile;
}

// The rest of a UTF-16 file, read straight into the text block.
bool ReadUnits(std::FILE* file, const ProbeTail& tail, uint64_t remaining, const EncodingGuess& guess,
               uint32_t flags, CFileReport& report, DocumentTextBlock& text) {
    size_t units = static_cast<size_t>(remaining / 2);
    const size_t capacity = CapacityFor(units);
    MallocPtr<char16_t> block = MallocArray<char16_t>(capacity);
    if (!block) {
        report.NoMemory();
        return false;
    }
    if (!ReadRest(file, tail, block.get(), units * sizeof(char16_t))) {
        report.FileError();
        return false;
    }
    report.Step(u"read", guess.encoding, units);
    if (HasZeroUnit(block.get(), units))
        report.NullsRemoved(RemoveNulls(block.get(), units));
    if (flags & kFlagUtf16BE) {
        SwapBytes(block.get(), units);
        report.EndianSwap();
    }
    text.units = std::move(block);
    text.length = units;
    text.capacity = capacity;
    return true;
}

// Hands the converted text over; a block that turned out much too big (text of mostly
// multi-byte characters) is shrunk first. Smaller excesses are kept: giving them back makes
// the next large load fault in fresh pages (twice the time of a 2.4 MB load here).
void TakeConverted(MallocPtr<char16_t> block, size_t capacity, size_t produced, CFileReport& report,
                   DocumentTextBlock& text) {
    const size_t wanted = CapacityFor(produced);
    if (capacity - wanted > capacity / 4) {
        if (void* shrunk = std::realloc(block.get(), wanted * sizeof(char16_t))) {
            (void)block.release();
            block.reset(static_cast<char16_t*>(shrunk));
            capacity = wanted;
        }
    }
    report.Step(u"converted_to", u"UTF-16", produced);
    text.units = std::move(block);
    text.length = produced;
    text.capacity = capacity;
}

// Bytes in the code page into a text block sized once.
bool ConvertBytes(int codePage, const char* bytes, size_t length, CFileReport& report,
                  DocumentTextBlock& text) {
    // The byte count bounds the text of UTF-8 and the single-byte code pages, so it is
    // converted in one pass (a counting pass costs as much as the conversion); only a block
    // that turned out much too big (text of mostly multi-byte characters) is shrunk afterwards.
    const size_t units = IsBoundedByBytes(codePage) ? length : BytesToUtf16(codePage, bytes, length, nullptr);
    if (units > kMaxUnits) {
        report.TooLarge();
        return false;
    }
    size_t capacity = CapacityFor(units);
    MallocPtr<char16_t> block = MallocArray<char16_t>(capacity);
    if (!block) {
        report.NoMemory();
        return false;
    }
    const size_t produced = std::min(units, BytesToUtf16(codePage, bytes, length, block.get()));
    TakeConverted(std::move(block), capacity, produced, report, text);
    return true;
}

// UTF-8 and single-byte text is converted within the text block itself: the bytes are read
// into its upper end and decoded forward into its start. A unit (two bytes) is written for
// every byte or more read, and the bytes start at least their own length into the block, so
// writing never reaches bytes not yet read (the decoder's vector steps load before they
// store). A large file then needs one block instead of two, and no second block's pages.
void ConvertInPlace(int codePage, MallocPtr<char16_t> block, size_t capacity, const char* bytes,
                    size_t length, CFileReport& report, DocumentTextBlock& text) {
    const size_t produced = BytesToUtf16(codePage, bytes, length, block.get());
    TakeConverted(std::move(block), capacity, produced, report, text);
}

// The rest of a file of bytes: zero bytes dropped, the encoding settled when nothing
// declared it, then converted.
bool ReadBytes(std::FILE* file, const ProbeTail& tail, uint64_t remaining, EncodingGuess& guess,
               CFileReport& report, DocumentTextBlock& text) {
    size_t bytes = static_cast<size_t>(remaining);
    // The text block is sized for one unit per byte, the most UTF-8 and the single-byte code
    // pages give; bytes too many for that many units get a block of their own (only a code
    // page of several bytes a character could still make a text of them).
    const size_t capacity = CapacityFor(bytes);
    MallocPtr<char16_t> block;
    MallocPtr<char> own;
    char* staged = nullptr;
    if (bytes <= kMaxUnits) {
        block = MallocArray<char16_t>(capacity);
        staged =
            block ? reinterpret_cast<char*>(block.get()) + (capacity * sizeof(char16_t) - bytes) : nullptr;
    } else {
        own = MallocArray<char>(bytes);
        staged = own.get();
    }
    if (!staged) {
        report.NoMemory();
        return false;
    }
    if (!ReadRest(file, tail, staged, bytes)) {
        report.FileError();
        return false;
    }
    report.Step(u"read", guess.encoding, bytes);
    int codePage = CodePageFromName(guess.encoding);
    // Zero bytes belong to the characters of a four-byte encoding.
    if (!IsFourByteCodePage(codePage) && HasZeroByte(staged, bytes))
        report.NullsRemoved(RemoveNulls(staged, bytes));
    if (!guess.declared) {
        // Decided by the rules the conversion itself applies: bytes that would decode to
        // even one U+FFFD are not UTF-8 and are read in the ANSI code page, so an ANSI file
        // keeps its accented letters.
        guess.encoding = IsStrictUtf8(staged, bytes) ? u"UTF-8" : u"";
        report.Utf8Detection(guess.encoding);
        codePage = CodePageFromName(guess.encoding);
    }
    codePage = std::max(codePage, 0);
    if (block && IsBoundedByBytes(codePage)) {
        ConvertInPlace(codePage, std::move(block), capacity, staged, bytes, report, text);
        return true;
    }
    if (!own) {
        // Other code pages may give more units than bytes, and the system converts them:
        // the bytes move to a block of their own first.
        own = MallocArray<char>(bytes ? bytes : 1);
        if (!own) {
            report.NoMemory();
            return false;
        }
        std::memcpy(own.get(), staged, bytes);
        block.reset();
    }
    return ConvertBytes(codePage, own.get(), bytes, report, text);
}

// Opens the file and reads its first bytes; *size is the whole file's.
FilePtr OpenAndProbe(std::u16string_view path, unsigned char* probe, size_t* probeLength, int64_t* size,
                     CFileReport& report) {
    FilePtr file(OpenFileForDocument(path, "rb"));
    if (!file) {
        report.FileError();
        return nullptr;
    }
    *size = DocumentFileSize(file.get());
    if (*size < 0) {
        report.FileError();
        return nullptr;
    }
    if (uint64_t(*size) / 2 > kMaxUnits) {
        // Offsets in the index are 32-bit: such a file cannot be held as one document.
        report.TooLarge();
        return nullptr;
    }
    *probeLength = std::min<size_t>(static_cast<size_t>(*size), kProbeBytes);
    if (*probeLength && std::fread(probe, 1, *probeLength, file.get()) != *probeLength) {
        report.FileError();
        return nullptr;
    }
    return file;
}

} // namespace

bool ReadDocumentFileInto(std::u16string_view path, DocumentTextBlock& text, std::u16string& report,
                          uint32_t& flags, DocumentFileOutcome* outcome) {
    text = DocumentTextBlock();
    flags |= CXmlDocument::kFlagRead;
    CFileReport entries;
    unsigned char probe[kProbeBytes];
    size_t probeLength = 0;
    int64_t size = 0;
    FilePtr file = OpenAndProbe(path, probe, &probeLength, &size, entries);
    if (!file)
        return entries.Finish(false, report, flags, outcome);
    EncodingGuess guess = GuessEncoding(probe, probeLength, flags);
    if (guess.mark)
        entries.Mark();

    const uint64_t remaining = uint64_t(size) - guess.consumed;
    if (remaining == 0) {
        entries.Step(u"read", guess.encoding, 0);
        return entries.Finish(entries.Close(file), report, flags, outcome);
    }
    const ProbeTail tail{probe + guess.consumed, probeLength - guess.consumed};
    const bool read = guess.unitBytes == 2
                          ? ReadUnits(file.get(), tail, remaining, guess, flags, entries, text)
                          : ReadBytes(file.get(), tail, remaining, guess, entries, text);
    if (!read)
        return entries.Finish(false, report, flags, outcome);
    if (!entries.Close(file)) {
        text = DocumentTextBlock();
        return entries.Finish(false, report, flags, outcome);
    }
    return entries.Finish(true, report, flags, outcome);
}

bool ReadDocumentFile(std::u16string_view path, std::u16string& text, std::u16string& report, uint32_t& flags,
                      DocumentFileOutcome* outcome) {
    DocumentTextBlock block;
    const bool ok = ReadDocumentFileInto(path, block, report, flags, outcome);
    text.assign(block.units.get() ? block.units.get() : u"", block.length);
    return ok;
}

namespace {

// The encoding a document is written in, and its byte-order mark.
struct WriteForm {
    std::u16string encoding;
    size_t unitBytes = 1;
    const char* markBytes = nullptr;
    size_t markLength = 0;
};

WriteForm FormToWrite(uint32_t flags, std::u16string_view text) {
    WriteForm form;
    if (flags & kFlagUtf8Bom)
        form = WriteForm{u"UTF-8", 1, "\xEF\xBB\xBF", 3};
    else if (flags & kFlagUtf16LE)
        form = WriteForm{u"UTF-16LE", 2, "\xFF\xFE", 2};
    else if (flags & kFlagUtf16BE)
        form = WriteForm{u"UTF-16BE", 2, "\xFE\xFF", 2};
    else if (flags & kFlagUtf32LE)
        form = WriteForm{u"UTF-32LE", 1, "\xFF\xFE\x00\x00", 4};
    else if (flags & kFlagUtf32BE)
        form = WriteForm{u"UTF-32BE", 1, "\x00\x00\xFE\xFF", 4};
    if (flags & kFlagNoMark)
        form.markBytes = nullptr; // read without one, written without one
    if (form.encoding.empty() && !text.empty()) {
        form.encoding = FindDeclaredEncoding(text);
        // The reader does not take a two- or four-byte declaration from a file of single-byte
        // markup, so the writer does not either: the file stays readable as it is written.
        if (IsWideCodePage(CodePageFromName(form.encoding)))
            form.encoding.clear();
        if (form.encoding.empty())
            form.encoding = u"UTF-8";
    }
    return form;
}

bool WriteUnits(std::FILE* file, std::u16string_view text, const WriteForm& form, uint32_t flags,
                CFileReport& report) {
    std::u16string swapped;
    const char16_t* units = text.data();
    if (flags & kFlagUtf16BE) {
        swapped.assign(text);
        SwapBytes(swapped.data(), swapped.size());
        units = swapped.data();
        report.EndianSwap();
    }
    if (std::fwrite(units, 2, text.size(), file) != text.size()) {
        report.FileError();
        return false;
    }
    report.Step(u"write", form.encoding, text.size());
    return true;
}

bool WriteBytes(std::FILE* file, std::u16string_view text, const WriteForm& form, CFileReport& report) {
    const int codePage = std::max(CodePageFromName(form.encoding), 0);
    const size_t bytes = Utf16ToBytes(codePage, text.data(), text.size(), nullptr, nullptr);
    MallocPtr<char> buffer = MallocArray<char>(bytes ? bytes : 1);
    if (!buffer) {
        report.NoMemory();
        return false;
    }
    bool lossy = false;
    const size_t produced =
        std::min(bytes, Utf16ToBytes(codePage, text.data(), text.size(), buffer.get(), &lossy));
    report.Step(u"converted_from", u"UTF-16", text.size());
    if (lossy)
        report.ConversionLoss();
    if (std::fwrite(buffer.get(), 1, produced, file) != produced) {
        report.FileError();
        return false;
    }
    report.Step(u"write", form.encoding, produced);
    return true;
}

} // namespace

bool WriteDocumentFile(std::u16string_view path, std::u16string_view text, std::u16string& report,
                       uint32_t& flags, DocumentFileOutcome* outcome) {
    const bool append = (flags & CXmlDocument::kFlagAppend) != 0;
    flags |= CXmlDocument::kFlagWrite;
    CFileReport entries;
    FilePtr file(OpenFileForDocument(path, append ? "ab" : "wb"));
    if (!file) {
        entries.FileError();
        return entries.Finish(false, report, flags, outcome);
    }
    int64_t existing = 0;
    if (append) {
        existing = DocumentFileSize(file.get());
        if (existing < 0) {
            entries.FileError();
            return entries.Finish(false, report, flags, outcome);
        }
    }
    const WriteForm form = FormToWrite(flags, text);
    if (form.markBytes && !(append && existing > 0)) {
        if (std::fwrite(form.markBytes, 1, form.markLength, file.get()) != form.markLength) {
            entries.FileError();
            return entries.Finish(false, report, flags, outcome);
        }
        entries.Mark();
    }
    bool written = true;
    if (text.empty())
        entries.Step(u"write", form.encoding, 0);
    else if (form.unitBytes == 2)
        written = WriteUnits(file.get(), text, form, flags, entries);
    else
        written = WriteBytes(file.get(), text, form, entries);
    return entries.Finish(written && entries.Close(file), report, flags, outcome);
}

bool CXmlDocument::LoadFile(std::u16string_view path) {
    DocumentTextBlock block;
    const bool read = ReadDocumentFileInto(path, block, m_result, m_flags, &m_fileOutcome);
    if (!read) {
        // Nothing was read: the document is the empty document, not the one held before.
        m_text.Clear();
        m_table.Release();
        Parse();
        return false;
    }
    m_text.Adopt(std::move(block.units), block.length, block.capacity);
    Parse();
    return CheckWellFormed();
}

bool CXmlDocument::SaveFile(std::u16string_view path) {
    return WriteDocumentFile(path, m_text.View(), m_result, m_flags, &m_fileOutcome);
}

} // namespace quillon
