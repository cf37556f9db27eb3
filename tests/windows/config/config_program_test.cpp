// The real program on a settings file of its own: an ANSI file without declaration keeps its
// accented folders through a start and an Exit (which saves the settings only if they changed).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "base/u16.h"
#include "e2e/support/e2e.h"

using namespace quillon;
using namespace quillon::e2e;

TEST(ConfigThroughTheProgram, AnAnsiFileWithoutDeclarationKeepsItsAccentedFolders) {
    // Each pair of letters would pass a lax UTF-8 scan as one (wrong) character.
    const std::string folder = "C:\\Temp\\\xC4\xF6";
    const std::string editor = "C:\\Tools\\\xDC\xE4\\ed\xC0\xFF.exe";
    const std::string file =
        "<Quillon>\r\n<Settings>\r\n<HotKey>0</HotKey>\r\n<TemporaryFolder>" + folder +
        "</TemporaryFolder>\r\n</Settings>\r\n<Extensions>\r\n<Extension Extension=\"txt\" "
        "Editor=\"" +
        editor + "\" Parameters=\"\" UTF8=\"False\"/>\r\n</Extensions>\r\n</Quillon>\r\n";
    CQuillon quillon(file);
    ASSERT_TRUE(quillon.Start());
    ASSERT_NE(quillon.ServerWindow(), nullptr);
    ASSERT_TRUE(quillon.Exit()) << "Quillon.exe did not end after Exit";

    std::string written;
    ASSERT_TRUE(ReadFileBytes(quillon.ConfigPath(), written));
    // Nothing was changed, so the file is left exactly as it was (the native suite checks what
    // a save that writes makes of it: the same letters, in UTF-8).
    EXPECT_EQ(written, file);
    EXPECT_FALSE(FileExists(quillon.ConfigPath() + L".bak")) << "a readable file was taken for a broken one";
    EXPECT_FALSE(FileExists(quillon.ConfigPath() + L".new"));
}
