// The current style of the renderer, the style sheet and the declarations that change them.
#pragma once

#include "renderer/css_values.h"
#include "renderer/layout_services.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace dp::html {

enum class HAlign : std::uint8_t { Left, Center, Right, Justify };
enum class VAlign : std::uint8_t { Baseline, Top, Middle, Bottom };
enum class TextTransform : std::uint8_t { None, Upper, Lower, Capitalize };

// Line styles as the drawing effects number them.
enum BorderStyle : int {
    kBorderNone = 0,
    kBorderSolid = 1,
    kBorderDashed = 2,
    kBorderDotted = 3,
    kBorderDouble = 6
};

struct TextStyle {
    int face = 0; // into FaceTable
    int size = 13;
    int weight = 400;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    bool overline = false;
    bool opaque = false; // background colour instead of transparent
    HAlign align = HAlign::Left;
    VAlign valign = VAlign::Baseline;
    TextTransform transform = TextTransform::None;
    std::uint32_t colour = 0;
    std::uint32_t background = 0;
    std::uint32_t borderColour = 0;
    int borderWidth = 0;
    int borderStyle = kBorderNone;
    int margin = 0;
    int padding = 0;
    int link = -1; // the link this text belongs to
};

// Font family names used by one layout, interned so that styles copy cheaply.
class FaceTable {
public:
    FaceTable();
    int Intern(std::wstring_view face); // at most 31 characters are kept
    const std::wstring& Name(int index) const { return names_[static_cast<std::size_t>(index)]; }

private:
    std::vector<std::wstring> names_;
};

inline constexpr std::wstring_view kFallbackFace = L"Verdana";

struct StyleContext {
    FaceTable& faces;
    const SystemColours* colours = nullptr;
    int resolution = 96;
    // Metrics of a style's font, asked for only by "em" and "ex" lengths.
    std::function<FontMetrics(const TextStyle&)> metrics;
};

void ApplyDeclaration(TextStyle& style, const Declaration& declaration, StyleContext& context);
void ApplyDeclarations(TextStyle& style, const std::vector<Declaration>& declarations,
                       StyleContext& context);

// A length relative to `current` in the style's context ("em" and "ex" from its font).
std::optional<int> StyleLength(std::wstring_view value, int current, const TextStyle& style,
                               StyleContext& context, bool fontSize = false);

class StyleSheet {
public:
    // The built-in rules for body, p, h1-h6, pre, code, a:link, a:hover, sub, sup, big, small
    // and .cpp-comment.
    static StyleSheet Default();
    // Adds or replaces rules written as "selector {declarations}", one after another.
    void AddRules(std::wstring_view text);
    // The rule for a selector (a tag name, "a:link", "a:hover" or ".class"); null if none.
    const std::vector<Declaration>* Find(std::wstring_view selector) const;

private:
    std::map<std::wstring, std::vector<Declaration>, std::less<>> rules_;
};

// Keyword values shared with the table attributes; nothing for an unknown word.
std::optional<HAlign> ParseHorizontalAlign(std::wstring_view value);
std::optional<VAlign> ParseVerticalAlign(std::wstring_view value);
std::optional<int> ParseBorderStyle(std::wstring_view value);

// The text transform applied to a run: upper or lower case, or capitalised (lower case, then
// every letter a-z that starts the run or follows a blank in upper case). Case mapping covers
// ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic.
void ApplyTransform(TextTransform transform, std::wstring& text);

} // namespace dp::html
