// Escaping, reference decoding (numeric and named) and CDATA sections.
#include "xml/xml_escape.h"
#include "xml_test_support.h"

namespace quillon::test {
namespace {

TEST(XmlEscape, ContentAndAttributeSets) {
    EXPECT_EQ(EscapeMarkupText(u"a<b & c>\"d'", 0), u"a&lt;b &amp; c&gt;\"d'");
    EXPECT_EQ(EscapeMarkupText(u"a<b & c>\"d'", kEscapeQuotes), u"a&lt;b &amp; c&gt;&quot;d&apos;");
    EXPECT_EQ(EscapeMarkupText(u"", kEscapeQuotes), u"");
    EXPECT_EQ(EscapeMarkupText(std::u16string(1000, u'&'), 0).size(), 5000u);
}

TEST(XmlEscape, KeepingReferences) {
    EXPECT_EQ(EscapeMarkupText(u"&amp;x", kEscapeKeepReferences), u"&amp;x");
    EXPECT_EQ(EscapeMarkupText(u"x & y", kEscapeKeepReferences), u"x &amp; y");
    EXPECT_EQ(EscapeMarkupText(u"&#65;&x:y-z.1;&\u00E9;", kEscapeKeepReferences), u"&#65;&x:y-z.1;&\u00E9;");
    EXPECT_EQ(EscapeMarkupText(u"&a b;", kEscapeKeepReferences), u"&amp;a b;");
    EXPECT_EQ(EscapeMarkupText(u"&abc", kEscapeKeepReferences), u"&amp;abc");
    EXPECT_EQ(EscapeMarkupText(u"&1;", kEscapeKeepReferences), u"&amp;1;");
}

TEST(XmlEscape, Unescaping) {
    EXPECT_EQ(UnescapeMarkupText(u"&lt;&#65;&#x42;&#X43;&eacute;&Eacute;&apos;"), u"<ABC\u00E9\u00C9'");
    for (const char16_t* same : {u"&nosuch;", u"&;", u"&#0;", u"& x;", u"a &", u"&#;", u"&#x;",
                                 u"&thetasymx;", u"&abcdefghij;", u"&#+65;", u"&#-65;", u"&#x110000;",
                                 u"&#1114112;", u"&#99999999999999999999;", u"&#xD800;", u"&\u00E9;"}) {
        EXPECT_EQ(UnescapeMarkupText(same), same) << A(same);
    }
    EXPECT_EQ(UnescapeMarkupText(u"&#x1F600;"), u"\xD83D\xDE00");
    EXPECT_EQ(UnescapeMarkupText(u"&#1114111;"), u"\xDBFF\xDFFF");
    EXPECT_EQ(UnescapeMarkupText(u"&thetasym;&Alpha;&alpha;&euro;&nbsp;"), u"\u03D1\u0391\u03B1\u20AC\u00A0");
    EXPECT_EQ(UnescapeMarkupText(u"&amp;amp;"), u"&amp;");
    EXPECT_EQ(UnescapeMarkupText(u"&&lt;"), u"&<");
}

TEST(XmlEscape, NamedReferenceTable) {
    EXPECT_EQ(NamedReference(u"Alpha"), 0x391);
    EXPECT_EQ(NamedReference(u"alpha"), 0x3B1);
    EXPECT_EQ(NamedReference(u"apos"), 0x27);
    EXPECT_EQ(NamedReference(u"yuml"), 0xFF);
    EXPECT_EQ(NamedReference(u"Yuml"), 0x178);
    EXPECT_EQ(NamedReference(u"diams"), 0x2666);
    EXPECT_EQ(NamedReference(u"ALPHA"), 0);
    EXPECT_EQ(NamedReference(u""), 0);
}

TEST(XmlEscape, CdataSections) {
    EXPECT_EQ(CdataSection(u"a]]>b"), u"<![CDATA[a]]]]><![CDATA[>b]]>");
    EXPECT_EQ(CdataSection(u""), u"<![CDATA[]]>");
    EXPECT_EQ(CdataSection(u"]]>]]>"), u"<![CDATA[]]]]><![CDATA[>]]]]><![CDATA[>]]>");
    // Every value written as CDATA reads back as written.
    for (const char16_t* value : {u"a]]>b", u"]]>", u"]]]>>", u"x<y>&z", u"]"}) {
        CXmlDocument doc(U("<r/>"));
        ASSERT_TRUE(doc.FindElement());
        ASSERT_TRUE(doc.AddChildElement(u"c", value, CXmlDocument::kAddCdata));
        EXPECT_EQ(doc.GetChildText(), value) << A(value);
        EXPECT_TRUE(doc.CheckWellFormed());
    }
}

TEST(XmlEscape, ValuesRoundTripThroughTheDocument) {
    const std::u16string value = U("C:\\Temp\\a&b <c> \"d\" 'e' \xE2\x82\xAC &amp;");
    CXmlDocument doc(U("<r/>"));
    ASSERT_TRUE(doc.FindElement());
    ASSERT_TRUE(doc.AddChildElement(u"t", value));
    ASSERT_TRUE(doc.SetChildAttribute(u"a", value));
    EXPECT_EQ(doc.GetChildText(), value);
    EXPECT_EQ(doc.GetChildAttribute(u"a"), value);
}

} // namespace
} // namespace quillon::test
