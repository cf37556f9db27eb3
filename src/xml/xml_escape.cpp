// Markup escaping and reference decoding, with the table of named references.
#include "xml/xml_escape.h"

#include <array>
#include <vector>

#include "xml/xml_scanner.h"

namespace quillon {

namespace {

struct NamedRef {
    const char* name;
    int codePoint;
};

// The named character references of HTML 4.01 (Latin-1, symbols and Greek, special
// characters) and the XML apos: 253 names.
constexpr NamedRef kNamedRefs[] = {
    {"nbsp", 160},    {"iexcl", 161},    {"cent", 162},    {"pound", 163},   {"curren", 164},
    {"yen", 165},     {"brvbar", 166},   {"sect", 167},    {"uml", 168},     {"copy", 169},
    {"ordf", 170},    {"laquo", 171},    {"not", 172},     {"shy", 173},     {"reg", 174},
    {"macr", 175},    {"deg", 176},      {"plusmn", 177},  {"sup2", 178},    {"sup3", 179},
    {"acute", 180},   {"micro", 181},    {"para", 182},    {"middot", 183},  {"cedil", 184},
    {"sup1", 185},    {"ordm", 186},     {"raquo", 187},   {"frac14", 188},  {"frac12", 189},
    {"frac34", 190},  {"iquest", 191},   {"Agrave", 192},  {"Aacute", 193},  {"Acirc", 194},
    {"Atilde", 195},  {"Auml", 196},     {"Aring", 197},   {"AElig", 198},   {"Ccedil", 199},
    {"Egrave", 200},  {"Eacute", 201},   {"Ecirc", 202},   {"Euml", 203},    {"Igrave", 204},
    {"Iacute", 205},  {"Icirc", 206},    {"Iuml", 207},    {"ETH", 208},     {"Ntilde", 209},
    {"Ograve", 210},  {"Oacute", 211},   {"Ocirc", 212},   {"Otilde", 213},  {"Ouml", 214},
    {"times", 215},   {"Oslash", 216},   {"Ugrave", 217},  {"Uacute", 218},  {"Ucirc", 219},
    {"Uuml", 220},    {"Yacute", 221},   {"THORN", 222},   {"szlig", 223},   {"agrave", 224},
    {"aacute", 225},  {"acirc", 226},    {"atilde", 227},  {"auml", 228},    {"aring", 229},
    {"aelig", 230},   {"ccedil", 231},   {"egrave", 232},  {"eacute", 233},  {"ecirc", 234},
    {"euml", 235},    {"igrave", 236},   {"iacute", 237},  {"icirc", 238},   {"iuml", 239},
    {"eth", 240},     {"ntilde", 241},   {"ograve", 242},  {"oacute", 243},  {"ocirc", 244},
    {"otilde", 245},  {"ouml", 246},     {"divide", 247},  {"oslash", 248},  {"ugrave", 249},
    {"uacute", 250},  {"ucirc", 251},    {"uuml", 252},    {"yacute", 253},  {"thorn", 254},
    {"yuml", 255},    {"fnof", 402},     {"Alpha", 913},   {"Beta", 914},    {"Gamma", 915},
    {"Delta", 916},   {"Epsilon", 917},  {"Zeta", 918},    {"Eta", 919},     {"Theta", 920},
    {"Iota", 921},    {"Kappa", 922},    {"Lambda", 923},  {"Mu", 924},      {"Nu", 925},
    {"Xi", 926},      {"Omicron", 927},  {"Pi", 928},      {"Rho", 929},     {"Sigma", 931},
    {"Tau", 932},     {"Upsilon", 933},  {"Phi", 934},     {"Chi", 935},     {"Psi", 936},
    {"Omega", 937},   {"alpha", 945},    {"beta", 946},    {"gamma", 947},   {"delta", 948},
    {"epsilon", 949}, {"zeta", 950},     {"eta", 951},     {"theta", 952},   {"iota", 953},
    {"kappa", 954},   {"lambda", 955},   {"mu", 956},      {"nu", 957},      {"xi", 958},
    {"omicron", 959}, {"pi", 960},       {"rho", 961},     {"sigmaf", 962},  {"sigma", 963},
    {"tau", 964},     {"upsilon", 965},  {"phi", 966},     {"chi", 967},     {"psi", 968},
    {"omega", 969},   {"thetasym", 977}, {"upsih", 978},   {"piv", 982},     {"bull", 8226},
    {"hellip", 8230}, {"prime", 8242},   {"Prime", 8243},  {"oline", 8254},  {"frasl", 8260},
    {"weierp", 8472}, {"image", 8465},   {"real", 8476},   {"trade", 8482},  {"alefsym", 8501},
    {"larr", 8592},   {"uarr", 8593},    {"rarr", 8594},   {"darr", 8595},   {"harr", 8596},
    {"crarr", 8629},  {"lArr", 8656},    {"uArr", 8657},   {"rArr", 8658},   {"dArr", 8659},
    {"hArr", 8660},   {"forall", 8704},  {"part", 8706},   {"exist", 8707},  {"empty", 8709},
    {"nabla", 8711},  {"isin", 8712},    {"notin", 8713},  {"ni", 8715},     {"prod", 8719},
    {"sum", 8721},    {"minus", 8722},   {"lowast", 8727}, {"radic", 8730},  {"prop", 8733},
    {"infin", 8734},  {"ang", 8736},     {"and", 8743},    {"or", 8744},     {"cap", 8745},
    {"cup", 8746},    {"int", 8747},     {"there4", 8756}, {"sim", 8764},    {"cong", 8773},
    {"asymp", 8776},  {"ne", 8800},      {"equiv", 8801},  {"le", 8804},     {"ge", 8805},
    {"sub", 8834},    {"sup", 8835},     {"nsub", 8836},   {"sube", 8838},   {"supe", 8839},
    {"oplus", 8853},  {"otimes", 8855},  {"perp", 8869},   {"sdot", 8901},   {"lceil", 8968},
    {"rceil", 8969},  {"lfloor", 8970},  {"rfloor", 8971}, {"lang", 9001},   {"rang", 9002},
    {"loz", 9674},    {"spades", 9824},  {"clubs", 9827},  {"hearts", 9829}, {"diams", 9830},
    {"quot", 34},     {"amp", 38},       {"lt", 60},       {"gt", 62},       {"OElig", 338},
    {"oelig", 339},   {"Scaron", 352},   {"scaron", 353},  {"Yuml", 376},    {"circ", 710},
    {"tilde", 732},   {"ensp", 8194},    {"emsp", 8195},   {"thinsp", 8201}, {"zwnj", 8204},
    {"zwj", 8205},    {"lrm", 8206},     {"rlm", 8207},    {"ndash", 8211},  {"mdash", 8212},
    {"lsquo", 8216},  {"rsquo", 8217},   {"sbquo", 8218},  {"ldquo", 8220},  {"rdquo", 8221},
    {"bdquo", 8222},  {"dagger", 8224},  {"Dagger", 8225}, {"permil", 8240}, {"lsaquo", 8249},
    {"rsaquo", 8250}, {"euro", 8364},    {"apos", 39},
};
static_assert(sizeof(kNamedRefs) / sizeof(kNamedRefs[0]) == 253, "252 HTML 4.01 names and apos");

constexpr unsigned kBucketCount = 130;
constexpr size_t kMaxReferenceBody = 9;

// Buckets by the sum of the name's units modulo 130, as index lists into kNamedRefs.
struct NamedRefIndex {
    std::array<std::vector<unsigned char>, kBucketCount> buckets;
    NamedRefIndex() {
        for (unsigned i = 0; i < sizeof(kNamedRefs) / sizeof(kNamedRefs[0]); ++i) {
            unsigned sum = 0;
            for (const char* p = kNamedRefs[i].name; *p; ++p)
                sum += static_cast<unsigned char>(*p);
            buckets[sum % kBucketCount].push_back(static_cast<unsigned char>(i));
        }
    }
};

const NamedRefIndex& Index() {
    static const NamedRefIndex index;
    return index;
}

const char16_t* ReferenceFor(char16_t c) {
    switch (c) {
    case u'<':
        return u"&lt;";
    case u'&':
        return u"&amp;";
    case u'>':
        return u"&gt;";
    case u'\'':
        return u"&apos;";
    case u'"':
        return u"&quot;";
    default:
        return nullptr;
    }
}

// Length of the reference starting at text[i] ('&' ... ';') when option 0x08 keeps it, or 0.
size_t KeptReferenceLength(std::u16string_view text, size_t i) {
    size_t p = i + 1;
    if (p >= text.size())
        return 0;
    const char16_t first = text[p];
    if (!(first >= 128 || HasClass(first, kClassRefStart)))
        return 0;
    ++p;
    while (p < text.size() && text[p] != u';') {
        const char16_t c = text[p];
        if (!(c >= 128 || HasClass(c, kClassRefBody)))
            return 0;
        ++p;
    }
    if (p >= text.size())
        return 0;
    return p + 1 - i;
}

void AppendCodePoint(std::u16string& out, uint32_t cp) {
    if (cp < 0x10000) {
        out += static_cast<char16_t>(cp);
    } else {
        out += static_cast<char16_t>(0xD800 | (((cp - 0x10000) >> 10) & 0x3FF));
        out += static_cast<char16_t>(0xDC00 | (cp & 0x3FF));
    }
}

// Decodes the body of a reference (between '&' and ';'); 0 when it is none.
uint32_t ReferenceValue(std::u16string_view body) {
    if (body.empty())
        return 0;
    if (body[0] != u'#')
        return static_cast<uint32_t>(NamedReference(body));
    size_t p = 1;
    const bool hex = body.size() > 1 && (body[1] == u'x' || body[1] == u'X');
    if (hex)
        ++p;
    uint64_t value = 0;
    size_t digits = 0;
    for (; p < body.size(); ++p, ++digits) {
        const char16_t c = body[p];
        unsigned d;
        if (c >= u'0' && c <= u'9')
            d = c - u'0';
        else if (hex && c >= u'a' && c <= u'f')
            d = c - u'a' + 10;
        else if (hex && c >= u'A' && c <= u'F')
            d = c - u'A' + 10;
        else
            break;
        value = value * (hex ? 16 : 10) + d;
        if (value > 0x10FFFF)
            return 0; // beyond Unicode: stays as written
    }
    if (digits == 0)
        return 0;
    // A lone surrogate would not survive a conversion: leave such a reference as written.
    if (value >= 0xD800 && value <= 0xDFFF)
        return 0;
    return static_cast<uint32_t>(value);
}

} // namespace

int NamedReference(std::u16string_view name) {
    if (name.empty() || name.size() > kMaxReferenceBody)
        return 0;
    unsigned sum = 0;
    for (char16_t c : name) {
        if (c >= 128)
            return 0;
        sum += c;
    }
    for (unsigned char i : Index().buckets[sum % kBucketCount]) {
        const char* entry = kNamedRefs[i].name;
        size_t k = 0;
        while (k < name.size() && entry[k] && static_cast<char16_t>(entry[k]) == name[k])
            ++k;
        if (k == name.size() && entry[k] == 0)
            return kNamedRefs[i].codePoint;
    }
    return 0;
}

void AppendEscapedMarkupText(std::u16string& out, std::u16string_view text, uint32_t options) {
    const bool quotes = (options & kEscapeQuotes) != 0;
    const bool keep = (options & kEscapeKeepReferences) != 0;
    out.reserve(out.size() + text.size() + text.size() / 10 + 7);
    size_t runStart = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c != u'<' && c != u'&' && c != u'>' && (!quotes || (c != u'\'' && c != u'"')))
            continue;
        out.append(text.data() + runStart, i - runStart);
        if (c == u'&' && keep) {
            const size_t kept = KeptReferenceLength(text, i);
            if (kept) {
                out.append(text.data() + i, kept);
                i += kept - 1;
                runStart = i + 1;
                continue;
            }
        }
        out += ReferenceFor(c);
        runStart = i + 1;
    }
    out.append(text.data() + runStart, text.size() - runStart);
}

