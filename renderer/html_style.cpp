#include "renderer/html_style.h"

#include "renderer/html_limits.h"

#include <algorithm>

namespace dp::html {
namespace {

constexpr std::size_t kMaxFaceLength = 31;

constexpr std::wstring_view kDefaultSheet =
    L"body {font-size: 10pt; color:black; font-family:Verdana}\r\n"
    L"p {font-size: 10pt; color:black; font-family:Verdana; font-weight:bold}\r\n"
    L"h1 {font-size: 14pt; color:black; font-family:Verdana; font-weight:bold}\r\n"
    L"h2 {font-size: 13pt; color:#ff9900; font-family:Verdana; font-weight:bold}\r\n"
    L"h3 {font-size: 12pt; color:#ff9900; font-family:Arial; font-weight:bold}\r\n"
    L"h4 {font-size: 10pt; color:black; font-family:Verdana; font-weight:bold}\r\n"
    L"h5 {font-size: 9pt; color:#ff9900; font-family:Verdana; font-weight:bold}\r\n"
    L"h6 {font-size: 65%; color:#626262; font-family:Verdana; font-weight:normal}\r\n"
    L"pre {font-size: 9pt; font-family:\"Courier\"; background-color:#fbedbb}\r\n"
    L"code {color:#990000; font-family:Arial}\r\n"
    L"a:link {text-decoration:none; color:blue}\r\n"
    L"a:hover {text-decoration:underline; color:blue}\r\n"
    L"sub {font-size:65%; vertical-align:bottom}\r\n"
    L"sup {font-size:65%; vertical-align:top}\r\n"
    L"big {font-size:125%}\r\n"
    L"small {font-size:75%}\r\n"
    L".cpp-comment {color:green; font-style:italic}\r\n";

bool EndsWithUnit(std::wstring_view value, std::wstring_view unit) {
    value = Trim(value);
    return value.size() >= unit.size() && value.substr(value.size() - unit.size()) == unit;
}

std::wstring_view FirstFamily(std::wstring_view value) {
    value = Trim(value.substr(0, value.find(L',')));
    if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') &&
        value.back() == value.front())
        value = Trim(value.substr(1, value.size() - 2));
    return value;
}

void ApplyTextDecoration(TextStyle& style, std::wstring_view value) {
    bool underline = false, strike = false, overline = false, understood = false;
    while (!value.empty()) {
        const std::size_t end = std::min(value.find_first_of(L" ,"), value.size());
        const std::wstring_view word = value.substr(0, end);
        value.remove_prefix(std::min(end + 1, value.size()));
        if (EqualsNoCase(word, L"none")) {
            understood = true;
            underline = strike = overline = false;
        } else if (EqualsNoCase(word, L"underline")) {
            understood = underline = true;
        } else if (EqualsNoCase(word, L"line-through")) {
            understood = strike = true;
        } else if (EqualsNoCase(word, L"overline")) {
            understood = overline = true;
        }
    }
    if (!understood)
        return;
    style.underline = underline;
    style.strike = strike;
    style.overline = overline;
}

void ApplyBorderWidth(TextStyle& style, std::wstring_view value, StyleContext& context) {
    std::optional<int> width;
    if (EqualsNoCase(value, L"thin"))
        width = MulDivRound(style.borderWidth, 75, 100);
    else if (EqualsNoCase(value, L"thick"))
        width = MulDivRound(style.borderWidth, 125, 100);
    else if (!EqualsNoCase(value, L"medium"))
        width = StyleLength(value, style.borderWidth, style, context);
    if (width)
        style.borderWidth = std::clamp(*width, 0, kMaxBorderWidth);
}

} // namespace

std::optional<int> ParseBorderStyle(std::wstring_view value) {
    if (EqualsNoCase(value, L"none"))
        return kBorderNone;
    if (EqualsNoCase(value, L"solid"))
        return kBorderSolid;
    if (EqualsNoCase(value, L"dashed"))
        return kBorderDashed;
    if (EqualsNoCase(value, L"dotted"))
        return kBorderDotted;
    if (EqualsNoCase(value, L"double"))
        return kBorderDouble;
    return std::nullopt;
}

