// The POSIX stand-in for the system seam, so portable tools and tests link natively. Files
// and the temporary folder are real; there is no clipboard, keyboard, shell or window here,
// so those parts fail or do nothing, and a wait only looks at its condition once.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "base/u16.h"
#include "engine/system.h"

namespace quillon {
namespace {

// No shell here: nothing is registered, nothing starts.
class CPosixShell : public IShell {
public:
    bool ShellOpen(const std::u16string&, const std::u16string&) override { return false; }
    bool StartProgram(const std::u16string&, const std::u16string&) override { return false; }
    VerbFacts FileTypeVerb(const std::u16string&, const std::u16string&) override { return {}; }
    std::u16string ProgramExtensions() override { return {}; }
    bool ShellVerb(const std::u16string&, const std::u16string&) override { return false; }
    OpenWithResult OpenWithDialog(const std::u16string&) override { return OpenWithResult::kUnavailable; }
};

// A file descriptor as a seam handle: one more than the descriptor, so that 0 is a file too.
FileHandle HandleOf(int fd) {
    return reinterpret_cast<FileHandle>(static_cast<std::intptr_t>(fd) + 1);
}
int FdOf(FileHandle file) {
    return static_cast<int>(reinterpret_cast<std::intptr_t>(file) - 1);
}

class CPosixSystem : public ISystem {
public:
    bool DeleteFile(const std::u16string& path) override {
        // Only a plain file is deleted, never a link put in place of ours (as on Windows).
        const std::string name = ToUtf8(path);
        struct stat entry {};
        return ::lstat(name.c_str(), &entry) == 0 && S_ISREG(entry.st_mode) && ::unlink(name.c_str()) == 0;
    }
    std::u16string GetTempPath() override {
        const char* dir = std::getenv("TMPDIR");
        std::string d = dir && *dir ? dir : "/tmp";
        if (d.back() != '/')
            d += '/';
        return FromUtf8(d);
    }
    void CreateDirectories(const std::u16string&) override {}
    FileHandle CreateNewFile(const std::u16string& path, CreateResult& result) override {
        // Readable by the user alone; a name that exists, a link included (even one that
        // points nowhere), is taken and never followed.
        const int fd = ::open(ToUtf8(path).c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            result = errno == EEXIST ? CreateResult::kExists : CreateResult::kFailed;
            return nullptr;
        }
        result = CreateResult::kCreated;
        return HandleOf(fd);
    }
    FileHandle OpenFileForRead(const std::u16string& path) override {
        const int fd = ::open(ToUtf8(path).c_str(), O_RDONLY | O_CLOEXEC);
        return fd < 0 ? nullptr : HandleOf(fd);
    }
    bool WriteFile(FileHandle file, const std::string& bytes) override {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t written = ::write(FdOf(file), bytes.data() + done, bytes.size() - done);
            if (written <= 0)
                return false;
            done += static_cast<std::size_t>(written);
        }
        return true;
    }
    bool ReadFile(FileHandle file, std::string& bytes) override {
        struct stat info {};
        if (::fstat(FdOf(file), &info) != 0)
            return false;
        bytes.assign(static_cast<std::uint32_t>(info.st_size) + std::size_t{1}, '\0');
        const ssize_t read = ::pread(FdOf(file), bytes.data(), bytes.size(), 0);
        if (read < 0) {
            bytes.clear();
            return false;
        }
        bytes.resize(static_cast<std::size_t>(read));
        return true;
    }
    bool GetLastWriteLow(FileHandle file, std::uint32_t& low) override {
        struct stat info {};
        if (::fstat(FdOf(file), &info) != 0)
            return false;
        // In the units and from the epoch of a Windows file time, so that the low halves
        // move as they do there.
        const std::uint64_t sinceWindowsEpoch =
            static_cast<std::uint64_t>(info.st_mtim.tv_sec + 11644473600LL);
        low = static_cast<std::uint32_t>(sinceWindowsEpoch * 10000000u +
                                         static_cast<std::uint64_t>(info.st_mtim.tv_nsec) / 100u);
        return true;
    }
    bool WrittenWithinMs(FileHandle, std::uint32_t) override { return false; }
    bool HeldForWriting(const std::u16string&) override { return false; }
    void CloseFile(FileHandle file) override {
        if (file)
            ::close(FdOf(file));
    }