std::u16string EscapeMarkupText(std::u16string_view text, uint32_t options) {
    std::u16string out;
    AppendEscapedMarkupText(out, text, options);
    return out;
}

void AppendUnescapedMarkupText(std::u16string& out, std::u16string_view text) {
    size_t runStart = 0;
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        if (text[i] != u'&') {
            ++i;
            continue;
        }
        // Up to 9 units below 128, then ';'.
        size_t p = i + 1;
        while (p < n && p - (i + 1) <= kMaxReferenceBody && text[p] != u';' && text[p] < 128)
            ++p;
        uint32_t cp = 0;
        if (p < n && text[p] == u';' && p - (i + 1) <= kMaxReferenceBody)
            cp = ReferenceValue(text.substr(i + 1, p - (i + 1)));
        if (cp == 0) {
            ++i; // a plain '&'
            continue;
        }
        out.append(text.data() + runStart, i - runStart);
        AppendCodePoint(out, cp);
        i = p + 1;
        runStart = i;
    }
    out.append(text.data() + runStart, n - runStart);
}

std::u16string UnescapeMarkupText(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    AppendUnescapedMarkupText(out, text);
    return out;
}

std::u16string CdataSection(std::u16string_view value) {
    std::u16string out = u"<![CDATA[";
    size_t from = 0;
    for (;;) {
        const size_t at = value.find(u"]]>", from);
        if (at == std::u16string_view::npos)
            break;
        out.append(value.data() + from, at - from);
        out += u"]]]]><![CDATA[>";
        from = at + 3;
    }
    out.append(value.data() + from, value.size() - from);
    out += u"]]>";
    return out;
}

} // namespace quillon