std::optional<HAlign> ParseHorizontalAlign(std::wstring_view value) {
    if (EqualsNoCase(value, L"left"))
        return HAlign::Left;
    if (EqualsNoCase(value, L"center"))
        return HAlign::Center;
    if (EqualsNoCase(value, L"right"))
        return HAlign::Right;
    if (EqualsNoCase(value, L"justify"))
        return HAlign::Justify;
    return std::nullopt;
}

std::optional<VAlign> ParseVerticalAlign(std::wstring_view value) {
    if (EqualsNoCase(value, L"baseline"))
        return VAlign::Baseline;
    if (EqualsNoCase(value, L"middle") || EqualsNoCase(value, L"vcenter"))
        return VAlign::Middle;
    if (EqualsNoCase(value, L"top"))
        return VAlign::Top;
    if (EqualsNoCase(value, L"bottom"))
        return VAlign::Bottom;
    return std::nullopt;
}

namespace {

std::optional<TextTransform> Transform(std::wstring_view value) {
    if (EqualsNoCase(value, L"none"))
        return TextTransform::None;
    if (EqualsNoCase(value, L"uppercase"))
        return TextTransform::Upper;
    if (EqualsNoCase(value, L"lowercase"))
        return TextTransform::Lower;
    if (EqualsNoCase(value, L"capitalize"))
        return TextTransform::Capitalize;
    return std::nullopt;
}

template <typename T> void Set(T& field, std::optional<T> value) {
    if (value)
        field = *value;
}

// Simple case pairs: ranges where upper and lower case differ by a fixed offset, and the
// Latin Extended-A runs where they alternate.
wchar_t ToLower(wchar_t c) {
    if ((c >= L'A' && c <= L'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) ||
        (c >= 0x391 && c <= 0x3AB && c != 0x3A2) || (c >= 0x410 && c <= 0x42F))
        return static_cast<wchar_t>(c + 0x20);
    if (c >= 0x400 && c <= 0x40F)
        return static_cast<wchar_t>(c + 0x50);
    if (c == 0x178)
        return 0xFF;
    if (((c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) &&
        c % 2 == 0)
        return static_cast<wchar_t>(c + 1);
    if (((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) && c % 2 == 1)
        return static_cast<wchar_t>(c + 1);
    return c;
}

wchar_t ToUpper(wchar_t c) {
    if ((c >= L'a' && c <= L'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7) ||
        (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) || (c >= 0x430 && c <= 0x44F))
        return static_cast<wchar_t>(c - 0x20);
    if (c >= 0x450 && c <= 0x45F)
        return static_cast<wchar_t>(c - 0x50);
    if (c == 0xFF)
        return 0x178;
    if (((c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) &&
        c % 2 == 1)
        return static_cast<wchar_t>(c - 1);
    if (((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) && c % 2 == 0)
        return static_cast<wchar_t>(c - 1);
    return c;
}

} // namespace

FaceTable::FaceTable() {
    names_.emplace_back(kFallbackFace);
}

int FaceTable::Intern(std::wstring_view face) {
    face = face.substr(0, kMaxFaceLength);
    if (face.empty())
        return 0;
    for (std::size_t i = 0; i < names_.size(); ++i)
        if (names_[i] == face)
            return static_cast<int>(i);
    // Every face of a layout ends up in one font; beyond the font cap further faces are moot.
    if (names_.size() >= static_cast<std::size_t>(kMaxFonts))
        return static_cast<int>(names_.size()) - 1;
    names_.emplace_back(face);
    return static_cast<int>(names_.size()) - 1;
}

std::optional<int> StyleLength(std::wstring_view value, int current, const TextStyle& style,
                               StyleContext& context, bool fontSize) {
    LengthContext length;
    length.current = current;
    length.resolution = context.resolution;
    length.fontSize = fontSize;
    if ((EndsWithUnit(value, L"em") || EndsWithUnit(value, L"ex")) && context.metrics) {
        const FontMetrics metrics = context.metrics(style);
        length.emHeight = metrics.height;
        length.exHeight = metrics.xHeight;
    }
    return ParseLength(value, length);
}

void ApplyDeclaration(TextStyle& style, const Declaration& d, StyleContext& context) {
    const std::wstring_view name = d.name, value = d.value;
    if (name == L"font-size" || name == L"size") {
        if (std::optional<int> size = StyleLength(value, style.size, style, context, true))
            style.size = std::clamp(*size, kMinFontSize, kMaxFontSize);
    } else if (name == L"font-family") {
        if (const std::wstring_view family = FirstFamily(value); !family.empty())
            style.face = context.faces.Intern(family);
    } else if (name == L"font-style") {
        if (EqualsNoCase(value, L"normal"))
            style.italic = false;
        else if (EqualsNoCase(value, L"italic") || EqualsNoCase(value, L"oblique"))
            style.italic = true;
    } else if (name == L"font-weight") {
        Set(style.weight, ParseFontWeight(value));
    } else if (name == L"text-align") {
        Set(style.align, ParseHorizontalAlign(value));
    } else if (name == L"text-transform") {
        Set(style.transform, Transform(value));
    } else if (name == L"color") {
        Set(style.colour, ParseColour(value, context.colours));
    } else if (name == L"background-color") {
        if (EqualsNoCase(value, L"transparent"))
            style.opaque = false;
        else if (std::optional<std::uint32_t> colour = ParseColour(value, context.colours)) {
            style.opaque = true;
            style.background = *colour;
        }
    } else if (name == L"text-decoration") {
        ApplyTextDecoration(style, value);
    } else if (name == L"vertical-align") {
        Set(style.valign, ParseVerticalAlign(value));
    } else if (name == L"border-color") {
        Set(style.borderColour, ParseColour(value, context.colours));
    } else if (name == L"border-width") {
        ApplyBorderWidth(style, value, context);
    } else if (name == L"border-style") {
        Set(style.borderStyle, ParseBorderStyle(value));
    } else if (name == L"margin") {
        Set(style.margin, StyleLength(value, style.margin, style, context));
    } else if (name == L"padding") {
        Set(style.padding, StyleLength(value, style.padding, style, context));
    }
}

void ApplyDeclarations(TextStyle& style, const std::vector<Declaration>& declarations,
                       StyleContext& context) {
    for (const Declaration& declaration : declarations)
        ApplyDeclaration(style, declaration, context);
}

StyleSheet StyleSheet::Default() {
    StyleSheet sheet;
    sheet.AddRules(kDefaultSheet);
    return sheet;
}

void StyleSheet::AddRules(std::wstring_view text) {
    while (true) {
        const std::size_t open = text.find(L'{');
        if (open == std::wstring_view::npos)
            return;
        const std::size_t close = text.find(L'}', open);
        const std::wstring_view selector = Trim(text.substr(0, open));
        const std::wstring_view body = text.substr(
            open + 1, (close == std::wstring_view::npos ? text.size() : close) - open - 1);
        if (!selector.empty())
            rules_[std::wstring(selector)] = ParseDeclarations(body);
        if (close == std::wstring_view::npos)
            return;
        text.remove_prefix(close + 1);
    }
}

const std::vector<Declaration>* StyleSheet::Find(std::wstring_view selector) const {
    const auto found = rules_.find(selector);
    return found == rules_.end() ? nullptr : &found->second;
}

void ApplyTransform(TextTransform transform, std::wstring& text) {
    switch (transform) {
    case TextTransform::None:
        return;
    case TextTransform::Upper:
        std::transform(text.begin(), text.end(), text.begin(), ToUpper);
        return;
    case TextTransform::Lower:
        std::transform(text.begin(), text.end(), text.begin(), ToLower);
        return;
    case TextTransform::Capitalize:
        for (std::size_t i = 0; i < text.size(); ++i) {
            text[i] = ToLower(text[i]);
            if ((i == 0 || text[i - 1] == L' ') && text[i] >= L'a' && text[i] <= L'z')
                text[i] = static_cast<wchar_t>(text[i] - 32);
        }
        return;
    }
}

} // namespace dp::html
