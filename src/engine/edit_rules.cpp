// The pure rules of the edit road.
#include "engine/edit_rules.h"
#include "engine/keyboard.h"

#include <algorithm>
#include <initializer_list>

#include "base/u16.h"
#include "base/utf8.h"

namespace quillon {

bool IsUtf8Text(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* end = p + bytes.size();
    while (p < end && *p != 0) {
        const unsigned char c = *p;
        if (c < 0x80) {
            // Of the controls only tab and the line ends belong in text.
            if (!(c == 0x09 || c == 0x0A || c == 0x0D || (c >= 0x20 && c <= 0x7E)))
                return false;
            ++p;
            continue;
        }
        const size_t length = StrictUtf8Length(p, end);
        if (length == 0)
            return false;
        p += length;
    }
    return true;
}

std::string EncodeTempFileText(const std::u16string& text, bool utf8, IAnsiText& ansi) {
    if (!utf8) {
        // The code page holds the text when it reads back the same: this also catches the
        // "best fit" stand-ins (a plain "a" for an "a" with a macron).
        std::string bytes = ansi.ToAnsi(text);
        if (ansi.FromAnsi(bytes) == text)
            return bytes;
    }
    return "\xEF\xBB\xBF" + ToUtf8(text);
}

namespace {

// Whether nothing but NUL bytes follows: trailing NULs end a text without hiding any of it.
bool OnlyNulsFrom(std::string_view bytes, std::size_t from) {
    return from >= bytes.size() || bytes.find_first_not_of('\0', from) == std::string_view::npos;
}

bool DecodeUtf16(std::string_view bytes, bool bigEndian, std::u16string& text) {
    if (bytes.size() % 2 != 0)
        return false; // a byte left over: not the UTF-16 its mark promises
    text.clear();
    text.reserve(bytes.size() / 2);
    std::size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2) {
        auto b0 = static_cast<unsigned char>(bytes[i]);
        auto b1 = static_cast<unsigned char>(bytes[i + 1]);
        char16_t unit = bigEndian ? static_cast<char16_t>(b0 << 8 | b1) : static_cast<char16_t>(b1 << 8 | b0);
        if (unit == 0)
            break;
        text += unit;
    }
    return OnlyNulsFrom(bytes, i);
}

bool DecodeUtf32(std::string_view bytes, bool bigEndian, std::u16string& text) {
    if (bytes.size() % 4 != 0)
        return false;
    text.clear();
    text.reserve(bytes.size() / 4);
    std::size_t i = 0;
    for (; i + 3 < bytes.size(); i += 4) {
        std::uint32_t b[4];
        for (int k = 0; k < 4; ++k)
            b[k] = static_cast<unsigned char>(bytes[i + static_cast<std::size_t>(k)]);
        const std::uint32_t c = bigEndian ? b[0] << 24 | b[1] << 16 | b[2] << 8 | b[3]
                                          : b[3] << 24 | b[2] << 16 | b[1] << 8 | b[0];
        if (c == 0)
            break;
        if (c > kMaxCodePoint || IsSurrogate(c))
            return false;
        char16_t units[2];
        text.append(units, EncodeUtf16(c, units));
    }
    return OnlyNulsFrom(bytes, i);
}

} // namespace

bool DecodeSavedText(std::string_view bytes,
                     const std::function<std::u16string(const std::string&)>& fromAnsi,
                     std::u16string& text) {
    // The UTF-32 marks first: the little-endian one begins with the UTF-16 one.
    if (bytes.substr(0, 4) == std::string_view("\xFF\xFE\0\0", 4))
        return DecodeUtf32(bytes.substr(4), false, text);
    if (bytes.substr(0, 4) == std::string_view("\0\0\xFE\xFF", 4))
        return DecodeUtf32(bytes.substr(4), true, text);
    if (bytes.substr(0, 2) == "\xFF\xFE")
        return DecodeUtf16(bytes.substr(2), false, text);
    if (bytes.substr(0, 2) == "\xFE\xFF")
        return DecodeUtf16(bytes.substr(2), true, text);
    const std::size_t nul = bytes.find('\0');
    if (nul != std::string_view::npos && !OnlyNulsFrom(bytes, nul))
        return false; // say UTF-16 without its mark: cut at the first NUL, it would lose text
    std::string_view body = bytes.substr(0, nul);
    const bool marked = body.substr(0, 3) == "\xEF\xBB\xBF";
    // One control character must not send the whole text to the ANSI page: the mark, or
    // well-formed UTF-8 throughout, decides.
    if (marked || IsStrictUtf8(body.data(), body.size())) {
        if (marked)
            body.remove_prefix(3);
        text = FromUtf8(body);
        return true;
    }
    // A byte-order mark in text that is not UTF-8 stays part of the ANSI text.
    text = fromAnsi(std::string(body));
    return !text.empty(); // bytes that are there and convert to nothing: the conversion failed
}

