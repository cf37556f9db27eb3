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

constexpr size_t kProbeBytes = 1024;
constexpr uint32_t kModeBits = 0x10 | 0x20 | 0x40;
constexpr uint32_t kFlagUtf16LE = 0x01;
constexpr uint32_t kFlagUtf8Bom = 0x04;
constexpr uint32_t kFlagUtf16BE = 0x80;
constexpr uint32_t kFlagUtf32LE = CXmlDocument::kFlagUtf32LE;
constexpr uint32_t kFlagUtf32BE = CXmlDocument::kFlagUtf32BE;
constexpr uint32_t kFlagNoMark = CXmlDocument::kFlagNoMark;
constexpr uint32_t kEncodingBits = CXmlDocument::kFlagUnicodeForms;
constexpr size_t kMaxUnits = 0x7FFFFFF0;

struct FileCloser {
    void operator()(std::FILE* file) const {
        if (file)
            std::fclose(file);
    }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

void AddFileError(CResultReport& report) {
    uint32_t code = 0;
    std::u16string message;
    LastDocumentFileError(&code, &message);
    report.Add(ReportEntry{u"file_error", u"msg", message, u"n", int64_t{code}, false, 0});
}

bool CloseFile(FilePtr& file, CResultReport& report) {
    std::FILE* raw = file.release();
    if (raw && std::fclose(raw) != 0) {
        AddFileError(report);
        return false;
    }
    return true;
}

bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
    return NamesEqual(a.data(), a.size(), b.data(), b.size(), true);
}

// Removes zero units in place; returns how many.
template <typename Unit>
size_t RemoveNulls(Unit* units, size_t& length) {
    size_t write = 0;
    for (size_t read = 0; read < length; ++read) {
        if (units[read] != 0)
            units[write++] = units[read];
    }
    const size_t removed = length - write;
    length = write;
    return removed;
}

bool HasZeroByte(const char* bytes, size_t length) { return std::memchr(bytes, 0, length) != nullptr; }

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

bool IsWideCodePage(int codePage) {
    return codePage == 1200 || codePage == 1201 || codePage == 12000 || codePage == 12001;
}

// The value of name= in a meta content text such as "text/html; charset=iso-8859-1".
std::u16string CharsetOf(std::u16string_view content) {
    size_t p = 0;
    const size_t n = content.size();
    auto isDelimiter = [](char16_t c) { return c == u';' || c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u',' || c == u'"' || c == u'\''; };
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
std::u16string TagAttribute(const char16_t* tag, size_t length, size_t begin, std::u16string_view name, bool* found) {
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

}  // namespace

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
                    const std::u16string content = TagAttribute(units + pos, node.length, 1, u"content", &found);
                    return CharsetOf(content);
                }
            }
        } else if (kind == kNodeEndTag && sawHtml && EqualsNoCase(name, u"head")) {
            break;
        }
    }
    return std::u16string();
}

