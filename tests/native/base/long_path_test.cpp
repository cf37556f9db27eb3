// Long Windows paths as text: system texts read whole, and the extended-length form.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>

#include "base/long_path.h"

using namespace quillon;

TEST(LongPath, SystemTextLongerThanTheClassicLimitIsReadWhole) {
    const std::u16string longPath = u"C:\\" + std::u16string(70000 / 2, u'p') + u"\\Quillon.exe";
    const std::u16string deepPath = u"C:\\" + std::u16string(400, u'd') + u"\\Quillon.exe";
    int calls = 0;
    // As GetModuleFileNameW: writes what fits and returns the buffer size when cut.
    auto moduleQuery = [&](const std::u16string& text) {
        return [&text, &calls](char16_t* buffer, size_t size) -> size_t {
            ++calls;
            const size_t n = std::min(text.size(), size - 1);
            std::copy(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n), buffer);
            buffer[n] = 0;
            return text.size() >= size ? size : n;
        };
    };
    EXPECT_EQ(QueryGrowing<char16_t>(moduleQuery(deepPath)), deepPath);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(QueryGrowing<char16_t>(moduleQuery(u"C:\\Q.exe")), u"C:\\Q.exe");
    // Longer than any path can be: refused rather than cut.
    EXPECT_EQ(QueryGrowing<char16_t>(moduleQuery(longPath)), u"");

    // As GetEnvironmentVariableW: returns the size needed, terminator included.
    const std::u16string value(1000, u'v');
    auto needQuery = [&value](char16_t* buffer, size_t size) -> size_t {
        if (value.size() + 1 > size)
            return value.size() + 1;
        std::copy(value.begin(), value.end(), buffer);
        return value.size();
    };
    EXPECT_EQ(QueryGrowing<char16_t>(needQuery), value);
    EXPECT_EQ(QueryGrowing<char16_t>([](char16_t*, size_t) -> size_t { return 0; }), u"");
}

TEST(LongPath, EachFinalPathOfALongFolderDecidesItsOwnExtendedForm) {
    // Folders just short of the limit hold files whose names reach it: the settings file,
    // the new text of a save and the copy of an unreadable file.
    for (size_t folderLength = 236; folderLength <= 250; ++folderLength) {
        const std::u16string folder = u"C:\\" + std::u16string(folderLength - 3, u'f');
        for (const char16_t* leaf : {u"\\QLNConfig.xml", u"\\QLNConfig.xml.new", u"\\QLNConfig.xml.bak"}) {
            const std::u16string path = folder + leaf;
            const std::u16string form = ExtendedLengthPath(path);
            if (path.size() < kClassicPathLimit)
                EXPECT_EQ(form, path) << path.size();
            else
                EXPECT_EQ(form, u"\\\\?\\" + path) << path.size();
        }
    }
    // The extended form is taken literally by the system, so it is tidied here.
    const std::u16string deep(260, u'd');
    EXPECT_EQ(ExtendedLengthPath(u"c:/Users/./me/../you//" + deep), u"\\\\?\\c:\\Users\\you\\" + deep);
    EXPECT_EQ(ExtendedLengthPath(u"C:\\..\\" + deep + u"\\"), u"\\\\?\\C:\\" + deep);
    EXPECT_EQ(ExtendedLengthPath(u"\\\\server\\share\\..\\" + deep), u"\\\\?\\UNC\\server\\share\\" + deep);
    // Already extended, a device path or relative: as given.
    for (const std::u16string& asIs :
         {u"\\\\?\\C:\\" + deep, u"\\\\.\\pipe\\" + deep, deep + u"\\x.xml", u"C:" + deep, u"\\" + deep}) {
        EXPECT_EQ(ExtendedLengthPath(asIs), asIs);
    }
}
