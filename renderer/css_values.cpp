#include "renderer/css_values.h"

#include "renderer/html_limits.h"

#include <algorithm>
#include <array>
#include <climits>

namespace dp::html {
namespace {

struct NamedColour {
    std::wstring_view name;
    std::uint32_t rgb; // 0xRRGGBB as CSS writes it
};

// The CSS colour keywords the dialect knows, with their CSS values.
constexpr std::array<NamedColour, 140> kCssColours = {{
    {L"aliceblue", 0xF0F8FF},
    {L"antiquewhite", 0xFAEBD7},
    {L"aqua", 0x00FFFF},
    {L"aquamarine", 0x7FFFD4},
    {L"azure", 0xF0FFFF},
    {L"beige", 0xF5F5DC},
    {L"bisque", 0xFFE4C4},
    {L"black", 0x000000},
    {L"blanchedalmond", 0xFFEBCD},
    {L"blue", 0x0000FF},
    {L"blueviolet", 0x8A2BE2},
    {L"brown", 0xA52A2A},
    {L"burlywood", 0xDEB887},
    {L"cadetblue", 0x5F9EA0},
    {L"chartreuse", 0x7FFF00},
    {L"chocolate", 0xD2691E},
    {L"coral", 0xFF7F50},
    {L"cornflowerblue", 0x6495ED},
    {L"cornsilk", 0xFFF8DC},
    {L"crimson", 0xDC143C},
    {L"cyan", 0x00FFFF},
    {L"darkblue", 0x00008B},
    {L"darkcyan", 0x008B8B},
    {L"darkgoldenrod", 0xB8860B},
    {L"darkgray", 0xA9A9A9},
    {L"darkgreen", 0x006400},
    {L"darkkhaki", 0xBDB76B},
    {L"darkmagenta", 0x8B008B},
    {L"darkolivegreen", 0x556B2F},
    {L"darkorange", 0xFF8C00},
    {L"darkorchid", 0x9932CC},
    {L"darkred", 0x8B0000},
    {L"darksalmon", 0xE9967A},
    {L"darkseagreen", 0x8FBC8F},
    {L"darkslateblue", 0x483D8B},
    {L"darkslategray", 0x2F4F4F},
    {L"darkturquoise", 0x00CED1},
    {L"darkviolet", 0x9400D3},
    {L"deeppink", 0xFF1493},
    {L"deepskyblue", 0x00BFFF},
    {L"dimgray", 0x696969},
    {L"dodgerblue", 0x1E90FF},
    {L"firebrick", 0xB22222},
    {L"floralwhite", 0xFFFAF0},
    {L"forestgreen", 0x228B22},
    {L"fuchsia", 0xFF00FF},
    {L"gainsboro", 0xDCDCDC},
    {L"ghostwhite", 0xF8F8FF},
    {L"gold", 0xFFD700},
    {L"goldenrod", 0xDAA520},
    {L"gray", 0x808080},
    {L"green", 0x008000},
    {L"greenyellow", 0xADFF2F},
    {L"honeydew", 0xF0FFF0},
    {L"hotpink", 0xFF69B4},
    {L"indianred", 0xCD5C5C},
    {L"indigo", 0x4B0082},
    {L"ivory", 0xFFFFF0},
    {L"khaki", 0xF0E68C},
    {L"lavender", 0xE6E6FA},
    {L"lavenderblush", 0xFFF0F5},
    {L"lawngreen", 0x7CFC00},
    {L"lemonchiffon", 0xFFFACD},
    {L"lightblue", 0xADD8E6},
    {L"lightcoral", 0xF08080},
    {L"lightcyan", 0xE0FFFF},
    {L"lightgoldenrodyellow", 0xFAFAD2},
    {L"lightgreen", 0x90EE90},
    {L"lightgrey", 0xD3D3D3},
    {L"lightpink", 0xFFB6C1},
    {L"lightsalmon", 0xFFA07A},
    {L"lightseagreen", 0x20B2AA},
    {L"lightskyblue", 0x87CEFA},
    {L"lightslategray", 0x778899},
    {L"lightsteelblue", 0xB0C4DE},
    {L"lightyellow", 0xFFFFE0},
    {L"lime", 0x00FF00},
    {L"limegreen", 0x32CD32},
    {L"linen", 0xFAF0E6},
    {L"magenta", 0xFF00FF},
    {L"maroon", 0x800000},
    {L"mediumaquamarine", 0x66CDAA},
    {L"mediumblue", 0x0000CD},
    {L"mediumorchid", 0xBA55D3},
    {L"mediumpurple", 0x9370DB},
    {L"mediumseagreen", 0x3CB371},
    {L"mediumslateblue", 0x7B68EE},
    {L"mediumspringgreen", 0x00FA9A},
    {L"mediumturquoise", 0x48D1CC},
    {L"mediumvioletred", 0xC71585},
    {L"midnightblue", 0x191970},
    {L"mintcream", 0xF5FFFA},
    {L"mistyrose", 0xFFE4E1},
    {L"moccasin", 0xFFE4B5},
    {L"navajowhite", 0xFFDEAD},
    {L"navy", 0x000080},
    {L"oldlace", 0xFDF5E6},
    {L"olive", 0x808000},
    {L"olivedrab", 0x6B8E23},
    {L"orange", 0xFFA500},
    {L"orangered", 0xFF4500},
    {L"orchid", 0xDA70D6},
    {L"palegoldenrod", 0xEEE8AA},
    {L"palegreen", 0x98FB98},
    {L"paleturquoise", 0xAFEEEE},
    {L"palevioletred", 0xDB7093},
    {L"papayawhip", 0xFFEFD5},
    {L"peachpuff", 0xFFDAB9},
    {L"peru", 0xCD853F},
    {L"pink", 0xFFC0CB},
    {L"plum", 0xDDA0DD},
    {L"powderblue", 0xB0E0E6},
    {L"purple", 0x800080},
    {L"red", 0xFF0000},
    {L"rosybrown", 0xBC8F8F},
    {L"royalblue", 0x4169E1},
    {L"saddlebrown", 0x8B4513},
    {L"salmon", 0xFA8072},
    {L"sandybrown", 0xF4A460},
    {L"seagreen", 0x2E8B57},
    {L"seashell", 0xFFF5EE},
    {L"sienna", 0xA0522D},
    {L"silver", 0xC0C0C0},
    {L"skyblue", 0x87CEEB},
    {L"slateblue", 0x6A5ACD},
    {L"slategray", 0x708090},
    {L"snow", 0xFFFAFA},
    {L"springgreen", 0x00FF7F},
    {L"steelblue", 0x4682B4},
    {L"tan", 0xD2B48C},
    {L"teal", 0x008080},
    {L"thistle", 0xD8BFD8},
    {L"tomato", 0xFF6347},
    {L"turquoise", 0x40E0D0},
    {L"violet", 0xEE82EE},
    {L"wheat", 0xF5DEB3},
    {L"white", 0xFFFFFF},
    {L"whitesmoke", 0xF5F5F5},
    {L"yellow", 0xFFFF00},
    {L"yellowgreen", 0x9ACD32},
}};

struct SystemColourName {
    std::wstring_view name;
    int index; // GetSysColor index
};

constexpr std::array<SystemColourName, 28> kSystemColours = {{
    {L"activeborder", 10},
    {L"activecaption", 2},
    {L"appworkspace", 12},
    {L"background", 1},
    {L"buttonface", 15},
    {L"buttonhighlight", 20},
    {L"buttonshadow", 16},
    {L"buttontext", 18},
    {L"captiontext", 9},
    {L"graytext", 17},
    {L"highlight", 13},
    {L"highlighttext", 14},
    {L"inactiveborder", 11},
    {L"windowframe", 6},
    {L"inactivecaption", 3},
    {L"inactivecaptiontext", 19},
    {L"infobackground", 24},
    {L"infotext", 23},
    {L"menu", 4},
    {L"menutext", 7},
    {L"scrollbar", 0},
    {L"threeddarkshadow", 21},
    {L"threedface", 15},
    {L"threedhighlight", 20},
    {L"threedlightshadow", 22},
    {L"threedshadow", 16},
    {L"window", 5},
    {L"windowtext", 8},
}};

constexpr int kFontSizes[] = {8, 10, 12, 14, 18, 24, 36};
// What a pixel of the dialect is: a 96th of an inch.
constexpr long long kDesignPixelsPerInch = 96;
constexpr long long kSaturation = INT_MAX;

std::uint32_t FromRgb(std::uint32_t rgb) {
    return ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
}

int DigitValue(wchar_t c) {
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    return 99;
}

// Digits of `base` from s[at]; saturates. Sets `digits` to how many were read.
long long ReadDigits(std::wstring_view s, std::size_t at, int base, int& digits) {
    long long value = 0;
    digits = 0;
    for (; at < s.size() && DigitValue(s[at]) < base; ++at, ++digits)
        value = std::min(value * base + DigitValue(s[at]), kSaturation);
    return value;
}

// Base detection on an unsigned number: "0x"/"0X" hexadecimal, leading 0 octal, else decimal.
std::optional<long long> ReadUnsigned(std::wstring_view s) {
    if (s.empty() || DigitValue(s[0]) > 9)
        return std::nullopt;
    int digits = 0;
    if (s[0] == L'0' && s.size() > 2 && (s[1] == L'x' || s[1] == L'X') && DigitValue(s[2]) < 16)
        return ReadDigits(s, 2, 16, digits);
    if (s[0] == L'0')
        return ReadDigits(s, 0, 8, digits);
    return ReadDigits(s, 0, 10, digits);
}

std::wstring_view DropSign(std::wstring_view s) {
    while (!s.empty() && (s.front() == L'+' || s.front() == L'-'))
        s.remove_prefix(1);
    return s;
}

int ClampLength(long long value) {
    return static_cast<int>(std::clamp<long long>(value, 0, kMaxLength));
}

long long Scale(long long n, long long numerator, long long denominator) {
    // Both factors are at most 2^31, so the product fits; round half up (values are >= 0).
    return (n * numerator + denominator / 2) / denominator;
}

std::optional<int> ParseUnitLength(long long n, std::wstring_view unit, const LengthContext& c) {
    const long long dpi = std::max(1, c.resolution);
    if (unit == L"px")
        return ClampLength(Scale(n, dpi, kDesignPixelsPerInch));
    if (unit == L"ex")
        return ClampLength(n * std::max(0, c.exHeight));
    if (unit == L"em")
        return ClampLength(n * std::max(0, c.emHeight));
    if (unit == L"in")
        return ClampLength(n * dpi);
    if (unit == L"cm")
        return ClampLength(Scale(n, dpi * 100, 254));
    if (unit == L"mm")
        return ClampLength(Scale(n, dpi * 10, 254));
    if (unit == L"pt")
        return ClampLength(Scale(n, dpi, 72));
    if (unit == L"pc")
        return ClampLength(Scale(n, dpi, 6));
    return std::nullopt;
}

} // namespace

int MulDivRound(int number, int numerator, int denominator) {
    if (denominator == 0)
        return 0;
    long long product = static_cast<long long>(number) * numerator;
    long long d = denominator;
    if (d < 0) {
        d = -d;
        product = -product;
    }
    const long long half = d / 2;
    const long long q = product >= 0 ? (product + half) / d : -((-product + half) / d);
    return static_cast<int>(std::clamp<long long>(q, INT_MIN, INT_MAX));
}

std::wstring_view Trim(std::wstring_view s) {
    const auto blank = [](wchar_t c) {
        return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
    };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool EqualsNoCase(std::wstring_view a, std::wstring_view lowerB) {
    if (a.size() != lowerB.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const wchar_t c = a[i] >= L'A' && a[i] <= L'Z' ? static_cast<wchar_t>(a[i] + 32) : a[i];
        if (c != lowerB[i])
            return false;
    }
    return true;
}

std::optional<int> ReadInteger(std::wstring_view value) {
    value = Trim(value);
    bool negative = false;
    if (!value.empty() && (value.front() == L'+' || value.front() == L'-')) {
        negative = value.front() == L'-';
        value.remove_prefix(1);
    }
    const std::optional<long long> n = ReadUnsigned(value);
    if (!n)
        return std::nullopt;
    return static_cast<int>(negative ? -*n : *n);
}

std::optional<int> ParseLength(std::wstring_view value, const LengthContext& context) {
    value = DropSign(Trim(value));
    if (value.empty() || DigitValue(value[0]) > 9)
        return std::nullopt;
    int digits = 0;
    if (value.back() == L'%') {
        const long long percent = ReadDigits(value, 0, 10, digits);
        return ClampLength(Scale(std::max(0, context.current), percent, 100));
    }
    if (value.size() > 2) {
        const long long n = ReadDigits(value, 0, 10, digits);
        if (std::optional<int> length = ParseUnitLength(n, value.substr(value.size() - 2), context))
            return length;
    }
    const long long n = *ReadUnsigned(value);
    const long long dpi = std::max(1, context.resolution);
    if (context.fontSize && n >= 1 && n <= 7)
        return ClampLength(Scale(kFontSizes[n - 1], dpi, kDesignPixelsPerInch));
    return ClampLength(Scale(n, dpi, kDesignPixelsPerInch));
}

std::optional<std::uint32_t> ParseColour(std::wstring_view value, const SystemColours* system) {
    value = Trim(value);
    if (value.empty())
        return std::nullopt;
    if (value.front() == L'#') {
        if (value.size() != 7)
            return std::nullopt;
        std::uint32_t rgb = 0;
        for (wchar_t c : value.substr(1)) {
            if (DigitValue(c) > 15)
                return std::nullopt;
            rgb = rgb * 16 + static_cast<std::uint32_t>(DigitValue(c));
        }
        return FromRgb(rgb);
    }
    if (const std::optional<long long> n = ReadUnsigned(value))
        return static_cast<std::uint32_t>(std::min<long long>(*n, 0x00FFFFFF));
    for (const NamedColour& colour : kCssColours)
        if (colour.name == value)
            return FromRgb(colour.rgb);
    if (system)
        for (const SystemColourName& colour : kSystemColours)
            if (colour.name == value)
                return system->Colour(colour.index) & 0x00FFFFFF;
    return std::nullopt;
}

std::optional<int> ParseFontWeight(std::wstring_view value) {
    value = Trim(value);
    if (value.empty() || EqualsNoCase(value, L"normal"))
        return 400;
    if (EqualsNoCase(value, L"bold"))
        return 700;
    if (EqualsNoCase(value, L"bolder"))
        return 900;
    if (EqualsNoCase(value, L"lighter"))
        return 100;
    if (const std::optional<int> n = ReadInteger(value))
        return std::clamp(*n, 100, 900);
    return std::nullopt;
}

std::vector<Declaration> ParseDeclarations(std::wstring_view text) {
    std::vector<Declaration> out;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find(L';'), text.size());
        const std::wstring_view item = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        const std::size_t colon = item.find(L':');
        if (colon == std::wstring_view::npos)
            continue;
        Declaration declaration;
        for (wchar_t c : Trim(item.substr(0, colon)))
            declaration.name.push_back(c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 32) : c);
        declaration.value = Trim(item.substr(colon + 1));
        if (!declaration.name.empty())
            out.push_back(std::move(declaration));
    }
    return out;
}

} // namespace dp::html