bool EndsWithLineBreak(std::u16string_view text) {
    return !text.empty() && (text.back() == u'\n' || text.back() == u'\r');
}

std::u16string DropAddedLineBreak(std::u16string text, bool boxTextEndedWithBreak) {
    if (boxTextEndedWithBreak || !EndsWithLineBreak(text))
        return text;
    const bool crlf = text.size() >= 2 && text[text.size() - 2] == u'\r' && text.back() == u'\n';
    text.resize(text.size() - (crlf ? 2 : 1));
    return text;
}

std::u16string NormalizeLineEnds(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c == u'\r') {
            out += u"\r\n";
            if (i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
        } else if (c == u'\n') {
            out += u"\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

std::u16string ResolveTempFolderPath(const std::u16string& moduleFolder,
                                     const std::u16string& temporaryFolder) {
    // One backslash: beside the program (a portable installation). Two: a network share or
    // a \\?\ path, which stands on its own.
    const bool besideProgram = !temporaryFolder.empty() && temporaryFolder[0] == u'\\' &&
                               (temporaryFolder.size() < 2 || temporaryFolder[1] != u'\\');
    std::u16string folder = besideProgram ? moduleFolder + temporaryFolder : temporaryFolder;
    if (!folder.empty() && folder.back() != u'\\')
        folder += u'\\';
    return folder;
}

std::u16string TempFileBaseName(bool timeKnown, int hour, int minute, int second) {
    std::u16string name = u"Quillon_";
    if (!timeKnown)
        return name;
    auto two = [](int v) {
        if (v < 0 || v > 99)
            v = 0;
        return std::u16string{static_cast<char16_t>(u'0' + v / 10), static_cast<char16_t>(u'0' + v % 10)};
    };
    return name + two(hour) + u"_" + two(minute) + u"_" + two(second);
}

std::u16string TempFileCandidate(const std::u16string& folder, const std::u16string& base,
                                 const std::u16string& extension, int attempt) {
    std::u16string name = folder + base;
    if (attempt > 1)
        name += u"_" + FromUtf8(std::to_string(attempt));
    return name + u"." + extension;
}

bool IsValidExtension(std::u16string_view extension) {
    if (extension.empty())
        return false;
    for (char16_t c : extension)
        if (c < 0x20 || std::u16string_view(u"\\/:*?\"<>|").find(c) != std::u16string_view::npos)
            return false;
    return true;
}

std::u16string SubstituteParameters(const std::u16string& parameters, const std::u16string& path) {
    std::u16string tmpl = parameters;
    if (tmpl.find(u"%1") == std::u16string::npos)
        tmpl += u" \"%1\"";
    std::u16string out;
    for (std::size_t i = 0; i < tmpl.size();) {
        if (tmpl.compare(i, 2, u"%1") == 0) {
            out += path;
            i += 2;
        } else {
            out += tmpl[i++];
        }
    }
    return out;
}

bool IsDirectProgram(const std::u16string& editor) {
    if (editor.size() < 5)
        return false;
    std::u16string tail = editor.substr(editor.size() - 4);
    for (auto& c : tail)
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c - u'A' + u'a');
    return tail == u".exe";
}

std::vector<KeyInput> PlanCtrlKeys(std::string_view letters, bool altDown, bool shiftDown, bool ctrlDown,
                                   const std::function<std::uint16_t(std::uint8_t)>& scanCode) {
    std::vector<KeyInput> plan;
    auto add = [&](std::uint8_t key, bool up) { plan.push_back(KeyInput{key, scanCode(key), up}); };
    // Ctrl goes down inside the batch even when the user holds it: should they let go just
    // before the batch, the letters still arrive with Ctrl. It goes down before Alt comes up:
    // Alt pressed and released alone opens the target's menu bar, which would then take
    // the letters.
    add(keyboard::vk::kControl, false);
    if (altDown)
        add(keyboard::vk::kMenu, true);
    if (shiftDown)
        add(keyboard::vk::kShift, true);
    for (char letter : letters) {
        add(static_cast<std::uint8_t>(letter), false);
        add(static_cast<std::uint8_t>(letter), true);
    }
    if (!ctrlDown)
        add(keyboard::vk::kControl, true);
    return plan;
}

namespace {

// Class names compare without regard to case.
bool SameClassName(std::u16string_view a, std::u16string_view b) {
    auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char16_t x, char16_t y) { return lower(x) == lower(y); });
}

