// The settings file while Quillon runs: what the user changes in it by hand survives Exit.
#include "e2e/support/e2e.h"

using namespace quillon::e2e;

TEST(SettingsFile, AHandEditOfDelayWhileQuillonRunsSurvivesExit) {
    const std::string original = MakeConfigXml(('Q' << 8) | 0x03, {{L"txt", L"", L"", true}});
    CQuillon quillon(original);
    ASSERT_TRUE(quillon.Start());
    ASSERT_NE(quillon.ServerWindow(), nullptr);
    ASSERT_EQ(::WaitForInputIdle(quillon.Process().Handle(), 30000), 0u);

    // The user opens the file in an editor, changes Delay and saves, with Quillon running.
    std::string edited = original;
    const size_t at = edited.find("<Delay>200</Delay>");
    ASSERT_NE(at, std::string::npos) << original;
    edited.replace(at, 18, "<Delay>450</Delay>\r\n<!-- slower for my old machine -->");
    ASSERT_TRUE(WriteFileBytes(quillon.ConfigPath(), edited));

    ASSERT_TRUE(quillon.Exit()) << "Quillon.exe did not end after Exit";
    std::string after;
    ASSERT_TRUE(ReadFileBytes(quillon.ConfigPath(), after));
    EXPECT_EQ(after, edited) << "the hand edit was overwritten at Exit";
    EXPECT_FALSE(FileExists(quillon.ConfigPath() + L".new"));
    EXPECT_FALSE(FileExists(quillon.ConfigPath() + L".bak"));
}
