// The UTF-8/UTF-16 helpers: surrogate pairs, invalid input never dropped silently.
#include <gtest/gtest.h>
#include "base/u16.h"

#include "base/utf8.h"

using quillon::FromUtf8;
using quillon::ToUtf8;

// The strict rules at every edge of the second byte's range, and cut-off sequences.
TEST(Utf8, StrictLengthsAtTheEdgesOfEachRange) {
    const struct {
        const char* bytes;
        size_t length;
        char32_t value;
    } cases[] = {
        {"\x7F", 1, 0x7F},
        {"\xC2\x80", 2, 0x80},
        {"\xC1\xBF", 0, 0},
        {"\xDF\xBF", 2, 0x7FF},
        {"\xE0\xA0\x80", 3, 0x800},
        {"\xE0\x9F\xBF", 0, 0},
        {"\xED\x9F\xBF", 3, 0xD7FF},
        {"\xED\xA0\x80", 0, 0},
        {"\xEF\xBF\xBF", 3, 0xFFFF},
        {"\xF0\x90\x80\x80", 4, 0x10000},
        {"\xF0\x8F\xBF\xBF", 0, 0},
        {"\xF4\x8F\xBF\xBF", 4, 0x10FFFF},
        {"\xF4\x90\x80\x80", 0, 0},
        {"\xF5\x80\x80\x80", 0, 0},
        {"\x80", 0, 0},
        {"\xE2\x82", 0, 0},
        {"\xC3\x28", 0, 0},
    };
    for (const auto& c : cases) {
        const auto* p = reinterpret_cast<const unsigned char*>(c.bytes);
        const size_t size = std::char_traits<char>::length(c.bytes);
        ASSERT_EQ(quillon::StrictUtf8Length(p, p + size), c.length) << c.bytes;
        EXPECT_EQ(quillon::IsStrictUtf8(c.bytes, size), c.length != 0) << c.bytes;
        if (c.length == 0)
            continue;
        EXPECT_EQ(quillon::DecodeUtf8Sequence(p, c.length), c.value) << c.bytes;
        char out[4];
        EXPECT_EQ(std::string(out, quillon::EncodeUtf8(c.value, out)), c.bytes);
    }
}

TEST(U16, RoundTripsBmpAndAstral) {
    std::u16string s = u"a\u00e9\u20ac\U0001F600z";
    EXPECT_EQ(FromUtf8(ToUtf8(s)), s);
    EXPECT_EQ(ToUtf8(s), "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z");
}

TEST(U16, InvalidInputBecomesReplacementCharacters) {
    EXPECT_EQ(FromUtf8("\xC3"), u"\uFFFD");           // cut-off sequence
    EXPECT_EQ(FromUtf8("\xC0\xAF"), u"\uFFFD\uFFFD"); // overlong
    EXPECT_EQ(FromUtf8("\xE2\x28\xA1"), u"\uFFFD(\uFFFD");
    EXPECT_EQ(FromUtf8("\xED\xA0\x80"), u"\uFFFD");             // encoded surrogate
    EXPECT_EQ(FromUtf8("\xE0\x80\x80"), u"\uFFFD");             // overlong, one character's worth
    EXPECT_EQ(FromUtf8("\xF4\x90\x80\x80"), u"\uFFFD");         // above U+10FFFF
    EXPECT_EQ(FromUtf8("\xF0\x9F\x98"), u"\uFFFD\uFFFD\uFFFD"); // cut off: byte by byte
    EXPECT_EQ(ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}
