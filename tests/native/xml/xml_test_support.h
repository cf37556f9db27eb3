// Helpers shared by the XML engine's tests: UTF-8 literals to UTF-16, CR LF layouts,
// temporary files and the index-against-reparse check.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "base/u16.h"
#include "xml_debug.h"
#include "xml/xml_document.h"

namespace quillon::test {

// UTF-8 source text as UTF-16, with "|" standing for CR LF when crlf is set.
std::u16string U(std::string_view utf8);
std::u16string Lines(std::string_view utf8); // "|" -> CR LF
std::string A(std::u16string_view text);     // back to UTF-8 for messages

// A fresh temporary file path (removed by the fixture's destructor).
class TempDir {
public:
    TempDir();
    ~TempDir();
    std::u16string Path(std::string_view name) const;
    std::string NativePath(std::string_view name) const;
    void Write(std::string_view name, std::string_view bytes) const;
    std::string Read(std::string_view name) const;

private:
    std::string m_dir;
};

std::u16string FixturePath(std::string_view name);

// The index of document must equal the structure a fresh parse of its text finds, and
// its own invariants must hold.
::testing::AssertionResult IndexMatchesText(CXmlDocument& document);

} // namespace quillon::test
