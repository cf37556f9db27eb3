// The Win32 implementation of the configuration file's platform seam.
#include <windows.h>
#include <shlobj.h>

#include "base/u16.h"
#include "config/config_platform.h"

namespace quillon {
namespace {

constexpr DWORD kLongestPath = 32768;  // the longest path Windows handles, in characters

// Paths that reach the classic limit (CreateDirectoryW's is MAX_PATH - 12) only work in
// their extended-length form; shorter ones stay as the user would write them.
std::wstring Extended(const std::u16string& path) {
    std::wstring wide = ToWide(path);
    if (wide.size() < MAX_PATH - 12 || wide.rfind(L"\\\\?\\", 0) == 0)
        return wide;
    if (wide.size() >= 3 && wide[1] == L':' && wide[2] == L'\\')
        return L"\\\\?\\" + wide;
    if (wide.rfind(L"\\\\", 0) == 0)
        return L"\\\\?\\UNC\\" + wide.substr(2);
    return wide;
}

class CHandle {
public:
    explicit CHandle(HANDLE handle) : m_handle(handle) {}
    ~CHandle() {
        if (Valid())
            ::CloseHandle(m_handle);
    }
    CHandle(const CHandle&) = delete;
    CHandle& operator=(const CHandle&) = delete;
    bool Valid() const { return m_handle != INVALID_HANDLE_VALUE && m_handle != nullptr; }
    HANDLE Get() const { return m_handle; }

private:
    HANDLE m_handle;
};

class CWin32ConfigPlatform : public IConfigPlatform {
public:
    std::u16string FileSystemPath(const std::u16string& path) override { return FromWide(Extended(path)); }

    std::u16string ModuleFilePath() override {
        // The program may sit deeper than MAX_PATH: the buffer grows until the whole path
        // fits (a result equal to the buffer size means it was cut).
        return FromWide(QueryGrowing<wchar_t>(
            [](wchar_t* buffer, size_t size) { return ::GetModuleFileNameW(nullptr, buffer, static_cast<DWORD>(size)); },
            kLongestPath));
    }

    std::u16string ShellAppDataFolder() override {
        wchar_t buffer[MAX_PATH + 1] = {};
        const HRESULT hr = ::SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, buffer);
        if (hr != S_OK)
            return {};
        buffer[MAX_PATH] = L'\0';
        return FromWide(buffer);
    }

    std::u16string EnvironmentVariable(const std::u16string& name) override {
        return FromWide(QueryGrowing<wchar_t>([&name](wchar_t* buffer, size_t size) {
            return ::GetEnvironmentVariableW(WidePtr(name), buffer, static_cast<DWORD>(size));
        }));
    }

    std::u16string TempFolder() override {
        return FromWide(QueryGrowing<wchar_t>(
            [](wchar_t* buffer, size_t size) { return ::GetTempPathW(static_cast<DWORD>(size), buffer); }));
    }

    bool Exists(const std::u16string& path) override {
        return ::GetFileAttributesW(Extended(path).c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    bool CreateFolder(const std::u16string& path) override {
        return ::CreateDirectoryW(Extended(path).c_str(), nullptr) != FALSE;
    }

    bool FlushFile(const std::u16string& path) override {
        CHandle file(::CreateFileW(Extended(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        return file.Valid() && ::FlushFileBuffers(file.Get()) != FALSE;
    }

    bool ReplaceFile(const std::u16string& from, const std::u16string& to) override {
        // A read-only settings file is the user's way of keeping it as it is.
        const DWORD attributes = ::GetFileAttributesW(Extended(to).c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
            ::SetLastError(ERROR_ACCESS_DENIED);
            return false;
        }
        return ::MoveFileExW(Extended(from).c_str(), Extended(to).c_str(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
    }

    bool CopyFile(const std::u16string& from, const std::u16string& to) override {
        return ::CopyFileW(Extended(from).c_str(), Extended(to).c_str(), FALSE) != FALSE;
    }

    bool RemoveFile(const std::u16string& path) override { return ::DeleteFileW(Extended(path).c_str()) != FALSE; }
};

}  // namespace

IConfigPlatform& DefaultConfigPlatform() {
    static CWin32ConfigPlatform platform;
    return platform;
}

}  // namespace quillon
