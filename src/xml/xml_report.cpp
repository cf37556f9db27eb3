// CResultReport: entries added to a private document over the report text.
#include "xml/xml_report.h"

#include <string>

#include "xml/xml_document.h"

namespace quillon {

namespace {

std::u16string Decimal(int64_t value) {
    const std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

}  // namespace

CResultReport::CResultReport(std::u16string_view text) : m_document(std::make_unique<CXmlDocument>()) {
    m_document->m_quiet = true;
    if (!text.empty()) {
        m_document->SetDocument(text);
        for (uint32_t n = m_document->FirstChild(0); n; n = m_document->NextSibling(n))
            m_last = n;
    }
}

CResultReport::~CResultReport() = default;

bool CResultReport::Full() { return m_document->GetDocument().size() >= kReportLimit; }

bool CResultReport::Add(const ReportEntry& entry) {
    if (Full())
        return false;
    CXmlDocument& doc = *m_document;
    doc.m_parent = 0;
    doc.m_child = 0;
    doc.m_main = m_last;
    doc.m_nodeType = m_last ? 1 : 0;
    if (!doc.AddElement(entry.name, {}, CXmlDocument::kAddNoLineBreaks))
        return false;
    m_last = doc.GetMainPosition();
    if (!entry.textAttribute.empty())
        doc.SetElementAttribute(m_last, entry.textAttribute, entry.textValue);
    if (!entry.numberAttribute.empty())
        doc.SetElementAttribute(m_last, entry.numberAttribute, Decimal(entry.number));
    if (entry.hasOffset2)
        doc.SetElementAttribute(m_last, u"offset2", Decimal(entry.offset2));
    return true;
}

bool CResultReport::Update(std::u16string_view name, std::u16string_view attribute, std::u16string_view value) {
    CXmlDocument& doc = *m_document;
    for (uint32_t n = doc.FirstChild(0); n; n = doc.NextSibling(n)) {
        if (doc.ElementName(n) == name)
            return doc.SetElementAttribute(n, attribute, value);
    }
    return false;
}

std::u16string CResultReport::Text() { return std::u16string(m_document->GetDocument()); }

}  // namespace quillon
