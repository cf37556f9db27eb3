// The UTF-8/UTF-16 helpers: surrogate pairs, invalid input never dropped silently.
#include <gtest/gtest.h>
#include "base/u16.h"

using quillon::FromUtf8;
using quillon::ToUtf8;

TEST(U16, RoundTripsBmpAndAstral) {
    std::u16string s = u"a\u00e9\u20ac\U0001F600z";
    EXPECT_EQ(FromUtf8(ToUtf8(s)), s);
    EXPECT_EQ(ToUtf8(s), "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z");
}

TEST(U16, InvalidInputBecomesReplacementCharacters) {
    EXPECT_EQ(FromUtf8("\xC3"), u"\uFFFD");           // cut-off sequence
    EXPECT_EQ(FromUtf8("\xC0\xAF"), u"\uFFFD\uFFFD"); // overlong
    EXPECT_EQ(FromUtf8("\xE2\x28\xA1"), u"\uFFFD(\uFFFD");
    EXPECT_EQ(FromUtf8("\xED\xA0\x80"), u"\uFFFD");   // encoded surrogate
    EXPECT_EQ(ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}
