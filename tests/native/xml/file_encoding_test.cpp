// Files and encodings: byte-order marks, UTF-16 both ways, declared and detected
// encodings, null removal, the report of each read and write, and saving back in the
// file's own encoding.
#include "xml/xml_encoding.h"
#include "xml/xml_file.h"
#include "xml_test_support.h"

namespace quillon::test {
namespace {

const std::string kBody =
    "<config>\r\n<name>caf\xC3\xA9 \xE2\x82\xAC</name>\r\n<item key=\"a&amp;b\" on/>\r\n</config>\r\n";

std::string Num(size_t n) {
    return std::to_string(n);
}

// The outcome of the last load or save tells the same steps as its report text.
void ExpectOutcomeAsReported(const CXmlDocument& doc) {
    const DocumentFileOutcome& outcome = doc.GetFileOutcome();
    const std::u16string& report = doc.GetResult();
    auto has = [&](const char16_t* entry) { return report.find(entry) != std::u16string::npos; };
    EXPECT_EQ(outcome.fileError, has(u"<file_error ")) << A(report);
    EXPECT_EQ(outcome.mark, has(u"<bom/>")) << A(report);
    EXPECT_EQ(outcome.nullsRemoved, has(u"<nulls_removed ")) << A(report);
    EXPECT_EQ(outcome.endianSwap, has(u"<endian_swap/>")) << A(report);
    EXPECT_EQ(outcome.utf8Detection, has(u"<utf8_detection/>")) << A(report);
    EXPECT_EQ(outcome.conversionLoss, has(u"<conversion_loss/>")) << A(report);
}

void ExpectBodyRead(CXmlDocument& doc) {
    ASSERT_TRUE(doc.CheckWellFormed()) << A(doc.GetResult());
    EXPECT_EQ(doc.GetDocument(), U(kBody));
    ASSERT_TRUE(doc.FindChildElement(u"name"));
    EXPECT_EQ(doc.GetChildText(), U("caf\xC3\xA9 \xE2\x82\xAC"));
    ASSERT_TRUE(doc.FindChildElement(u"item"));
    EXPECT_EQ(doc.GetChildAttribute(u"key"), u"a&b");
    EXPECT_EQ(doc.GetChildAttribute(u"on"), u"on");
}

TEST(XmlFile, Utf8WithMarkIsWrittenBackWithIt) {
    CXmlDocument doc;
    ASSERT_TRUE(doc.LoadFile(FixturePath("utf8_bom.xml"))) << A(doc.GetResult());
    ExpectOutcomeAsReported(doc);
    ExpectBodyRead(doc);
    EXPECT_EQ(A(doc.GetResult()), "<bom/><read encoding=\"UTF-8\" length=\"" + Num(kBody.size()) +
                                      "\"/><converted_to encoding=\"UTF-16\" length=\"" +
                                      Num(U(kBody).size()) + "\"/>");
    EXPECT_EQ(doc.GetDocumentFlags(), CXmlDocument::kFlagUtf8Bom);
    TempDir dir;
    ASSERT_TRUE(doc.SaveFile(dir.Path("out.xml"))) << A(doc.GetResult());
    ExpectOutcomeAsReported(doc);
    EXPECT_EQ(dir.Read("out.xml"), "\xEF\xBB\xBF" + kBody);
    EXPECT_EQ(A(doc.GetResult()), "<bom/><converted_from encoding=\"UTF-16\" length=\"" +
                                      Num(U(kBody).size()) + "\"/><write encoding=\"UTF-8\" length=\"" +
                                      Num(kBody.size()) + "\"/>");
}

TEST(XmlFile, Utf8WithoutMarkRunsTheDetection) {
    CXmlDocument doc;
    ASSERT_TRUE(doc.LoadFile(FixturePath("utf8.xml"))) << A(doc.GetResult());
    ExpectBodyRead(doc);
    EXPECT_EQ(A(doc.GetResult()), "<read encoding=\"UTF-8\" length=\"" + Num(kBody.size()) +
                                      "\"/><utf8_detection/><converted_to encoding=\"UTF-16\" length=\"" +
                                      Num(U(kBody).size()) + "\"/>");
    EXPECT_EQ(doc.GetDocumentFlags(), 0u);
    TempDir dir;
    ASSERT_TRUE(doc.SaveFile(dir.Path("out.xml")));
    EXPECT_EQ(dir.Read("out.xml"), kBody); // no declaration: UTF-8 without a mark
}

TEST(XmlFile, Utf16LittleEndianReadsWithoutConversion) {
    CXmlDocument doc;
    ASSERT_TRUE(doc.LoadFile(FixturePath("utf16le.xml"))) << A(doc.GetResult());
    ExpectOutcomeAsReported(doc);
    ExpectBodyRead(doc);
    EXPECT_EQ(A(doc.GetResult()),
              "<bom/><read encoding=\"UTF-16LE\" length=\"" + Num(U(kBody).size()) + "\"/>");
    EXPECT_EQ(doc.GetDocumentFlags(), CXmlDocument::kFlagUtf16LE);
}

TEST(XmlFile, Utf16BigEndianIsSwappedBothWays) {
    CXmlDocument doc;
    ASSERT_TRUE(doc.LoadFile(FixturePath("utf16be.xml"))) << A(doc.GetResult());
    ExpectOutcomeAsReported(doc);
    ExpectBodyRead(doc);
    EXPECT_EQ(A(doc.GetResult()),
              "<bom/><read encoding=\"UTF-16BE\" length=\"" + Num(U(kBody).size()) + "\"/><endian_swap/>");
    EXPECT_EQ(doc.GetDocumentFlags(), CXmlDocument::kFlagUtf16BE);
    doc.ResetPosition();
    ASSERT_TRUE(doc.FindChildElement(u"item"));
    ASSERT_TRUE(doc.SetChildAttribute(u"x", u"\u20AC"));
    TempDir dir;
    ASSERT_TRUE(doc.SaveFile(dir.Path("out.xml")));
    const std::string bytes = dir.Read("out.xml");
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(bytes.substr(0, 4), std::string("\xFE\xFF\x00<", 4));
    CXmlDocument again;
    ASSERT_TRUE(again.LoadFile(dir.Path("out.xml")));
    EXPECT_EQ(again.GetDocument(), doc.GetDocument());
    // A stale big-endian bit does not turn the next (UTF-8) file into UTF-16.
    ASSERT_TRUE(again.LoadFile(FixturePath("utf8.xml"))) << A(again.GetResult());
    EXPECT_EQ(again.GetDocument(), U(kBody));
}

TEST(XmlFile, DeclaredWindows1252IsConverted) {
    CXmlDocument doc;
    ASSERT_TRUE(doc.LoadFile(FixturePath("cp1252.xml"))) << A(doc.GetResult());
    const std::u16string expected = U("<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n" + kBody);
    EXPECT_EQ(doc.GetDocument(), expected);
    EXPECT_EQ(A(doc.GetResult()), "<read encoding=\"windows-1252\" length=\"" + Num(expected.size()) +
                                      "\"/><converted_to encoding=\"UTF-16\" length=\"" +
                                      Num(expected.size()) + "\"/>");
    // Written back in windows-1252, with a character it lacks reported as a loss.
    TempDir dir;
    ASSERT_TRUE(doc.SaveFile(dir.Path("same.xml")));
    ExpectOutcomeAsReported(doc);
    EXPECT_FALSE(doc.GetFileOutcome().conversionLoss);
    EXPECT_EQ(dir.Read("same.xml").size(), expected.size());
    doc.ResetPosition();
    ASSERT_TRUE(doc.FindChildElement(u"name"));
    ASSERT_TRUE(doc.SetChildAttribute(u"k", u"\u4E2D"));
    ASSERT_TRUE(doc.SaveFile(dir.Path("lossy.xml")));
    ExpectOutcomeAsReported(doc);
    EXPECT_TRUE(doc.GetFileOutcome().conversionLoss);
    EXPECT_NE(doc.GetResult().find(u"<conversion_loss/>"), std::u16string::npos) << A(doc.GetResult());
}

TEST(XmlFile, HtmlMetaCharset) {
    EXPECT_EQ(FindDeclaredEncoding(u"<html><head><meta http-equiv=\"content-type\" "
                                   u"content=\"text/html; charset=iso-8859-1\"></head></html>"),
              u"iso-8859-1");
    EXPECT_EQ(FindDeclaredEncoding(u"<?xml version='1.0' encoding='UTF-16'?><r/>"), u"UTF-16");
    EXPECT_EQ(FindDeclaredEncoding(u"<?xml version='1.0'?><r/>"), u"");
    EXPECT_EQ(FindDeclaredEncoding(u" <?xml version='1.0' encoding='x'?><r/>"), u""); // not at offset 0
    EXPECT_EQ(FindDeclaredEncoding(u"<body><meta http-equiv='Content-Type' content='charset=x'></body>"),
              u"");
    EXPECT_EQ(
        FindDeclaredEncoding(u"<html><head></head><meta http-equiv='Content-Type' content='charset=x'>"),
        u"");
    EXPECT_EQ(
        FindDeclaredEncoding(u"<HTML><META HTTP-EQUIV='Content-Type' CONTENT='text/html;charset = koi8-r'>"),
        u"koi8-r");

    CXmlDocument doc;
    doc.LoadFile(FixturePath("html_meta.htm"));
    EXPECT_EQ(doc.GetResult().rfind(u"<read encoding=\"iso-8859-1\"", 0), 0u) << A(doc.GetResult());
    EXPECT_NE(doc.GetDocument().find(u"<p>caf\u00E9</p>"), std::u16string::npos);
}

TEST(XmlFile, InvalidUtf8IsReadAsAnsi) {
    CXmlDocument doc;
    // Starts with '<' and has no declaration: the UTF-8 guess is checked, not trusted.
    ASSERT_TRUE(doc.LoadFile(FixturePath("ansi_nodecl.xml"))) << A(doc.GetResult());
    ExpectOutcomeAsReported(doc);
    EXPECT_EQ(doc.GetResult().rfind(u"<read encoding=\"\" length=\"", 0), 0u) << A(doc.GetResult());
    EXPECT_NE(doc.GetResult().find(u"<utf8_detection/>"), std::u16string::npos);
    EXPECT_NE(doc.GetDocument().find(u"caf\u00E9 \u00E6"), std::u16string::npos);

    TempDir dir;
    dir.Write("lead.xml", " <r>\xE9</r>");
    ASSERT_TRUE(doc.LoadFile(dir.Path("lead.xml")));
    EXPECT_EQ(A(doc.GetResult()), "<read encoding=\"\" length=\"9\"/><utf8_detection/>"
                                  "<converted_to encoding=\"UTF-16\" length=\"9\"/>");
    EXPECT_EQ(doc.GetDocument(), u" <r>\u00E9</r>");
}

TEST(XmlFile, EmptyFileMissingFileAndNulls) {
    CXmlDocument doc(U("<old/>"));
    ASSERT_TRUE(doc.FindElement());
    EXPECT_FALSE(doc.LoadFile(FixturePath("empty.xml")));
    EXPECT_EQ(A(doc.GetResult()), "<read encoding=\"\" length=\"0\"/>");
    EXPECT_TRUE(doc.GetDocument().empty());

    doc.SetDocument(U("<old/>"));
    EXPECT_FALSE(doc.LoadFile(FixturePath("does-not-exist.xml")));
    ExpectOutcomeAsReported(doc);
    EXPECT_TRUE(doc.GetFileOutcome().fileError);
    const std::string report = A(doc.GetResult());
    EXPECT_EQ(report.rfind("<file_error msg=\"", 0), 0u) << report;
    EXPECT_NE(report.find("\" n=\"2\"/>"), std::string::npos) << report;
    EXPECT_GT(report.size(), std::string("<file_error msg=\"\" n=\"2\"/>").size()) << "message text expected";
    // The failed read leaves the empty document, not the one held before.
    EXPECT_TRUE(doc.GetDocument().empty());
    EXPECT_FALSE(doc.FindElement());

    TempDir dir;
    dir.Write("nulls.xml", std::string("<r>a\0b\0</r>", 11));
    ASSERT_TRUE(doc.LoadFile(dir.Path("nulls.xml")));
    ExpectOutcomeAsReported(doc);
    EXPECT_EQ(doc.GetDocument(), u"<r>ab</r>");
    EXPECT_NE(doc.GetResult().find(u"<nulls_removed count=\"2\"/>"), std::u16string::npos)
        << A(doc.GetResult());

    // Not well-formed: read, kept, parsed with recovery.
    EXPECT_FALSE(doc.LoadFile(FixturePath("broken.xml")));
    EXPECT_FALSE(doc.GetDocument().empty());
    EXPECT_NE(doc.GetResult().find(u"<lone_end_tag tagname=\"c\""), std::u16string::npos)
        << A(doc.GetResult());
}

TEST(XmlFile, Utf16AndUtf32WithoutMark) {
    TempDir dir;
    std::string le;
    for (char c : std::string("<r>x</r>")) {
        le += c;
        le += '\0';
    }
    dir.Write("le.xml", le);
    CXmlDocument doc;
    ASSERT_TRUE(doc.LoadFile(dir.Path("le.xml"))) << A(doc.GetResult());
    EXPECT_EQ(doc.GetDocument(), u"<r>x</r>");

    std::string le32;
    for (char16_t c : std::u16string(u"<?xml version='1.0' encoding='UTF-32'?><r>\u00E9</r>")) {
        le32 += static_cast<char>(c & 0xFF);
        le32 += static_cast<char>(c >> 8);
        le32 += '\0';
        le32 += '\0';
    }
    dir.Write("le32.xml", le32);
    ASSERT_TRUE(doc.LoadFile(dir.Path("le32.xml"))) << A(doc.GetResult());
    EXPECT_EQ(doc.GetDocument(), u"<?xml version='1.0' encoding='UTF-32'?><r>\u00E9</r>");
    ASSERT_TRUE(doc.SaveFile(dir.Path("le32-out.xml")));
    EXPECT_EQ(dir.Read("le32-out.xml"), le32);
}

// Bytes of text in a wide form; code points above U+FFFF do not occur in these tests.
std::string Wide(std::u16string_view text, size_t unitBytes, bool bigEndian) {
    std::string bytes;
    for (char16_t c : text) {
        for (size_t k = 0; k < unitBytes; ++k) {
            const size_t shift = 8 * (bigEndian ? unitBytes - 1 - k : k);
            bytes += static_cast<char>(shift < 16 ? (c >> shift) & 0xFF : 0);
        }
    }
    return bytes;
}

TEST(XmlFile, EveryFormIsWrittenBackAsItWasRead) {
    const std::u16string text = u"<r a=\"\u00E9\">\u4E2D\u20AC</r>";
    const std::string utf8 = "<r a=\"\xC3\xA9\">\xE4\xB8\xAD\xE2\x82\xAC</r>";
    struct Case {
        const char* what;
        std::string bytes;
        std::u16string read;
        uint32_t flags;
    };
    const Case cases[] = {
        {"UTF-16LE without a mark", Wide(text, 2, false), text,
         CXmlDocument::kFlagUtf16LE | CXmlDocument::kFlagNoMark},
        {"UTF-16BE without a mark", Wide(text, 2, true), text,
         CXmlDocument::kFlagUtf16BE | CXmlDocument::kFlagNoMark},
        {"UTF-32LE with a mark", std::string("\xFF\xFE\0\0", 4) + Wide(text, 4, false), text,
         CXmlDocument::kFlagUtf32LE},
        {"UTF-32BE with a mark", std::string("\0\0\xFE\xFF", 4) + Wide(text, 4, true), text,
         CXmlDocument::kFlagUtf32BE},
        {"UTF-32BE without a mark", Wide(text, 4, true), text,
         CXmlDocument::kFlagUtf32BE | CXmlDocument::kFlagNoMark},
        // A wide declaration cannot describe single-byte markup: ignored both ways.
        {"UTF-8 declaring UTF-16", "<?xml version=\"1.0\" encoding=\"UTF-16\"?>" + utf8,
         u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>" + text, 0},
        {"UTF-8 declaring UTF-32BE", "<?xml version='1.0' encoding='utf-32be'?>" + utf8,
         u"<?xml version='1.0' encoding='utf-32be'?>" + text, 0},
    };
    TempDir dir;
    for (const Case& c : cases) {
        dir.Write("in.xml", c.bytes);
        CXmlDocument doc;
        ASSERT_TRUE(doc.LoadFile(dir.Path("in.xml"))) << c.what << ": " << A(doc.GetResult());
        ExpectOutcomeAsReported(doc);
        EXPECT_EQ(doc.GetDocument(), c.read) << c.what;
        EXPECT_EQ(doc.GetDocumentFlags(), c.flags) << c.what;
        ASSERT_TRUE(doc.SaveFile(dir.Path("out.xml"))) << c.what;
        ExpectOutcomeAsReported(doc);
        EXPECT_EQ(dir.Read("out.xml"), c.bytes) << c.what << ": " << A(doc.GetResult());
    }
}

// A file without declaration that is not strictly UTF-8 is ANSI: pairs that the lax UTF-8
// rules would take for one character each keep both letters, and the first save writes
// them as UTF-8 (a file without declaration is written so).
TEST(XmlFile, BytesThatAreNotStrictlyUtf8AreReadInTheAnsiCodePage) {
    TempDir dir;
    for (const std::string letters :
         {"\xC4\xF6", "\xC0\xFF", "\xC3\xC3", "\xED\xA0\x80", "\xF0\x80\x80\x80"}) {
        const std::string bytes = "<r>C:\\Temp\\" + letters + "</r>";
        std::u16string expected(BytesToUtf16(0, bytes.data(), bytes.size(), nullptr), u'\0');
        BytesToUtf16(0, bytes.data(), bytes.size(), expected.data());
        dir.Write("ansi.xml", bytes);
        CXmlDocument doc;
        ASSERT_TRUE(doc.LoadFile(dir.Path("ansi.xml"))) << A(doc.GetResult());
        ExpectOutcomeAsReported(doc);
        EXPECT_EQ(doc.GetDocument(), expected) << A(doc.GetDocument());
        EXPECT_EQ(A(doc.GetResult()), "<read encoding=\"\" length=\"" + Num(bytes.size()) +
                                          "\"/><utf8_detection/><converted_to encoding=\"UTF-16\" length=\"" +
                                          Num(expected.size()) + "\"/>");
        ASSERT_TRUE(doc.SaveFile(dir.Path("out.xml")));
        EXPECT_EQ(dir.Read("out.xml"), A(expected));
        CXmlDocument again;
        ASSERT_TRUE(again.LoadFile(dir.Path("out.xml")));
        EXPECT_EQ(again.GetDocument(), expected);
    }
}

TEST(XmlFile, WriteFailureIsReported) {
    CXmlDocument doc(U("<r/>"));
    TempDir dir;
    EXPECT_FALSE(doc.SaveFile(dir.Path("no-such-folder/out.xml")));
    ExpectOutcomeAsReported(doc);
    EXPECT_EQ(doc.GetResult().rfind(u"<file_error msg=", 0), 0u) << A(doc.GetResult());
    uint32_t flags = 0;
    std::u16string report;
    ASSERT_TRUE(WriteDocumentFile(dir.Path("empty.xml"), u"", report, flags));
    EXPECT_EQ(report, u"<write encoding=\"\" length=\"0\"/>");
    EXPECT_EQ(dir.Read("empty.xml"), "");
}

} // namespace
} // namespace quillon::test

namespace quillon::test {
namespace {

// UTF-8 and Latin-1 files are converted within the block the text ends up in: every
// length and mix of one- to four-byte characters reads as a separate conversion gives it.
TEST(XmlFile, TextConvertedInItsOwnBlockReadsAsAFreshConversion) {
    const std::string pieces[] = {"a",    "\xC3\xA9",        "\xE2\x82\xAC", "\xF0\x9F\x98\x80",
                                  "<b/>", "\xE4\xB8\xAD\xE6"};
    TempDir dir;
    for (const char* declaration : {"", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"}) {
        std::string bytes = std::string(declaration) + "<r>";
        for (size_t step = 0; step < 160; ++step) {
            bytes += pieces[(step * 7 + step / 5) % 6];
            const std::string file = bytes + "</r>";
            const int codePage = *declaration ? 28591 : IsStrictUtf8(file.data(), file.size()) ? 65001 : 0;
            std::u16string expected(BytesToUtf16(codePage, file.data(), file.size(), nullptr), u'\0');
            BytesToUtf16(codePage, file.data(), file.size(), expected.data());
            dir.Write("mixed.xml", file);
            CXmlDocument doc;
            doc.LoadFile(dir.Path("mixed.xml"));
            ASSERT_EQ(doc.GetDocument(), expected) << declaration << " step " << step;
        }
    }
}

} // namespace
} // namespace quillon::test
