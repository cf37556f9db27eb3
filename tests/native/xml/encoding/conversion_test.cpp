// Conversions between byte encodings and UTF-16: the built-in fast paths, the platform codec,
// the loss flag, invalid input, and the two passes agreeing on the size.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "base/u16.h"
#include "xml/xml_encoding.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace quillon {
namespace {

constexpr char16_t kGuard = 0x5A5A;

// Both passes, with a guard after the exact size: the size pass must equal what the
// writing pass produces, and nothing may be written past it.
std::u16string Decode(int codePage, const std::string& bytes) {
    const size_t size = BytesToUtf16(codePage, bytes.data(), bytes.size(), nullptr);
    std::u16string out(size + 16, kGuard);
    const size_t written = BytesToUtf16(codePage, bytes.data(), bytes.size(), out.data());
    EXPECT_EQ(written, size) << "code page " << codePage;
    for (size_t i = size; i < out.size(); ++i)
        EXPECT_EQ(out[i], kGuard) << "code page " << codePage;
    out.resize(size);
    return out;
}

std::string Encode(int codePage, const std::u16string& text, bool* lossy = nullptr) {
    bool sizeLossy = true;
    const size_t size = Utf16ToBytes(codePage, text.data(), text.size(), nullptr, &sizeLossy);
    std::string out(size + 16, 'Z');
    bool writeLossy = !sizeLossy;
    const size_t written = Utf16ToBytes(codePage, text.data(), text.size(), out.data(), &writeLossy);
    EXPECT_EQ(written, size) << "code page " << codePage;
    EXPECT_EQ(writeLossy, sizeLossy) << "code page " << codePage;
    for (size_t i = size; i < out.size(); ++i)
        EXPECT_EQ(out[i], 'Z') << "code page " << codePage;
    out.resize(size);
    if (lossy)
        *lossy = writeLossy;
    return out;
}

bool PlatformHas(int codePage) {
#ifdef _WIN32
    return IsValidCodePage(static_cast<UINT>(codePage)) != 0;
#else
    (void)codePage;
    return true;
#endif
}

int SystemAnsi() {
#ifdef _WIN32
    return static_cast<int>(GetACP());
#else
    return 1252;
#endif
}

// A plain strict UTF-8 decoder written another way, to check the fast one against.
std::u16string ReferenceUtf8(const std::string& bytes) {
    std::u16string out;
    size_t i = 0;
    auto cont = [&](size_t k) {
        return i + k < bytes.size() ? static_cast<unsigned char>(bytes[i + k]) : 0u;
    };
    while (i < bytes.size()) {
        const unsigned b0 = static_cast<unsigned char>(bytes[i]);
        if (b0 < 0x80) {
            out += static_cast<char16_t>(b0);
            ++i;
            continue;
        }
        int length = b0 >= 0xC2 && b0 <= 0xDF   ? 2
                     : b0 >= 0xE0 && b0 <= 0xEF ? 3
                     : b0 >= 0xF0 && b0 <= 0xF4 ? 4
                                                : 0;
        if (!length) {
            out += u'\uFFFD';
            ++i;
            continue;
        }
        // Count how many of the following bytes fit the sequence.
        int good = 1;
        for (; good < length; ++good) {
            const unsigned b = cont(static_cast<size_t>(good));
            unsigned low = 0x80, high = 0xBF;
            if (good == 1) {
                if (b0 == 0xE0)
                    low = 0xA0;
                if (b0 == 0xED)
                    high = 0x9F;
                if (b0 == 0xF0)
                    low = 0x90;
                if (b0 == 0xF4)
                    high = 0x8F;
            }
            if (b < low || b > high)
                break;
        }
        if (good < length) {
            out += u'\uFFFD';
            i += static_cast<size_t>(good);
            continue;
        }
        uint32_t cp = b0 & (length == 2 ? 0x1F : length == 3 ? 0x0F : 0x07);
        for (int k = 1; k < length; ++k)
            cp = (cp << 6) | (cont(static_cast<size_t>(k)) & 0x3F);
        if (cp >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
        i += static_cast<size_t>(length);
    }
    return out;
}

TEST(Utf8Conversion, AsciiOfEveryLengthAndOffset) {
    std::string text;
    for (int i = 0; i < 100; ++i)
        text += static_cast<char>(' ' + i % 90);
    for (size_t offset = 0; offset < 16; ++offset)
        for (size_t length = 0; offset + length <= text.size(); ++length) {
            const std::string part = text.substr(offset, length);
            ASSERT_EQ(Decode(65001, part), u16(part));
            ASSERT_EQ(Encode(65001, u16(part)), part);
        }
}

TEST(Utf8Conversion, NonAsciiBytesAtEveryPositionOfAnAsciiRun) {
    for (size_t length = 1; length < 48; ++length)
        for (size_t at = 0; at < length; ++at) {
            std::string text(length, 'q');
            text.insert(at, "\xC3\xA9");
            std::u16string expected(length, u'q');
            expected.insert(at, 1, u'\u00E9');
            ASSERT_EQ(Decode(65001, text), expected) << length << " " << at;
            ASSERT_EQ(Encode(65001, expected), text) << length << " " << at;
        }
}

TEST(Utf8Conversion, FourByteSequencesBecomeSurrogatePairs) {
    EXPECT_EQ(Decode(65001, "a\xF0\x9F\x98\x80z"), u"a\U0001F600z");
    EXPECT_EQ(Decode(65001, "\xF4\x8F\xBF\xBF"), u"\U0010FFFF");
    EXPECT_EQ(Encode(65001, u"a\U0001F600z"), "a\xF0\x9F\x98\x80z");
}

TEST(Utf8Conversion, InvalidSequencesBecomeOneReplacementPerMaximalPart) {
    EXPECT_EQ(Decode(65001, "\x80"), u"\uFFFD");
    EXPECT_EQ(Decode(65001, "a\xFFz"), u"a\uFFFDz");
    EXPECT_EQ(Decode(65001, "\xC0\xAF"), u"\uFFFD\uFFFD");                     // overlong lead
    EXPECT_EQ(Decode(65001, "\xE0\x80\x80"), u"\uFFFD\uFFFD\uFFFD");           // overlong three-byte
    EXPECT_EQ(Decode(65001, "\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");           // a surrogate
    EXPECT_EQ(Decode(65001, "\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD"); // above U+10FFFF
    EXPECT_EQ(Decode(65001, "\xE2\x82z"), u"\uFFFDz");                         // cut short: one replacement
    EXPECT_EQ(Decode(65001, "ab\xF0\x9F\x98"), u"ab\uFFFD");                   // cut off by the end
    EXPECT_EQ(Decode(65001, std::string("a\0b", 3)), std::u16string(u"a\0b", 3)); // zero is data
}

TEST(Utf8Conversion, MatchesAPlainDecoderOnRandomBytes) {
    std::mt19937 random(7);
    const unsigned char pieces[] = {'a',  '<',  0x80, 0xBF, 0xC2, 0xC3, 0xDF, 0xE0, 0xE2, 0xED, 0xEF,
                                    0xF0, 0xF2, 0xF4, 0xF5, 0xFF, 0xA0, 0x9F, 0x90, 0x8F, 0x00};
    // Leads whose continuations are missing, cut by a byte that is never valid: the count of
    // a block must not credit a lead whose sequence it had to cut off.
    const std::string cut("\xF2\xF2\xF2\xF2\xF5\xF5\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 16);
    ASSERT_EQ(Decode(65001, cut), std::u16string(16, u'\uFFFD'));
    ASSERT_EQ(Decode(65001, "ab\xE2\x82\xF5" + std::string(13, 'x')),
              u"ab\uFFFD\uFFFD" + std::u16string(13, u'x'));
    for (int round = 0; round < 6000; ++round) {
        std::string text;
        const int length = static_cast<int>(random() % 60);
        for (int i = 0; i < length; ++i) {
            if (random() % 3 == 0)
                text += std::string(random() % 20, 'x');
            text += static_cast<char>(pieces[random() % sizeof pieces]);
        }
        ASSERT_EQ(Decode(65001, text), ReferenceUtf8(text)) << round;
    }
}

TEST(Utf8Conversion, MatchesAPlainDecoderOnMixedScriptsWithDamage) {
    // Long runs of characters of every length, as real multilingual text has them, with the
    // odd byte damaged, dropped or cut: block boundaries fall everywhere.
    std::mt19937 random(3);
    const char32_t samples[] = {U'a',      U' ',      U'<',          U'\u00E9',     U'\u0416',
                                U'\u05D0', U'\u07FF', U'\u0800',     U'\u4E2D',     U'\uD55C',
                                U'\uE000', U'\uFFFD', U'\U00010000', U'\U0001F600', U'\U0010FFFF'};
    for (int round = 0; round < 2000; ++round) {
        std::u16string units;
        for (int i = static_cast<int>(random() % 200); i > 0; --i) {
            const char32_t c = samples[random() % (sizeof samples / sizeof samples[0])];
            const int repeat = 1 + static_cast<int>(random() % 6);
            for (int k = 0; k < repeat; ++k) {
                if (c >= 0x10000) {
                    units += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
                    units += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
                } else {
                    units += static_cast<char16_t>(c);
                }
            }
        }
        std::string bytes = Encode(65001, units);
        ASSERT_EQ(Decode(65001, bytes), units) << round;
        for (int damage = static_cast<int>(random() % 4); damage > 0 && !bytes.empty(); --damage) {
            const size_t at = random() % bytes.size();
            switch (random() % 3) {
            case 0:
                bytes[at] = static_cast<char>(random() % 256);
                break;
            case 1:
                bytes.erase(at, 1);
                break;
            default:
                bytes.resize(at);
                break;
            }
        }
        ASSERT_EQ(Decode(65001, bytes), ReferenceUtf8(bytes)) << round;
    }
}

TEST(Utf8Conversion, UnpairedSurrogatesAreWrittenAsReplacementWithoutLoss) {
    bool lossy = true;
    EXPECT_EQ(Encode(65001, u"a\xD800z\xDC00", &lossy), "a\xEF\xBF\xBDz\xEF\xBF\xBD");
    EXPECT_FALSE(lossy); // UTF-8 never reports a loss
    EXPECT_EQ(Encode(65001, std::u16string(1, u'\xD83D')), "\xEF\xBF\xBD");
    EXPECT_EQ(Encode(65001, u"\u00E9\u20AC\u07FF\u0800"), "\xC3\xA9\xE2\x82\xAC\xDF\xBF\xE0\xA0\x80");
}

TEST(SingleByteConversion, Latin1) {
    std::string all;
    std::u16string expected;
    for (int b = 1; b < 256; ++b) {
        all += static_cast<char>(b);
        expected += static_cast<char16_t>(b);
    }
    EXPECT_EQ(Decode(28591, all), expected);
    bool lossy = true;
    EXPECT_EQ(Encode(28591, expected, &lossy), all);
    EXPECT_FALSE(lossy);
    EXPECT_EQ(Encode(28591, u"x\u20ACy\U0001F600z", &lossy), "x?y?z"); // a pair is one character
    EXPECT_TRUE(lossy);
}

TEST(SingleByteConversion, Windows1252) {
    EXPECT_EQ(Decode(1252, "\x80\x85\x8A\x9F\xA0\xE9"), u"\u20AC\u2026\u0160\u0178\u00A0\u00E9");
    // The five bytes without a character keep the C1 control of the same value.
    EXPECT_EQ(Decode(1252, "\x81\x8D\x8F\x90\x9D"), u"\u0081\u008D\u008F\u0090\u009D");
    std::string all;
    for (int b = 1; b < 256; ++b)
        all += static_cast<char>(b);
    bool lossy = true;
    EXPECT_EQ(Encode(1252, Decode(1252, all), &lossy), all);
    EXPECT_FALSE(lossy);
    EXPECT_EQ(Encode(1252, u"\u0080\u0100", &lossy), "??");
    EXPECT_TRUE(lossy);
}

TEST(SingleByteConversion, UsAscii) {
    EXPECT_EQ(Decode(20127, "ab\xE9z"), u"ab\uFFFDz");
    bool lossy = true;
    EXPECT_EQ(Encode(20127, u"ab\u00E9z", &lossy), "ab?z");
    EXPECT_TRUE(lossy);
    EXPECT_EQ(Encode(20127, u"plain", &lossy), "plain");
    EXPECT_FALSE(lossy);
}

TEST(SystemAnsiCodePage, ZeroAndUnknownConvertAsTheSystemCodePage) {
    const std::string bytes = "caf\xE9 \x80";
    const std::u16string expected = Decode(SystemAnsi(), bytes);
    EXPECT_EQ(Decode(0, bytes), expected);
    EXPECT_EQ(Decode(-1, bytes), expected);
#ifndef _WIN32
    EXPECT_EQ(Decode(0, bytes), u"caf\u00E9 \u20AC"); // windows-1252 here
#endif
    EXPECT_EQ(Encode(0, expected), Encode(SystemAnsi(), expected));
}

TEST(UnicodeByteForms, Utf16BothOrders) {
    const std::u16string text = u"A\u00E9\u20AC\U0001F600";
    const std::string le("A\0\xE9\0\xAC\x20\x3D\xD8\x00\xDE", 10);
    const std::string be("\0A\0\xE9\x20\xAC\xD8\x3D\xDE\x00", 10);
    EXPECT_EQ(Encode(1200, text), le);
    EXPECT_EQ(Encode(1201, text), be);
    EXPECT_EQ(Decode(1200, le), text);
    EXPECT_EQ(Decode(1201, be), text);
    EXPECT_EQ(Decode(1200, le + "x"), text + u"\uFFFD"); // a dangling odd byte
}

TEST(UnicodeByteForms, Utf32BothOrders) {
    const std::u16string text = u"A\u00E9\U0001F600";
    const std::string le("A\0\0\0\xE9\0\0\0\x00\xF6\x01\x00", 12);
    const std::string be("\0\0\0A\0\0\0\xE9\x00\x01\xF6\x00", 12);
    bool lossy = true;
    EXPECT_EQ(Encode(12000, text, &lossy), le);
    EXPECT_FALSE(lossy);
    EXPECT_EQ(Encode(12001, text), be);
    EXPECT_EQ(Decode(12000, le), text);
    EXPECT_EQ(Decode(12001, be), text);
}

TEST(UnicodeByteForms, InvalidUtf32BecomesReplacement) {
    const std::string bad("\x00\x00\x11\x00"
                          "\x00\xD8\x00\x00"
                          "\xFF\xFF\xFF\xFF"
                          "A\0\0\0"
                          "B\0",
                          18);
    EXPECT_EQ(Decode(12000, bad), u"\uFFFD\uFFFD\uFFFDA\uFFFD");
    bool lossy = false;
    EXPECT_EQ(Encode(12000, std::u16string(1, u'\xDC00'), &lossy), std::string("\xFD\xFF\0\0", 4));
    EXPECT_TRUE(lossy);
}

// Code pages converted by the platform: a sample text of each, its bytes, and back.
struct CodecCase {
    int codePage;
    std::u16string text;
    std::string bytes;
};

TEST(PlatformCodec, RoundTripsPerFamily) {
    const std::vector<CodecCase> cases = {
        {932, u"\u65E5\u672C\u8A9E \uFF71", "\x93\xFA\x96\x7B\x8C\xEA \xB1"},
        {936, u"\u4E2D\u6587", "\xD6\xD0\xCE\xC4"},
        {949, u"\uD55C\uAD6D\uC5B4", "\xC7\xD1\xB1\xB9\xBE\xEE"},
        {950, u"\u4E2D\u6587", "\xA4\xA4\xA4\xE5"},
        {1251, u"\u041F\u0440\u0438\u0432\u0435\u0442", "\xCF\xF0\xE8\xE2\xE5\xF2"},
        {1250, u"\u0141\u00F3d\u017A",
         "\xA3\xF3"
         "d\x9F"},
        {20866, u"\u041F\u0440\u0438", "\xF0\xD2\xC9"},
        {28592, u"\u0141\u00F3d\u017A",
         "\xA3\xF3"
         "d\xBC"},
        {28595, u"\u041F", "\xBF"},
        {437, u"\u00C7\u2591\u03B1", "\x80\xB0\xE0"},
        {10000, u"\u00C4\u2020", "\x80\xA0"},
        {51949, u"\uD55C", "\xC7\xD1"},
        {54936, u"\u4E2D\U0001F600", "\xD6\xD0\x94\x39\xFC\x36"},
        {65000, u"Hi Mom -\u263A-", "Hi Mom -+Jjo--"},
        {50220, u"a\u65E5b", "a\x1B$BF|\x1B(Bb"},
    };
    for (const CodecCase& c : cases) {
        if (!PlatformHas(c.codePage)) {
            std::cout << "code page " << c.codePage << " is not installed here\n";
            continue;
        }
        EXPECT_EQ(Decode(c.codePage, c.bytes), c.text) << "code page " << c.codePage;
        bool lossy = true;
        EXPECT_EQ(Encode(c.codePage, c.text, &lossy), c.bytes) << "code page " << c.codePage;
        EXPECT_FALSE(lossy) << "code page " << c.codePage;
    }
}

TEST(PlatformCodec, LossIsReportedOnlyWhereTheCodePageAllowsIt) {
    bool lossy = false;
    std::string bytes = Encode(1251, u"a\u4E2Db", &lossy);
    EXPECT_TRUE(lossy);
    EXPECT_EQ(bytes.size(), 3u);
    EXPECT_EQ(bytes.front(), 'a');
    EXPECT_EQ(bytes.back(), 'b');
    if (PlatformHas(50220)) {
        lossy = true;
        bytes = Encode(50220, u"a\u0416\u0E01b", &lossy); // Thai has no place in ISO-2022-JP
        EXPECT_FALSE(lossy);
        EXPECT_EQ(bytes.front(), 'a');
        EXPECT_EQ(bytes.back(), 'b');
    }
    lossy = true;
    Encode(65000, u"\u0E01\U0001F600", &lossy);
    EXPECT_FALSE(lossy);
    // Code pages the platform may not have at all still never report a loss.
    lossy = true;
    Encode(57002, u"\u4E2D", &lossy);
    EXPECT_FALSE(lossy);
}

TEST(PlatformCodec, InvalidBytesNeverFailTheConversion) {
    // Shift-JIS: a lead byte cut off by the end, a lead byte with an impossible trail, and an
    // unassigned single byte.
    const std::string bytes = "a\x81\x20z\xA0\x82";
    const std::u16string text = Decode(932, bytes);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.front(), u'a');
#ifndef _WIN32
    EXPECT_NE(text.find(u'\uFFFD'), std::u16string::npos);
#endif
    EXPECT_EQ(Decode(65000, "+++-\xFF"), Decode(65000, "+++-\xFF")); // sizes checked inside
}

TEST(PlatformCodec, BothPassesAgreeForEveryCodePageOfTheTable) {
    // Random bytes and random UTF-16 (with stray surrogates) through every named code page:
    // Decode/Encode check the two passes produce the same size and stay inside it.
    const int codePages[] = {
        154,   437,   708,   720,   737,   775,   850,   852,   853,   855,   857,   858,   860,   861,
        862,   863,   864,   865,   866,   869,   874,   932,   936,   949,   950,   1125,  1133,  1200,
        1201,  1250,  1251,  1252,  1253,  1254,  1255,  1256,  1257,  1258,  1361,  10000, 10001, 10002,
        10003, 10004, 10005, 10006, 10007, 10008, 10010, 10017, 10021, 10029, 10079, 10081, 10082, 12000,
        12001, 20000, 20001, 20002, 20003, 20004, 20005, 20105, 20106, 20107, 20108, 20127, 20261, 20269,
        20866, 20932, 20936, 20949, 21866, 28591, 28592, 28593, 28594, 28595, 28596, 28597, 28598, 28599,
        28603, 28605, 29001, 38598, 50220, 50221, 50222, 50225, 50227, 51932, 51936, 51949, 52936, 54936,
        57002, 57003, 57004, 57005, 57006, 57007, 57008, 57009, 57010, 57011, 65000, 65001};
    static_assert(sizeof codePages / sizeof codePages[0] == 110, "every code page of the name table");
    std::mt19937 random(11);
    for (int codePage : codePages) {
        for (int round = 0; round < 4; ++round) {
            std::string bytes(random() % 300, '\0');
            for (char& b : bytes)
                b = static_cast<char>(random() % 3 ? 0x20 + random() % 0x5F : random() % 256);
            const std::u16string text = Decode(codePage, bytes);
            std::u16string wide(random() % 300, u'\0');
            for (char16_t& c : wide) {
                const unsigned pick = random() % 8;
                c = static_cast<char16_t>(pick < 4    ? 0x20 + random() % 0x5F
                                          : pick < 6  ? random() % 0x3000
                                          : pick == 6 ? 0xD800 + random() % 0x800
                                                      : random() % 0x10000);
            }
            Encode(codePage, wide);
            Encode(codePage, text);
        }
    }
}

// A converter between two named encodings over `length` units of `source`.
EncodingConverter Converter(const char16_t* from, const char16_t* to, const void* source, size_t length) {
    EncodingConverter converter;
    converter.fromEncoding = from;
    converter.toEncoding = to;
    converter.source = source;
    converter.sourceLength = length;
    return converter;
}

TEST(EncodingConverter, DecodesByName) {
    const std::string bytes = "caf\xE9";
    EncodingConverter converter = Converter(u"ISO-8859-1", u"UTF-16", bytes.data(), bytes.size());
    ASSERT_TRUE(converter.Convert(nullptr));
    ASSERT_EQ(converter.outputLength, 4u);
    std::u16string out(4, u'#');
    ASSERT_TRUE(converter.Convert(out.data()));
    EXPECT_EQ(out, u"caf\u00E9");
    EXPECT_EQ(converter.outputLength, 4u);
    EXPECT_FALSE(converter.lossy);
}

TEST(EncodingConverter, EncodesByNameAndReportsLoss) {
    const std::u16string text = u"\u041F\u4E2D";
    EncodingConverter converter = Converter(u"UTF-16", u"windows-1251", text.data(), text.size());
    ASSERT_TRUE(converter.Convert(nullptr));
    EXPECT_EQ(converter.outputLength, 2u);
    EXPECT_TRUE(converter.lossy);
    std::string out(2, '#');
    ASSERT_TRUE(converter.Convert(out.data()));
    EXPECT_EQ(out[0], '\xCF');
    EXPECT_TRUE(converter.lossy);
}

TEST(EncodingConverter, TooSmallABufferIsRefusedAndLeftAlone) {
    const std::string bytes = "\xC3\xA9t\xC3\xA9";
    EncodingConverter converter = Converter(u"utf-8", u"UTF-16", bytes.data(), bytes.size());
    converter.outputLength = 2;
    std::u16string out(3, u'#');
    EXPECT_FALSE(converter.Convert(out.data()));
    EXPECT_EQ(converter.outputLength, 3u);
    EXPECT_EQ(out, u"###");
}

TEST(EncodingConverter, CountsInUnitsOfEachSide) {
    // UTF-32 source: length in 4-byte units; UTF-16BE target: length in 2-byte units.
    const std::string utf32("\x00\xF6\x01\x00"
                            "A\0\0\0",
                            8);
    EncodingConverter converter = Converter(u"utf-32", u"utf-16be", utf32.data(), 2);
    ASSERT_TRUE(converter.Convert(nullptr));
    EXPECT_EQ(converter.outputLength, 3u);
    std::string out(6, '#');
    converter.outputLength = 3;
    ASSERT_TRUE(converter.Convert(out.data()));
    EXPECT_EQ(out, std::string("\xD8\x3D\xDE\x00\x00"
                               "A",
                               6));
}

TEST(EncodingConverter, ByteToByteUnknownNamesAndEmptySource) {
    const std::string utf8 = "\xC3\xA9\xE2\x82\xAC";
    EncodingConverter converter = Converter(u"UTF-8", u"latin1", utf8.data(), utf8.size());
    ASSERT_TRUE(converter.Convert(nullptr));
    EXPECT_EQ(converter.outputLength, 2u);
    EXPECT_TRUE(converter.lossy); // no euro sign in Latin-1
    std::string out(2, '#');
    converter.outputLength = 2;
    ASSERT_TRUE(converter.Convert(out.data()));
    EXPECT_EQ(out, "\xE9?");

    const std::string ascii = "abc";
    EncodingConverter unknown = Converter(u"no-such-encoding", u"UTF-16", ascii.data(), ascii.size());
    ASSERT_TRUE(unknown.Convert(nullptr));
    EXPECT_EQ(unknown.outputLength, 3u);

    EncodingConverter empty = Converter(u"UTF-8", u"UTF-16", nullptr, 0);
    EXPECT_TRUE(empty.Convert(nullptr));
    EXPECT_EQ(empty.outputLength, 0u);
    empty.sourceLength = 5; // a length without a buffer
    EXPECT_FALSE(empty.Convert(nullptr));
}

} // namespace
} // namespace quillon
