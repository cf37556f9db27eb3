// The POSIX stand-in for the configuration file's platform seam, so the portable layers
// link and run natively (tools, tests).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include "base/u16.h"
#include "config/config_platform.h"

namespace quillon {
namespace {

std::u16string FromEnv(const char* name) {
    const char* value = std::getenv(name);
    return value ? FromUtf8(value) : std::u16string();
}

class CPosixConfigPlatform : public IConfigPlatform {
public:
    char16_t PathSeparator() const override { return u'/'; }

    std::u16string ModuleFilePath() override {
        std::vector<char> buffer(4096);
        const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n <= 0 || static_cast<size_t>(n) >= buffer.size())
            return {};
        return FromUtf8(std::string_view(buffer.data(), static_cast<size_t>(n)));
    }

    std::u16string ShellAppDataFolder() override {
        std::u16string folder = FromEnv("XDG_CONFIG_HOME");
        if (folder.empty() && !FromEnv("HOME").empty())
            folder = FromEnv("HOME") + u"/.config";
        return folder;
    }

    std::u16string EnvironmentVariable(const std::u16string& name) override {
        return FromEnv(ToUtf8(name).c_str());
    }

    std::u16string TempFolder() override {
        std::u16string folder = FromEnv("TMPDIR");
        return folder.empty() ? u"/tmp" : folder;
    }

    bool Exists(const std::u16string& path) override {
        struct stat info;
        return ::stat(ToUtf8(path).c_str(), &info) == 0;
    }

    bool CreateFolder(const std::u16string& path) override {
        return ::mkdir(ToUtf8(path).c_str(), 0755) == 0;
    }

    bool FlushFile(const std::u16string& path) override {
        const int fd = ::open(ToUtf8(path).c_str(), O_WRONLY);
        if (fd < 0)
            return false;
        const bool ok = ::fsync(fd) == 0;
        return ::close(fd) == 0 && ok;
    }

    std::u16string LinkTarget(const std::u16string& path) override {
        struct stat info;
        if (::lstat(ToUtf8(path).c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            return path;
        char* target = ::realpath(ToUtf8(path).c_str(), nullptr);
        if (!target)
            return path;
        std::u16string resolved = FromUtf8(target);
        std::free(target);
        return resolved;
    }

    bool ReplaceFile(const std::u16string& from, const std::u16string& to) override {
        // The new file takes the old one's permissions, as the Windows build keeps attributes.
        struct stat info;
        if (::stat(ToUtf8(to).c_str(), &info) == 0)
            ::chmod(ToUtf8(from).c_str(), info.st_mode & 07777);
        return std::rename(ToUtf8(from).c_str(), ToUtf8(to).c_str()) == 0;
    }

    bool CopyFile(const std::u16string& from, const std::u16string& to) override {
        std::ifstream in(ToUtf8(from), std::ios::binary);
        std::ofstream out(ToUtf8(to), std::ios::binary | std::ios::trunc);
        if (!in || !out)
            return false;
        out << in.rdbuf();
        out.flush();
        return static_cast<bool>(out);
    }

    bool RemoveFile(const std::u16string& path) override { return std::remove(ToUtf8(path).c_str()) == 0; }

    bool ReadBytes(const std::u16string& path, std::string& bytes) override {
        bytes.clear();
        std::ifstream in(ToUtf8(path), std::ios::binary);
        if (!in)
            return false;
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        return !in.bad();
    }

    std::u16string LastFailureReason() override { return FromUtf8(std::strerror(errno)); }
    bool LastFailureMayPass() override { return errno == EBUSY || errno == ETXTBSY || errno == EAGAIN; }
    void Pause(unsigned milliseconds) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
};

} // namespace

IConfigPlatform& DefaultConfigPlatform() {
    static CPosixConfigPlatform platform;
    return platform;
}

} // namespace quillon
