// Reading and writing the settings through the configuration file: the reading order,
// value rules, the exact layout written, what a save keeps of a loaded file, and that a
// failing save never damages the file that was there.
#include <gtest/gtest.h>

#include <initializer_list>
#include <limits>

#include "base/u16.h"
#include "config/config_file.h"
#include "xml/xml_encoding.h"
#include "native/config/config_test_util.h"

using namespace quillon;
using namespace quillon::test;

namespace {

// Lines joined and each ended by CR LF, as the configuration file is written.
std::string Lines(std::initializer_list<const char*> lines) {
    std::string text;
    for (const char* line : lines)
        text += std::string(line) + "\r\n";
    return text;
}

// A file written from scratch: the packaged default file (checked against the settings table
// by SettingsTable.ThePackagedDefaultFileIsWhatTheProgramWritesFromItsDefaults) with the
// given folder element and extension lines in place of its own.
std::string FreshFile(const char* temporaryFolderElement, std::initializer_list<const char*> extensionLines) {
    std::string text = ReadBytes(TestDataPath(QLN_PACKAGED_CONFIG));
    const auto replace = [&text](const std::string& from, const std::string& to) {
        const size_t at = text.find(from);
        if (at == std::string::npos)
            ADD_FAILURE() << "the packaged default file lacks " << from;
        else
            text.replace(at, from.size(), to);
    };
    replace("<TemporaryFolder/>\r\n", Lines({temporaryFolderElement}));
    replace(Lines({"<Extensions>", "<Extension Extension=\"txt\" Editor=\"\" Parameters=\"\" UTF8=\"True\"/>",
                   "</Extensions>"}),
            Lines(extensionLines));
    return text;
}

class ConfigFile : public ::testing::Test {
protected:
    ConfigFile() { settings.TemporaryFolder = u"C:\\Temp\\"; }

    bool LoadText(const std::string& bytes) {
        WriteBytes(dir.Path("QLNConfig.xml"), bytes);
        return LoadConfigFile(xml, path, settings, DefaultConfigPlatform());
    }
    bool Save() { return SaveConfigFile(xml, path, settings, DefaultConfigPlatform()).Saved(); }
    // A save that writes whatever the file holds, as one after a change of settings does.
    bool Rewrite() {
        xml.ForgetSynced();
        return Save();
    }
    std::string FileBytes() const { return ReadBytes(dir.Path("QLNConfig.xml")); }

    CScratchFolder dir;
    std::u16string path = dir.U16("QLNConfig.xml");
    SettingsFields settings;
    CConfigXml xml;
};

} // namespace

