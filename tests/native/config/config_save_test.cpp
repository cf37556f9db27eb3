// When a save writes and what it writes around other writers: nothing when nothing changed,
// a hand edit made while the program runs kept under the user's own change, a file held open
// for a moment tried again, a failure told with its path and reason, a replacement that lost
// the file taken up at the next start, and the packaged defaults matching the settings table.
#include <gtest/gtest.h>

#include "config/config_file.h"
#include "config/settings_table.h"
#include "native/config/config_test_util.h"

using namespace quillon;
using namespace quillon::test;

namespace {

class ConfigSave : public ::testing::Test {
protected:
    ConfigSave() { settings.TemporaryFolder = u"C:\\Temp\\"; }

    void Start(const std::string& bytes) {
        WriteBytes(dir.Path("QLNConfig.xml"), bytes);
        ASSERT_TRUE(LoadConfigFile(xml, path, settings, DefaultConfigPlatform()));
    }
    ConfigSaveResult Save(IConfigPlatform& platform = DefaultConfigPlatform()) {
        return SaveConfigFile(xml, path, settings, platform);
    }
    std::string FileBytes() const { return ReadBytes(dir.Path("QLNConfig.xml")); }

    CScratchFolder dir;
    std::u16string path = dir.U16("QLNConfig.xml");
    SettingsFields settings;
    CConfigXml xml;
};

const std::string kHandWritten =
    "<Quillon>\r\n  <!-- mine -->\r\n  "
    "<Settings><Delay>200</Delay><Insert>False</Insert></Settings>\r\n</Quillon>\r\n";

} // namespace

TEST_F(ConfigSave, NothingChangedLeavesTheFileAsTheUserWroteIt) {
    Start(kHandWritten);
    CFaultyPlatform watching;
    EXPECT_EQ(Save(watching).status, ConfigSaveResult::kUnchanged);
    EXPECT_EQ(watching.replaces, 0);
    EXPECT_EQ(FileBytes(), kHandWritten);

    // A real change is written, and saving again without one leaves that alone too.
    settings.Insert = 1;
    EXPECT_EQ(Save(watching).status, ConfigSaveResult::kWritten);
    EXPECT_NE(FileBytes().find("<Insert>True</Insert>"), std::string::npos);
    EXPECT_EQ(Save(watching).status, ConfigSaveResult::kUnchanged);
    EXPECT_EQ(watching.replaces, 1);
}

TEST_F(ConfigSave, AHandEditWhileRunningSurvivesAndTheUsersOwnChangeGoesOnTop) {
    Start(kHandWritten);
    // Edited by hand while the program runs, then Exit with nothing changed in it.
    const std::string edited = "<Quillon><Settings><Delay>450</Delay></Settings></Quillon>";
    WriteBytes(dir.Path("QLNConfig.xml"), edited);
    const ConfigSaveResult atExit = Save();
    EXPECT_EQ(atExit.status, ConfigSaveResult::kUnchanged);
    EXPECT_EQ(FileBytes(), edited);
    EXPECT_EQ(settings.Delay, 450) << "the hand edit is in force from now on";

    // Edited again, while the user changes another setting in Options: both are kept.
    WriteBytes(dir.Path("QLNConfig.xml"), "<Quillon><Settings><Delay>600</Delay></Settings></Quillon>");
    settings.Insert = 1;
    settings.Extensions.push_back(EXTENSIONREC(u"md", u"", u"", 1));
    settings.Rules.push_back(RULEREC(u"notepad.exe", u"", u"md", 0));
    const ConfigSaveResult atOk = Save();
    EXPECT_EQ(atOk.status, ConfigSaveResult::kWritten);
    EXPECT_TRUE(atOk.merged);
    const std::string saved = FileBytes();
    EXPECT_NE(saved.find("<Delay>600</Delay>"), std::string::npos) << saved;
    EXPECT_NE(saved.find("<Insert>True</Insert>"), std::string::npos) << saved;
    EXPECT_NE(saved.find("Extension=\"md\""), std::string::npos) << saved;
    EXPECT_NE(saved.find("<Rule Program=\"notepad.exe\""), std::string::npos) << saved;
    EXPECT_EQ(settings.Delay, 600);

    // Rules added by hand meanwhile are kept while the user changes something else.
    WriteBytes(dir.Path("QLNConfig.xml"),
               "<Quillon><Settings><Delay>600</Delay></Settings><Rules><Rule Program=\"b.exe\" "
               "Extension=\"txt\"/></Rules></Quillon>");
    settings.SaveContent = 0;
    ASSERT_EQ(Save().status, ConfigSaveResult::kWritten);
    EXPECT_EQ(settings.Rules, std::vector<RULEREC>{RULEREC(u"b.exe", u"", u"txt", 1)});

    // A hand edit that no longer reads is kept beside the file before the user's change replaces it.
    const std::string broken = "<Quillon><Settings><Delay>7</Delay></Setings></Quillon>";
    WriteBytes(dir.Path("QLNConfig.xml"), broken);
    settings.Insert = 0;
    EXPECT_EQ(Save().status, ConfigSaveResult::kWritten);
    EXPECT_EQ(ReadBytes(dir.Path("QLNConfig.xml.bak")), broken);
    EXPECT_NE(FileBytes().find("<Delay>600</Delay>"), std::string::npos);

    // A row added by hand stays while the user changes another row in Options.
    std::string withRow = FileBytes();
    withRow.insert(withRow.find("</Extensions>"),
                   "<Extension Extension=\"ini\" Editor=\"\" Parameters=\"\" UTF8=\"True\"/>\r\n");
    WriteBytes(dir.Path("QLNConfig.xml"), withRow);
    ASSERT_FALSE(settings.Extensions.empty());
    settings.Extensions[0].Editor = u"C:\\ed.exe";
    ASSERT_EQ(Save().status, ConfigSaveResult::kWritten);
    const std::string rows = FileBytes();
    EXPECT_NE(rows.find("Extension=\"ini\""), std::string::npos) << rows;
    EXPECT_NE(rows.find("Editor=\"C:\\ed.exe\""), std::string::npos) << rows;
}