    void SetOwnerWindow(void*) override {}
    bool OpenClipboard() override { return false; }
    void CloseClipboard() override {}
    bool EmptyClipboard() override { return false; }
    std::uint32_t EnumClipboardFormats(std::uint32_t) override { return 0; }
    std::u16string ClipboardFormatName(std::uint32_t) override { return {}; }
    ClipHandle CopyClipboardData(std::uint32_t) override { return nullptr; }
    bool SetClipboardData(std::uint32_t, ClipHandle) override { return false; }
    void FreeClipboardCopy(std::uint32_t, ClipHandle) override {}
    std::uint32_t RegisterFormatName(const std::u16string&) override { return 0; }
    bool IsClipboardFormatAvailable(std::uint32_t) override { return false; }
    bool GetClipboardText(std::u16string&) override { return false; }
    bool SetClipboardText(const std::u16string&) override { return false; }
    bool SetClipboardTextAsCopy(const std::u16string&) override { return false; }
    bool MarkOwnContent() override { return false; }
    bool ChangedSinceOwnWrite() override { return false; }
    std::uint32_t ClipboardOwnerProcess() override { return 0; }
    std::uint32_t ClipboardOpenerProcess() override { return 0; }
    std::uint32_t ClipboardSequence() override { return 0; }
    bool OfferClipboardText(const std::u16string&) override { return false; }
    void RenderOffer(std::uint32_t) override {}
    void RenderOfferBeforeLeaving(void*) override {}
    void DropOffer() override {}
    ClipboardOffer OfferState() override { return ClipboardOffer::kNone; }
    bool JoinClipboardViewerChain(void*) override { return false; }
    void LeaveClipboardViewerChain(void*) override {}

    bool IsKeyDown(std::uint8_t) override { return false; }
    bool IsUserKeyDown(std::uint8_t) override { return false; }
    std::uint32_t UserKeyPresses() override { return 0; }
    void FollowHook(CUserKeys*) override {}
    void HoldUserKeys() override {}
    void ReleaseUserKeys() override {}
    std::uint16_t ScanCodeOf(std::uint8_t) override { return 0; }
    bool SendKeys(const std::vector<KeyInput>&) override { return false; }

    bool WaitServingMessages(std::uint32_t, const std::function<bool()>& done, std::uint32_t) override {
        return done && done();
    }
    bool WaitWatchingClipboard(void*, std::uint32_t timeoutMs, const std::function<bool()>& done,
                               std::uint32_t pollMs) override {
        return WaitServingMessages(timeoutMs, done, pollMs);
    }
    std::uint64_t NowMs() override {
        return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                              std::chrono::steady_clock::now().time_since_epoch())
                                              .count());
    }
    bool LocalTimeOfDay(int&, int&, int&) override { return false; }

    // Latin-1 stands in for the ANSI code page: each unit keeps its low byte.
    std::string ToAnsi(const std::u16string& text) override { return Latin1Bytes(text); }
    std::u16string FromAnsi(const std::string& bytes) override { return FromLatin1Bytes(bytes); }

    bool ShellOpen(const std::u16string& f, const std::u16string& p) override {
        return m_shell.ShellOpen(f, p);
    }
    bool StartProgram(const std::u16string& f, const std::u16string& p) override {
        return m_shell.StartProgram(f, p);
    }
    VerbFacts FileTypeVerb(const std::u16string& e, const std::u16string& v) override {
        return m_shell.FileTypeVerb(e, v);
    }
    std::u16string ProgramExtensions() override { return m_shell.ProgramExtensions(); }
    bool ShellVerb(const std::u16string& f, const std::u16string& v) override {
        return m_shell.ShellVerb(f, v);
    }
    OpenWithResult OpenWithDialog(const std::u16string& f) override { return m_shell.OpenWithDialog(f); }
    bool IsWindow(const void*) override { return false; }
    bool DescribeWindow(const void*, WindowFacts&) override { return false; }
    void DescribeProgram(const void*, WindowFacts&) override {}
    std::uint32_t OwnProcess() override { return 0; }
    bool RunsAboveUs(const void*) override { return false; }
    bool CaretShownIn(const void*) override { return true; }
    void* FocusedWindow() override { return nullptr; }
    bool ReadWindowText(const void*, std::u16string&) override { return false; }
    bool GetEditSelection(const void*, std::uint32_t&, std::uint32_t&) override { return false; }
    bool SetEditSelection(const void*, std::uint32_t, std::uint32_t) override { return false; }
    bool ReplaceEditSelection(const void*, const std::u16string&) override { return false; }

private:
    CPosixShell m_shell;
};

} // namespace

std::unique_ptr<IShell> NewShell() {
    return std::make_unique<CPosixShell>();
}

ISystem& DefaultSystem() {
    static CPosixSystem system;
    return system;
}

} // namespace quillon
