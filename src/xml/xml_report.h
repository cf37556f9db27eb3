// CResultReport: the short markup text listing what a load, save or parse did, built
// through a private document so that every value is escaped like any attribute.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace quillon {

class CXmlDocument;

// Reports stop growing once their text reaches this many units.
constexpr size_t kReportLimit = 1000;

struct ReportEntry {
    std::u16string_view name;
    std::u16string_view textAttribute;  // "type", "encoding", "msg" or "tagname"; empty: none
    std::u16string_view textValue;
    std::u16string_view numberAttribute;  // "n", "count", "length" or "offset"; empty: none
    int64_t number = 0;
    bool hasOffset2 = false;
    int64_t offset2 = 0;
};

class CResultReport {
public:
    explicit CResultReport(std::u16string_view text = {});
    ~CResultReport();
    CResultReport(const CResultReport&) = delete;
    CResultReport& operator=(const CResultReport&) = delete;

    // Appends an entry unless the report is full; false when it was not added.
    bool Add(const ReportEntry& entry);
    bool Add(std::u16string_view name) { return Add(ReportEntry{name, {}, {}, {}, 0, false, 0}); }
    // Sets an attribute of the first entry of that name; false when there is none.
    bool Update(std::u16string_view name, std::u16string_view attribute, std::u16string_view value);
    bool Full();
    std::u16string Text();

private:
    std::unique_ptr<CXmlDocument> m_document;
    uint32_t m_last = 0;  // the last entry, where the next one is added after
};

}  // namespace quillon