bool ReadDocumentFileInto(std::u16string_view path, DocumentTextBlock& text, std::u16string& report, uint32_t& flags) {
    text = DocumentTextBlock();
    flags |= 0x10;
    CResultReport entries;
    auto finish = [&](bool ok) {
        report = entries.Text();
        flags &= ~kModeBits;
        return ok;
    };

    FilePtr file(OpenFileForDocument(path, "rb"));
    if (!file) {
        AddFileError(entries);
        return finish(false);
    }
    const int64_t size = DocumentFileSize(file.get());
    if (size < 0) {
        AddFileError(entries);
        return finish(false);
    }
    if (uint64_t(size) / 2 > kMaxUnits) {
        // Offsets in the index are 32-bit: such a file cannot be held as one document.
        entries.Add(ReportEntry{u"file_error", u"msg", u"The file is too large.", u"n", 0, false, 0});
        return finish(false);
    }
    unsigned char probe[kProbeBytes];
    const size_t probeLength = std::min<size_t>(static_cast<size_t>(size), kProbeBytes);
    if (probeLength && std::fread(probe, 1, probeLength, file.get()) != probeLength) {
        AddFileError(entries);
        return finish(false);
    }

    // The encoding: a byte-order mark, the shape of UTF-16/UTF-32 markup without one,
    // or the declaration.
    flags &= ~kEncodingBits;
    std::u16string encoding;
    size_t consumed = 0;
    size_t unitBytes = 1;
    bool mark = false;
    bool declared = false;
    auto starts = [&](std::initializer_list<int> bytes) {
        if (probeLength < bytes.size())
            return false;
        size_t i = 0;
        for (int b : bytes) {
            if (b >= 0 && probe[i] != b)
                return false;
            ++i;
        }
        return true;
    };
    if (starts({0xEF, 0xBB, 0xBF})) {
        encoding = u"UTF-8";
        flags |= kFlagUtf8Bom;
        consumed = 3;
        mark = true;
        declared = true;
    } else if (starts({0xFF, 0xFE, 0x00, 0x00})) {
        encoding = u"UTF-32LE";
        flags |= kFlagUtf32LE;
        consumed = 4;
        mark = true;
        declared = true;
    } else if (starts({0xFF, 0xFE})) {
        encoding = u"UTF-16LE";
        flags |= kFlagUtf16LE;
        consumed = 2;
        unitBytes = 2;
        mark = true;
    } else if (starts({0xFE, 0xFF})) {
        encoding = u"UTF-16BE";
        flags |= kFlagUtf16BE;
        consumed = 2;
        unitBytes = 2;
        mark = true;
    } else if (starts({0x00, 0x00, 0xFE, 0xFF})) {
        encoding = u"UTF-32BE";
        flags |= kFlagUtf32BE;
        consumed = 4;
        mark = true;
        declared = true;
    } else if (starts({0x3C, 0x00, 0x00, 0x00})) {
        // Markup in a wide form without a mark: read in that form, which keeps every
        // character (taking the low bytes would not), and written back as it came.
        encoding = u"UTF-32LE";
        flags |= kFlagUtf32LE | kFlagNoMark;
        declared = true;
    } else if (starts({0x00, 0x00, 0x00, 0x3C})) {
        encoding = u"UTF-32BE";
        flags |= kFlagUtf32BE | kFlagNoMark;
        declared = true;
    } else if (starts({0x3C, 0x00, -1, 0x00})) {
        encoding = u"UTF-16LE";
        flags |= kFlagUtf16LE | kFlagNoMark;
        unitBytes = 2;
    } else if (starts({0x00, 0x3C, 0x00, -1})) {
        encoding = u"UTF-16BE";
        flags |= kFlagUtf16BE | kFlagNoMark;
        unitBytes = 2;
    } else {
        // UTF-8 never gives more units than bytes: one pass into a buffer of the probe's size.
        char16_t decoded[kProbeBytes];
        const size_t decodedLength =
            BytesToUtf16(65001, reinterpret_cast<const char*>(probe), probeLength, decoded);
        encoding = FindDeclaredEncoding(std::u16string_view(decoded, std::min(decodedLength, kProbeBytes)));
        declared = !encoding.empty();
        // A declaration of a two- or four-byte encoding cannot describe single-byte markup.
        if (declared && IsWideCodePage(CodePageFromName(encoding))) {
            encoding.clear();
            declared = false;
        }
        if (!declared && probeLength && probe[0] == '<')
            encoding = u"UTF-8";  // confirmed or refuted by the UTF-8 scan below
    }
    if (mark)
        entries.Add(u"bom");

    // Reading stage.
    const uint64_t remaining = uint64_t(size) - consumed;
    if (remaining == 0) {
        entries.Add(ReportEntry{u"read", u"encoding", encoding, u"length", 0, false, 0});
        if (!CloseFile(file, entries))
            return finish(false);
        return finish(true);
    }
    if (!SeekDocumentFile(file.get(), static_cast<int64_t>(consumed))) {
        AddFileError(entries);
        return finish(false);
    }
    if (unitBytes == 2) {
        size_t units = static_cast<size_t>(remaining / 2);
        const size_t capacity = units + units / 100 + 1;
        MallocPtr<char16_t> block = MallocArray<char16_t>(capacity);
        if (!block) {
            entries.Add(ReportEntry{u"file_error", u"msg", u"Not enough memory.", u"n", 8, false, 0});
            return finish(false);
        }
        if (std::fread(block.get(), 2, units, file.get()) != units) {
            AddFileError(entries);
            return finish(false);
        }
        entries.Add(ReportEntry{u"read", u"encoding", encoding, u"length", int64_t(units), false, 0});
        if (HasZeroUnit(block.get(), units)) {
            const size_t removed = RemoveNulls(block.get(), units);
            entries.Add(ReportEntry{u"nulls_removed", {}, {}, u"count", int64_t(removed), false, 0});
        }
        if (flags & kFlagUtf16BE) {
            SwapBytes(block.get(), units);
            entries.Add(u"endian_swap");
        }
        text.units = std::move(block);
        text.length = units;
        text.capacity = capacity;
    } else {
        size_t bytes = static_cast<size_t>(remaining);
        MallocPtr<char> buffer = MallocArray<char>(bytes);
        if (!buffer) {
            entries.Add(ReportEntry{u"file_error", u"msg", u"Not enough memory.", u"n", 8, false, 0});
            return finish(false);
        }
        if (std::fread(buffer.get(), 1, bytes, file.get()) != bytes) {
            AddFileError(entries);
            return finish(false);
        }
        entries.Add(ReportEntry{u"read", u"encoding", encoding, u"length", int64_t(bytes), false, 0});
        int codePage = CodePageFromName(encoding);
        // Zero bytes belong to the characters of a four-byte encoding.
        if (codePage != 12000 && codePage != 12001 && HasZeroByte(buffer.get(), bytes)) {
            const size_t removed = RemoveNulls(buffer.get(), bytes);
            entries.Add(ReportEntry{u"nulls_removed", {}, {}, u"count", int64_t(removed), false, 0});
        }
        if (!declared) {
            // Decided by the rules the conversion itself applies: bytes that would decode to
            // even one U+FFFD are not UTF-8 and are read in the ANSI code page, so an ANSI file
            // keeps its accented letters.
            encoding = IsStrictUtf8(buffer.get(), bytes) ? u"UTF-8" : u"";
            entries.Update(u"read", u"encoding", encoding);
            entries.Add(u"utf8_detection");
            codePage = CodePageFromName(encoding);
        }
        if (codePage < 0)
            codePage = 0;
        // UTF-8 and the single-byte code pages never give more units than bytes: the text
        // is then sized by the byte count and converted in one pass (the counting pass costs
        // as much as the conversion); only a block that turned out much too big (text of
        // mostly multi-byte characters) is shrunk afterwards.
        const bool boundedByBytes = (codePage == 65001 || codePage == 28591 || codePage == 1252 ||
                                    codePage == 20127);
        const size_t units = boundedByBytes ? bytes : BytesToUtf16(codePage, buffer.get(), bytes, nullptr);
        if (units > kMaxUnits) {
            entries.Add(ReportEntry{u"file_error", u"msg", u"The file is too large.", u"n", 0, false, 0});
            return finish(false);
        }
        size_t capacity = units + units / 100 + 1;
        MallocPtr<char16_t> block = MallocArray<char16_t>(capacity);
        if (!block) {
            entries.Add(ReportEntry{u"file_error", u"msg", u"Not enough memory.", u"n", 8, false, 0});
            return finish(false);
        }
        const size_t produced = std::min(units, BytesToUtf16(codePage, buffer.get(), bytes, block.get()));
        const size_t wanted = produced + produced / 100 + 1;
        if (capacity - wanted > capacity / 4) {
            if (void* shrunk = std::realloc(block.get(), wanted * sizeof(char16_t))) {
                (void)block.release();
                block.reset(static_cast<char16_t*>(shrunk));
                capacity = wanted;
            }
        }
        entries.Add(ReportEntry{u"converted_to", u"encoding", u"UTF-16", u"length", int64_t(produced), false, 0});
        text.units = std::move(block);
        text.length = produced;
        text.capacity = capacity;
    }
    if (!CloseFile(file, entries)) {
        text = DocumentTextBlock();
        return finish(false);
    }
    return finish(true);
}

