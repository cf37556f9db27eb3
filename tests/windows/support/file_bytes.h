// Whole files as bytes, header-only so that the small helper programs (the scripted test
// editor) use it without linking the test support library.
#pragma once
#include <windows.h>

#include <string>

namespace quillon::test {

// Reads the whole file; others may read, write or delete it meanwhile.
inline bool ReadFileBytes(const std::wstring& path, std::string& bytes) {
    HANDLE h =
        ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size{};
    ::GetFileSizeEx(h, &size);
    bytes.assign(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    const BOOL ok =
        bytes.empty() || ::ReadFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    ::CloseHandle(h);
    return ok && read == bytes.size();
}

// The whole file, or nothing when it cannot be read (a missing file reads as empty).
inline std::string FileBytesOf(const std::wstring& path) {
    std::string bytes;
    return ReadFileBytes(path, bytes) ? bytes : std::string();
}

// Writes the bytes as the whole file (disposition as CreateFileW takes it), sharing it with
// others as share says.
inline bool WriteFileBytes(const std::wstring& path, const std::string& bytes,
                           DWORD disposition = CREATE_ALWAYS, DWORD share = 0) {
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                             nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const BOOL ok =
        bytes.empty() || ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(h);
    return ok && written == bytes.size();
}

} // namespace quillon::test
