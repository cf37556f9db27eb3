// Where the configuration file lives: the portable file beside the program, else the
// per-user folder, and the defined fallbacks when the shell cannot name that folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <set>
#include <vector>

#include "config/config_file.h"

using namespace quillon;

namespace {

// Paths only: which exist, what the shell and the environment say, what gets created.
class CPathFake : public IConfigPlatform {
public:
    std::u16string module = u"C:\\Tools\\Quillon\\Quillon.exe";
    std::u16string shellFolder = u"C:\\Users\\me\\AppData\\Roaming";
    std::u16string appDataVariable = u"D:\\Roaming";
    std::u16string tempFolder = u"C:\\Users\\me\\Temp\\";
    std::set<std::u16string> existing;
    std::vector<std::u16string> created;
    bool shellAsked = false;

    std::u16string ModuleFilePath() override { return module; }
    std::u16string ShellAppDataFolder() override {
        shellAsked = true;
        return shellFolder;
    }
    std::u16string EnvironmentVariable(const std::u16string& name) override {
        return name == u"APPDATA" ? appDataVariable : std::u16string();
    }
    std::u16string TempFolder() override { return tempFolder; }
    bool Exists(const std::u16string& path) override { return existing.count(path) != 0; }
    bool CreateFolder(const std::u16string& path) override {
        created.push_back(path);
        return true;
    }
    bool FlushFile(const std::u16string&) override { return false; }
    bool ReplaceFile(const std::u16string&, const std::u16string&) override { return false; }
    bool CopyFile(const std::u16string&, const std::u16string&) override { return false; }
    bool RemoveFile(const std::u16string&) override { return false; }
    bool ReadBytes(const std::u16string&, std::string&) override { return false; }
    std::u16string LastFailureReason() override { return u"refused"; }
    bool LastFailureMayPass() override { return false; }
    void Pause(unsigned) override {}
};

} // namespace

TEST(ConfigLocation, APortableFileBesideTheProgramIsUsedAndNothingElseTouched) {
    CPathFake fake;
    fake.existing = {u"C:\\Tools\\Quillon\\QLNConfig.xml"};
    const ConfigLocation location = ResolveConfigLocation(fake);
    EXPECT_EQ(location.moduleFilePath, u"C:\\Tools\\Quillon\\Quillon.exe");
    EXPECT_EQ(location.moduleFolder, u"C:\\Tools\\Quillon");
    EXPECT_EQ(location.configFilePath, u"C:\\Tools\\Quillon\\QLNConfig.xml");
    EXPECT_FALSE(fake.shellAsked);
    EXPECT_TRUE(fake.created.empty());
}

TEST(ConfigLocation, OtherwiseThePerUserFolderIsCreatedOneLevelDeep) {
    CPathFake fake;
    ConfigLocation location = ResolveConfigLocation(fake);
    EXPECT_EQ(location.configFilePath, u"C:\\Users\\me\\AppData\\Roaming\\Quillon\\QLNConfig.xml");
    EXPECT_EQ(fake.created, std::vector<std::u16string>{u"C:\\Users\\me\\AppData\\Roaming\\Quillon"});

    CPathFake present;
    present.existing = {u"C:\\Users\\me\\AppData\\Roaming\\Quillon"};
    location = ResolveConfigLocation(present);
    EXPECT_EQ(location.configFilePath, u"C:\\Users\\me\\AppData\\Roaming\\Quillon\\QLNConfig.xml");
    EXPECT_TRUE(present.created.empty());
}

TEST(ConfigLocation, AFailedShellQueryFallsBackToDefinedFolders) {
    CPathFake fake;
    fake.shellFolder.clear();
    EXPECT_EQ(ResolveConfigLocation(fake).configFilePath, u"D:\\Roaming\\Quillon\\QLNConfig.xml");

    fake.appDataVariable.clear();
    EXPECT_EQ(ResolveConfigLocation(fake).configFilePath, u"C:\\Users\\me\\Temp\\Quillon\\QLNConfig.xml");

    fake.tempFolder.clear();
    EXPECT_EQ(ResolveConfigLocation(fake).configFilePath, u"C:\\Tools\\Quillon\\Quillon\\QLNConfig.xml");
    EXPECT_EQ(fake.created.back(), u"C:\\Tools\\Quillon\\Quillon");
}

TEST(ConfigLocation, ModuleFolderIsThePathUpToItsLastBackslash) {
    CPathFake fake;
    fake.module = u"C:\\" + std::u16string(300, u'd') + u"\\Quillon.exe"; // beyond the classic limit
    fake.existing = {u"C:\\" + std::u16string(300, u'd') + u"\\QLNConfig.xml"};
    ConfigLocation location = ResolveConfigLocation(fake);
    EXPECT_EQ(location.moduleFolder, u"C:\\" + std::u16string(300, u'd'));
    EXPECT_EQ(location.configFilePath, u"C:\\" + std::u16string(300, u'd') + u"\\QLNConfig.xml");

    CPathFake bare;
    bare.module = u"Quillon.exe";
    location = ResolveConfigLocation(bare);
    EXPECT_EQ(location.moduleFolder, u"");
    EXPECT_EQ(location.moduleFilePath, u"Quillon.exe");
}