TEST_F(ConfigSave, AFileHeldOpenForAMomentIsTriedAgainAndAFailureSaysWhereAndWhy) {
    Start(kHandWritten);
    settings.Delay = 300;
    CFaultyPlatform held;
    held.heldReplaces = 3; // an indexer or a virus scanner lets go after a moment
    EXPECT_EQ(Save(held).status, ConfigSaveResult::kWritten);
    EXPECT_EQ(held.pauses, 3);
    EXPECT_NE(FileBytes().find("<Delay>300</Delay>"), std::string::npos);

    // Held for good: a bounded number of tries, then the failure with its path and reason.
    settings.Delay = 301;
    CFaultyPlatform stuck;
    stuck.heldReplaces = 1000;
    ConfigSaveResult result = Save(stuck);
    EXPECT_FALSE(result.Saved());
    EXPECT_LT(stuck.pauses, 60);
    EXPECT_EQ(result.reason, u"the file is in use by another program");
    EXPECT_NE(FileBytes().find("<Delay>300</Delay>"), std::string::npos) << "the old file stays";
    const std::u16string message = DescribeSaveFailure(result);
    EXPECT_NE(message.find(path), std::u16string::npos);
    EXPECT_NE(message.find(result.reason), std::u16string::npos);

    // A failure that does not pass (a denied folder, a read-only file) is not waited for.
    CFaultyPlatform denied;
    denied.failReplace = true;
    result = Save(denied);
    EXPECT_FALSE(result.Saved());
    EXPECT_EQ(denied.pauses, 0);
    EXPECT_EQ(result.reason, u"access is denied");
    // The extended-length form is how the system is asked, not how the user knows the path.
    result.path = u"\\\\?\\C:\\Very\\Long\\QLNConfig.xml";
    EXPECT_NE(DescribeSaveFailure(result).find(u" C:\\Very\\Long\\QLNConfig.xml: access is denied."),
              std::u16string::npos);
}

TEST_F(ConfigSave, AReplacementThatLostTheFileIsTakenUpAtTheNextStartBesideTheProgramToo) {
    Start(kHandWritten);
    settings.Delay = 321;
    CFaultyPlatform losing;
    losing.loseFileInReplace = true;
    EXPECT_FALSE(Save(losing).Saved());
    ASSERT_FALSE(fs::exists(dir.Path("QLNConfig.xml")));

    // The program's folder is the scratch folder: the file is portable and comes back there.
    class CProgramHere : public CForwardingPlatform {
    public:
        explicit CProgramHere(std::u16string program) : m_program(std::move(program)) {}
        std::u16string ModuleFilePath() override { return m_program; }

    private:
        std::u16string m_program;
    } here(dir.U16("Quillon.exe"));
    const ConfigLocation location = ResolveConfigLocation(here);
    EXPECT_EQ(location.configFilePath, path);
    EXPECT_FALSE(fs::exists(dir.Path("QLNConfig.xml.new")));
    SettingsFields restarted;
    CConfigXml again;
    ASSERT_TRUE(LoadConfigFile(again, path, restarted, DefaultConfigPlatform()));
    EXPECT_EQ(restarted.Delay, 321);

    // A ".new" cut short is not taken; a readable backup is, and stays as a backup.
    fs::remove(dir.Path("QLNConfig.xml"));
    WriteBytes(dir.Path("QLNConfig.xml.new"), "<Quillon><Sett");
    WriteBytes(dir.Path("QLNConfig.xml.bak"), kHandWritten);
    EXPECT_TRUE(RecoverConfigFile(DefaultConfigPlatform(), path));
    EXPECT_EQ(FileBytes(), kHandWritten);
    EXPECT_TRUE(fs::exists(dir.Path("QLNConfig.xml.bak")));

    // Deleted on purpose, with no replacement under way: the backup does not bring it back.
    fs::remove(dir.Path("QLNConfig.xml"));
    fs::remove(dir.Path("QLNConfig.xml.new"));
    EXPECT_FALSE(RecoverConfigFile(DefaultConfigPlatform(), path));
    EXPECT_FALSE(fs::exists(dir.Path("QLNConfig.xml")));
}

TEST(SettingsTable, ThePackagedDefaultFileIsWhatTheProgramWritesFromItsDefaults) {
    CScratchFolder dir;
    SettingsFields defaults; // every default from the table; the temporary folder empty
    EXPECT_TRUE(defaults.TemporaryFolder.empty());
    CConfigXml xml;
    ASSERT_TRUE(SaveConfigFile(xml, dir.U16("QLNConfig.xml"), defaults, DefaultConfigPlatform()).Saved());
    EXPECT_EQ(ReadBytes(dir.Path("QLNConfig.xml")), ReadBytes(TestDataPath(QLN_PACKAGED_CONFIG)));
}
