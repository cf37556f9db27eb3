// The process's real configuration platform behind a class that test platforms derive from,
// overriding only the steps they change: every other step stays real, however many the
// interface has.
#pragma once
#include <string>

#include "config/config_platform.h"

namespace quillon::test {

class CForwardingPlatform : public IConfigPlatform {
public:
    char16_t PathSeparator() const override { return m_real.PathSeparator(); }
    std::u16string FileSystemPath(const std::u16string& path) override { return m_real.FileSystemPath(path); }
    std::u16string ModuleFilePath() override { return m_real.ModuleFilePath(); }
    std::u16string ShellAppDataFolder() override { return m_real.ShellAppDataFolder(); }
    std::u16string EnvironmentVariable(const std::u16string& name) override {
        return m_real.EnvironmentVariable(name);
    }
    std::u16string TempFolder() override { return m_real.TempFolder(); }
    bool Exists(const std::u16string& path) override { return m_real.Exists(path); }
    bool CreateFolder(const std::u16string& path) override { return m_real.CreateFolder(path); }
    bool FlushFile(const std::u16string& path) override { return m_real.FlushFile(path); }
    std::u16string LinkTarget(const std::u16string& path) override { return m_real.LinkTarget(path); }
    bool ReplaceFile(const std::u16string& from, const std::u16string& to) override {
        return m_real.ReplaceFile(from, to);
    }
    bool CopyFile(const std::u16string& from, const std::u16string& to) override {
        return m_real.CopyFile(from, to);
    }
    bool RemoveFile(const std::u16string& path) override { return m_real.RemoveFile(path); }
    bool ReadBytes(const std::u16string& path, std::string& bytes) override {
        return m_real.ReadBytes(path, bytes);
    }
    std::u16string LastFailureReason() override { return m_real.LastFailureReason(); }
    bool LastFailureMayPass() override { return m_real.LastFailureMayPass(); }
    void Pause(unsigned milliseconds) override { m_real.Pause(milliseconds); }

protected:
    IConfigPlatform& m_real = DefaultConfigPlatform();
};

} // namespace quillon::test
