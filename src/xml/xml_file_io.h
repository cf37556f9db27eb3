// The platform side of document files: opening by a UTF-16 path and the system's
// error code and message for the last failure.
#pragma once
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace quillon {

// The form of a Windows path to hand to the system's file functions. A path that reaches the
// classic length limit (248 characters, the lowest of the limits: folders) only works in its
// extended-length form, "\\?\C:\..." or "\\?\UNC\server\share\...", in which the system
// no longer tidies the path: separators become backslashes and "." and ".." steps are resolved
// here. Shorter paths, relative ones and device paths are returned as they are. Decided for
// each final path, so a short folder with a long file name in it is covered too.
std::u16string ExtendedLengthPath(std::u16string_view path);
constexpr size_t kClassicPathLimit = 248;

// Opens path with a C runtime mode ("rb", "wb", "ab"); nullptr on failure. On Windows a long
// path is opened in its extended-length form.
std::FILE* OpenFileForDocument(std::u16string_view path, const char* mode);
// Size of the open file in bytes (the position is left at the start), or -1.
int64_t DocumentFileSize(std::FILE* file);
// The error code of the last failed file operation (Windows numbering) and its message,
// cut at the first line break.
void LastDocumentFileError(uint32_t* code, std::u16string* message);

}  // namespace quillon
