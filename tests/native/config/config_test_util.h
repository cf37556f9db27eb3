// Helpers of the configuration tests: a private scratch folder, whole-file bytes, and
// a platform that injects failures into an otherwise real save.
#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "config/config_platform.h"
#include "native/config/forwarding_platform.h"
#include "native/test_data.h"

namespace quillon::test {

namespace fs = std::filesystem;

class CScratchFolder {
public:
    CScratchFolder() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string("qln-config-") + info->test_suite_name() + "-" + info->name();
        m_path = fs::temp_directory_path() / name;
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
        fs::create_directories(m_path);
    }
    ~CScratchFolder() {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    CScratchFolder(const CScratchFolder&) = delete;
    CScratchFolder& operator=(const CScratchFolder&) = delete;

    fs::path Path(const std::string& leaf) const { return m_path / leaf; }
    std::u16string U16(const std::string& leaf) const { return Path(leaf).u16string(); }

private:
    fs::path m_path;
};

inline void WriteBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << "could not write " << path.string();
}

inline std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// UTF-16LE bytes of an ASCII text, for files written in that encoding.
inline std::string Utf16LeBytes(const std::string& ascii) {
    std::string bytes;
    for (char c : ascii) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

// The real platform with switches that make one step of a save fail.
class CFaultyPlatform : public CForwardingPlatform {
public:
    bool failFlush = false;
    bool failReplace = false;
    bool failCopy = false;
    bool loseFileInReplace = false; // the replacement fails after the old file is gone
    int heldReplaces = 0;           // this many replacements fail as a file another program holds open
    int replaces = 0;
    int pauses = 0; // waits asked for; none is taken, the next try comes at once

    bool FlushFile(const std::u16string& path) override {
        return !Injected(failFlush, u"the disk is full", false) && m_real.FlushFile(path);
    }
    bool ReplaceFile(const std::u16string& from, const std::u16string& to) override {
        ++replaces;
        if (heldReplaces > 0) {
            --heldReplaces;
            return !Injected(true, u"the file is in use by another program", true);
        }
        if (loseFileInReplace) {
            m_real.RemoveFile(to);
            return !Injected(true, u"the old file went and the new one could not follow", false);
        }
        return !Injected(failReplace, u"access is denied", false) && m_real.ReplaceFile(from, to);
    }
    bool CopyFile(const std::u16string& from, const std::u16string& to) override {
        return !Injected(failCopy, u"the copy was refused", false) && m_real.CopyFile(from, to);
    }
    std::u16string LastFailureReason() override { return m_injected ? m_reason : m_real.LastFailureReason(); }
    bool LastFailureMayPass() override { return m_injected ? m_mayPass : m_real.LastFailureMayPass(); }
    void Pause(unsigned) override { ++pauses; }

private:
    // Records an injected failure as the last one, or clears the record when none is injected.
    bool Injected(bool fail, const char16_t* reason, bool mayPass) {
        m_injected = fail;
        m_reason = reason;
        m_mayPass = mayPass;
        return fail;
    }
    bool m_injected = false;
    std::u16string m_reason;
    bool m_mayPass = false;
};

} // namespace quillon::test
