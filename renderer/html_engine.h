// The layout engine's inside, shared by its parts: html_engine.cpp (fonts, the token walk, tags,
// images), html_tables.cpp (tables) and line_flow.cpp (lines).
#pragma once

#include "renderer/html_layout.h"
#include "renderer/line_flow.h"

#include <map>
#include <optional>
#include <tuple>
#include <vector>

namespace dp::html::detail {

constexpr int kRuleMargin = 4;      // space above and below a horizontal rule
constexpr int kRuleDefaultSize = 2; // its thickness
constexpr int kTableAmplitude = 5;  // noise of table and cell backgrounds
constexpr int kDefaultCellPadding = 1;
constexpr int kDefaultCellSpacing = 2;
constexpr std::uint32_t kLightBorder = 0xC0C0C0; // colours of borders and etched rules
constexpr std::uint32_t kDarkBorder = 0x808080;
constexpr std::uint32_t kRuleLight = 0xFFFFFF;
constexpr std::uint32_t kRuleDark = 0x808080;
constexpr std::uint32_t kWhite = 0xFFFFFF;

// The current style and the copies that opening tags pushed; a closing tag pops only the copy
// its own tag pushed. An opening tag past the depth cap pushes nothing, and the closing tag of
// the same name that follows closes it, not an outer tag of that name.
class StyleStack {
public:
    explicit StyleStack(const TextStyle& base) : current(base) {}

    bool Push(Tag tag) {
        if (entries_.size() >= static_cast<std::size_t>(kMaxStyleDepth)) {
            ++ignored_[tag];
            return false;
        }
        entries_.push_back({tag, current});
        return true;
    }
    void Pop(Tag tag) {
        if (const auto found = ignored_.find(tag); found != ignored_.end()) {
            if (--found->second == 0)
                ignored_.erase(found);
            return;
        }
        if (entries_.empty() || entries_.back().tag != tag)
            return;
        current = entries_.back().saved;
        entries_.pop_back();
    }

    TextStyle current;

private:
    struct Entry {
        Tag tag;
        TextStyle saved;
    };
    std::vector<Entry> entries_;
    std::map<Tag, int> ignored_; // opening tags past the cap not closed yet, by name
};

struct Dimension {
    int value = 0;
    bool percent = false;
};

// "N%" is a percentage; anything else a length.
std::optional<Dimension> ParseDimension(std::wstring_view value, int resolution);

struct BorderSettings {
    int width = 0;
    int style = kBorderNone;
    std::uint32_t light = kLightBorder;
    std::uint32_t dark = kDarkBorder;

    int Inset() const { return style == kBorderDouble ? 3 : width; }
    // A border of style none or width 0 is no border; styles other than solid are 1 wide.
    void Normalise(int maxWidth) {
        if (style == kBorderNone || width <= 0) {
            width = 0;
            style = kBorderNone;
            return;
        }
        width = style == kBorderSolid ? std::min(width, maxWidth) : 1;
    }
};

// Attributes shared by tables and cells.
struct BoxSettings {
    BorderSettings border;
    int effect = -1;
    std::uint32_t colour1 = kWhite;
    std::optional<std::uint32_t> colour2;
    std::optional<std::uint32_t> colour3;
    std::optional<HAlign> align;
    std::optional<VAlign> valign;
    std::optional<Dimension> width;
    std::optional<int> height;
    // table only
    int padding = kDefaultCellPadding;
    int spacing = kDefaultCellSpacing;
    std::wstring_view background;
    // cells only
    int rowSpan = 1;
    int columnSpan = 1;
};

// Per cell: the least and the preferred width of its content.
struct CellMeasure {
    int least = 0;
    int preferred = 0;
    int hard = 0; // the least width with text broken anywhere
};
// One layout: walks the tokens with a style stack, feeds flows, lays tables out.
class Engine final : public FlowFonts {
public:
    Engine(const PreparedText& text, const StyleSheet& sheet, const LayoutServices& services,
           const LayoutOptions& options, DisplayList& out)
        : text_(text), sheet_(sheet), services_(services), options_(options),
          out_(out), context_{faces_, services.colours, 96, {}} {
        context_.resolution = std::clamp(services.measurer.Resolution(), 1, 10000);
        context_.metrics = [this](const TextStyle& style) { return Metrics(Font(style)); };
        measures_.resize(text.tables.size());
    }

    void Run();

    int Font(const TextStyle& style) override;
    const FontMetrics& Metrics(int font) const override {
        return metrics_[static_cast<std::size_t>(font)];
    }
    const std::vector<int>& Measure(int font, std::wstring_view text) override;
    std::wstring& TextPool() override { return out_.text; }
    // A length designed in pixels of a 96-dpi screen, at the target's resolution.
    int Pixels(int designPixels) const override {
        return MulDivRound(designPixels, context_.resolution, 96);
    }

private:
    void Walk(int begin, int end, Flow& flow, StyleStack& stack);
    void OnText(std::wstring_view text, Flow& flow, const TextStyle& style);
    void OpenTag(int index, Flow& flow, StyleStack& stack);
    void ApplyRule(std::wstring_view selector, TextStyle& style);
    void OpenFont(const Token& token, TextStyle& style);
    void OpenAnchor(int index, TextStyle& style);
    void InsertString(int index, Flow& flow, const TextStyle& style);
    void AddRule(const Token& token, Flow& flow, const TextStyle& style);
    void AddImage(const Token& token, Flow& flow, const TextStyle& style);
    int InternImage(const ImageRequest& imageSpec);

    // Tables.
    void LayTable(int shapeIndex, Flow& flow, const TextStyle& style);
    BoxSettings ReadBox(const Token& token, BoxSettings box) const;
    const std::vector<CellMeasure>& MeasureCells(int shapeIndex, const TextStyle& style);
    TextStyle CellStyle(const BoxSettings& cell, const TextStyle& tableStyle) const;

    const PreparedText& text_;
    const StyleSheet& sheet_;
    const LayoutServices& services_;
    const LayoutOptions& options_;
    DisplayList& out_;
    FaceTable faces_;
    StyleContext context_;
    std::vector<FontMetrics> metrics_;
    std::map<std::tuple<int, int, int, bool>, int> fontIndex_;
    int measuringFont_ = -1;
    std::vector<int> ends_;
    std::wstring scratch_;
    std::map<ImageRequest, int> imageIndex_;
    std::vector<std::optional<ImageSize>> imageSizes_;
    std::vector<std::optional<std::vector<CellMeasure>>> measures_;
    // Characters each "string" tag inserts (by token), within kMaxInsertedStrings in all;
    // every pass over a tag (measuring cells, laying them out) inserts the same.
    std::map<int, std::size_t> stringShares_;
    std::size_t stringsInserted_ = 0;
};

} // namespace dp::html::detail