bool ReadDocumentFile(std::u16string_view path, std::u16string& text, std::u16string& report, uint32_t& flags) {
    DocumentTextBlock block;
    const bool ok = ReadDocumentFileInto(path, block, report, flags);
    text.assign(block.units.get() ? block.units.get() : u"", block.length);
    return ok;
}

bool WriteDocumentFile(std::u16string_view path, std::u16string_view text, std::u16string& report, uint32_t& flags) {
    const bool append = (flags & 0x40) != 0;
    flags |= 0x20;
    CResultReport entries;
    auto finish = [&](bool ok) {
        report = entries.Text();
        flags &= ~kModeBits;
        return ok;
    };
    FilePtr file(OpenFileForDocument(path, append ? "ab" : "wb"));
    if (!file) {
        AddFileError(entries);
        return finish(false);
    }
    int64_t existing = 0;
    if (append) {
        existing = DocumentFileSize(file.get());
        if (existing < 0) {
            AddFileError(entries);
            return finish(false);
        }
    }
    std::u16string encoding;
    size_t unitBytes = 1;
    const char* markBytes = nullptr;
    size_t markLength = 0;
    if (flags & kFlagUtf8Bom) {
        encoding = u"UTF-8";
        markBytes = "\xEF\xBB\xBF";
        markLength = 3;
    } else if (flags & kFlagUtf16LE) {
        encoding = u"UTF-16LE";
        markBytes = "\xFF\xFE";
        markLength = 2;
        unitBytes = 2;
    } else if (flags & kFlagUtf16BE) {
        encoding = u"UTF-16BE";
        markBytes = "\xFE\xFF";
        markLength = 2;
        unitBytes = 2;
    } else if (flags & kFlagUtf32LE) {
        encoding = u"UTF-32LE";
        markBytes = "\xFF\xFE\x00\x00";
        markLength = 4;
    } else if (flags & kFlagUtf32BE) {
        encoding = u"UTF-32BE";
        markBytes = "\x00\x00\xFE\xFF";
        markLength = 4;
    }
    if (flags & kFlagNoMark)
        markBytes = nullptr;  // read without one, written without one
    if (markBytes && !(append && existing > 0)) {
        if (std::fwrite(markBytes, 1, markLength, file.get()) != markLength) {
            AddFileError(entries);
            return finish(false);
        }
        entries.Add(u"bom");
    }
    if (encoding.empty() && !text.empty()) {
        encoding = FindDeclaredEncoding(text);
        // The reader does not take a two- or four-byte declaration from a file of single-byte
        // markup, so the writer does not either: the file stays readable as it is written.
        if (IsWideCodePage(CodePageFromName(encoding)))
            encoding.clear();
        if (encoding.empty())
            encoding = u"UTF-8";
    }
    if (text.empty()) {
        entries.Add(ReportEntry{u"write", u"encoding", encoding, u"length", 0, false, 0});
    } else if (unitBytes == 2) {
        std::u16string swapped;
        const char16_t* units = text.data();
        if (flags & kFlagUtf16BE) {
            swapped.assign(text);
            SwapBytes(swapped.data(), swapped.size());
            units = swapped.data();
            entries.Add(u"endian_swap");
        }
        if (std::fwrite(units, 2, text.size(), file.get()) != text.size()) {
            AddFileError(entries);
            return finish(false);
        }
        entries.Add(ReportEntry{u"write", u"encoding", encoding, u"length", int64_t(text.size()), false, 0});
    } else {
        int codePage = CodePageFromName(encoding);
        if (codePage < 0)
            codePage = 0;
        const size_t bytes = Utf16ToBytes(codePage, text.data(), text.size(), nullptr, nullptr);
        MallocPtr<char> buffer = MallocArray<char>(bytes ? bytes : 1);
        if (!buffer) {
            entries.Add(ReportEntry{u"file_error", u"msg", u"Not enough memory.", u"n", 8, false, 0});
            return finish(false);
        }
        bool lossy = false;
        const size_t produced = std::min(bytes, Utf16ToBytes(codePage, text.data(), text.size(), buffer.get(), &lossy));
        entries.Add(ReportEntry{u"converted_from", u"encoding", u"UTF-16", u"length", int64_t(text.size()), false, 0});
        if (lossy)
            entries.Add(u"conversion_loss");
        if (std::fwrite(buffer.get(), 1, produced, file.get()) != produced) {
            AddFileError(entries);
            return finish(false);
        }
        entries.Add(ReportEntry{u"write", u"encoding", encoding, u"length", int64_t(produced), false, 0});
    }
    if (!CloseFile(file, entries))
        return finish(false);
    return finish(true);
}

bool CXmlDocument::LoadFile(std::u16string_view path) {
    DocumentTextBlock block;
    const bool read = ReadDocumentFileInto(path, block, m_result, m_flags);
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
    return WriteDocumentFile(path, m_text.View(), m_result, m_flags);
}

}  // namespace quillon
