// Modification and the exact text it writes: line breaks, attribute placement,
// whitespace on insert and remove, renumbering; and the index matching the text after
// every kind of edit.
#include <random>

#include "xml_test_support.h"

namespace quillon::test {
namespace {

TEST(XmlModify, BuildingFromEmptyText) {
    CXmlDocument doc;
    ASSERT_TRUE(doc.AddElement(u"R"));
    EXPECT_EQ(doc.GetDocument(), Lines("<R/>|"));
    ASSERT_TRUE(doc.AddChildElement(u"S"));
    EXPECT_EQ(doc.GetDocument(), Lines("<R>|<S/>|</R>|"));
    ASSERT_TRUE(doc.EnterElement());
    ASSERT_TRUE(doc.AddChildElement(u"T", u"1"));
    EXPECT_EQ(doc.GetDocument(), Lines("<R>|<S>|<T>1</T>|</S>|</R>|"));
    EXPECT_TRUE(IndexMatchesText(doc));
    EXPECT_TRUE(doc.CheckWellFormed());
}

TEST(XmlModify, AddingAChildToEachParentForm) {
    struct Case {
        const char* before;
        const char* after;
    } cases[] = {
        {"<R/>", "<R>|<C/>|</R>"},
        {"<R />", "<R >|<C/>|</R>"},
        {"<R></R>", "<R>|<C/>|</R>"},
        {"<R>text</R>", "<R>text<C/>|</R>"},
        {"<R>|<S/>|</R>", "<R>|<S/>|<C/>|</R>"},
        {"<R a=\"1\"/>", "<R a=\"1\">|<C/>|</R>"},
        {"<av+//>", "<av+>|<C/>|</av+>"}, // every '/' of the empty-element ending goes
    };
    for (const Case& c : cases) {
        CXmlDocument doc(Lines(c.before));
        ASSERT_TRUE(doc.FindElement()) << c.before;
        ASSERT_TRUE(doc.AddChildElement(u"C")) << c.before;
        EXPECT_EQ(doc.GetDocument(), Lines(c.after)) << c.before;
        EXPECT_TRUE(IndexMatchesText(doc));
        EXPECT_EQ(doc.GetChildTagName(), u"C");
        EXPECT_TRUE(doc.CheckWellFormed());
    }
}

TEST(XmlModify, AddingAChildToAnUnendedParentEndsIt) {
    CXmlDocument doc(U("<a><P x='1'><b/></a>"));
    ASSERT_FALSE(doc.CheckWellFormed());
    ASSERT_TRUE(doc.FindChildElement(u"P"));
    ASSERT_TRUE(doc.EnterElement());
    ASSERT_TRUE(doc.AddChildElement(u"N", u"v"));
    EXPECT_EQ(doc.GetDocument(), Lines("<a><P x='1'>|<N>v</N>|</P><b/></a>"));
    EXPECT_FALSE(doc.ElementFlags(doc.GetMainPosition()) & CXmlDocument::kElementUnended);
    EXPECT_TRUE(IndexMatchesText(doc));
}

TEST(XmlModify, AddElementAfterMainSkipsWhitespaceBeforeMarkupOnly) {
    CXmlDocument doc(Lines("<R>|<A/>|  <B/>|</R>"));
    ASSERT_TRUE(doc.FindChildElement(u"A"));
    ASSERT_TRUE(doc.EnterElement());
    ASSERT_TRUE(doc.AddElement(u"N"));
    EXPECT_EQ(doc.GetDocument(), Lines("<R>|<A/>|  <N/>|<B/>|</R>"));
    EXPECT_EQ(doc.GetTagName(), u"N");
    EXPECT_TRUE(IndexMatchesText(doc));

    CXmlDocument text(Lines("<R><A/> tail</R>"));
    ASSERT_TRUE(text.FindChildElement(u"A"));
    ASSERT_TRUE(text.EnterElement());
    ASSERT_TRUE(text.AddElement(u"N"));
    EXPECT_EQ(text.GetDocument(), Lines("<R><A/><N/>| tail</R>"));
    EXPECT_TRUE(IndexMatchesText(text));
}

TEST(XmlModify, AddOptions) {
    CXmlDocument doc(U("<R/>"));
    ASSERT_TRUE(doc.FindElement());
    ASSERT_TRUE(doc.AddChildElement(u"a", u"", CXmlDocument::kAddSpaceBeforeSlash));
    ASSERT_TRUE(doc.AddChildElement(u"b", u"x]]>y<", CXmlDocument::kAddCdata));
    ASSERT_TRUE(doc.AddChildElement(u"c", u"&amp; & <", CXmlDocument::kAddKeepReferences));
    ASSERT_TRUE(doc.AddChildElement(u"d", u"\"q'"));
    EXPECT_FALSE(doc.AddChildElement(u"e", u"v", CXmlDocument::kAddUnended));
    EXPECT_EQ(
        doc.GetDocument(),
        Lines("<R>|<a />|<b><![CDATA[x]]]]><![CDATA[>y<]]></b>|<c>&amp; &amp; &lt;</c>|<d>\"q'</d>|</R>"));
    EXPECT_TRUE(IndexMatchesText(doc));
    doc.ResetPosition();
    ASSERT_TRUE(doc.FindChildElement(u"b"));
    EXPECT_EQ(doc.GetChildText(), u"x]]>y<");

    CXmlDocument report;
    ASSERT_TRUE(report.AddElement(u"x", u"", CXmlDocument::kAddNoLineBreaks));
    ASSERT_TRUE(report.AddElement(u"y", u"", CXmlDocument::kAddNoLineBreaks));
    ASSERT_TRUE(report.AddElement(u"z", u"", CXmlDocument::kAddUnended | CXmlDocument::kAddNoLineBreaks));
    EXPECT_EQ(report.GetDocument(), u"<x/><y/><z>");
    EXPECT_TRUE(report.ElementFlags(report.GetMainPosition()) & CXmlDocument::kElementUnended);
    EXPECT_TRUE(IndexMatchesText(report));
}

TEST(XmlModify, NamesThatWouldBreakTheMarkupAreRefused) {
    CXmlDocument doc(U("<R/>"));
    ASSERT_TRUE(doc.FindElement());
    for (const char16_t* bad : {u"", u"a b", u"a>", u"a/b", u"a\"", u"<a", u"a=b", u"a?", u"a'"}) {
        EXPECT_FALSE(doc.AddChildElement(bad)) << A(bad);
        EXPECT_FALSE(doc.SetAttribute(bad, u"v")) << A(bad);
    }
    EXPECT_FALSE(doc.AddChildElement(u"1a")); // would not scan as a start tag
    EXPECT_EQ(doc.GetDocument(), u"<R/>");
    EXPECT_TRUE(doc.AddChildElement(u"ns:a_b-c.d"));
}

TEST(XmlModify, SetAttributeRewritesOrAppends) {
    struct Case {
        const char* before;
        const char* name;
        const char* value;
        const char* after;
    } cases[] = {
        {"<a b=1 />", "b", "2", "<a b=\"2\" />"},
        {"<a b='x'/>", "b", "y", "<a b=\"y\"/>"},
        {"<a/>", "b", "v", "<a b=\"v\"/>"},
        {"<a c=\"1\"></a>", "b", "<&>'\"", "<a c=\"1\" b=\"&lt;&amp;&gt;&apos;&quot;\"></a>"},
        {"<a b=1/>", "b", "2", "<a b=\"2\">"},
        {"<opt on/>", "on", "off", "<opt on=\"off\"/>"},
        {"<opt on/>", "x", "1", "<opt on x=\"1\"/>"},
        {"<a b = 'x' >t</a>", "b", "", "<a b = \"\" >t</a>"},
    };
    for (const Case& c : cases) {
        CXmlDocument doc(U(c.before));
        ASSERT_TRUE(doc.FindElement()) << c.before;
        ASSERT_TRUE(doc.SetAttribute(U(c.name), U(c.value))) << c.before;
        EXPECT_EQ(A(doc.GetDocument()), c.after) << c.before;
        EXPECT_TRUE(IndexMatchesText(doc));
        EXPECT_EQ(doc.GetAttribute(U(c.name)), U(c.value)) << c.before;
    }
    CXmlDocument number(U("<a/>"));
    ASSERT_TRUE(number.FindElement());
    ASSERT_TRUE(number.SetAttribute(u"n", -42));
    EXPECT_EQ(number.GetDocument(), u"<a n=\"-42\"/>");
    number.ResetPosition();
    EXPECT_FALSE(number.SetAttribute(u"n", u"1")); // no main element
}

TEST(XmlModify, SetChildAttributeShiftsEverythingAfter) {
    CXmlDocument doc(Lines("<R>|<E/>|<F><G/></F>|</R>"));
    ASSERT_TRUE(doc.FindChildElement(u"E"));
    ASSERT_TRUE(doc.SetChildAttribute(u"k", u"value"));
    ASSERT_TRUE(doc.FindChildElement(u"F"));
    ASSERT_TRUE(doc.SetChildAttribute(u"z", u"1"));
    EXPECT_EQ(doc.GetDocument(), Lines("<R>|<E k=\"value\"/>|<F z=\"1\"><G/></F>|</R>"));
    EXPECT_TRUE(IndexMatchesText(doc));
}

TEST(XmlModify, RemoveTakesWhitespaceOnlyBeforeMarkup) {
    CXmlDocument doc(Lines("<R>|<A/>|<B/>|<C/> tail</R>"));
    ASSERT_TRUE(doc.FindChildElement(u"A"));
    ASSERT_TRUE(doc.EnterElement());
    ASSERT_TRUE(doc.RemoveElement());
    EXPECT_EQ(doc.GetDocument(), Lines("<R>|<B/>|<C/> tail</R>"));
    EXPECT_EQ(doc.GetMainPosition(), 0u);
    ASSERT_TRUE(doc.FindElement(u"C"));
    ASSERT_TRUE(doc.RemoveElement());
    EXPECT_EQ(doc.GetDocument(), Lines("<R>|<B/>| tail</R>"));
    EXPECT_EQ(doc.GetTagName(), u"B"); // the previous sibling
    EXPECT_TRUE(IndexMatchesText(doc));
    ASSERT_TRUE(doc.RemoveElement());
    EXPECT_EQ(doc.GetDocument(), Lines("<R>|| tail</R>"));
    EXPECT_EQ(doc.GetNodeType(), 0u);
    EXPECT_FALSE(doc.RemoveElement());
    EXPECT_TRUE(IndexMatchesText(doc));
}

TEST(XmlModify, ConfigurationRewriteKeepsDeclaration) {
    CXmlDocument doc(Lines("<?xml version=\"1.0\"?>|<Config><Old/></Config>|<!-- note -->|"));
    doc.ResetPosition();
    while (doc.FindElement())
        doc.RemoveElement();
    EXPECT_EQ(doc.GetDocument(), Lines("<?xml version=\"1.0\"?>|<!-- note -->|"));
    ASSERT_TRUE(doc.AddElement(u"Quillon"));
    ASSERT_TRUE(doc.AddChildElement(u"Settings"));
    ASSERT_TRUE(doc.EnterElement());
    ASSERT_TRUE(doc.AddChildElement(u"HotKey", u"16648"));
    ASSERT_TRUE(doc.AddChildElement(u"TemporaryFolder", u"C:\\a&b<c"));
    ASSERT_TRUE(doc.LeaveElement());
    ASSERT_TRUE(doc.AddChildElement(u"Extensions"));
    ASSERT_TRUE(doc.EnterElement());
    ASSERT_TRUE(doc.AddChildElement(u"Extension"));
    ASSERT_TRUE(doc.SetChildAttribute(u"Extension", u"txt"));
    ASSERT_TRUE(doc.SetChildAttribute(u"Editor", u""));
    ASSERT_TRUE(doc.SetChildAttribute(u"UTF8", u"True"));
    ASSERT_TRUE(doc.LeaveElement());
    EXPECT_EQ(doc.GetDocument(),
              Lines("<?xml version=\"1.0\"?>|<!-- note -->|<Quillon>|<Settings>|<HotKey>16648</HotKey>|"
                    "<TemporaryFolder>C:\\a&amp;b&lt;c</TemporaryFolder>|</Settings>|<Extensions>|"
                    "<Extension Extension=\"txt\" Editor=\"\" UTF8=\"True\"/>|</Extensions>|</Quillon>|"));
    EXPECT_TRUE(IndexMatchesText(doc));
    CXmlDocument reread(doc.GetDocument());
    ASSERT_TRUE(reread.CheckWellFormed());
    ASSERT_TRUE(reread.FindChildElement(u"Settings"));
    ASSERT_TRUE(reread.EnterElement());
    ASSERT_TRUE(reread.FindChildElement(u"TemporaryFolder"));
    EXPECT_EQ(reread.GetChildText(), u"C:\\a&b<c");
}

TEST(XmlModify, RemovingAnUnendedElementKeepsItsFormerChildren) {
    CXmlDocument doc(U("<r><u><a/><b/></r>"));
    ASSERT_TRUE(doc.FindChildElement(u"u"));
    ASSERT_TRUE(doc.EnterElement());
    ASSERT_TRUE(doc.RemoveElement());
    EXPECT_EQ(doc.GetDocument(), u"<r><a/><b/></r>");
    EXPECT_TRUE(IndexMatchesText(doc));
}

TEST(XmlModify, TagsLongerThanThePackedWidths) {
    const std::u16string longName(2000, u'n');     // end tag > 1,023 units
    const std::u16string longValue(4200000, u'v'); // start tag > 4,194,303 units
    std::u16string text = u"<r><" + longName + u" a=\"" + longValue + u"\">x</" + longName + u"><z/></r>";
    CXmlDocument doc(text);
    ASSERT_TRUE(doc.CheckWellFormed()) << A(doc.GetResult());
    ASSERT_TRUE(doc.FindChildElement(longName));
    const uint32_t n = doc.GetChildPosition();
    EXPECT_EQ(doc.EndTagLength(n), longName.size() + 3);
    EXPECT_EQ(doc.StartTagLength(n), longName.size() + longValue.size() + 7);
    EXPECT_EQ(doc.GetChildText(), u"x");
    ASSERT_TRUE(doc.SetChildAttribute(u"a", u"short"));
    EXPECT_EQ(doc.StartTagLength(n), longName.size() + 12);
    EXPECT_EQ(doc.GetChildText(), u"x");
    ASSERT_TRUE(doc.SetChildAttribute(u"a", longValue));
    EXPECT_EQ(doc.GetChildAttribute(u"a"), longValue);
    ASSERT_TRUE(doc.FindChildElement(u"z"));
    EXPECT_TRUE(IndexMatchesText(doc));
}

TEST(XmlModify, ShrinkThenRemoveAcrossThePendingShift) {
    // A shorter attribute value leaves its shift pending inside the tag; removing the
    // whole element afterwards must not move the elements before it.
    CXmlDocument doc(Lines("<r>|<a/>|<b x=\"0123456789012345678901234567890123456789\"><c/></b>|</r>"));
    ASSERT_TRUE(doc.FindChildElement(u"b"));
    ASSERT_TRUE(doc.SetChildAttribute(u"x", u"1"));
    EXPECT_TRUE(IndexMatchesText(doc));
    ASSERT_TRUE(doc.EnterElement());
    ASSERT_TRUE(doc.RemoveElement());
    EXPECT_EQ(doc.GetDocument(), Lines("<r>|<a/>|</r>"));
    EXPECT_TRUE(IndexMatchesText(doc));
    ASSERT_TRUE(doc.AddElement(u"d", u"v"));
    EXPECT_TRUE(IndexMatchesText(doc));
}

TEST(XmlModify, RemovingEverySiblingAndAppendingAgain) {
    CXmlDocument doc;
    ASSERT_TRUE(doc.AddElement(u"items"));
    for (int i = 0; i < 2000; ++i)
        ASSERT_TRUE(doc.AddChildElement(u"item", u"value"));
    auto toFirst = [&] {
        doc.ResetPosition();
        ASSERT_TRUE(doc.FindElement());
        ASSERT_TRUE(doc.EnterElement());
    };
    toFirst();
    int removed = 0;
    while (doc.FindElement() && doc.RemoveElement()) {
        if (++removed % 500 == 0) {
            ASSERT_TRUE(IndexMatchesText(doc));
            ASSERT_TRUE(doc.AddElement(u"late")); // an insertion between the removals
            ASSERT_TRUE(doc.RemoveElement());
            toFirst();
        }
    }
    EXPECT_EQ(removed, 2000);
    EXPECT_EQ(doc.GetDocument(), Lines("<items>|</items>|"));
    EXPECT_TRUE(IndexMatchesText(doc));
}

// Random edits: after each one the index must describe exactly what the text parses to.
TEST(XmlModify, RandomEditsKeepIndexAndTextInStep) {
    std::mt19937 random(12345);
    const char16_t* names[] = {u"a", u"b", u"c"};
    for (int round = 0; round < 40; ++round) {
        CXmlDocument doc(Lines("<r>|<a x='1'>t</a>|<b/>|<c><a/></c>|</r>"));
        for (int step = 0; step < 60; ++step) {
            const int op = static_cast<int>(random() % 9);
            const char16_t* name = names[random() % 3];
            switch (op) {
            case 0:
                doc.FindElement(random() % 2 ? name : u"");
                break;
            case 1:
                doc.FindChildElement(random() % 2 ? name : u"");
                break;
            case 2:
                doc.EnterElement();
                break;
            case 3:
                doc.LeaveElement();
                break;
            case 4:
                doc.AddElement(name, random() % 2 ? u"v&" : u"",
                               random() % 2 ? 0 : CXmlDocument::kAddNoLineBreaks);
                break;
            case 5:
                doc.AddChildElement(name, random() % 2 ? u"" : u"<w>",
                                    static_cast<uint32_t>(random() % 0x20) & ~CXmlDocument::kAddUnended);
                break;
            case 6:
                doc.SetAttribute(name, random() % 2 ? u"" : u"long value");
                break;
            case 7:
                doc.SetChildAttribute(name, u"q\"v");
                break;
            case 8:
                doc.RemoveElement();
                break;
            }
            ASSERT_TRUE(IndexMatchesText(doc)) << "round " << round << " step " << step << " op " << op;
        }
    }
}

} // namespace
} // namespace quillon::test