bool IsClassOf(std::u16string_view className, std::initializer_list<std::u16string_view> classes) {
    return std::any_of(classes.begin(), classes.end(),
                       [&](std::u16string_view name) { return SameClassName(name, className); });
}

} // namespace

bool IsConsoleWindowClass(std::u16string_view className) {
    return IsClassOf(className, {
                                    u"ConsoleWindowClass",            // the system's console host
                                    u"CASCADIA_HOSTING_WINDOW_CLASS", // the system's terminal
                                    u"VirtualConsoleClass",           // a tabbed console host
                                    u"mintty",                        // the Cygwin and MSYS2 terminal
                                    u"PuTTY", u"PuTTYConfigBox", u"KiTTY",
                                    u"Console_2_Main",         // a console wrapper with tabs
                                    u"org.wezfurlong.wezterm", // a GPU terminal
                                    u"TMobaXtermForm",         // an X server and SSH client
                                });
}

bool IsConsoleWindow(const WindowFacts& facts) {
    return IsConsoleWindowClass(facts.className) || IsConsoleWindowClass(facts.topClassName);
}

EditKind EditKindOfClass(std::u16string_view className) {
    if (SameClassName(className, u"Edit"))
        return EditKind::kEdit;
    // RichEditD2DPT: the box of the system's newer Notepad.
    if (IsClassOf(className, {u"RichEdit20W", u"RICHEDIT50W", u"RichEdit60W", u"RichEditD2DPT"}))
        return EditKind::kRichEdit;
    return EditKind::kNone;
}

bool IsPlainEditClass(std::u16string_view className) {
    return EditKindOfClass(className) != EditKind::kNone;
}

namespace {

// Line ends as one LF, and no white space at the end.
std::u16string LooseText(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r') {
            out += u'\n';
            if (i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
        } else {
            out += text[i];
        }
    }
    while (!out.empty() &&
           (out.back() == u' ' || out.back() == u'\t' || out.back() == u'\n' || out.back() == u'\u00A0'))
        out.pop_back();
    return out;
}

} // namespace

bool BoxStillHolds(std::u16string_view boxText, std::u16string_view known, bool knownIsPart) {
    const std::u16string box = LooseText(boxText);
    const std::u16string expected = LooseText(known);
    if (knownIsPart)
        return box.find(expected) != std::u16string::npos;
    return box == expected;
}

bool IsNeverSavedClipboardFormat(std::uint32_t format) {
    switch (format) {
    case clip::kBitmap:
    case clip::kMetafilePict:
    case clip::kPalette:
    case clip::kOwnerDisplay:
    case clip::kDspBitmap:
    case clip::kDspMetafilePict:
        return true;
    default:
        return format >= clip::kPrivateFirst && format <= clip::kPrivateLast;
    }
}

std::uint64_t ContentHash(std::string_view bytes) {
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : bytes) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash;
}

} // namespace quillon
