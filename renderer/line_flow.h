// Inline content laid into lines, for the layout engine (html_layout.h): line items, where a
// line's operations go, and the flow that breaks, aligns and justifies lines.
#pragma once

#include "renderer/display_list.h"
#include "renderer/html_limits.h"
#include "renderer/html_style.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace dp::html::detail {

inline int Clamp(long long value, int low, int high) {
    return static_cast<int>(std::clamp<long long>(value, low, high));
}

void Translate(DisplayOp& op, int dx, int dy);

// Where a flow's operations and link areas go; none while only measuring widths.
struct Sink {
    std::vector<DisplayOp> ops;
    std::vector<LinkArea> links;
};
struct LineItem {
    enum class Kind : std::uint8_t { Text, Image, Space };
    Kind kind = Kind::Text;
    VAlign valign = VAlign::Baseline;
    bool underline = false;
    bool strike = false;
    bool overline = false;
    bool thick = false;
    bool opaque = false;
    ImageStyle look;
    int x = 0;
    int width = 0;
    int trimmedWidth = 0;
    int height = 0;
    int ascent = 0;
    int xHeight = 0;
    int font = 0;
    int link = -1;
    int blanks = 0;
    int trimmedBlanks = 0;
    int justify = 0; // pixels the justification adds to the run
    std::uint32_t colour = 0;
    std::uint32_t background = 0;
    std::uint32_t start = 0;
    std::uint32_t length = 0;
    std::uint32_t trimmedLength = 0;
    int image = 0;
    int imageWidth = 0;
    int imageHeight = 0;
    std::uint32_t mask = 0;
};
// What a flow needs of the layout around it: fonts, measuring and the pool of drawn text.
class FlowFonts {
public:
    virtual int Font(const TextStyle& style) = 0;
    virtual const FontMetrics& Metrics(int font) const = 0;
    // ends[i] is the width of text[0..i]; valid until the next call.
    virtual const std::vector<int>& Measure(int font, std::wstring_view text) = 0;
    virtual std::wstring& TextPool() = 0;
    // A length designed in pixels of a 96-dpi screen (a line's thickness), at the resolution
    // laid out for.
    virtual int Pixels(int designPixels) const = 0;

protected:
    ~FlowFonts() = default;
};

// Lays inline content into lines within a width, from a top edge at y = 0: text runs broken
// where they do not fit (word_wrap.h), images, tabs, and blocks (tables, rules) on lines of
// their own. Without a sink it only measures: its content width and the least width it needs.
class Flow {
public:
    Flow(FlowFonts& fonts, int width, bool bounded, Sink* sink)
        : fonts_(fonts), width_(std::max(0, width)), bounded_(bounded), sink_(sink) {}

    void AddText(std::wstring_view text, const TextStyle& style);
    void AddImage(int width, int height, int shadow, const TextStyle& style, int image,
                  const ImageStyle& look, std::uint32_t mask);
    void AddTab(const TextStyle& style);
    void LineBreak(const TextStyle& style);
    // Ends the line and answers where a block of that width starts.
    int BeginBlock(int blockWidth, HAlign align, const TextStyle& style);
    // `least` is the width the block needs with its text broken only at break characters,
    // `hardLeast` what it needs with text broken anywhere (images, single characters).
    void EndBlock(int width, int least, int hardLeast, int height);
    void Finish(const TextStyle& style);

    Sink* sink() const { return sink_; }
    bool bounded() const { return bounded_; }
    int width() const { return width_; }
    int y() const { return y_; }
    int contentWidth() const { return contentWidth_; }
    int least() const { return least_; }
    int hardLeast() const { return hardLeast_; }
    bool Full() const { return y_ > kMaxLayoutHeight; }

private:
    void StartLine(const TextStyle& style);
    void PlaceText(std::wstring_view text, const std::vector<int>& ends, std::size_t from,
                   std::size_t to, const TextStyle& style, int font);
    void FlushLine(bool wrapped, const TextStyle& style);
    void TrimLineEnd();
    void Justify(int spare);
    void Emit(const LineItem& item, int x, int top);
    // A line may end in blanks beyond its width (they hang); the room is then none, not less.
    int Room() const { return std::max(0, lineWidth_ - x_); }
    bool OnlyBlanks() const {
        return std::all_of(items_.begin(), items_.end(), [](const LineItem& item) {
            return item.kind == LineItem::Kind::Text && item.trimmedWidth <= 0;
        });
    }

    FlowFonts& fonts_;
    int width_;
    bool bounded_;
    Sink* sink_;
    std::vector<LineItem> items_;
    int y_ = 0;
    int x_ = 0;
    int lineWidth_ = 0;
    int margin_ = 0;
    int padding_ = 0;
    HAlign align_ = HAlign::Left;
    bool afterBlock_ = false;
    int contentWidth_ = 0;
    int least_ = 0;
    int hardLeast_ = 0;
};

} // namespace dp::html::detail
