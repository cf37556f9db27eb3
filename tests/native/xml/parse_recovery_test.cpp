// Parsing and recovery: every finding with its exact offsets, the structure recovered
// from damaged markup, and the report limit.
#include "xml_test_support.h"

#include "xml/xml_report.h"

namespace quillon::test {
namespace {

struct ParseCase {
    const char* text;
    const char* report;
    bool wellFormed;
};

TEST(XmlParse, FindingsWithExactOffsets) {
    const ParseCase cases[] = {
        {"<a><b/></a>", "", true},
        {"", "", false},
        {"<a><b></a>", "<unended_start_tag tagname=\"b\" offset=\"3\" offset2=\"8\"/>", false},
        {"</x><a/>", "<lone_end_tag tagname=\"x\" offset=\"0\"/>", false},
        {"<a/><b/>", "<root_has_sibling/>", false},
        {"<a>", "<unended_start_tag tagname=\"a\" offset=\"0\" offset2=\"3\"/>", false},
        {" <!-- c --> \r\n", "<no_root_element/>", false},
        {"<r><!-x><b/></r>", "<comment_tag_syntax offset=\"3\"/>", false},
        {"<r>< b/></r>", "<first_tag_syntax offset=\"3\"/>", false},
        {"<r><1/></r>", "<first_tag_syntax offset=\"3\"/>", false},
        {"<r><!x></r>", "<exclamation_tag_syntax offset=\"3\"/>", false},
        {"<r><![x[a]]></r>", "<cdata_section_syntax offset=\"3\"/>", false},
        {"<!DOCTYPE r [<!x>]><r/>", "<doctype_tag_syntax offset=\"0\"/>", false},
        {"<!DOCTYPE r [<!ENTITY e \"a>b\"><!-- > --><?p > ?>]><r/>", "", true},
        {"<r><!-- abc",
         "<unterminated_tag_syntax type=\"comment\" offset=\"3\"/>"
         "<unended_start_tag tagname=\"r\" offset=\"0\" offset2=\"11\"/>",
         false},
        {"<r/><a b=\"x>", "<unterminated_tag_syntax type=\"start_tag\" offset=\"4\"/>", false},
        {"<r/></r", "<unterminated_tag_syntax type=\"end_tag\" offset=\"4\"/>", false},
        {"<r/><?pi", "<unterminated_tag_syntax type=\"processing_instruction\" offset=\"4\"/>", false},
        {"<r/><![CDATA[x", "<unterminated_tag_syntax type=\"cdata_section\" offset=\"4\"/>", false},
        {"<r/><!DOCTYPE", "<unterminated_tag_syntax type=\"document_type\" offset=\"4\"/>", false},
        {"<r/><", "<unterminated_tag_syntax type=\"tag\" offset=\"4\"/>", false},
        {"<r/><!-", "<unterminated_tag_syntax type=\"tag\" offset=\"4\"/>", false},
        {"<a x='>'/>", "", true},
        {"<a x=\">\"y>", "<unended_start_tag tagname=\"a\" offset=\"0\" offset2=\"10\"/>", false},
        {"<a b=1/>", "<unended_start_tag tagname=\"a\" offset=\"0\" offset2=\"8\"/>", false},
        {"<opt on/>", "", true},
        {"<r><!--></r>",
         "<unterminated_tag_syntax type=\"comment\" offset=\"3\"/>"
         "<unended_start_tag tagname=\"r\" offset=\"0\" offset2=\"12\"/>",
         false},
        {"<r><?></r>",
         "<unterminated_tag_syntax type=\"processing_instruction\" offset=\"3\"/>"
         "<unended_start_tag tagname=\"r\" offset=\"0\" offset2=\"10\"/>",
         false},
        {"<r><!---->x<?p?><![CDATA[]]></r>", "", true},
        {"<?xml version=\"1.0\"?><r>a > b &amp; <![CDATA[<]]></r>", "", true},
        {"<r></R>",
         "<lone_end_tag tagname=\"R\" offset=\"3\"/><unended_start_tag tagname=\"r\" offset=\"0\" "
         "offset2=\"7\"/>",
         false},
    };
    for (const ParseCase& c : cases) {
        CXmlDocument doc(U(c.text));
        EXPECT_EQ(A(doc.GetResult()), c.report) << c.text;
        EXPECT_EQ(doc.CheckWellFormed(), c.wellFormed) << c.text;
        EXPECT_TRUE(IndexMatchesText(doc)) << c.text;
    }
}

// Report entries are written as text; they must read exactly as a document adding each
// entry after the last one (escaping its values as attribute values) would write them.
TEST(XmlParse, ReportEntriesReadAsADocumentWouldWriteThem) {
    const std::u16string odd = U("q\"'<&>\t\u00e9") + std::u16string(1, u'\x01');
    const ReportEntry entries[] = {
        {u"read", u"encoding", u"UTF-8", u"length", 2772, false, 0},
        {u"bom", {}, {}, {}, 0, false, 0},
        {u"unended_start_tag", u"tagname", odd, u"offset", -7, true, 1234567890123},
        {u"file_error", u"msg", u"", u"n", 0, false, 0},
    };
    CResultReport report(u"<earlier/>");
    CXmlDocument expected(u"<earlier/>");
    expected.FindElement();
    for (const ReportEntry& e : entries) {
        ASSERT_TRUE(report.Add(e));
        ASSERT_TRUE(expected.AddElement(e.name, {}, CXmlDocument::kAddNoLineBreaks));
        if (!e.textAttribute.empty())
            expected.SetAttribute(e.textAttribute, e.textValue);
        if (!e.numberAttribute.empty())
            expected.SetAttribute(e.numberAttribute, U(std::to_string(e.number)));
        if (e.hasOffset2)
            expected.SetAttribute(u"offset2", U(std::to_string(e.offset2)));
    }
    EXPECT_EQ(report.Text(), expected.GetDocument());
    ASSERT_TRUE(report.Update(u"read", u"encoding", u""));
    EXPECT_EQ(A(report.Text()).rfind("<earlier/><read encoding=\"\" length=\"2772\"/><bom/>", 0), 0u);
}

TEST(XmlParse, UnendedElementsChildrenBecomeSiblings) {
    CXmlDocument doc(U("<a><b><c/><d>t</d></a>"));
    EXPECT_FALSE(doc.CheckWellFormed());
    ASSERT_TRUE(doc.FindChildElement(u"b"));
    const uint32_t b = doc.GetChildPosition();
    EXPECT_EQ(doc.FirstChild(b), 0u);
    EXPECT_TRUE(doc.ElementFlags(b) & CXmlDocument::kElementUnended);
    EXPECT_EQ(doc.ElementLength(b), 3u);
    ASSERT_TRUE(doc.FindChildElement(u"c"));
    EXPECT_EQ(doc.GetTagName(), u"a");
    EXPECT_FALSE(doc.ElementFlags(doc.GetChildPosition()) & CXmlDocument::kElementFirstChild);
    ASSERT_TRUE(doc.FindChildElement(u"d"));
    EXPECT_EQ(doc.GetChildText(), u"t");
    const auto outline = OutlineFromIndex(doc);
    ASSERT_EQ(outline.size(), 4u);
    EXPECT_EQ(outline[3].depth, 1u);
}

TEST(XmlParse, MovedChildrenBringTheirDescendantsToTheirNewLevel) {
    // "b" is unended: "c" moves up beside it, and "d" and "e" move up with "c".
    CXmlDocument doc(U("<a><b><c><d><e/></d></c></a>"));
    EXPECT_FALSE(doc.CheckWellFormed());
    EXPECT_TRUE(IndexMatchesText(doc)); // the index check compares every level with its parent's
    auto levelOf = [&doc](uint32_t n) { return doc.ElementFlags(n) & CXmlDocument::kLevelMask; };
    ASSERT_TRUE(doc.FindChildElement(u"c"));
    ASSERT_TRUE(doc.EnterElement());
    ASSERT_TRUE(doc.FindChildElement(u"d"));
    EXPECT_EQ(levelOf(doc.GetChildPosition()), 2u);
    ASSERT_TRUE(doc.EnterElement());
    ASSERT_TRUE(doc.FindChildElement(u"e"));
    EXPECT_EQ(levelOf(doc.GetChildPosition()), 3u);
    // An element added later takes its level from the moved parent.
    ASSERT_TRUE(doc.AddChildElement(u"f", u"1"));
    EXPECT_EQ(levelOf(doc.GetChildPosition()), 3u);
    EXPECT_TRUE(IndexMatchesText(doc));
}

TEST(XmlParse, NestedUnendedElementsAllMoveUpOnce) {
    // <p> then many unclosed <br>: each becomes a sibling under p, in order.
    std::u16string text = u"<p>";
    for (int i = 0; i < 20000; ++i)
        text += u"<br>x";
    text += u"</p>";
    CXmlDocument doc(text);
    EXPECT_FALSE(doc.CheckWellFormed());
    ASSERT_TRUE(doc.FindElement(u"p"));
    uint32_t count = 0;
    for (uint32_t n = doc.FirstChild(doc.GetMainPosition()); n; n = doc.NextSibling(n)) {
        EXPECT_EQ(doc.ParentOf(n), doc.GetMainPosition());
        ++count;
    }
    EXPECT_EQ(count, 20000u);
    // The report stops growing at 1,000 units.
    EXPECT_GE(doc.GetResult().size(), 1000u);
    EXPECT_LT(doc.GetResult().size(), 1100u);
}

TEST(XmlParse, ErrorMarksAndRoot) {
    CXmlDocument doc(U("<r><a></x></a><b/></r>"));
    EXPECT_FALSE(doc.CheckWellFormed());
    ASSERT_TRUE(doc.FindChildElement(u"a"));
    EXPECT_TRUE(doc.ElementFlags(doc.GetChildPosition()) & CXmlDocument::kElementErrorInside);
    EXPECT_TRUE(doc.ElementFlags(0) & CXmlDocument::kDocumentIllFormed);
    EXPECT_EQ(A(doc.GetResult()), "<lone_end_tag tagname=\"x\" offset=\"6\"/>");
    ASSERT_TRUE(doc.FindChildElement(u"b"));
}

TEST(XmlParse, TextWithNullsAndOddUnitsParsesSafely) {
    std::u16string text = U("<r a='\xF0\x9F\x98\x80'>");
    text += u'\0';
    text += u"\xD800<b/>\xFFFF</r>";
    CXmlDocument doc(text);
    EXPECT_TRUE(doc.CheckWellFormed()) << A(doc.GetResult());
    ASSERT_TRUE(doc.FindChildElement(u"b"));
    EXPECT_TRUE(IndexMatchesText(doc));
}

TEST(XmlParse, ReparseRestartsNumbering) {
    CXmlDocument doc(U("<a><b/></a>"));
    ASSERT_TRUE(doc.FindChildElement(u"b"));
    EXPECT_EQ(doc.GetChildPosition(), 2u);
    ASSERT_TRUE(doc.AddChildElement(u"c"));
    EXPECT_EQ(doc.GetChildPosition(), 3u);
    doc.SetDocument(doc.GetDocument());
    EXPECT_EQ(doc.GetMainPosition(), 0u);
    ASSERT_TRUE(doc.FindChildElement(u"c"));
    EXPECT_EQ(doc.GetChildPosition(), 3u);
}

} // namespace
} // namespace quillon::test
