// The Win32 implementation of the configuration file's platform seam.
#include <windows.h>
#include <shlobj.h>

#include "base/long_path.h"
#include "base/u16.h"
#include "base/win/handles.h"
#include "base/win/program_path.h"
#include "base/win/sent_messages.h"
#include "config/config_platform.h"

namespace quillon {
namespace {

constexpr DWORD kLongestPath = 32768; // the longest path Windows handles, in characters

// Each final path decides for itself whether it needs the extended-length form.
std::wstring Extended(const std::u16string& path) {
    return ToWide(ExtendedLengthPath(path));
}

class CWin32ConfigPlatform : public IConfigPlatform {
public:
    std::u16string FileSystemPath(const std::u16string& path) override { return FromWide(Extended(path)); }

    std::u16string ModuleFilePath() override { return RunningProgramPath(); }

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
        return file && ::FlushFileBuffers(file.Get()) != FALSE;
    }

    std::u16string LinkTarget(const std::u16string& path) override {
        const std::wstring wide = Extended(path);
        const DWORD attributes = ::GetFileAttributesW(wide.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            return path;
        // Opening follows the link; the handle then names the file it leads to.
        CHandle file(::CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!file)
            return path;
        const std::wstring target = QueryGrowing<wchar_t>(
            [&file](wchar_t* buffer, size_t size) {
                return ::GetFinalPathNameByHandleW(file.Get(), buffer, static_cast<DWORD>(size),
                                                   FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
            },
            kLongestPath);
        return target.empty() ? path : FromWide(target);
    }

    bool ReplaceFile(const std::u16string& from, const std::u16string& to) override {
        const std::wstring source = Extended(from);
        const std::wstring destination = Extended(to);
        // A read-only settings file is the user's way of keeping it as it is.
        const DWORD attributes = ::GetFileAttributesW(destination.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
            ::SetLastError(ERROR_FILE_READ_ONLY);
            return false;
        }
        // Replacing keeps the old file's attributes, security and identity, which a rename
        // over it would drop. It needs an existing file on the same volume; where it cannot
        // be used (or gave up after removing the old file) the rename does the job.
        bool replaced = attributes != INVALID_FILE_ATTRIBUTES &&
                        ::ReplaceFileW(destination.c_str(), source.c_str(), nullptr,
                                       REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr);
        if (!replaced)
            replaced = ::MoveFileExW(source.c_str(), destination.c_str(),
                                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
        // A hidden or system settings file stays so, whichever way it was replaced (not every
        // implementation of the replacement carries the attributes over).
        constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
        if (replaced && attributes != INVALID_FILE_ATTRIBUTES) {
            const DWORD now = ::GetFileAttributesW(destination.c_str());
            if (now != INVALID_FILE_ATTRIBUTES && (now & kKept) != (attributes & kKept)) {
                const DWORD settable =
                    (now & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_TEMPORARY)) | (attributes & kKept);
                ::SetFileAttributesW(destination.c_str(), settable ? settable : FILE_ATTRIBUTE_NORMAL);
            }
        }
        return replaced;
    }

    bool CopyFile(const std::u16string& from, const std::u16string& to) override {
        return ::CopyFileW(Extended(from).c_str(), Extended(to).c_str(), FALSE) != FALSE;
    }

    bool RemoveFile(const std::u16string& path) override {
        return ::DeleteFileW(Extended(path).c_str()) != FALSE;
    }

    bool ReadBytes(const std::u16string& path, std::string& bytes) override {
        bytes.clear();
        // Shared every way, so reading never gets in the way of the user's editor.
        CHandle file(::CreateFileW(Extended(path).c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
            return false;
        char buffer[16384];
        for (;;) {
            DWORD got = 0;
            if (!::ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr))
                return false;
            if (got == 0)
                return true;
            bytes.append(buffer, got);
        }
    }

    std::u16string LastFailureReason() override {
        const DWORD error = ::GetLastError();
        wchar_t* text = nullptr;
        const DWORD length = ::FormatMessageW(
            FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
            nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
        std::wstring reason = length && text ? std::wstring(text, length) : std::wstring();
        if (text)
            ::LocalFree(text);
        while (!reason.empty() && (reason.back() == L'\r' || reason.back() == L'\n' ||
                                   reason.back() == L' ' || reason.back() == L'.'))
            reason.pop_back();
        if (reason.empty())
            reason = L"system error " + std::to_wstring(error);
        return FromWide(reason);
    }

    bool LastFailureMayPass() override {
        // A file open without delete sharing refuses to be replaced with a denied access
        // (ERROR_ACCESS_DENIED); a read-only file says so apart (ERROR_FILE_READ_ONLY above),
        // so a denial here is worth a few more tries.
        switch (::GetLastError()) {
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_ACCESS_DENIED:
        case ERROR_USER_MAPPED_FILE:
        case ERROR_UNABLE_TO_REMOVE_REPLACED:
        case ERROR_UNABLE_TO_MOVE_REPLACEMENT:
            return true;
        default:
            return false;
        }
    }

    // The save runs on the UI thread (OK in Options, Exit, the end of the session): its
    // retries must not starve the keyboard hook.
    void Pause(unsigned milliseconds) override { PauseAnsweringSentMessages(milliseconds); }
};

} // namespace

IConfigPlatform& DefaultConfigPlatform() {
    static CWin32ConfigPlatform platform;
    return platform;
}

} // namespace quillon
