// Document file access through the C runtime; on Windows by wide path, with the
// system's own error texts.
#include "xml/xml_file_io.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "base/long_path.h"
#include "base/u16.h"
#include "xml/xml_encoding.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace quillon {

namespace {

std::u16string CutAtLineBreak(std::u16string text) {
    const size_t cut = text.find_first_of(u"\r\n");
    if (cut != std::u16string::npos)
        text.resize(cut);
    return text;
}

} // namespace

#ifdef _WIN32

std::FILE* OpenFileForDocument(std::u16string_view path, const char* mode) {
    std::wstring widePath = ToWide(ExtendedLengthPath(path));
    std::wstring wideMode(mode, mode + std::strlen(mode));
    SetLastError(0);
    std::FILE* file = _wfopen(widePath.c_str(), wideMode.c_str());
    if (!file && GetLastError() == 0)
        SetLastError(errno == ENOENT ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED);
    return file;
}

int64_t DocumentFileSize(std::FILE* file) {
    if (_fseeki64(file, 0, SEEK_END) != 0)
        return -1;
    const int64_t size = _ftelli64(file);
    if (_fseeki64(file, 0, SEEK_SET) != 0)
        return -1;
    return size;
}

void LastDocumentFileError(uint32_t* code, std::u16string* message) {
    DWORD error = GetLastError();
    if (error == 0)
        error = errno == ENOENT   ? ERROR_FILE_NOT_FOUND
                : errno == EACCES ? ERROR_ACCESS_DENIED
                                  : ERROR_GEN_FAILURE;
    *code = error;
    wchar_t buffer[512] = {};
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, buffer,
                       static_cast<DWORD>(sizeof(buffer) / sizeof(buffer[0])), nullptr);
    *message = CutAtLineBreak(FromWide(std::wstring_view(buffer, length)));
}

#else

std::FILE* OpenFileForDocument(std::u16string_view path, const char* mode) {
    // The engine's own converter: a path is converted on every load, and this one takes
    // ASCII sixteen units at a time.
    std::string narrow(Utf16ToBytes(kCodePageUtf8, path.data(), path.size(), nullptr, nullptr), '\0');
    narrow.resize(Utf16ToBytes(kCodePageUtf8, path.data(), path.size(), narrow.data(), nullptr));
    if (narrow.find('\0') != std::string::npos) {
        errno = ENOENT;
        return nullptr;
    }
    errno = 0;
    return std::fopen(narrow.c_str(), mode);
}

int64_t DocumentFileSize(std::FILE* file) {
    // A regular file's size is known without moving the stream: two seeks would be two
    // more system calls on every load, a tenth of a small file's.
    struct stat info;
    if (::fstat(fileno(file), &info) == 0 && S_ISREG(info.st_mode))
        return static_cast<int64_t>(info.st_size);
    if (fseeko(file, 0, SEEK_END) != 0)
        return -1;
    const int64_t size = ftello(file);
    if (fseeko(file, 0, SEEK_SET) != 0)
        return -1;
    return size;
}

void LastDocumentFileError(uint32_t* code, std::u16string* message) {
    const int error = errno ? errno : EIO;
    // The numbers of the Windows build for the common cases, so reports read alike.
    *code = error == ENOENT ? 2u : error == EACCES ? 5u : static_cast<uint32_t>(error);
    *message = CutAtLineBreak(FromUtf8(std::strerror(error)));
}

#endif

} // namespace quillon
