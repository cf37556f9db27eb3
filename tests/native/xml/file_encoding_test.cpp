// Files and encodings: byte-order marks, UTF-16 both ways, declared and detected
// encodings, null removal, the report of each read and write, and saving back in the
// file's own encoding.
#include "xml/xml_file.h"
#include "xml_test_support.h"

namespace quillon::test {
namespace {

const std::string kBody = "<config>\r\n<name>caf\xC3\xA9 \xE2\x82\xAC</name>\r\n<item key=\"a&amp;b\" on/>\r\n</config>\r\n";

std::string Num(size_t n) { return std::to_string(n); }

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
    ExpectBodyRead(doc);
    EXPECT_EQ(A(doc.GetResult()), "<bom/><read encoding=\"UTF-8\" length=\"" + Num(kBody.size()) +
                                      "\"/><converted_to encoding=\"UTF-16\" length=\"" + Num(U(kBody).size()) + "\"/>");
    EXPECT_EQ(doc.GetDocumentFlags(), CXmlDocument::kFlagUtf8Bom);
    TempDir dir;
    ASSERT_TRUE(doc.SaveFile(dir.Path("out.xml"))) << A(doc.GetResult());
    EXPECT_EQ(dir.Read("out.xml"), "\xEF\xBB\xBF" + kBody);
    EXPECT_EQ(A(doc.GetResult()), "<bom/><converted_from encoding=\"UTF-16\" length=\"" + Num(U(kBody).size()) +
                                      "\"/><write encoding=\"UTF-8\" length=\"" + Num(kBody.size()) + "\"/>");
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
    EXPECT_EQ(dir.Read("out.xml"), kBody);  // no declaration: UTF-8 without a mark
}

TEST(XmlFile, Utf16LittleEndianReadsWithoutConversion) {
    CXmlDocument doc;
    ASSERT_TRUE(doc.LoadFile(FixturePath("utf16le.xml"))) << A(doc.GetResult());
    ExpectBodyRead(doc);
    EXPECT_EQ(A(doc.GetResult()), "<bom/><read encoding=\"UTF-16LE\" length=\"" + Num(U(kBody).size()) + "\"/>");
    EXPECT_EQ(doc.GetDocumentFlags(), CXmlDocument::kFlagUtf16LE);
}

TEST(XmlFile, Utf16BigEndianIsSwappedBothWays) {
    CXmlDocument doc;
    ASSERT_TRUE(doc.LoadFile(FixturePath("utf16be.xml"))) << A(doc.GetResult());
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
                                      "\"/><converted_to encoding=\"UTF-16\" length=\"" + Num(expected.size()) + "\"/>");
    // Written back in windows-1252, with a character it lacks reported as a loss.
    TempDir dir;
    ASSERT_TRUE(doc.SaveFile(dir.Path("same.xml")));
    EXPECT_EQ(dir.Read("same.xml").size(), expected.size());
    doc.ResetPosition();
    ASSERT_TRUE(doc.FindChildElement(u"name"));
    ASSERT_TRUE(doc.SetChildAttribute(u"k", u"\u4E2D"));
    ASSERT_TRUE(doc.SaveFile(dir.Path("lossy.xml")));
    EXPECT_NE(doc.GetResult().find(u"<conversion_loss/>"), std::u16string::npos) << A(doc.GetResult());
}

TEST(XmlFile, HtmlMetaCharset) {
    EXPECT_EQ(FindDeclaredEncoding(u"<html><head><meta http-equiv=\"content-type\" "
                                   u"content=\"text/html; charset=iso-8859-1\"></head></html>"),
              u"iso-8859-1");
    EXPECT_EQ(FindDeclaredEncoding(u"<?xml version='1.0' encoding='UTF-16'?><r/>"), u"UTF-16");
    EXPECT_EQ(FindDeclaredEncoding(u"<?xml version='1.0'?><r/>"), u"");
    EXPECT_EQ(FindDeclaredEncoding(u" <?xml version='1.0' encoding='x'?><r/>"), u"");  // not at offset 0
    EXPECT_EQ(FindDeclaredEncoding(u"<body><meta http-equiv='Content-Type' content='charset=x'></body>"), u"");
    EXPECT_EQ(FindDeclaredEncoding(u"<html><head></head><meta http-equiv='Content-Type' content='charset=x'>"), u"");
    EXPECT_EQ(FindDeclaredEncoding(u"<HTML><META HTTP-EQUIV='Content-Type' CONTENT='text/html;charset = koi8-r'>"),
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
    EXPECT_EQ(doc.GetDocument(), u"<r>ab</r>");
    EXPECT_NE(doc.GetResult().find(u"<nulls_removed count=\"2\"/>"), std::u16string::npos) << A(doc.GetResult());

    // Not well-formed: read, kept, parsed with recovery.
    EXPECT_FALSE(doc.LoadFile(FixturePath("broken.xml")));
    EXPECT_FALSE(doc.GetDocument().empty());
    EXPECT_NE(doc.GetResult().find(u"<lone_end_tag tagname=\"c\""), std::u16string::npos) << A(doc.GetResult());
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

TEST(XmlFile, WriteFailureIsReported) {
    CXmlDocument doc(U("<r/>"));
    TempDir dir;
    EXPECT_FALSE(doc.SaveFile(dir.Path("no-such-folder/out.xml")));
    EXPECT_EQ(doc.GetResult().rfind(u"<file_error msg=", 0), 0u) << A(doc.GetResult());
    uint32_t flags = 0;
    std::u16string report;
    ASSERT_TRUE(WriteDocumentFile(dir.Path("empty.xml"), u"", report, flags));
    EXPECT_EQ(report, u"<write encoding=\"\" length=\"0\"/>");
    EXPECT_EQ(dir.Read("empty.xml"), "");
}

}  // namespace
}  // namespace quillon::test
