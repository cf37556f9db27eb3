// The whole-program configuration fixtures: loading each input and saving it gives exactly
// its expected file, and the settings read are the ones the fixture promises.
#include <gtest/gtest.h>

#include "config/config_file.h"
#include "native/config/config_test_util.h"

using namespace quillon;
using namespace quillon::test;

namespace {

const fs::path kFixtures = TestDataPath(QLN_CONFIG_FIXTURES);

// Copies the fixture beside a scratch program path, loads and saves it as a start and an
// Exit of the program do (which leave it alone), then saves it as a save after a change
// does, and returns the settings that were read.
SettingsFields StartAndExit(const CScratchFolder& dir, const std::string& name, std::string& written) {
    const std::string input = ReadBytes(kFixtures / (name + ".xml"));
    EXPECT_FALSE(input.empty()) << "fixture " << name << " missing";
    WriteBytes(dir.Path("QLNConfig.xml"), input);
    SettingsFields settings;
    settings.TemporaryFolder = u"C:\\Temp\\";
    CConfigXml xml;
    EXPECT_TRUE(LoadConfigFile(xml, dir.U16("QLNConfig.xml"), settings, DefaultConfigPlatform()));
    // Nothing changed: the file stays as the user wrote it.
    EXPECT_EQ(SaveConfigFile(xml, dir.U16("QLNConfig.xml"), settings, DefaultConfigPlatform()).status,
              ConfigSaveResult::kUnchanged);
    EXPECT_EQ(ReadBytes(dir.Path("QLNConfig.xml")), input);
    // A save that writes (after Options OK, say) gives the file its fixed layout.
    xml.ForgetSynced();
    EXPECT_TRUE(SaveConfigFile(xml, dir.U16("QLNConfig.xml"), settings, DefaultConfigPlatform()).Saved());
    written = ReadBytes(dir.Path("QLNConfig.xml"));
    return settings;
}

} // namespace

TEST(ConfigFixtures, HandEditedUtf8FileIsRewrittenAsExpected) {
    CScratchFolder dir;
    std::string written;
    const SettingsFields s = StartAndExit(dir, "hand_edited", written);
    EXPECT_EQ(s.HotKey, 0x4503); // Ctrl+Alt+E
    EXPECT_EQ(s.Insert, 0);
    EXPECT_EQ(s.SaveContent, 0);
    EXPECT_EQ(s.EditOnlySelection, 1);
    EXPECT_EQ(s.TemporaryFolder, u"C:\\Edits & Drafts\\");
    EXPECT_EQ(s.Delay, 350);
    ASSERT_EQ(s.Extensions.size(), 3u);
    EXPECT_EQ(s.Extensions[1], EXTENSIONREC(u"log", u"C:\\windows\\notepad.exe", u"\"%1\"", 0));
    EXPECT_EQ(written, ReadBytes(kFixtures / "hand_edited.expected.xml"));
}

TEST(ConfigFixtures, Utf16FileWithZeroHotKeyIsRewrittenAsExpected) {
    CScratchFolder dir;
    std::string written;
    const SettingsFields s = StartAndExit(dir, "utf16_bom", written);
    EXPECT_EQ(s.HotKey, 0);
    EXPECT_EQ(s.Delay, -40);
    EXPECT_TRUE(s.Extensions.empty());
    EXPECT_EQ(written, ReadBytes(kFixtures / "utf16_bom.expected.xml"));
}
