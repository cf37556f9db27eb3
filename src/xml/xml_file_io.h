// The platform side of document files: opening by a UTF-16 path and the system's
// error code and message for the last failure.
#pragma once
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace quillon {

// Opens path with a C runtime mode ("rb", "wb", "ab"); nullptr on failure. On Windows a long
// path is opened in its extended-length form.
std::FILE* OpenFileForDocument(std::u16string_view path, const char* mode);
// Size of the open file in bytes (the position is left at the start), or -1.
int64_t DocumentFileSize(std::FILE* file);
// The error code of the last failed file operation (Windows numbering) and its message,
// cut at the first line break.
void LastDocumentFileError(uint32_t* code, std::u16string* message);

} // namespace quillon
