// The real program on a settings file of its own: an ANSI file without declaration keeps its
// accented folders through a start and an Exit (which saves the settings).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "base/u16.h"
#include "e2e/support/e2e.h"
#include "xml/xml_encoding.h"

using namespace quillon;
using namespace quillon::e2e;

namespace {

// What the system's ANSI code page makes of the bytes, as UTF-8.
std::string AnsiAsUtf8(const std::string& bytes) {
    std::u16string text(BytesToUtf16(0, bytes.data(), bytes.size(), nullptr), u'\0');
    BytesToUtf16(0, bytes.data(), bytes.size(), text.data());
    return ToUtf8(text);
}

} // namespace

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
    // The file names no code page, so it is written back as UTF-8: the same letters.
    EXPECT_NE(written.find("<TemporaryFolder>" + AnsiAsUtf8(folder) + "</TemporaryFolder>\r\n"),
              std::string::npos)
        << written;
    EXPECT_NE(written.find("<Extension Extension=\"txt\" Editor=\"" + AnsiAsUtf8(editor) +
                           "\" Parameters=\"\" UTF8=\"False\"/>\r\n"),
              std::string::npos)
        << written;
    EXPECT_EQ(written.find("\xEF\xBF\xBD"), std::string::npos) << "a replacement character was written";
    EXPECT_FALSE(FileExists(quillon.ConfigPath() + L".bak")) << "a readable file was taken for a broken one";
}
