// Shared helpers of the XML engine's tests.
#include "xml_test_support.h"

#include "native/test_data.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

#ifdef _WIN32
#include <direct.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quillon::test {

std::u16string U(std::string_view utf8) {
    return FromUtf8(utf8);
}

std::u16string Lines(std::string_view utf8) {
    std::u16string out;
    for (char16_t c : FromUtf8(utf8)) {
        if (c == u'|')
            out += u"\r\n";
        else
            out += c;
    }
    return out;
}

std::string A(std::u16string_view text) {
    return ToUtf8(text);
}

TempDir::TempDir() {
    std::random_device random;
    const char* base = std::getenv("TMPDIR");
#ifdef _WIN32
    const char* winTemp = std::getenv("TEMP");
    std::string root = winTemp ? winTemp : ".";
    m_dir = root + "\\quillon_xml_" + std::to_string(random());
    _mkdir(m_dir.c_str());
#else
    std::string root = base ? base : "/tmp";
    m_dir = root + "/quillon_xml_" + std::to_string(random()) + "_" + std::to_string(getpid());
    mkdir(m_dir.c_str(), 0700);
#endif
    (void)base;
}

TempDir::~TempDir() {
#ifdef _WIN32
    std::system(("rmdir /s /q \"" + m_dir + "\" >NUL 2>&1").c_str());
#else
    std::system(("rm -rf '" + m_dir + "'").c_str());
#endif
}

std::string TempDir::NativePath(std::string_view name) const {
#ifdef _WIN32
    return m_dir + "\\" + std::string(name);
#else
    return m_dir + "/" + std::string(name);
#endif
}

std::u16string TempDir::Path(std::string_view name) const {
    return FromUtf8(NativePath(name));
}

void TempDir::Write(std::string_view name, std::string_view bytes) const {
    std::ofstream out(NativePath(name), std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string TempDir::Read(std::string_view name) const {
    std::ifstream in(NativePath(name), std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

std::u16string FixturePath(std::string_view name) {
    return (TestDataPath(QUILLON_XML_FIXTURES) / std::string(name)).u16string();
}

::testing::AssertionResult IndexMatchesText(CXmlDocument& document) {
    const std::string problem = CheckIndex(document);
    if (!problem.empty())
        return ::testing::AssertionFailure() << problem << " in text: " << A(document.GetDocument());
    const auto fromIndex = OutlineFromIndex(document);
    const auto fromText = OutlineFromText(document);
    if (fromIndex.size() != fromText.size())
        return ::testing::AssertionFailure() << "index holds " << fromIndex.size() << " elements, the text "
                                             << fromText.size() << ": " << A(document.GetDocument());
    for (size_t i = 0; i < fromIndex.size(); ++i) {
        if (fromIndex[i] != fromText[i])
            return ::testing::AssertionFailure()
                   << "element " << i << " differs: index " << A(fromIndex[i].name) << "@"
                   << fromIndex[i].start << "+" << fromIndex[i].length << " depth " << fromIndex[i].depth
                   << ", text " << A(fromText[i].name) << "@" << fromText[i].start << "+"
                   << fromText[i].length << " depth " << fromText[i].depth
                   << " in: " << A(document.GetDocument());
    }
    return ::testing::AssertionSuccess();
}

} // namespace quillon::test