TEST(DecimalNumbers, ReadAsLeadingDigitsClampedToThe32BitRange) {
    EXPECT_EQ(ParseDecimal(u"350"), 350);
    EXPECT_EQ(ParseDecimal(u" 350ms"), 350);
    EXPECT_EQ(ParseDecimal(u"\t\r\n 7"), 7);
    EXPECT_EQ(ParseDecimal(u"abc"), 0);
    EXPECT_EQ(ParseDecimal(u""), 0);
    EXPECT_EQ(ParseDecimal(u"-"), 0);
    EXPECT_EQ(ParseDecimal(u"- 5"), 0);
    EXPECT_EQ(ParseDecimal(u"0x10"), 0);
    EXPECT_EQ(ParseDecimal(u"-12"), -12);
    EXPECT_EQ(ParseDecimal(u"+12"), 12);
    EXPECT_EQ(ParseDecimal(u"2147483647"), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(ParseDecimal(u"2147483648"), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(ParseDecimal(u"-2147483648"), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(ParseDecimal(u"-2147483649"), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(ParseDecimal(std::u16string(5000, u'9')), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(FormatDecimal(-5), u"-5");
    EXPECT_EQ(FormatDecimal(65535), u"65535");
}

TEST_F(ConfigFile, ReadsEveryKeyAndRowOfAFileInReadingOrder) {
    ASSERT_TRUE(LoadText(
        Lines({"<Quillon>", "<Settings>", "<HotKey>1602</HotKey>", "<SaveContent>False</SaveContent>",
               "<Insert>True</Insert>", "<EditOnlySelection>True</EditOnlySelection>",
               "<TemporaryFolder>\\Temp</TemporaryFolder>", "<DeleteTempFile>False</DeleteTempFile>",
               "<Delay>350</Delay>", "</Settings>", "<Extensions>",
               "<Extension Extension=\"md\" Editor=\"C:\\ed.exe\" Parameters=\"-n &quot;%1&quot;\" "
               "UTF8=\"False\"/>",
               "<Extension Extension=\"txt\" Editor=\"\" Parameters=\"\" UTF8=\"True\"/>", "</Extensions>",
               "</Quillon>"})));
    EXPECT_EQ(settings.HotKey, 1602);
    EXPECT_EQ(settings.SaveContent, 0);
    EXPECT_EQ(settings.Insert, 1);
    EXPECT_EQ(settings.EditOnlySelection, 1);
    EXPECT_EQ(settings.TemporaryFolder, u"\\Temp");
    EXPECT_EQ(settings.DeleteTempFile, 0);
    EXPECT_EQ(settings.Delay, 350);
    ASSERT_EQ(settings.Extensions.size(), 2u);
    EXPECT_EQ(settings.Extensions[0], EXTENSIONREC(u"md", u"C:\\ed.exe", u"-n \"%1\"", 0));
    EXPECT_EQ(settings.Extensions[1], EXTENSIONREC(u"txt", u"", u"", 1));
}

TEST_F(ConfigFile, ValuesAreReadByTheirExactRules) {
    ASSERT_TRUE(LoadText(
        Lines({"<Quillon><Settings>", "<HotKey>70000</HotKey>",
               "<SaveContent>true</SaveContent>", // only "True" is true
               "<Insert>True </Insert>", "<Delay> 350ms</Delay>", "</Settings>", "<Extensions>",
               "<Extension Extension=\"md\"/>", "<Extension Extension=\"a\" UTF8=\"false\"/>",
               "<Extension Extension=\"b\" UTF8=\"False\"/>", "</Extensions>", "<Rules>",
               "<Rule Program=\"a.exe\" Extension=\"md\"/>",
               "<Rule Title=\"Mail\" Extension=\"b\" List=\"false\" Formatting=\"quiet\"/>",
               "<Rule Program=\"c.exe\" List=\"False\" Formatting=\"Quiet\"/>", "</Rules></Quillon>"})));
    EXPECT_EQ(settings.HotKey, 4464); // 70000 keeps its low 16 bits
    EXPECT_EQ(settings.SaveContent, 0);
    EXPECT_EQ(settings.Insert, 0);
    EXPECT_EQ(settings.Delay, 350);
    ASSERT_EQ(settings.Extensions.size(), 3u);
    EXPECT_EQ(settings.Extensions[0], EXTENSIONREC(u"md", u"", u"", 1));
    EXPECT_EQ(settings.Extensions[1].UTF8, 1); // anything but "False" is 1
    EXPECT_EQ(settings.Extensions[2].UTF8, 0);
    // A rule's List is 1 unless exactly "False"; only "Quiet" silences the formatting word.
    const std::vector<RULEREC> rules = {RULEREC(u"a.exe", u"", u"md", 1, 0),
                                        RULEREC(u"", u"Mail", u"b", 1, 0), RULEREC(u"c.exe", u"", u"", 0, 1)};
    EXPECT_EQ(settings.Rules, rules);

    SettingsFields other;
    CConfigXml xml2;
    WriteBytes(dir.Path("b.xml"),
               "<Quillon><Settings><HotKey>-1</HotKey><Delay>abc</Delay></Settings></Quillon>");
    ASSERT_TRUE(LoadConfigFile(xml2, dir.U16("b.xml"), other, DefaultConfigPlatform()));
    EXPECT_EQ(other.HotKey, 0xFFFF);
    EXPECT_EQ(other.Delay, 0);
}

TEST_F(ConfigFile, ZeroHotKeyAndNegativeDelayAreKeptAsRead) {
    ASSERT_TRUE(LoadText("<Quillon><Settings><HotKey>0</HotKey><Delay>-40</Delay></Settings></Quillon>"));
    EXPECT_EQ(settings.HotKey, 0);
    EXPECT_EQ(settings.Delay, -40);
    EXPECT_EQ(settings.EffectiveDelay(), 0); // waits never go negative
    ASSERT_TRUE(Rewrite());
    const std::string saved = FileBytes();
    EXPECT_NE(saved.find("<HotKey>0</HotKey>\r\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("<Delay>-40</Delay>\r\n"), std::string::npos) << saved;
}

TEST_F(ConfigFile, KeysOutOfOrderAreNotSeen) {
    // Insert before HotKey; Extensions before Settings.
    ASSERT_TRUE(
        LoadText(Lines({"<Quillon>", "<Extensions><Extension Extension=\"md\"/></Extensions>", "<Settings>",
                        "<Insert>True</Insert>", "<HotKey>1602</HotKey>", "<Delay>5</Delay>",
                        "<SaveContent>False</SaveContent>", "</Settings>", "</Quillon>"})));
    EXPECT_EQ(settings.HotKey, 1602);
    EXPECT_EQ(settings.Insert, 0);      // came before HotKey
    EXPECT_EQ(settings.SaveContent, 0); // after HotKey: seen
    EXPECT_EQ(settings.Delay, 200);     // ahead of SaveContent, which is read before it
    ASSERT_EQ(settings.Extensions.size(), 1u);
    EXPECT_EQ(settings.Extensions[0].Extension, u"txt"); // the table before Settings was not read
}

TEST_F(ConfigFile, AnyRootNameIsReadAndSavedAsQuillon) {
    ASSERT_TRUE(LoadText("<Config><Settings><Delay>7</Delay></Settings><Extensions/></Config>"));
    EXPECT_EQ(settings.Delay, 7);
    EXPECT_TRUE(settings.Extensions.empty()); // an empty Extensions element empties the table
    ASSERT_TRUE(Rewrite());
    std::string expected = FreshFile("<TemporaryFolder>C:\\Temp\\</TemporaryFolder>", {"<Extensions/>"});
    expected.replace(expected.find("<Delay>200"), 10, "<Delay>7");
    EXPECT_EQ(FileBytes(), expected);
}

TEST_F(ConfigFile, AFileWithoutExtensionsKeepsTheDefaultRow) {
    ASSERT_TRUE(LoadText("<Quillon><Settings/></Quillon>"));
    ASSERT_EQ(settings.Extensions.size(), 1u);
    EXPECT_EQ(settings.Extensions[0], EXTENSIONREC(u"txt", u"", u"", 1));
}

TEST_F(ConfigFile, MissingOrBrokenFilesLeaveEverySettingAsItWas) {
    const SettingsFields before = settings;
    EXPECT_FALSE(LoadConfigFile(xml, dir.U16("none.xml"), settings, DefaultConfigPlatform()));
    EXPECT_EQ(xml.LoadState(), ConfigLoadState::kNotLoaded);
    for (const char* broken : {"", "<Quillon><Settings><HotKey>1</HotKey></Settings>", "<Quillon/><Second/>",
                               "not xml at all", "<Quillon><HotKey>1</Hotkey></Quillon>"}) {
        CConfigXml fresh;
        WriteBytes(dir.Path("QLNConfig.xml"), broken);
        EXPECT_FALSE(LoadConfigFile(fresh, path, settings, DefaultConfigPlatform())) << broken;
        EXPECT_EQ(fresh.LoadState(), ConfigLoadState::kUnreadable) << broken;
    }
    EXPECT_EQ(settings.HotKey, before.HotKey);
    EXPECT_EQ(settings.Delay, before.Delay);
    EXPECT_EQ(settings.Extensions, before.Extensions);
}

TEST_F(ConfigFile, AFreshFileIsTheFourteenLinesOfTheLayout) {
    EXPECT_FALSE(LoadConfigFile(xml, path, settings, DefaultConfigPlatform())); // first run: no file
    const std::string fresh =
        FreshFile("<TemporaryFolder>C:\\Temp\\</TemporaryFolder>",
                  {"<Extensions>", "<Extension Extension=\"txt\" Editor=\"\" Parameters=\"\" UTF8=\"True\"/>",
                   "</Extensions>"});
    for (const char* save : {"first save", "saving again changes nothing"}) {
        ASSERT_TRUE(Save()) << save;
        EXPECT_EQ(FileBytes(), fresh) << save;
    }
    EXPECT_FALSE(fs::exists(dir.Path("QLNConfig.xml.new")));

    settings.Extensions.clear();
    settings.TemporaryFolder.clear();
    ASSERT_TRUE(Save());
    EXPECT_EQ(FileBytes(), FreshFile("<TemporaryFolder/>", {"<Extensions/>"}));
}

TEST_F(ConfigFile, ASaveRoundTripsEverySettingAndRowInOrder) {
    settings.HotKey = 0x4503; // Ctrl+Alt+E
    settings.SaveContent = 0;
    settings.Insert = 1;
    settings.EditOnlySelection = 1;
    settings.TemporaryFolder = u"C:\\A&B <x> \"q\" 'y'\\";
    settings.DeleteTempFile = 0;
    settings.Delay = 1234;
    settings.Extensions = {EXTENSIONREC(u"md", u"C:\\Program Files\\Ed & Co\\ed.exe", u"-a \"%1\" <x>", 0),
                           EXTENSIONREC(u"txt", u"", u"", 1), EXTENSIONREC(u"txt", u"", u"", 0)};
    settings.Rules = {RULEREC(u"thunderbird.exe", u"", u"md", 1), RULEREC(u"", u"A & \"B\"", u"txt", 0, 1),
                      RULEREC(u"x.exe", u"", u"gone", 1)};
    ASSERT_TRUE(Save());
    const std::string saved = FileBytes();
    EXPECT_NE(saved.find("<TemporaryFolder>C:\\A&amp;B &lt;x"), std::string::npos) << saved;
    // After the extensions, in the layout an older version passes over.
    EXPECT_NE(saved.find(Lines({"</Extensions>", "<Rules>",
                                "<Rule Program=\"thunderbird.exe\" Title=\"\" Extension=\"md\" List=\"True\" "
                                "Formatting=\"Tell\"/>"})),
              std::string::npos)
        << saved;

    SettingsFields loaded;
    CConfigXml again;
    ASSERT_TRUE(LoadConfigFile(again, path, loaded, DefaultConfigPlatform()));
    EXPECT_EQ(loaded.HotKey, settings.HotKey);
    EXPECT_EQ(loaded.SaveContent, 0);
    EXPECT_EQ(loaded.Insert, 1);
    EXPECT_EQ(loaded.EditOnlySelection, 1);
    EXPECT_EQ(loaded.TemporaryFolder, settings.TemporaryFolder);
    EXPECT_EQ(loaded.DeleteTempFile, 0);
    EXPECT_EQ(loaded.Delay, 1234);
    EXPECT_EQ(loaded.Extensions, settings.Extensions);
    EXPECT_EQ(loaded.Rules, settings.Rules) << "a rule naming an extension the table lacks is kept too";
}

TEST_F(ConfigFile, ASaveKeepsTheDeclarationAndTopLevelCommentsButNothingInsideTheRoot) {
    ASSERT_TRUE(LoadText(Lines({"<?xml version=\"1.0\" encoding=\"UTF-8\"?>", "<!-- mine -->",
                                "<Quillon version=\"2\">", "<Other>x</Other>",
                                "<Settings><Delay>9</Delay></Settings>", "<!-- inside -->", "</Quillon>"})));
    ASSERT_TRUE(Rewrite());
    const std::string saved = FileBytes();
    EXPECT_EQ(
        saved.rfind(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<!-- mine -->\r\n<Quillon>\r\n<Settings>\r\n", 0),
        0u)
        << saved;
    EXPECT_EQ(saved.find("Other"), std::string::npos);
    EXPECT_EQ(saved.find("inside"), std::string::npos);
    EXPECT_EQ(saved.find("version=\"2\""), std::string::npos);
    EXPECT_NE(saved.find("<Delay>9</Delay>"), std::string::npos);
}

TEST_F(ConfigFile, AUtf16FileWithAMarkIsWrittenBackAsUtf16WithTheMark) {
    ASSERT_TRUE(
        LoadText("\xFF\xFE" + Utf16LeBytes("<Quillon><Settings><Delay>77</Delay></Settings></Quillon>")));
    EXPECT_EQ(settings.Delay, 77);
    ASSERT_TRUE(Rewrite());
    std::string expected =
        FreshFile("<TemporaryFolder>C:\\Temp\\</TemporaryFolder>",
                  {"<Extensions>", "<Extension Extension=\"txt\" Editor=\"\" Parameters=\"\" UTF8=\"True\"/>",
                   "</Extensions>"});
    expected.replace(expected.find("<Delay>200"), 10, "<Delay>77");
    EXPECT_EQ(FileBytes(), "\xFF\xFE" + Utf16LeBytes(expected));
}

TEST_F(ConfigFile, AUtf8FileWithAMarkKeepsTheMark) {
    ASSERT_TRUE(LoadText("\xEF\xBB\xBF<Quillon><Settings><TemporaryFolder>C:\\T\xC3\xA9mp</TemporaryFolder></"
                         "Settings></Quillon>"));
    EXPECT_EQ(settings.TemporaryFolder, u"C:\\T\u00E9mp");
    ASSERT_TRUE(Rewrite());
    const std::string saved = FileBytes();
    EXPECT_EQ(saved.rfind("\xEF\xBB\xBF<Quillon>\r\n", 0), 0u);
    EXPECT_NE(saved.find("<TemporaryFolder>C:\\T\xC3\xA9mp</TemporaryFolder>"), std::string::npos);
}

TEST_F(ConfigFile, AnUnreadableFileIsKeptAsACopyAndReplacedByACleanOne) {
    const std::string broken = "<Quillon><Settings><Delay>9</Delay></Setings></Quillon>"; // a typo by hand
    EXPECT_FALSE(LoadText(broken));
    ASSERT_TRUE(Rewrite());
    EXPECT_EQ(ReadBytes(dir.Path("QLNConfig.xml.bak")), broken);
    EXPECT_EQ(
        FileBytes(),
        FreshFile("<TemporaryFolder>C:\\Temp\\</TemporaryFolder>",
                  {"<Extensions>", "<Extension Extension=\"txt\" Editor=\"\" Parameters=\"\" UTF8=\"True\"/>",
                   "</Extensions>"}));
    // The clean file reads back; later saves leave the copy alone.
    SettingsFields loaded;
    CConfigXml again;
    EXPECT_TRUE(LoadConfigFile(again, path, loaded, DefaultConfigPlatform()));
    settings.Delay = 5;
    ASSERT_TRUE(Save());
    EXPECT_EQ(ReadBytes(dir.Path("QLNConfig.xml.bak")), broken);
}

TEST_F(ConfigFile, AFailedSaveLeavesTheOldFileAndNoTemporaryFile) {
    const std::string original = Lines({"<Quillon>", "<Settings><Delay>9</Delay></Settings>", "</Quillon>"});
    ASSERT_TRUE(LoadText(original));
    settings.Delay = 10;

    CFaultyPlatform faulty;
    faulty.failFlush = true; // the new text could not be made durable
    EXPECT_FALSE(SaveConfigFile(xml, path, settings, faulty).Saved());
    EXPECT_EQ(FileBytes(), original);
    EXPECT_FALSE(fs::exists(dir.Path("QLNConfig.xml.new")));
    EXPECT_EQ(faulty.replaces, 0);

    faulty.failFlush = false;
    faulty.failReplace = true; // the switch itself failed
    EXPECT_FALSE(SaveConfigFile(xml, path, settings, faulty).Saved());
    EXPECT_EQ(FileBytes(), original);
    EXPECT_FALSE(fs::exists(dir.Path("QLNConfig.xml.new")));

    // The temporary file cannot be written at all.
    fs::create_directory(dir.Path("QLNConfig.xml.new"));
    EXPECT_FALSE(Save());
    EXPECT_EQ(FileBytes(), original);
    fs::remove(dir.Path("QLNConfig.xml.new"));

    // The next save that can succeed writes the settings in memory.
    ASSERT_TRUE(Save());
    EXPECT_NE(FileBytes().find("<Delay>10</Delay>"), std::string::npos);
}

TEST_F(ConfigFile, AnUnreadableFileIsNotReplacedWhenItsCopyCannotBeMade) {
    const std::string broken = "<Quillon><Settings>";
    EXPECT_FALSE(LoadText(broken));
    settings.Delay = 5; // a change to save, so the broken file is to be replaced
    CFaultyPlatform faulty;
    faulty.failCopy = true;
    EXPECT_FALSE(SaveConfigFile(xml, path, settings, faulty).Saved());
    EXPECT_EQ(FileBytes(), broken);
    EXPECT_FALSE(fs::exists(dir.Path("QLNConfig.xml.new")));
    // Still started afresh on the next try, which keeps the copy.
    ASSERT_TRUE(Rewrite());
    EXPECT_EQ(ReadBytes(dir.Path("QLNConfig.xml.bak")), broken);
    EXPECT_EQ(FileBytes().rfind("<Quillon>\r\n<Settings>\r\n<HotKey>31238</HotKey>\r\n", 0), 0u);
}

TEST_F(ConfigFile, ALeftoverTemporaryFileOfACrashedSaveIsOverwritten) {
    ASSERT_TRUE(LoadText("<Quillon/>"));
    WriteBytes(dir.Path("QLNConfig.xml.new"), "<Quillon><Sett"); // cut short by a crash
    ASSERT_TRUE(Rewrite());
    EXPECT_FALSE(fs::exists(dir.Path("QLNConfig.xml.new")));
    EXPECT_EQ(FileBytes().rfind("<Quillon>\r\n<Settings>\r\n", 0), 0u);
}

TEST_F(ConfigFile, AFileKeepsItsDeclaredEncodingUnlessThatWouldLoseText) {
    ASSERT_TRUE(LoadText("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<Quillon><Settings>"
                         "<TemporaryFolder>C:\\T\xE9mp</TemporaryFolder></Settings></Quillon>"));
    EXPECT_EQ(settings.TemporaryFolder, u"C:\\T\u00E9mp");
    ASSERT_TRUE(Save());
    EXPECT_NE(FileBytes().find("<TemporaryFolder>C:\\T\xE9mp</TemporaryFolder>"), std::string::npos);

    // A folder that Latin-1 cannot hold: written as UTF-8 with a mark, never as "?".
    settings.TemporaryFolder = u"C:\\\u65E5\u672C\\";
    ASSERT_TRUE(Save());
    const std::string saved = FileBytes();
    EXPECT_EQ(saved.rfind("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<Quillon>", 0), 0u)
        << saved;
    SettingsFields loaded;
    CConfigXml again;
    ASSERT_TRUE(LoadConfigFile(again, path, loaded, DefaultConfigPlatform()));
    EXPECT_EQ(loaded.TemporaryFolder, settings.TemporaryFolder);
}

// What the system's ANSI code page makes of the bytes.
static std::u16string Ansi(const std::string& bytes) {
    std::u16string text(BytesToUtf16(0, bytes.data(), bytes.size(), nullptr), u'\0');
    BytesToUtf16(0, bytes.data(), bytes.size(), text.data());
    return text;
}

TEST_F(ConfigFile, AnAnsiFileWithoutDeclarationKeepsItsAccentedFoldersAndEditors) {
    // Each pair of letters would pass a lax UTF-8 scan as one character.
    const std::string folder = "C:\\Temp\\\xC4\xF6";
    const std::string editor = "C:\\Tools\\\xDC\xE4\\\xC0\xFF.exe";
    ASSERT_TRUE(LoadText("<Quillon><Settings><TemporaryFolder>" + folder +
                         "</TemporaryFolder></Settings><Extensions><Extension Extension=\"txt\" Editor=\"" +
                         editor + "\" Parameters=\"\" UTF8=\"True\"/></Extensions></Quillon>"));
    EXPECT_EQ(settings.TemporaryFolder, Ansi(folder));
    ASSERT_EQ(settings.Extensions.size(), 1u);
    EXPECT_EQ(settings.Extensions[0].Editor, Ansi(editor));
    // Written back as UTF-8 (no declaration names the code page), which reads the same.
    ASSERT_TRUE(Rewrite());
    EXPECT_NE(FileBytes().find("<TemporaryFolder>" + ToUtf8(Ansi(folder)) + "</TemporaryFolder>"),
              std::string::npos);
    SettingsFields loaded;
    CConfigXml again;
    ASSERT_TRUE(LoadConfigFile(again, path, loaded, DefaultConfigPlatform()));
    EXPECT_EQ(loaded.TemporaryFolder, Ansi(folder));
    EXPECT_EQ(loaded.Extensions, settings.Extensions);
}

TEST_F(ConfigFile, ALinkedFileIsReplacedWhereItLivesAndKeepsItsPermissions) {
#ifdef _WIN32
    GTEST_SKIP() << "links and attributes on Windows are checked by the Windows suite";
#endif
    fs::create_directory(dir.Path("synced"));
    const fs::path real = dir.Path("synced") / "QLNConfig.xml";
    WriteBytes(real, "<Quillon><Settings><Delay>9</Delay></Settings></Quillon>");
    const fs::perms ownerOnly = fs::perms::owner_read | fs::perms::owner_write;
    fs::permissions(real, ownerOnly);
    fs::create_symlink(real, dir.Path("QLNConfig.xml"));
    ASSERT_TRUE(LoadConfigFile(xml, path, settings, DefaultConfigPlatform()));
    EXPECT_EQ(settings.Delay, 9);
    settings.Delay = 10;
    ASSERT_TRUE(Save());
    EXPECT_TRUE(fs::is_symlink(dir.Path("QLNConfig.xml")));
    EXPECT_NE(ReadBytes(real).find("<Delay>10</Delay>"), std::string::npos);
    EXPECT_EQ(fs::status(real).permissions() & fs::perms::all, ownerOnly);
    EXPECT_FALSE(fs::exists(dir.Path("synced") / "QLNConfig.xml.new"));
    EXPECT_FALSE(fs::exists(dir.Path("QLNConfig.xml.new")));
}

TEST_F(ConfigFile, ANewFileIsKeptWhenAFailedReplacementTookTheOldOne) {
    ASSERT_TRUE(LoadText("<Quillon/>"));
    settings.Delay = 11;
    CFaultyPlatform faulty;
    faulty.loseFileInReplace = true;
    EXPECT_FALSE(SaveConfigFile(xml, path, settings, faulty).Saved());
    EXPECT_NE(ReadBytes(dir.Path("QLNConfig.xml.new")).find("<Delay>11</Delay>"), std::string::npos);
}

// A file that did not load well-formed is not edited in place, declaration included: what
// the recovering parse made of it could be written back still broken (an unclosed comment
// before the root, say) and fail every later start. The copy keeps the original.
TEST_F(ConfigFile, AFileThatWasNotWellFormedIsWrittenAfreshWithoutItsDeclaration) {
    const std::string broken =
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<!-- mine <Quillon><Settings>";
    EXPECT_FALSE(LoadText(broken));
    ASSERT_TRUE(Rewrite());
    EXPECT_EQ(FileBytes().rfind("<Quillon>\r\n<Settings>\r\n", 0), 0u) << FileBytes();
    EXPECT_EQ(ReadBytes(dir.Path("QLNConfig.xml.bak")), broken);
}
