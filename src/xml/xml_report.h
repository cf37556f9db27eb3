// CResultReport: the short markup text listing what a load, save or parse did; every value
// is escaped like any attribute value a document writes.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace quillon {

// Reports stop growing once their text reaches this many units.
constexpr size_t kReportLimit = 1000;

struct ReportEntry {
    std::u16string_view name;
    std::u16string_view textAttribute; // "type", "encoding", "msg" or "tagname"; empty: none
    std::u16string_view textValue;
    std::u16string_view numberAttribute; // "n", "count", "length" or "offset"; empty: none
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
    // Entries are appended as text: a report holds nothing but entries, so the next one
    // always goes at the end, exactly where a document would add it after the last one.
    std::u16string m_text;
};

} // namespace quillon
