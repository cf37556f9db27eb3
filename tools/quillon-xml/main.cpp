// quillon-xml: loads an XML file with CXmlDocument and prints whether it is well-formed
// with its report, an outline of its elements, or the number of elements.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "base/u16.h"
#include "xml/xml_document.h"
#include "xml/xml_escape.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace quillon {
namespace {

constexpr int kExitWellFormed = 0;
constexpr int kExitNotWellFormed = 1;
constexpr int kExitFailure = 2;

const char kUsage[] = "usage: quillon-xml report FILE\n"
                      "       quillon-xml dump FILE\n"
                      "       quillon-xml count FILE [--repeat N]\n";

void Out(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
}

int Usage(const std::string& problem) {
    std::fprintf(stderr, "quillon-xml: %s\n%s", problem.c_str(), kUsage);
    return kExitFailure;
}

bool ReadFailed(const CXmlDocument& doc) {
    return doc.GetFileOutcome().fileError;
}

int Unreadable(const std::u16string& path, const CXmlDocument& doc) {
    std::fprintf(stderr, "quillon-xml: cannot read %s: %s\n", ToUtf8(path).c_str(),
                 ToUtf8(doc.GetResult()).c_str());
    return kExitFailure;
}

// Values and texts on one line: backslash escapes for the backslash, quotes and controls.
void AppendQuoted(std::string& out, std::u16string_view text) {
    static constexpr std::pair<char16_t, char16_t> kNamed[] = {
        {u'\\', u'\\'}, {u'"', u'"'}, {u'\n', u'n'}, {u'\r', u'r'}, {u'\t', u't'}};
    static const char kHex[] = "0123456789abcdef";
    std::u16string escaped;
    for (char16_t c : text) {
        const auto named = std::find_if(std::begin(kNamed), std::end(kNamed),
                                        [c](const auto& pair) { return pair.first == c; });
        if (named != std::end(kNamed)) {
            escaped += u'\\';
            escaped += named->second;
        } else if (c < 0x20) {
            escaped += u"\\x";
            escaped += static_cast<char16_t>(kHex[c >> 4]);
            escaped += static_cast<char16_t>(kHex[c & 15]);
        } else {
            escaped += c;
        }
    }
    out += ToUtf8(escaped);
}

int Report(const std::u16string& path) {
    CXmlDocument doc;
    const bool wellFormed = doc.LoadFile(path);
    if (!wellFormed && ReadFailed(doc))
        return Unreadable(path, doc);
    Out(std::string(wellFormed ? "wellformed" : "not wellformed") + "\n" + ToUtf8(doc.GetResult()) + "\n");
    return wellFormed ? kExitWellFormed : kExitNotWellFormed;
}

int Dump(const std::u16string& path) {
    CXmlDocument doc;
    const bool wellFormed = doc.LoadFile(path);
    if (!wellFormed && ReadFailed(doc))
        return Unreadable(path, doc);
    std::string out;
    uint32_t depth = 0;
    uint32_t n = doc.FirstChild(0);
    std::u16string value;
    while (n) {
        out.append(size_t{depth} * 2, ' ');
        out += ToUtf8(doc.ElementName(n));
        doc.ForEachAttribute(n, [&](std::u16string_view name, std::u16string_view raw) {
            out += ' ';
            out += ToUtf8(name);
            out += "=\"";
            value.clear();
            AppendUnescapedMarkupText(value, raw);
            AppendQuoted(out, value);
            out += '"';
        });
        if (doc.FirstChild(n) == 0) {
            const std::u16string text = doc.ElementText(n);
            if (!text.empty()) {
                out += " = \"";
                AppendQuoted(out, text);
                out += '"';
            }
        }
        out += '\n';
        if (out.size() > (1u << 16)) {
            Out(out);
            out.clear();
        }
        n = NextInDocumentOrder(doc, n, &depth);
    }
    out += wellFormed ? "wellformed\n" : "not wellformed\n";
    Out(out);
    return wellFormed ? kExitWellFormed : kExitNotWellFormed;
}

int Count(const std::u16string& path, long repeat) {
    uint32_t count = 0;
    bool wellFormed = false;
    for (long i = 0; i < repeat; ++i) {
        CXmlDocument doc;
        wellFormed = doc.LoadFile(path);
        if (!wellFormed && ReadFailed(doc))
            return Unreadable(path, doc);
        count = doc.ElementCount();
    }
    Out(std::to_string(count) + "\n");
    return wellFormed ? kExitWellFormed : kExitNotWellFormed;
}

int Run(const std::vector<std::u16string>& args) {
    if (args.size() < 2)
        return Usage("a command and a file are needed");
    const std::string command = ToUtf8(args[0]);
    const std::u16string& path = args[1];
    if (command == "report" || command == "dump") {
        if (args.size() != 2)
            return Usage("too many arguments");
        return command == "report" ? Report(path) : Dump(path);
    }
    if (command == "count") {
        long repeat = 1;
        if (args.size() == 4 && ToUtf8(args[2]) == "--repeat") {
            const std::string digits = ToUtf8(args[3]);
            char* end = nullptr;
            repeat = std::strtol(digits.c_str(), &end, 10);
            if (digits.empty() || *end != '\0' || repeat < 1)
                return Usage("--repeat needs a positive number");
        } else if (args.size() != 2) {
            return Usage("unexpected arguments after the file");
        }
        return Count(path, repeat);
    }
    return Usage("unknown command '" + command + "'");
}

} // namespace
} // namespace quillon

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    std::vector<std::u16string> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(quillon::FromWide(argv[i]));
    return quillon::Run(args);
}
#else
int main(int argc, char** argv) {
    std::vector<std::u16string> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(quillon::FromUtf8(argv[i]));
    return quillon::Run(args);
}
#endif
