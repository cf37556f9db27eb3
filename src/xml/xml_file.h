// Reading and writing document files in their own encoding: byte-order marks, null
// removal, big-endian swapping, UTF-8 detection, declared encodings and the report.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "xml/xml_text.h"

namespace quillon {

// What a read or write of a document file did, beyond reading or writing the text; the
// report text is written from the same steps.
struct DocumentFileOutcome {
    bool fileError = false;      // the system refused, or the file is too large or memory short
    bool mark = false;           // a byte-order mark was read or written
    bool nullsRemoved = false;   // zero units or bytes were dropped from the text read
    bool endianSwap = false;     // big-endian UTF-16 was swapped
    bool utf8Detection = false;  // nothing declared the encoding: the bytes decided it
    bool conversionLoss = false; // some characters have no form in the encoding written
};

// The whole file as UTF-16. flags: the document flags (byte-order-mark bits are set
// from the file; the case bit passes through). report: replaced by what was done;
// outcome (when given) says the same as a value.
bool ReadDocumentFile(std::u16string_view path, std::u16string& text, std::u16string& report, uint32_t& flags,
                      DocumentFileOutcome* outcome = nullptr);
bool WriteDocumentFile(std::u16string_view path, std::u16string_view text, std::u16string& report,
                       uint32_t& flags, DocumentFileOutcome* outcome = nullptr);

// The encoding named by an XML declaration at the start of text, or by the charset of
// an HTML meta Content-Type tag; empty when there is none.
std::u16string FindDeclaredEncoding(std::u16string_view text);

// As ReadDocumentFile, into a block sized once for the text (1 % spare, at least one unit).
struct DocumentTextBlock {
    MallocPtr<char16_t> units;
    size_t length = 0;
    size_t capacity = 0;
};
bool ReadDocumentFileInto(std::u16string_view path, DocumentTextBlock& text, std::u16string& report,
                          uint32_t& flags, DocumentFileOutcome* outcome = nullptr);

} // namespace quillon
