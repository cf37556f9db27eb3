// The UTF-8 rules: the lax scan, the strict check that decides how a file is read, and the
// single-character UTF-8 helpers.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "xml/xml_encoding.h"

namespace quillon {
namespace {

struct Scan {
    bool valid;
    size_t nonAscii;
    bool errorAtEnd;
};

Scan Check(const std::string& bytes) {
    Scan scan{false, 99, true};
    scan.valid = LooksLikeUtf8(bytes.data(), bytes.size(), &scan.nonAscii, &scan.errorAtEnd);
    return scan;
}

TEST(LooksLikeUtf8, AsciiAndWellFormedSequences) {
    Scan s = Check("");
    EXPECT_TRUE(s.valid);
    EXPECT_EQ(s.nonAscii, 0u);
    EXPECT_FALSE(s.errorAtEnd);
    s = Check("<a>plain</a>");
    EXPECT_TRUE(s.valid);
    EXPECT_EQ(s.nonAscii, 0u);
    s = Check("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80");
    EXPECT_TRUE(s.valid);
    EXPECT_EQ(s.nonAscii, 3u); // one per sequence
    EXPECT_TRUE(LooksLikeUtf8("x", 1, nullptr, nullptr));
}

TEST(LooksLikeUtf8, LaxRulesAcceptWhatAStrictDecoderWouldNot) {
    EXPECT_TRUE(Check("\xC0\x80").valid);              // overlong
    EXPECT_TRUE(Check("\x80\x80").valid);              // a continuation byte read as a lead
    EXPECT_TRUE(Check("\xC3\xC3").valid);              // bit 6 of the continuation is not examined
    EXPECT_TRUE(Check("\xED\xA0\x80").valid);          // a surrogate
    EXPECT_TRUE(Check("\xF7\xBF\xBF\xBF").valid);      // four-byte lead pattern beyond U+10FFFF
    EXPECT_FALSE(Check("\xF8\x80\x80\x80\x80").valid); // bits 5, 4 and 3 set
    EXPECT_FALSE(Check("\xFF").valid);
}

TEST(LooksLikeUtf8, InvalidSequencesAndTheErrorAtTheEnd) {
    Scan s = Check("ab\xC3z");
    EXPECT_FALSE(s.valid);
    EXPECT_FALSE(s.errorAtEnd);
    s = Check("ab\xE2\x82");
    EXPECT_FALSE(s.valid);
    EXPECT_TRUE(s.errorAtEnd);
    EXPECT_EQ(s.nonAscii, 1u);
    s = Check("\xC3\xA9\xC3\xA9\xF0\x9F");
    EXPECT_FALSE(s.valid);
    EXPECT_TRUE(s.errorAtEnd);
    EXPECT_EQ(s.nonAscii, 3u);
    // Latin-1 text is the common case of "not UTF-8".
    EXPECT_FALSE(Check("<a>caf\xE9</a>").valid);
}

TEST(LooksLikeUtf8, TheScanEndsAtAZeroByte) {
    EXPECT_TRUE(Check(std::string("abc\0\xFF\xFF", 6)).valid);
    // A sequence broken by a zero byte is invalid but not cut off by the end of the buffer.
    Scan s = Check(std::string("ab\xC3\0\xA9", 5));
    EXPECT_FALSE(s.valid);
    EXPECT_FALSE(s.errorAtEnd);
}

TEST(LooksLikeUtf8, FindsTheFaultAtEveryPositionOfALongBuffer) {
    // Long ASCII runs are skipped in blocks; a fault anywhere must still be seen.
    for (size_t length = 1; length < 70; ++length) {
        for (size_t at = 0; at < length; ++at) {
            std::string text(length, 'x');
            text[at] = '\xFF';
            EXPECT_FALSE(Check(text).valid) << length << " " << at;
            text[at] = '\0';
            std::string tail = text + "\xFF";
            EXPECT_TRUE(Check(tail).valid) << length << " " << at;
            text[at] = '\xC3';
            Scan s = Check(text);
            EXPECT_FALSE(s.valid);
            EXPECT_EQ(s.errorAtEnd, at + 1 == length);
            EXPECT_EQ(s.nonAscii, 1u);
        }
    }
}

// The strict check decides what files are read as UTF-8, so it must accept exactly the bytes
// that the conversion turns into text without a replacement character of its own making.
TEST(IsStrictUtf8, AcceptsExactlyWhatConvertsWithoutReplacement) {
    using namespace std::string_view_literals;
    struct Case {
        std::string_view bytes;
        bool valid;
    };
    const Case cases[] = {
        {"<a>caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80</a>"sv, true},
        {"\xEF\xBF\xBD literal U+FFFD"sv, true},
        {"\xF4\x8F\xBF\xBF"sv, true},
        {"a\0b"sv, true},              // a zero byte is ASCII here
        {"\xC4\xF6"sv, false},         // an A and an o with umlauts in windows-1252; the lax scan says UTF-8
        {"\xC0\xFF"sv, false},         // Cyrillic A and ya in windows-1251
        {"\xC3\xC3"sv, false},         // bit 6 of the continuation set
        {"\xC0\xAF"sv, false},         // overlong
        {"\xE0\x80\xAF"sv, false},     // overlong
        {"\xED\xA0\x80"sv, false},     // a surrogate
        {"\xF4\x90\x80\x80"sv, false}, // beyond U+10FFFF
        {"\xF5\x80\x80\x80"sv, false},
        {"\x80"sv, false},
        {"abcdefghijklmno\xE2\x82"sv, false}, // cut off after a long ASCII run
    };
    for (const Case& c : cases) {
        const std::string bytes(c.bytes);
        EXPECT_EQ(IsStrictUtf8(bytes.data(), bytes.size()), c.valid) << bytes;
        // Accepted bytes survive a decode and encode unchanged; refused ones do not.
        std::u16string text(BytesToUtf16(65001, bytes.data(), bytes.size(), nullptr), u'\0');
        BytesToUtf16(65001, bytes.data(), bytes.size(), text.data());
        std::string back(Utf16ToBytes(65001, text.data(), text.size(), nullptr, nullptr), '\0');
        Utf16ToBytes(65001, text.data(), text.size(), back.data(), nullptr);
        EXPECT_EQ(back == bytes, c.valid) << bytes;
    }
    // A fault after a long run of ASCII, at every alignment.
    for (size_t at = 0; at < 40; ++at) {
        std::string text(48, 'x');
        text[at] = '\xC4';
        EXPECT_FALSE(IsStrictUtf8(text.data(), text.size())) << at;
    }
}

int Decode(const std::string& bytes, size_t* consumed) {
    const char* cursor = bytes.data();
    const int cp = DecodeUtf8Char(cursor, bytes.data() + bytes.size());
    *consumed = static_cast<size_t>(cursor - bytes.data());
    return cp;
}

TEST(DecodeUtf8Char, DecodesOneSequenceAndAdvances) {
    size_t used = 0;
    EXPECT_EQ(Decode("A", &used), 'A');
    EXPECT_EQ(used, 1u);
    EXPECT_EQ(Decode(std::string("\0x", 2), &used), 0);
    EXPECT_EQ(used, 1u);
    EXPECT_EQ(Decode("\xC3\xA9z", &used), 0xE9);
    EXPECT_EQ(used, 2u);
    EXPECT_EQ(Decode("\xE2\x82\xAC", &used), 0x20AC);
    EXPECT_EQ(used, 3u);
    EXPECT_EQ(Decode("\xF0\x9F\x98\x80", &used), 0x1F600);
    EXPECT_EQ(used, 4u);
    EXPECT_EQ(Decode("\xF4\x8F\xBF\xBF", &used), 0x10FFFF);
    // Lax: an overlong form decodes to its value, bit 6 of a continuation is ignored.
    EXPECT_EQ(Decode("\xC0\x80", &used), 0);
    EXPECT_EQ(Decode("\xC3\xE9", &used), (0x03 << 6) | 0x29);
}

TEST(DecodeUtf8Char, InvalidAndCutOffSequences) {
    size_t used = 0;
    EXPECT_EQ(Decode("", &used), -1);
    EXPECT_EQ(used, 0u);
    EXPECT_EQ(Decode("\xF8\x80", &used), -1);
    EXPECT_EQ(used, 1u);
    EXPECT_EQ(Decode("\xE2\x82", &used), -1);
    EXPECT_EQ(used, 2u);
    EXPECT_EQ(Decode("\xE2\x82z", &used), -1);
    EXPECT_EQ(used, 2u); // the ASCII byte is left for the next call
    const char* nothing = nullptr;
    EXPECT_EQ(DecodeUtf8Char(nothing, nullptr), -1);
}

std::string Encode(int cp) {
    size_t length = 0;
    EncodeUtf8Char(cp, nullptr, length);
    std::string out(length + 2, '#');
    size_t written = 1; // writes go at out[length], after what is there
    EncodeUtf8Char(cp, out.data(), written);
    EXPECT_EQ(written, length + 1);
    EXPECT_EQ(out[0], '#');
    EXPECT_EQ(out.back(), '#');
    return out.substr(1, length);
}

TEST(EncodeUtf8Char, LengthsAtEveryBoundary) {
    EXPECT_EQ(Encode(0), std::string(1, '\0'));
    EXPECT_EQ(Encode(0x7F), "\x7F");
    EXPECT_EQ(Encode(0x80), "\xC2\x80");
    EXPECT_EQ(Encode(0x7FF), "\xDF\xBF");
    EXPECT_EQ(Encode(0x800), "\xE0\xA0\x80");
    EXPECT_EQ(Encode(0xFFFF), "\xEF\xBF\xBF");
    EXPECT_EQ(Encode(0x10000), "\xF0\x90\x80\x80");
    EXPECT_EQ(Encode(0x10FFFF), "\xF4\x8F\xBF\xBF");
}

TEST(EncodeUtf8Char, ValuesOutsideUnicodeBecomeTheReplacementCharacter) {
    EXPECT_EQ(Encode(-1), "\xEF\xBF\xBD");
    EXPECT_EQ(Encode(0x110000), "\xEF\xBF\xBD");
    EXPECT_EQ(Encode(0x7FFFFFFF), "\xEF\xBF\xBD");
}

TEST(EncodeUtf8Char, RoundTripsThroughTheDecoder) {
    for (int cp = 0; cp <= 0x10FFFF; cp += (cp < 0x1000 ? 1 : 97)) {
        std::string bytes = Encode(cp);
        size_t used = 0;
        ASSERT_EQ(Decode(bytes, &used), cp);
        ASSERT_EQ(used, bytes.size());
    }
}

} // namespace
} // namespace quillon
