// CResultReport: entries written as empty elements one after another; an update goes
// through a private document over the report text.
#include "xml/xml_report.h"

#include "xml/xml_document.h"
#include "xml/xml_escape.h"

namespace quillon {

namespace {

void AppendDecimal(std::u16string& out, int64_t value) {
    char16_t digits[24];
    size_t n = 0;
    uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    do {
        digits[n++] = static_cast<char16_t>(u'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    if (value < 0)
        out += u'-';
    while (n)
        out += digits[--n];
}

// " name=\"value\"" as SetAttribute writes a new attribute.
void AppendAttribute(std::u16string& out, std::u16string_view name, std::u16string_view value) {
    out += u' ';
    out += name;
    out += u"=\"";
    AppendEscapedMarkupText(out, value, kEscapeQuotes);
    out += u'"';
}

void AppendNumberAttribute(std::u16string& out, std::u16string_view name, int64_t value) {
    out += u' ';
    out += name;
    out += u"=\"";
    AppendDecimal(out, value);
    out += u'"';
}

} // namespace

CResultReport::CResultReport(std::u16string_view text) : m_text(text) {}

CResultReport::~CResultReport() = default;

bool CResultReport::Full() {
    return m_text.size() >= kReportLimit;
}

bool CResultReport::Add(const ReportEntry& entry) {
    if (Full() || entry.name.empty())
        return false;
    if (m_text.capacity() < 160)
        m_text.reserve(160); // room for the few entries of an ordinary load
    m_text += u'<';
    m_text += entry.name;
    if (!entry.textAttribute.empty())
        AppendAttribute(m_text, entry.textAttribute, entry.textValue);
    if (!entry.numberAttribute.empty())
        AppendNumberAttribute(m_text, entry.numberAttribute, entry.number);
    if (entry.hasOffset2)
        AppendNumberAttribute(m_text, u"offset2", entry.offset2);
    m_text += u"/>";
    return true;
}

bool CResultReport::Update(std::u16string_view name, std::u16string_view attribute,
                           std::u16string_view value) {
    CXmlDocument doc;
    doc.m_quiet = true;
    doc.SetDocument(m_text);
    for (uint32_t n = doc.FirstChild(0); n; n = doc.NextSibling(n)) {
        if (doc.ElementName(n) == name) {
            if (!doc.SetElementAttribute(n, attribute, value))
                return false;
            m_text.assign(doc.GetDocument());
            return true;
        }
    }
    return false;
}

std::u16string CResultReport::Text() {
    return m_text;
}

} // namespace quillon
