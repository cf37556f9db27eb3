// Document model and navigation: positions, finds, enter/leave, reading texts and
// attributes, the segmented table with many elements.
#include "xml_test_support.h"

#include "xml/xml_scanner.h"

namespace quillon::test {
namespace {

TEST(XmlModel, EmptyDocumentHasNoRoot) {
    CXmlDocument doc;
    EXPECT_FALSE(doc.CheckWellFormed());
    EXPECT_FALSE(doc.FindElement());
    EXPECT_TRUE(doc.GetDocument().empty());
    EXPECT_TRUE(doc.GetResult().empty());
    EXPECT_FALSE(doc.SetDocument());
    EXPECT_FALSE(doc.FindChildElement());
    EXPECT_FALSE(doc.EnterElement());
    EXPECT_FALSE(doc.LeaveElement());
    EXPECT_FALSE(doc.RemoveElement());
    EXPECT_FALSE(doc.AddChildElement(u"a"));
    EXPECT_EQ(doc.GetChildText(), u"");
}

TEST(XmlModel, FindChildOnFreshPositionFindsRootThenChildren) {
    CXmlDocument doc(U("<R><A>1</A><B>2</B><A>3</A></R>"));
    ASSERT_TRUE(doc.CheckWellFormed());
    ASSERT_TRUE(doc.FindChildElement(u"A"));
    EXPECT_EQ(doc.GetTagName(), u"R");
    EXPECT_EQ(doc.GetChildText(), u"1");
    EXPECT_EQ(doc.GetParentPosition(), 0u);
    EXPECT_EQ(doc.GetNodeType(), 1u);
    // The search continues after the current child.
    ASSERT_TRUE(doc.FindChildElement(u"A"));
    EXPECT_EQ(doc.GetChildText(), u"3");
    EXPECT_FALSE(doc.FindChildElement(u"B")); // B came before: not seen again
    EXPECT_EQ(doc.GetChildText(), u"3");      // a failed find changes nothing
}

TEST(XmlModel, EnterAndLeaveMovePositions) {
    CXmlDocument doc(U("<R><S><T>x</T><U/></S><V/></R>"));
    ASSERT_TRUE(doc.FindChildElement(u"S"));
    const uint32_t s = doc.GetChildPosition();
    const uint32_t r = doc.GetMainPosition();
    ASSERT_TRUE(doc.EnterElement());
    EXPECT_EQ(doc.GetParentPosition(), r);
    EXPECT_EQ(doc.GetMainPosition(), s);
    EXPECT_EQ(doc.GetChildPosition(), 0u);
    ASSERT_TRUE(doc.FindChildElement(u"U"));
    EXPECT_EQ(doc.GetChildTagName(), u"U");
    ASSERT_TRUE(doc.LeaveElement());
    EXPECT_EQ(doc.GetMainPosition(), r);
    EXPECT_EQ(doc.GetChildPosition(), s);
    EXPECT_EQ(doc.GetParentPosition(), 0u);
    ASSERT_TRUE(doc.FindChildElement(u"V"));
    EXPECT_FALSE(doc.LeaveElement()); // already at the document level

    // Entering with no child position leaves no main element.
    doc.ResetPosition();
    ASSERT_TRUE(doc.FindElement());
    ASSERT_TRUE(doc.EnterElement());
    EXPECT_EQ(doc.GetMainPosition(), 0u);
    EXPECT_EQ(doc.GetNodeType(), 0u);
    ASSERT_TRUE(doc.FindElement(u"V")); // searches from the first child of R
    EXPECT_EQ(doc.GetTagName(), u"V");
}

TEST(XmlModel, PathSyntaxOfNames) {
    CXmlDocument doc(U("<R><Settings/><Extension a='1'/><Extension a='2'/></R>"));
    ASSERT_TRUE(doc.FindElement());
    ASSERT_TRUE(doc.EnterElement());
    EXPECT_FALSE(doc.FindElement(u"/Settings"));
    EXPECT_FALSE(doc.FindElement(u"//Settings"));
    EXPECT_FALSE(doc.FindElement(u"a["));
    EXPECT_FALSE(doc.FindElement(u"Settings/"));
    EXPECT_FALSE(doc.FindElement(u"Settings "));
    ASSERT_TRUE(doc.FindElement(u"Settings"));
    // The predicate does not narrow the match: the next Extension is found.
    ASSERT_TRUE(doc.FindElement(u"Extension[2]"));
    EXPECT_EQ(doc.GetAttribute(u"a"), u"1");
    ASSERT_TRUE(doc.FindElement(u"Extension[@a='1']"));
    EXPECT_EQ(doc.GetAttribute(u"a"), u"2");
    doc.ResetPosition();
    ASSERT_TRUE(doc.FindElement());
    ASSERT_TRUE(doc.EnterElement());
    EXPECT_TRUE(doc.FindElement(u"Extension/@a"));
    EXPECT_FALSE(doc.FindElement(u"Ext")); // whole names only
}

TEST(XmlModel, FindAfterRemovingFirstChildStartsAtParentsFirstChild) {
    CXmlDocument doc(U("<R><Extension n='1'/><Extension n='2'/></R>"));
    ASSERT_TRUE(doc.FindElement());
    ASSERT_TRUE(doc.EnterElement());
    ASSERT_TRUE(doc.FindElement(u"Extension"));
    ASSERT_TRUE(doc.RemoveElement());
    EXPECT_EQ(doc.GetMainPosition(), 0u);
    ASSERT_TRUE(doc.FindElement(u"Extension"));
    EXPECT_EQ(doc.GetAttribute(u"n"), u"2");
}

TEST(XmlModel, ChildTextRules) {
    CXmlDocument doc(
        U("<r><a>x&amp;y</a><b><c/></b><d>p<![CDATA[<q>]]>r</d><e/><f>  <!-- c --> <?pi x?> t </f>"
          "<g><![CDATA[a]]]]><![CDATA[>b]]></g><h>&#x1F600;</h></r>"));
    ASSERT_TRUE(doc.CheckWellFormed()) << A(doc.GetResult());
    auto text = [&](const char16_t* name) {
        doc.ResetPosition();
        EXPECT_TRUE(doc.FindChildElement(name)) << A(name);
        return doc.GetChildText();
    };
    EXPECT_EQ(text(u"a"), u"x&y");
    EXPECT_EQ(text(u"b"), u"");
    EXPECT_EQ(text(u"d"), u"p<q>r");
    EXPECT_EQ(text(u"e"), u"");
    EXPECT_EQ(text(u"f"), u" t ");
    EXPECT_EQ(text(u"g"), u"a]]>b");
    EXPECT_EQ(text(u"h"), u"\xD83D\xDE00");
    doc.ResetPosition();
    EXPECT_EQ(doc.GetChildText(), u""); // no child position
}

TEST(XmlModel, AttributesReadUnescapedInAllForms) {
    CXmlDocument doc(U("<r><opt on/><x a=1 b='two' c=\"&lt;3&quot;\" d = \" sp \"/></r>"));
    ASSERT_TRUE(doc.FindChildElement(u"opt"));
    EXPECT_EQ(doc.GetChildAttribute(u"on"), u"on");
    EXPECT_EQ(doc.GetChildAttribute(u"off"), u"");
    EXPECT_EQ(doc.GetChildAttribute(u""), u"");
    ASSERT_TRUE(doc.FindChildElement(u"x"));
    EXPECT_EQ(doc.GetChildAttribute(u"a"), u"1");
    EXPECT_EQ(doc.GetChildAttribute(u"b"), u"two");
    EXPECT_EQ(doc.GetChildAttribute(u"c"), u"<3\"");
    EXPECT_EQ(doc.GetChildAttribute(u"d"), u" sp ");
    EXPECT_EQ(doc.GetChildAttribute(u"x"), u""); // the tag name is not an attribute
    std::u16string name, value;
    std::vector<std::pair<std::u16string, std::u16string>> all;
    for (size_t i = 0; doc.GetChildAttributeAt(i, &name, &value); ++i)
        all.emplace_back(name, value);
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[2].first, u"c");
    EXPECT_EQ(all[2].second, u"<3\"");
    size_t seen =
        doc.ForEachAttribute(doc.GetChildPosition(), [](std::u16string_view, std::u16string_view) {});
    EXPECT_EQ(seen, 4u);
}

// Names and attributes read from the parsed index agree with a scan of the tag itself,
// for names that end the plain way and names that run into other stop characters, also
// after attributes are set.
TEST(XmlModel, NamesAndAttributesAgreeWithTheTagScan) {
    const std::u16string longName(300, u'n');
    CXmlDocument doc(U("<r><a b=\"1\"/><a=b c='2'/><a!b c='3'/><a;x d=4/><a?q e/><a\tf='x'><g/></a>") + u"<" +
                     longName + u" h='9'/></r>");
    auto check = [&](const char* step) {
        for (uint32_t n = doc.FirstChild(doc.FirstChild(0)); n; n = doc.NextSibling(n)) {
            const uint32_t start = doc.ElementStart(n);
            const uint32_t length = doc.StartTagLength(n);
            const std::u16string tag(doc.GetDocument().substr(start, length));
            size_t nameStart = 0, nameLength = 0;
            ElementNameSpan(tag.data(), tag.size(), &nameStart, &nameLength);
            EXPECT_EQ(doc.ElementName(n), tag.substr(nameStart, nameLength)) << step << " " << A(tag);
            std::vector<std::u16string> scanned, walked;
            CAttributeScanner scanner(tag.data(), tag.size(), 1);
            for (AttributeToken t; scanner.Next(t);)
                scanned.push_back(tag.substr(t.nameStart, t.nameLength) + u"=" +
                                  tag.substr(t.valueStart, t.valueLength));
            doc.ForEachAttribute(n, [&](std::u16string_view name, std::u16string_view value) {
                walked.push_back(std::u16string(name) + u"=" + std::u16string(value));
            });
            EXPECT_EQ(walked, scanned) << step << " " << A(tag);
        }
    };
    check("parsed");
    ASSERT_TRUE(doc.FindChildElement(u"a"));
    ASSERT_TRUE(doc.SetChildAttribute(u"z", u"new"));
    ASSERT_TRUE(doc.FindChildElement(longName));
    ASSERT_TRUE(doc.SetChildAttribute(u"h", u"10"));
    check("after setting attributes");
    EXPECT_EQ(doc.GetChildAttribute(u"h"), u"10");
}

TEST(XmlModel, CaseInsensitiveNamesWithFlag) {
    CXmlDocument doc;
    doc.SetDocumentFlags(CXmlDocument::kFlagNoCase);
    doc.SetDocument(U("<Root><ITEM Key='v'/></root>"));
    EXPECT_TRUE(doc.CheckWellFormed()) << A(doc.GetResult());
    ASSERT_TRUE(doc.FindChildElement(u"item"));
    EXPECT_EQ(doc.GetChildAttribute(u"KEY"), u"v");

    CXmlDocument exact(U("<Root><ITEM/></root>"));
    EXPECT_FALSE(exact.CheckWellFormed());
    EXPECT_FALSE(exact.FindChildElement(u"item"));
    // Non-ASCII letters never fold; after the first equal one the rest compares exactly.
    EXPECT_FALSE(NamesEqual(u"\u00C9a", 2, u"\u00E9a", 2, true));
    EXPECT_FALSE(NamesEqual(u"\u00E9A", 2, u"\u00E9a", 2, true));
    EXPECT_TRUE(NamesEqual(u"Ab\u00E9", 3, u"aB\u00E9", 3, true));
}

TEST(XmlModel, ManyElementsAcrossSegments) {
    std::u16string text = u"<r>";
    constexpr int kCount = 150000; // more than two segments of records
    for (int i = 0; i < kCount; ++i)
        text += u"<e/>";
    text += u"<last v='1'/></r>";
    CXmlDocument doc(text);
    ASSERT_TRUE(doc.CheckWellFormed());
    EXPECT_EQ(doc.ElementCount(), uint32_t(kCount + 2));
    ASSERT_TRUE(doc.FindChildElement(u"last"));
    EXPECT_GT(doc.GetChildPosition(), 65536u * 2);
    EXPECT_EQ(doc.GetChildAttribute(u"v"), u"1");
    EXPECT_EQ(doc.ElementStart(doc.GetChildPosition()), 3u + 4u * kCount);
    // Memory held: the text with its small spare, one record per element, little else.
    EXPECT_LT(doc.MemoryUsage(), text.size() * 2 * 102 / 100 + (kCount + 2) * sizeof(ElementRecord) + 65536);
}

} // namespace
} // namespace quillon::test
