#include "richmsg/html_layout.h"

#include "richmsg/draw_effects.h"
#include "richmsg/html_entities.h"
#include "richmsg/html_limits.h"
#include "richmsg/table_grid.h"
#include "richmsg/word_wrap.h"

#include <algorithm>
#include <map>
#include <optional>
#include <tuple>

namespace dp::html {
namespace {

constexpr int kRuleMargin = 4;
constexpr int kRuleDefaultSize = 2;
constexpr int kTableAmplitude = 5;
constexpr int kDefaultCellPadding = 1;
constexpr int kDefaultCellSpacing = 2;
constexpr std::uint32_t kLightBorder = 0xC0C0C0;
constexpr std::uint32_t kDarkBorder = 0x808080;
constexpr std::uint32_t kRuleLight = 0xFFFFFF;
constexpr std::uint32_t kRuleDark = 0x808080;
constexpr std::uint32_t kWhite = 0xFFFFFF;

int Clamp(long long value, int low, int high) {
    return static_cast<int>(std::clamp<long long>(value, low, high));
}

bool PushesStyle(Tag tag) {
    switch (tag) {
    case Tag::Unknown:
    case Tag::Rule:
    case Tag::Bitmap:
    case Tag::Icon:
    case Tag::ImageList:
    case Tag::String:
    case Tag::Table:
    case Tag::Row:
    case Tag::Cell:
        return false;
    default:
        return true;
    }
}

template <class... F> struct Overloaded : F... { using F::operator()...; };
template <class... F> Overloaded(F...) -> Overloaded<F...>;

void Translate(DisplayOp& op, int dx, int dy) {
    const auto move = [&](Rect& r) {
        r.left += dx;
        r.right += dx;
        r.top += dy;
        r.bottom += dy;
    };
    std::visit(Overloaded{[&](TextOp& t) {
                              t.x += dx;
                              t.y += dy;
                          },
                          [&](FillOp& f) { move(f.rect); }, [&](ImageOp& i) { move(i.rect); },
                          [&](LineOp& l) {
                              l.fromX += dx;
                              l.toX += dx;
                              l.fromY += dy;
                              l.toY += dy;
                          }},
               op);
}

// Where a flow's operations and link areas go; none while only measuring widths.
struct Sink {
    std::vector<DisplayOp> ops;
    std::vector<LinkArea> links;
};

class StyleStack {
public:
    explicit StyleStack(const TextStyle& base) : current(base) {}

    bool Push(Tag tag) {
        if (entries_.size() >= static_cast<std::size_t>(kMaxStyleDepth))
            return false;
        entries_.push_back({tag, current});
        return true;
    }
    void Pop(Tag tag) {
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
};

struct Dimension {
    int value = 0;
    bool percent = false;
};

// "N%" is a percentage; anything else a length.
std::optional<Dimension> ParseDimension(std::wstring_view value) {
    value = Trim(value);
    if (!value.empty() && value.back() == L'%') {
        if (std::optional<int> n = ParseLength(value, {.current = 100}))
            return Dimension{*n, true};
        return std::nullopt;
    }
    if (std::optional<int> n = ParseLength(value, {}))
        return Dimension{*n, false};
    return std::nullopt;
}

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

class Engine;

// Lays inline content into lines within a width, from a top edge at y = 0.
class Flow {
public:
    Flow(Engine& engine, int width, bool bounded, Sink* sink)
        : engine_(engine), width_(std::max(0, width)), bounded_(bounded), sink_(sink) {}

    void AddText(std::wstring_view text, const TextStyle& style);
    void AddImage(int width, int height, int shadow, const TextStyle& style, int image,
                  const ImageStyle& look, std::uint32_t mask);
    void AddTab(const TextStyle& style);
    void LineBreak(const TextStyle& style);
    // Ends the line and answers where a block of that width starts.
    int BeginBlock(int blockWidth, HAlign align, const TextStyle& style);
    void EndBlock(int width, int least, int height);
    void Finish(const TextStyle& style);

    Sink* sink() const { return sink_; }
    bool bounded() const { return bounded_; }
    int width() const { return width_; }
    int y() const { return y_; }
    int contentWidth() const { return contentWidth_; }
    int least() const { return least_; }
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

    Engine& engine_;
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
};

class Engine {
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

    int Font(const TextStyle& style);
    const FontMetrics& Metrics(int font) const { return metrics_[static_cast<std::size_t>(font)]; }
    std::vector<int>& Measure(int font, std::wstring_view text);
    DisplayList& out() { return out_; }
    const LayoutOptions& options() const { return options_; }

private:
    void Walk(int begin, int end, Flow& flow, StyleStack& stack);
    void OnText(std::wstring_view text, Flow& flow, const TextStyle& style);
    void OpenTag(int index, Flow& flow, StyleStack& stack);
    void ApplyRule(std::wstring_view selector, TextStyle& style);
    void OpenFont(const Token& token, TextStyle& style);
    void OpenAnchor(int index, TextStyle& style);
    void InsertString(const Token& token, Flow& flow, const TextStyle& style);
    void AddRule(const Token& token, Flow& flow, const TextStyle& style);
    void AddImage(const Token& token, Flow& flow, const TextStyle& style);
    int InternImage(const ImageSpec& spec);

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
    std::map<ImageSpec, int> imageIndex_;
    std::vector<std::optional<ImageSize>> imageSizes_;
    std::vector<std::optional<std::vector<CellMeasure>>> measures_;
};

// ---- Flow --------------------------------------------------------------------------------

void Flow::StartLine(const TextStyle& style) {
    margin_ = std::clamp(style.margin, 0, width_ / 2);
    padding_ = std::clamp(style.padding, 0, kMaxLength);
    align_ = style.align;
    lineWidth_ = width_ - 2 * margin_;
    x_ = 0;
}

void Flow::AddText(std::wstring_view text, const TextStyle& style) {
    if (text.empty())
        return;
    if (text.find_first_not_of(L' ') != std::wstring_view::npos)
        afterBlock_ = false;
    const int font = engine_.Font(style);
    const std::vector<int>& ends = engine_.Measure(font, text);
    if (!sink_)
        least_ = std::max(least_, WidestPiece(text, ends));
    std::size_t from = 0;
    while (from < text.size() && !Full()) {
        if (items_.empty())
            StartLine(style);
        const WrapDecision decision = WrapRun(text, ends, from, Room(), items_.empty());
        if (decision.moveWhole) {
            FlushLine(true, style);
            continue;
        }
        if (decision.placeEnd > from)
            PlaceText(text, ends, from, decision.placeEnd, style, font);
        if (decision.fitsWhole)
            return;
        FlushLine(true, style);
        from = decision.next;
    }
}

void Flow::PlaceText(std::wstring_view text, const std::vector<int>& ends, std::size_t from,
                     std::size_t to, const TextStyle& style, int font) {
    const FontMetrics& metrics = engine_.Metrics(font);
    LineItem item;
    item.kind = LineItem::Kind::Text;
    item.x = x_;
    item.width = SpanWidth(ends, from, to);
    const std::size_t trimmedTo = TrimRight(text, from, to);
    item.trimmedWidth = SpanWidth(ends, from, trimmedTo);
    item.height = metrics.height;
    item.ascent = metrics.ascent;
    item.xHeight = metrics.xHeight;
    item.valign = style.valign;
    item.font = font;
    item.colour = style.colour;
    item.underline = style.underline;
    item.strike = style.strike;
    item.overline = style.overline;
    item.thick = style.weight >= 700;
    item.opaque = style.opaque;
    item.background = style.background;
    item.link = style.link;
    const std::wstring_view placed = text.substr(from, to - from);
    item.trimmedBlanks = static_cast<int>(std::count(placed.begin(), placed.end(), L' ')) -
                         static_cast<int>(to - trimmedTo);
    item.blanks = item.trimmedBlanks + static_cast<int>(to - trimmedTo);
    if (sink_) {
        std::wstring& chars = engine_.out().text;
        item.start = static_cast<std::uint32_t>(chars.size());
        item.length = static_cast<std::uint32_t>(placed.size());
        item.trimmedLength = static_cast<std::uint32_t>(trimmedTo - from);
        chars.append(placed);
    }
    items_.push_back(item);
    x_ += item.width;
}

void Flow::AddImage(int width, int height, int shadow, const TextStyle& style, int image,
                    const ImageStyle& look, std::uint32_t mask) {
    afterBlock_ = false;
    if (items_.empty())
        StartLine(style);
    else if (width + shadow > Room()) {
        FlushLine(true, style);
        StartLine(style);
    }
    LineItem item;
    item.kind = LineItem::Kind::Image;
    item.x = x_;
    item.width = item.trimmedWidth = width + shadow;
    item.height = item.ascent = height + shadow;
    item.imageWidth = width;
    item.imageHeight = height;
    item.valign = style.valign;
    item.link = style.link;
    item.image = image;
    item.look = look;
    item.mask = mask;
    items_.push_back(item);
    x_ += item.width;
    least_ = std::max(least_, item.width);
}

void Flow::AddTab(const TextStyle& style) {
    afterBlock_ = false;
    const FontMetrics& metrics = engine_.Metrics(engine_.Font(style));
    const int stop = std::max(1, metrics.averageWidth * 8);
    if (items_.empty())
        StartLine(style);
    int next = (x_ / stop + 1) * stop;
    if (next > lineWidth_ && !items_.empty()) {
        FlushLine(true, style);
        StartLine(style);
        next = stop;
    }
    LineItem item;
    item.kind = LineItem::Kind::Space;
    item.x = x_;
    item.width = item.trimmedWidth = next - x_;
    item.height = metrics.height;
    item.ascent = metrics.ascent;
    items_.push_back(item);
    x_ = next;
}

void Flow::LineBreak(const TextStyle& style) {
    if (afterBlock_ && OnlyBlanks()) {
        afterBlock_ = false;
        items_.clear();
        x_ = 0;
        return;
    }
    afterBlock_ = false;
    FlushLine(false, style);
}

int Flow::BeginBlock(int blockWidth, HAlign align, const TextStyle& style) {
    // Blanks between blocks ("</table> <table>") make no line of their own.
    if (OnlyBlanks()) {
        items_.clear();
        x_ = 0;
    } else
        FlushLine(false, style);
    if (!bounded_)
        return 0;
    if (align == HAlign::Center)
        return std::max(0, (width_ - blockWidth) / 2);
    if (align == HAlign::Right)
        return std::max(0, width_ - blockWidth);
    return 0;
}

void Flow::EndBlock(int width, int least, int height) {
    y_ = Clamp(static_cast<long long>(y_) + height, 0, 2 * kMaxLayoutHeight);
    contentWidth_ = std::max(contentWidth_, width);
    least_ = std::max(least_, least);
    afterBlock_ = true;
}

void Flow::Finish(const TextStyle& style) {
    if (!items_.empty())
        FlushLine(false, style);
}

// Trailing blanks of the line do not count: the last text items lose them.
void Flow::TrimLineEnd() {
    for (auto item = items_.rbegin(); item != items_.rend(); ++item) {
        if (item->kind != LineItem::Kind::Text)
            return;
        item->width = item->trimmedWidth;
        item->length = item->trimmedLength;
        item->blanks = item->trimmedBlanks;
        if (item->trimmedLength > 0 || item->trimmedWidth > 0)
            return;
    }
}

void Flow::Justify(int spare) {
    int total = 0;
    for (const LineItem& item : items_)
        total += item.kind == LineItem::Kind::Text ? item.blanks : 0;
    if (total == 0 || spare <= 0)
        return;
    const int each = spare / total, remainder = spare % total;
    int seen = 0, shift = 0;
    for (LineItem& item : items_) {
        item.x += shift;
        if (item.kind != LineItem::Kind::Text || item.blanks == 0)
            continue;
        const int extra = each * item.blanks + std::clamp(remainder - seen, 0, item.blanks);
        seen += item.blanks;
        item.width += extra;
        item.justify = extra;
        shift += extra;
    }
}

void Flow::FlushLine(bool wrapped, const TextStyle& style) {
    if (items_.empty()) {
        if (!wrapped) {
            const int padding = std::clamp(style.padding, 0, kMaxLength);
            y_ += engine_.Metrics(engine_.Font(style)).height + 2 * padding;
        }
        return;
    }
    TrimLineEnd();
    int used = 0, ascent = 0, descent = 0, other = 0;
    for (LineItem& item : items_) {
        used = std::max(used, item.x + item.width);
        if (item.valign == VAlign::Baseline) {
            ascent = std::max(ascent, item.ascent);
            descent = std::max(descent, item.height - item.ascent);
        } else {
            other = std::max(other, item.height);
        }
    }
    const int height = std::max(ascent + descent, other);
    int offset = margin_;
    if (bounded_ && align_ == HAlign::Center)
        offset += std::max(0, (lineWidth_ - used) / 2);
    else if (bounded_ && align_ == HAlign::Right)
        offset += std::max(0, lineWidth_ - used);
    else if (bounded_ && align_ == HAlign::Justify && wrapped && sink_)
        Justify(lineWidth_ - used);
    const int lineTop = y_ + padding_;
    if (sink_) {
        for (const LineItem& item : items_) {
            int top = lineTop;
            if (item.valign == VAlign::Baseline)
                top += ascent - item.ascent;
            else if (item.valign == VAlign::Bottom)
                top += height - item.height;
            else if (item.valign == VAlign::Middle)
                top += (height - item.height) / 2;
            Emit(item, offset + item.x, top);
        }
    }
    contentWidth_ = std::max(contentWidth_, used + 2 * margin_);
    y_ = Clamp(static_cast<long long>(y_) + height + 2 * padding_, 0, 2 * kMaxLayoutHeight);
    items_.clear();
    x_ = 0;
}

void Flow::Emit(const LineItem& item, int x, int top) {
    const Rect box{x, top, x + item.width, top + item.height};
    if (item.kind == LineItem::Kind::Image) {
        ImageOp op;
        op.rect = {x, top, x + item.imageWidth, top + item.imageHeight};
        op.image = item.image;
        op.style = item.look;
        op.mask = item.mask;
        sink_->ops.push_back(op);
    } else if (item.kind == LineItem::Kind::Text && item.width > 0) {
        if (item.opaque)
            sink_->ops.push_back(FillOp{box, 0, item.background, item.background, item.background});
        TextOp text;
        text.x = x;
        text.y = top;
        text.width = item.width;
        text.font = item.font;
        text.colour = item.colour;
        text.start = item.start;
        text.length = item.length;
        text.justifyExtra = item.justify;
        text.justifyBreaks = item.justify > 0 ? item.blanks : 0;
        sink_->ops.push_back(text);
        const int pen = item.thick ? 2 : 1;
        const auto line = [&](int y) {
            sink_->ops.push_back(LineOp{x, y, x + item.width, y, item.colour, kBorderSolid, pen});
        };
        if (item.underline)
            line(top + item.ascent + 1);
        if (item.strike)
            line(top + item.ascent - std::max(1, item.xHeight / 2));
        if (item.overline)
            line(top);
    }
    if (item.link >= 0 && item.kind != LineItem::Kind::Space && item.width > 0)
        sink_->links.push_back({box, item.link});
}

// ---- Engine: fonts and measuring -----------------------------------------------------------

FontMetrics Sanitised(FontMetrics m) {
    m.height = std::clamp(m.height, 1, 4 * kMaxFontSize);
    m.ascent = std::clamp(m.ascent, 0, m.height);
    m.descent = m.height - m.ascent;
    m.xHeight = std::clamp(m.xHeight, 0, m.height);
    m.averageWidth = std::clamp(m.averageWidth, 1, 4 * kMaxFontSize);
    return m;
}

int Engine::Font(const TextStyle& style) {
    const auto key = std::make_tuple(style.face, style.size, style.weight, style.italic);
    if (const auto found = fontIndex_.find(key); found != fontIndex_.end())
        return found->second;
    if (out_.fonts.size() >= static_cast<std::size_t>(kMaxFonts))
        return kMaxFonts - 1;
    FontSpec spec;
    spec.face = faces_.Name(style.face);
    spec.height = std::clamp(style.size, kMinFontSize, kMaxFontSize);
    spec.weight = std::clamp(style.weight, 100, 900);
    spec.italic = style.italic;
    const int index = static_cast<int>(out_.fonts.size());
    metrics_.push_back(Sanitised(services_.measurer.UseFont(spec)));
    out_.fonts.push_back(std::move(spec));
    measuringFont_ = index;
    fontIndex_.emplace(key, index);
    return index;
}

// The prefix widths of `text` in `font`, made non-decreasing and bounded whatever the
// measurer says. An empty text returns the widths measured last.
std::vector<int>& Engine::Measure(int font, std::wstring_view text) {
    if (text.empty())
        return ends_;
    if (measuringFont_ != font) {
        services_.measurer.UseFont(out_.fonts[static_cast<std::size_t>(font)]);
        measuringFont_ = font;
    }
    ends_.assign(text.size(), 0);
    services_.measurer.MeasurePrefixes(text, ends_);
    ends_.resize(text.size());
    int previous = 0;
    for (int& end : ends_) {
        end = std::clamp(end, previous, 1 << 29);
        previous = end;
    }
    return ends_;
}

// ---- Engine: the token walk ----------------------------------------------------------------

void Engine::Run() {
    out_.links.resize(static_cast<std::size_t>(text_.linkCount));
    out_.shadowOffset = std::clamp(options_.shadowOffset, 0, 64);
    out_.shadowColour = options_.shadowColour;
    TextStyle base;
    base.size = std::clamp(MulDivRound(10, context_.resolution, 72), kMinFontSize, kMaxFontSize);
    const bool bounded = options_.width > 0;
    // Most tokens become one operation; reserving spares the copies of a growing list.
    Sink sink;
    sink.ops.reserve(text_.tokens.tokens.size() + 16);
    out_.text.reserve(text_.tokens.chars.size());
    Flow body(*this, bounded ? std::min(options_.width, kMaxLength) : kMaxLength, bounded, &sink);
    StyleStack stack(base);
    Walk(0, static_cast<int>(text_.tokens.tokens.size()), body, stack);
    body.Finish(stack.current);
    out_.ops = std::move(sink.ops);
    out_.linkAreas = std::move(sink.links);
    out_.width = body.contentWidth();
    out_.height = std::min(body.y(), kMaxLayoutHeight);
}

void Engine::Walk(int begin, int end, Flow& flow, StyleStack& stack) {
    const std::vector<Token>& tokens = text_.tokens.tokens;
    for (int i = begin; i < end && !flow.Full(); ++i) {
        const Token& token = tokens[static_cast<std::size_t>(i)];
        switch (token.kind) {
        case TokenKind::Text:
            OnText(text_.tokens.Text(token), flow, stack.current);
            break;
        case TokenKind::LineBreak:
            flow.LineBreak(stack.current);
            break;
        case TokenKind::Tab:
            flow.AddTab(stack.current);
            break;
        case TokenKind::Tag:
            if (token.tag == Tag::Table && !token.closing &&
                text_.ordinal[static_cast<std::size_t>(i)] >= 0) {
                const int shape = text_.ordinal[static_cast<std::size_t>(i)];
                LayTable(shape, flow, stack.current);
                i = text_.tables[static_cast<std::size_t>(shape)].end;
            } else if (token.closing) {
                stack.Pop(token.tag);
            } else {
                OpenTag(i, flow, stack);
            }
            break;
        }
    }
}

void Engine::OnText(std::wstring_view text, Flow& flow, const TextStyle& style) {
    if (style.transform == TextTransform::None) {
        flow.AddText(text, style);
        return;
    }
    scratch_.assign(text);
    ApplyTransform(style.transform, scratch_);
    flow.AddText(scratch_, style);
}

void Engine::ApplyRule(std::wstring_view selector, TextStyle& style) {
    if (const std::vector<Declaration>* rule = sheet_.Find(selector))
        ApplyDeclarations(style, *rule, context_);
}

void Engine::OpenTag(int index, Flow& flow, StyleStack& stack) {
    const Token& token = text_.tokens.tokens[static_cast<std::size_t>(index)];
    if (PushesStyle(token.tag) && !stack.Push(token.tag))
        return;
    TextStyle& style = stack.current;
    switch (token.tag) {
    case Tag::Bold:
        style.weight = std::min(900, style.weight * 2);
        break;
    case Tag::Italic:
        style.italic = !style.italic;
        break;
    case Tag::Underline:
        style.underline = !style.underline;
        break;
    case Tag::Strike:
        style.strike = !style.strike;
        break;
    case Tag::Font:
        OpenFont(token, style);
        break;
    case Tag::Left:
        style.align = HAlign::Left;
        break;
    case Tag::Center:
        style.align = HAlign::Center;
        break;
    case Tag::Right:
        style.align = HAlign::Right;
        break;
    case Tag::Justify:
        style.align = HAlign::Justify;
        break;
    case Tag::Baseline:
        style.valign = VAlign::Baseline;
        break;
    case Tag::Top:
        style.valign = VAlign::Top;
        break;
    case Tag::Middle:
        style.valign = VAlign::Middle;
        break;
    case Tag::Bottom:
        style.valign = VAlign::Bottom;
        break;
    case Tag::Span:
        if (const auto name = text_.tokens.Find(token, L"class"))
            ApplyRule(L"." + std::wstring(*name), style);
        break;
    case Tag::Anchor:
        OpenAnchor(index, style);
        break;
    case Tag::Rule:
        AddRule(token, flow, style);
        break;
    case Tag::Bitmap:
    case Tag::Icon:
    case Tag::ImageList:
        AddImage(token, flow, style);
        break;
    case Tag::String:
        InsertString(token, flow, style);
        break;
    default:
        if (const std::wstring_view selector = SheetSelector(token.tag); !selector.empty())
            ApplyRule(selector, style);
        break;
    }
}

void Engine::OpenFont(const Token& token, TextStyle& style) {
    for (const Attribute& attribute : text_.tokens.Attributes(token)) {
        const std::wstring_view name = text_.tokens.Name(attribute);
        const std::wstring_view value = text_.tokens.Value(attribute);
        if (name == L"face") {
            if (!Trim(value).empty())
                style.face = faces_.Intern(Trim(value));
        } else if (name == L"size") {
            if (const auto size = StyleLength(value, style.size, style, context_, true))
                style.size = std::clamp(*size, kMinFontSize, kMaxFontSize);
        } else if (name == L"color") {
            if (const auto colour = ParseColour(value, services_.colours))
                style.colour = *colour;
        } else if (name == L"style") {
            ApplyDeclarations(style, ParseDeclarations(value), context_);
        } else if (name == L"weight") {
            if (const auto weight = ParseFontWeight(value))
                style.weight = *weight;
        } else if (name == L"bkgnd") {
            if (EqualsNoCase(Trim(value), L"transparent")) {
                style.opaque = false;
            } else if (const auto colour = ParseColour(value, services_.colours)) {
                style.opaque = true;
                style.background = *colour;
            }
        }
    }
}

void Engine::OpenAnchor(int index, TextStyle& style) {
    const Token& token = text_.tokens.tokens[static_cast<std::size_t>(index)];
    const int number = text_.ordinal[static_cast<std::size_t>(index)];
    Link& link = out_.links[static_cast<std::size_t>(number)];
    if (const auto href = text_.tokens.Find(token, L"href")) {
        link = {LinkKind::Open, std::wstring(Trim(*href))};
    } else if (const auto message = text_.tokens.Find(token, L"msg")) {
        link = {LinkKind::Message, std::wstring(*message)};
    }
    style.link = link.target.empty() ? -1 : number;
    ApplyRule(number == options_.hoveredLink ? L"a:hover" : L"a:link", style);
}

void Engine::InsertString(const Token& token, Flow& flow, const TextStyle& style) {
    if (!services_.strings)
        return;
    std::wstring module;
    std::optional<int> id;
    if (const auto idres = text_.tokens.Find(token, L"idres")) {
        id = ReadInteger(*idres);
    } else if (const auto iddll = text_.tokens.Find(token, L"iddll")) {
        id = ReadInteger(*iddll);
        module = text_.tokens.Find(token, L"srcdll").value_or(L"");
        if (module.empty())
            return;
    }
    if (!id || *id < 0 || *id > 0xFFFF)
        return;
    std::wstring loaded = services_.strings->Load(module, static_cast<unsigned>(*id));
    loaded.resize(std::min<std::size_t>(loaded.size(), kMaxStringResource));
    std::size_t at = 0;
    while (at < loaded.size()) {
        const std::size_t end = std::min(loaded.find_first_of(L"\r\n\t", at), loaded.size());
        OnText(std::wstring_view(loaded).substr(at, end - at), flow, style);
        if (end < loaded.size() && loaded[end] == L'\n')
            flow.LineBreak(style);
        else if (end < loaded.size() && loaded[end] == L'\t')
            flow.AddTab(style);
        at = end + 1;
    }
}

void Engine::AddRule(const Token& token, Flow& flow, const TextStyle& style) {
    Dimension width{100, true};
    int size = kRuleDefaultSize;
    std::optional<std::uint32_t> colour;
    if (const auto value = text_.tokens.Find(token, L"width"))
        width = ParseDimension(*value).value_or(width);
    if (const auto value = text_.tokens.Find(token, L"size"))
        size = std::clamp(ParseLength(*value, {}).value_or(size), 1, kMaxRuleSize);
    if (const auto value = text_.tokens.Find(token, L"color"))
        colour = ParseColour(*value, services_.colours);
    // Never wider than the room it is in.
    const int room = flow.bounded() ? flow.width() : kMaxLength;
    const int pixels =
        !width.percent ? std::min(width.value, room)
                       : (flow.bounded() ? MulDivRound(room, std::min(width.value, 100), 100) : 0);
    const int x = flow.BeginBlock(pixels, style.align, style);
    const int top = flow.y() + kRuleMargin;
    if (Sink* sink = flow.sink(); sink && pixels > 0) {
        const Rect rect{x, top, x + pixels, top + size};
        if (colour) {
            sink->ops.push_back(FillOp{rect, 0, *colour, *colour, *colour});
        } else {
            sink->ops.push_back(LineOp{x, top, x + pixels, top, kRuleDark});
            sink->ops.push_back(LineOp{x, top, x, top + size, kRuleDark});
            sink->ops.push_back(LineOp{x, top + size - 1, x + pixels, top + size - 1, kRuleLight});
            sink->ops.push_back(
                LineOp{x + pixels - 1, top, x + pixels - 1, top + size, kRuleLight});
        }
    }
    // A rule as wide as the room does not ask for room itself.
    const int asked = width.percent ? 0 : pixels;
    flow.EndBlock(asked, asked, size + 2 * kRuleMargin);
}

// An image dimension: a percentage of the image's own size unless a unit is given.
int ImageDimension(std::wstring_view value, int natural) {
    value = Trim(value);
    const bool plain = !value.empty() && std::all_of(value.begin(), value.end(), [](wchar_t c) {
        return (c >= L'0' && c <= L'9') || c == L'+' || c == L'-';
    });
    std::optional<int> pixels;
    if (plain || (!value.empty() && value.back() == L'%'))
        pixels = ParseLength(plain ? std::wstring(value) + L"%" : std::wstring(value),
                             {.current = natural});
    else
        pixels = ParseLength(value, {.current = natural});
    return std::clamp(pixels.value_or(natural), 0, kMaxImageSide);
}

int Engine::InternImage(const ImageSpec& spec) {
    if (const auto found = imageIndex_.find(spec); found != imageIndex_.end())
        return found->second;
    if (out_.images.size() >= static_cast<std::size_t>(kMaxImages))
        return -1;
    const int index = static_cast<int>(out_.images.size());
    out_.images.push_back(spec);
    imageSizes_.push_back(services_.images ? services_.images->Size(spec) : std::nullopt);
    imageIndex_.emplace(spec, index);
    return index;
}

void Engine::AddImage(const Token& token, Flow& flow, const TextStyle& style) {
    ImageSpec spec;
    spec.kind = token.tag == Tag::Icon     ? ImageKind::Icon
                : token.tag == Tag::Bitmap ? ImageKind::Bitmap
                                           : ImageKind::ImageList;
    std::optional<int> idres, iddll;
    std::optional<std::wstring_view> file, module, handle, width, height;
    ImageStyle look, hotLook;
    std::uint32_t mask = 0xFF00FF;
    for (const Attribute& attribute : text_.tokens.Attributes(token)) {
        const std::wstring_view name = text_.tokens.Name(attribute);
        const std::wstring_view value = text_.tokens.Value(attribute);
        if (name == L"index")
            spec.index = std::clamp(ReadInteger(value).value_or(0), 0, 0xFFFF);
        else if (name == L"idres")
            idres = ReadInteger(value);
        else if (name == L"iddll")
            iddll = ReadInteger(value);
        else if (name == L"handle")
            handle = value;
        else if (name == L"file")
            file = value;
        else if (name == L"srcdll")
            module = value;
        else if (name == L"mask")
            mask = ParseColour(value, services_.colours).value_or(mask);
        else if (name == L"style")
            look = hotLook = ImageStyleFromLetters(value);
        else if (name == L"hotstyle")
            hotLook = ImageStyleFromLetters(value);
        else if (name == L"cx")
            spec.cellWidth = std::clamp(ReadInteger(value).value_or(0), 0, kMaxImageSide);
        else if (name == L"cy")
            spec.cellHeight = std::clamp(ReadInteger(value).value_or(0), 0, kMaxImageSide);
        else if (name == L"width")
            width = value;
        else if (name == L"height")
            height = value;
    }
    const auto resourceId = [](std::optional<int> id) { return id && *id > 0 && *id <= 0xFFFF; };
    if (resourceId(idres)) {
        spec.source = ImageSource::ProgramResource;
        spec.id = static_cast<unsigned>(*idres);
    } else if (file && !Trim(*file).empty()) {
        spec.source = ImageSource::File;
        spec.file = Trim(*file);
    } else if (resourceId(iddll) && module && !Trim(*module).empty()) {
        spec.source = ImageSource::ModuleResource;
        spec.id = static_cast<unsigned>(*iddll);
        spec.module = Trim(*module);
    } else if (handle) {
        const std::wstring_view digits = Trim(*handle);
        int count = 0;
        spec.source = ImageSource::Handle;
        spec.handle = 0;
        const bool hex = digits.size() > 2 && digits[0] == L'0' && (digits[1] | 0x20) == L'x';
        for (wchar_t c : digits.substr(hex ? 2 : 0)) {
            const int v = (c >= L'0' && c <= L'9')                          ? c - L'0'
                          : hex && (c | 0x20) >= L'a' && (c | 0x20) <= L'f' ? (c | 0x20) - L'a' + 10
                                                                            : -1;
            if (v < 0 || ++count > 16)
                break;
            spec.handle = spec.handle * (hex ? 16 : 10) + static_cast<unsigned>(v);
        }
        if (spec.handle == 0)
            return;
    } else {
        return;
    }
    const int image = InternImage(spec);
    if (image < 0 || !imageSizes_[static_cast<std::size_t>(image)])
        return;
    const ImageSize natural = *imageSizes_[static_cast<std::size_t>(image)];
    const int w =
        width ? ImageDimension(*width, natural.width) : std::clamp(natural.width, 0, kMaxImageSide);
    const int h = height ? ImageDimension(*height, natural.height)
                         : std::clamp(natural.height, 0, kMaxImageSide);
    if (w <= 0 || h <= 0)
        return;
    const bool hot = style.link >= 0 && style.link == options_.hoveredLink;
    ImageStyle chosen = hot ? hotLook : look;
    chosen.shadow = chosen.shadow && out_.shadowOffset > 0;
    const int shadow = chosen.shadow ? out_.shadowOffset : 0;
    flow.AddImage(w, h, shadow, style, image, chosen, mask);
}

// ---- Engine: tables ------------------------------------------------------------------------

BoxSettings Engine::ReadBox(const Token& token, BoxSettings box) const {
    const auto colour = [&](std::wstring_view value) {
        return ParseColour(value, services_.colours);
    };
    for (const Attribute& attribute : text_.tokens.Attributes(token)) {
        const std::wstring_view name = text_.tokens.Name(attribute);
        const std::wstring_view value = text_.tokens.Value(attribute);
        if (name == L"cellpadding") {
            box.padding = std::clamp(ReadInteger(value).value_or(box.padding), 0, kMaxCellPadding);
        } else if (name == L"cellspacing") {
            box.spacing = std::clamp(ReadInteger(value).value_or(box.spacing), 0, kMaxCellSpacing);
        } else if (name == L"background") {
            box.background = Trim(value);
        } else if (name == L"rowspan") {
            box.rowSpan = std::clamp(ReadInteger(value).value_or(1), 1, kMaxTableRows);
        } else if (name == L"colspan") {
            box.columnSpan = std::clamp(ReadInteger(value).value_or(1), 1, kMaxTableColumns);
        } else if (name == L"border") {
            box.border.width = std::clamp(
                ParseLength(value, {.current = box.border.width}).value_or(0), 0, kMaxBorderWidth);
            if (box.border.width > 0 && box.border.style == kBorderNone)
                box.border.style = kBorderSolid;
        } else if (name == L"borderstyle") {
            box.border.style = ParseBorderStyle(Trim(value)).value_or(box.border.style);
            if (box.border.style != kBorderNone && box.border.width == 0)
                box.border.width = 1;
        } else if (name == L"bordercolor") {
            box.border.light = box.border.dark = colour(value).value_or(box.border.light);
        } else if (name == L"bordercolorlight") {
            box.border.light = colour(value).value_or(box.border.light);
        } else if (name == L"bordercolordark") {
            box.border.dark = colour(value).value_or(box.border.dark);
        } else if (name == L"bgcolor") {
            if (const auto c = colour(value)) {
                box.colour1 = *c;
                box.effect = std::max(box.effect, 0);
            }
        } else if (name == L"bgmidcolor") {
            box.colour2 = colour(value).value_or(box.colour2.value_or(box.colour1));
        } else if (name == L"bgendcolor") {
            box.colour3 = colour(value).value_or(box.colour3.value_or(box.colour1));
        } else if (name == L"bgeffect") {
            // A name, else a number; an empty value keeps the effect.
            if (const auto effect = EffectNumberFromName(Trim(value)))
                box.effect = *effect;
            else if (const auto number = ParseLength(value, {}))
                box.effect = *number;
        } else if (name == L"align") {
            box.align = ParseHorizontalAlign(Trim(value));
        } else if (name == L"valign") {
            box.valign = ParseVerticalAlign(Trim(value));
        } else if (name == L"width") {
            box.width = ParseDimension(value);
        } else if (name == L"height") {
            if (const auto d = ParseDimension(value); d && !d->percent)
                box.height = d->value;
        }
    }
    box.effect = std::clamp(box.effect, -1, 1000);
    return box;
}

TextStyle Engine::CellStyle(const BoxSettings& cell, const TextStyle& tableStyle) const {
    TextStyle style = tableStyle;
    style.align = cell.align.value_or(HAlign::Left);
    style.valign = VAlign::Baseline;
    style.margin = 0;
    style.padding = 0;
    return style;
}

// The three colours of a box's background; unset middle and end colours repeat colour 1.
FillOp Background(const BoxSettings& box, const Rect& rect) {
    return FillOp{rect,
                  box.effect,
                  box.colour1,
                  box.colour2.value_or(box.colour1),
                  box.colour3.value_or(box.colour1),
                  kTableAmplitude,
                  0};
}

// A three-dimensional frame just inside `r`: raised (light top and left) or sunken.
void Frame(Sink& sink, const Rect& r, const BorderSettings& border, bool raised) {
    if (border.style == kBorderNone || border.width <= 0)
        return;
    const std::uint32_t topLeft = raised ? border.light : border.dark;
    const std::uint32_t bottomRight = raised ? border.dark : border.light;
    if (border.style == kBorderSolid) {
        for (int i = 0; i < border.width; ++i) {
            sink.ops.push_back(LineOp{r.left + i, r.top + i, r.right - i, r.top + i, topLeft});
            sink.ops.push_back(LineOp{r.left + i, r.top + i, r.left + i, r.bottom - i, topLeft});
            sink.ops.push_back(
                LineOp{r.left + i, r.bottom - 1 - i, r.right - i, r.bottom - 1 - i, bottomRight});
            sink.ops.push_back(
                LineOp{r.right - 1 - i, r.top + i, r.right - 1 - i, r.bottom - i, bottomRight});
        }
        return;
    }
    const int far = border.style == kBorderDouble ? 3 : 1;
    const int s = border.style;
    sink.ops.push_back(LineOp{r.left, r.top, r.right, r.top, topLeft, s, 1});
    sink.ops.push_back(LineOp{r.left, r.top, r.left, r.bottom, topLeft, s, 1});
    sink.ops.push_back(LineOp{r.left, r.bottom - far, r.right, r.bottom - far, bottomRight, s, 1});
    sink.ops.push_back(LineOp{r.right - far, r.top, r.right - far, r.bottom, bottomRight, s, 1});
}

struct CellBox {
    BoxSettings settings;
    GridCell grid;
    const CellShape* shape = nullptr;
};

const std::vector<CellMeasure>& Engine::MeasureCells(int shapeIndex, const TextStyle& style) {
    auto& memo = measures_[static_cast<std::size_t>(shapeIndex)];
    if (memo)
        return *memo;
    const TableShape& shape = text_.tables[static_cast<std::size_t>(shapeIndex)];
    std::vector<CellMeasure> measures;
    for (const RowShape& row : shape.rows) {
        for (const CellShape& cell : row.cells) {
            const Token& tag = text_.tokens.tokens[static_cast<std::size_t>(cell.token)];
            Flow flow(*this, kMaxLength, false, nullptr);
            StyleStack stack(CellStyle(ReadBox(tag, {}), style));
            Walk(cell.begin, cell.end, flow, stack);
            flow.Finish(stack.current);
            measures.push_back({flow.least(), flow.contentWidth()});
        }
    }
    memo = std::move(measures);
    return *memo;
}

void Engine::LayTable(int shapeIndex, Flow& flow, const TextStyle& style) {
    const TableShape& shape = text_.tables[static_cast<std::size_t>(shapeIndex)];
    const Token& tableTag = text_.tokens.tokens[static_cast<std::size_t>(shape.token)];
    BoxSettings defaults;
    defaults.border.width = style.borderWidth;
    defaults.border.style = style.borderStyle;
    if (style.borderStyle != kBorderNone)
        defaults.border.light = defaults.border.dark = style.borderColour;
    BoxSettings table = ReadBox(tableTag, defaults);
    table.border.Normalise(kMaxBorderWidth);

    // Cells inherit the table's border, one pixel wide; they are drawn sunken.
    BoxSettings cellDefaults;
    if (table.border.width > 0)
        cellDefaults.border = {1, table.border.style, table.border.light, table.border.dark};
    cellDefaults.valign = table.valign;
    std::vector<CellBox> cells;
    std::vector<std::vector<CellSpan>> spans;
    for (const RowShape& row : shape.rows) {
        spans.emplace_back();
        BoxSettings rowDefaults = cellDefaults;
        if (row.token >= 0)
            rowDefaults =
                ReadBox(text_.tokens.tokens[static_cast<std::size_t>(row.token)], cellDefaults);
        for (const CellShape& cellShape : row.cells) {
            CellBox cell;
            cell.shape = &cellShape;
            cell.settings = ReadBox(text_.tokens.tokens[static_cast<std::size_t>(cellShape.token)],
                                    rowDefaults);
            cell.settings.border.Normalise(1);
            spans.back().push_back({cell.settings.rowSpan, cell.settings.columnSpan});
            cells.push_back(cell);
        }
    }
    const Grid grid = PlaceCells(spans);
    for (std::size_t i = 0; i < cells.size(); ++i)
        cells[i].grid = grid.cells[i];
    const std::vector<CellMeasure>& measures = MeasureCells(shapeIndex, style);

    const int inset = table.border.Inset();
    const int spacing = table.spacing;
    const int padding = table.padding;
    const int columns = grid.columns;
    const long long overhead = 2LL * inset + static_cast<long long>(spacing) * (columns + 1);
    const int room = flow.bounded() ? flow.width() : kMaxLength;

    // Column widths: single cells first, then spanning cells from the narrowest span up.
    std::vector<int> least(static_cast<std::size_t>(columns), 0);
    std::vector<int> preferred(least), fixedWidth(least);
    std::vector<bool> fixed(static_cast<std::size_t>(columns), false);
    const auto extra = [&](const CellBox& cell) {
        return 2 * (cell.settings.border.Inset() + padding);
    };
    const auto cellWidth = [&](const CellBox& cell) -> std::optional<int> {
        const auto& w = cell.settings.width;
        if (!w || (w->percent && !flow.bounded()))
            return std::nullopt;
        return w->percent ? MulDivRound(room, std::min(w->value, 100), 100) : w->value;
    };
    std::vector<std::size_t> spanning;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const CellBox& cell = cells[i];
        if (cell.grid.columnSpan == 0)
            continue;
        if (cell.grid.columnSpan > 1) {
            spanning.push_back(i);
            continue;
        }
        const auto c = static_cast<std::size_t>(cell.grid.column);
        least[c] = std::max(least[c], measures[i].least + extra(cell));
        preferred[c] = std::max(preferred[c], measures[i].preferred + extra(cell));
        if (const auto w = cellWidth(cell)) {
            fixed[c] = true;
            fixedWidth[c] = std::max(fixedWidth[c], std::min(*w, kMaxLength) + extra(cell));
        }
    }
    for (std::size_t c = 0; c < fixed.size(); ++c)
        if (fixed[c])
            preferred[c] = std::max(fixedWidth[c], least[c]);
    std::stable_sort(spanning.begin(), spanning.end(), [&](std::size_t a, std::size_t b) {
        return cells[a].grid.columnSpan < cells[b].grid.columnSpan;
    });
    for (std::size_t i : spanning) {
        const CellBox& cell = cells[i];
        const int need = measures[i].least + extra(cell);
        const int want = cellWidth(cell) ? std::max(need, *cellWidth(cell) + extra(cell))
                                         : measures[i].preferred + extra(cell);
        SpreadSpan(least, fixed, cell.grid.column, cell.grid.columnSpan, spacing, need);
        SpreadSpan(preferred, fixed, cell.grid.column, cell.grid.columnSpan, spacing, want);
    }
    long long sumLeast = overhead, natural = overhead;
    for (int c = 0; c < columns; ++c) {
        sumLeast += least[static_cast<std::size_t>(c)];
        natural +=
            std::max(least[static_cast<std::size_t>(c)], preferred[static_cast<std::size_t>(c)]);
    }
    const int tableLeast = Clamp(sumLeast, 0, kMaxLength);
    std::optional<int> asked;
    if (table.width && !table.width->percent)
        asked = table.width->value;
    else if (table.width && flow.bounded())
        asked = MulDivRound(room, std::min(table.width->value, 100), 100);

    if (!flow.sink()) { // only the widths are wanted
        const int width = asked ? std::max(*asked, tableLeast) : Clamp(natural, 0, kMaxLength);
        flow.BeginBlock(0, HAlign::Left, style);
        flow.EndBlock(table.width && table.width->percent ? tableLeast : width, tableLeast, 0);
        return;
    }
    const long long target =
        std::max<long long>(asked ? *asked : std::min<long long>(natural, room), sumLeast);
    const std::vector<int> widths =
        FitColumns(least, preferred, fixed, Clamp(target - overhead, 0, 100 * kMaxLength));

    // Lay each cell out at its width; contents go to a sink of the table's own, cell by cell.
    Sink contents;
    struct Placed {
        std::size_t ops = 0, opsEnd = 0, links = 0, linksEnd = 0;
        int height = 0;
    };
    std::vector<Placed> placed(cells.size());
    std::vector<long long> columnX(static_cast<std::size_t>(columns) + 1, inset + spacing);
    for (int c = 0; c < columns; ++c)
        columnX[static_cast<std::size_t>(c) + 1] =
            columnX[static_cast<std::size_t>(c)] + widths[static_cast<std::size_t>(c)] + spacing;
    const auto spanWidth = [&](const GridCell& g) {
        return Clamp(columnX[static_cast<std::size_t>(g.column + g.columnSpan)] -
                         columnX[static_cast<std::size_t>(g.column)] - spacing,
                     0, 100 * kMaxLength);
    };
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const CellBox& cell = cells[i];
        if (cell.grid.columnSpan == 0)
            continue;
        const int contentWidth = std::max(0, spanWidth(cell.grid) - extra(cell));
        Flow cellFlow(*this, contentWidth, true, &contents);
        StyleStack stack(CellStyle(cell.settings, style));
        placed[i].ops = contents.ops.size();
        placed[i].links = contents.links.size();
        Walk(cell.shape->begin, cell.shape->end, cellFlow, stack);
        cellFlow.Finish(stack.current);
        placed[i].opsEnd = contents.ops.size();
        placed[i].linksEnd = contents.links.size();
        placed[i].height = std::max(cellFlow.y(), cell.settings.height.value_or(0));
    }

    // Row heights: single-row cells first, then spanning cells from the shortest span up.
    std::vector<int> heights(static_cast<std::size_t>(grid.rows), 0);
    const std::vector<bool> noneFixed(heights.size(), false);
    std::vector<std::size_t> tall;
    const auto need = [&](std::size_t i) {
        return Clamp(static_cast<long long>(placed[i].height) + extra(cells[i]), 0,
                     kMaxLayoutHeight);
    };
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const GridCell& g = cells[i].grid;
        if (g.rowSpan == 1)
            heights[static_cast<std::size_t>(g.row)] =
                std::max(heights[static_cast<std::size_t>(g.row)], need(i));
        else if (g.rowSpan > 1)
            tall.push_back(i);
    }
    std::stable_sort(tall.begin(), tall.end(), [&](std::size_t a, std::size_t b) {
        return cells[a].grid.rowSpan < cells[b].grid.rowSpan;
    });
    for (std::size_t i : tall)
        SpreadSpan(heights, noneFixed, cells[i].grid.row, cells[i].grid.rowSpan, spacing, need(i));
    if (table.height && grid.rows > 0)
        SpreadSpan(heights, noneFixed, 0, grid.rows, spacing,
                   std::max(0, *table.height - 2 * inset - 2 * spacing));
    std::vector<long long> rowY(heights.size() + 1, inset + spacing);
    for (std::size_t r = 0; r < heights.size(); ++r)
        rowY[r + 1] = std::min<long long>(rowY[r] + heights[r] + spacing, kMaxLayoutHeight);

    const int tableWidth = Clamp(columnX.back() + inset, 0, 100 * kMaxLength);
    const int tableHeight = Clamp(rowY.back() + inset, 0, kMaxLayoutHeight);
    const int left = flow.BeginBlock(tableWidth, table.align.value_or(HAlign::Left), style);
    const int top = flow.y();
    Sink& sink = *flow.sink();
    const Rect tableRect{left, top, left + tableWidth, top + tableHeight};
    if (table.effect < 0 && !table.background.empty()) {
        ImageSpec image;
        image.kind = ImageKind::Bitmap;
        const std::optional<int> id = ReadInteger(table.background);
        if (id && *id > 0 && *id <= 0xFFFF) {
            image.id = static_cast<unsigned>(*id);
        } else {
            image.source = ImageSource::File;
            image.file = table.background;
        }
        const int index = InternImage(image);
        if (index >= 0 && imageSizes_[static_cast<std::size_t>(index)])
            sink.ops.push_back(ImageOp{tableRect, index, {}, kNoMask});
    } else if (table.effect >= 0) {
        sink.ops.push_back(Background(table, tableRect));
    }
    Frame(sink, tableRect, table.border, true);
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const CellBox& cell = cells[i];
        const GridCell& g = cell.grid;
        if (g.columnSpan == 0)
            continue;
        const int x = left + static_cast<int>(columnX[static_cast<std::size_t>(g.column)]);
        const int y = top + static_cast<int>(rowY[static_cast<std::size_t>(g.row)]);
        const int h = Clamp(rowY[static_cast<std::size_t>(g.row + g.rowSpan)] -
                                rowY[static_cast<std::size_t>(g.row)] - spacing,
                            0, kMaxLayoutHeight);
        const Rect cellRect{x, y, x + spanWidth(g), y + h};
        if (cell.settings.effect >= 0)
            sink.ops.push_back(Background(cell.settings, cellRect));
        Frame(sink, cellRect, cell.settings.border, false);
        const int inner = h - extra(cell);
        const VAlign valign = cell.settings.valign.value_or(VAlign::Middle);
        int dy = 0;
        if (valign == VAlign::Middle)
            dy = std::max(0, (inner - placed[i].height) / 2);
        else if (valign == VAlign::Bottom)
            dy = std::max(0, inner - placed[i].height);
        const int dx = x + extra(cell) / 2;
        dy += y + extra(cell) / 2;
        for (std::size_t k = placed[i].ops; k < placed[i].opsEnd; ++k) {
            Translate(contents.ops[k], dx, dy);
            sink.ops.push_back(std::move(contents.ops[k]));
        }
        for (std::size_t k = placed[i].links; k < placed[i].linksEnd; ++k) {
            LinkArea area = contents.links[k];
            area.rect = {area.rect.left + dx, area.rect.top + dy, area.rect.right + dx,
                         area.rect.bottom + dy};
            sink.links.push_back(area);
        }
    }
    flow.EndBlock(tableWidth, tableLeast, tableHeight);
}

// ---- Preparation ---------------------------------------------------------------------------

class StructureReader {
public:
    explicit StructureReader(PreparedText& text) : text_(text) {}

    void Run() {
        const auto& tokens = text_.tokens.tokens;
        const int n = static_cast<int>(tokens.size());
        text_.ordinal.assign(tokens.size(), -1);
        for (int i = 0; i < n; ++i) {
            const Token& token = tokens[static_cast<std::size_t>(i)];
            if (token.kind != TokenKind::Tag)
                continue;
            switch (token.tag) {
            case Tag::Table:
                OnTable(i, token.closing);
                break;
            case Tag::Row:
                OnRow(i, token.closing);
                break;
            case Tag::Cell:
                OnCell(i, token.closing);
                break;
            case Tag::Anchor:
                if (!token.closing)
                    text_.ordinal[static_cast<std::size_t>(i)] = text_.linkCount++;
                break;
            default:
                break;
            }
        }
        while (!open_.empty()) {
            CloseCell(n);
            open_.pop_back();
        }
    }

private:
    struct Open {
        int table = 0;
        bool rowOpen = false;
        int cell = -1; // index in the last row
    };

    TableShape& Top() { return text_.tables[static_cast<std::size_t>(open_.back().table)]; }

    void CloseCell(int at) {
        Open& open = open_.back();
        if (open.cell >= 0)
            Top().rows.back().cells[static_cast<std::size_t>(open.cell)].end = at;
        open.cell = -1;
    }

    void OnTable(int i, bool closing) {
        if (!closing) {
            if (ignored_ > 0 || open_.size() >= static_cast<std::size_t>(kMaxTableDepth)) {
                ++ignored_;
                return;
            }
            text_.ordinal[static_cast<std::size_t>(i)] = static_cast<int>(text_.tables.size());
            text_.tables.push_back({i, static_cast<int>(text_.tokens.tokens.size()), {}});
            open_.push_back({static_cast<int>(text_.tables.size()) - 1});
            return;
        }
        if (ignored_ > 0) {
            --ignored_;
            return;
        }
        if (open_.empty())
            return;
        CloseCell(i);
        Top().end = i;
        open_.pop_back();
    }

    bool OpenRow(int token) {
        if (Top().rows.size() >= static_cast<std::size_t>(kMaxTableRows))
            return false;
        Top().rows.push_back({token, {}});
        open_.back().rowOpen = true;
        return true;
    }

    void OnRow(int i, bool closing) {
        if (ignored_ > 0 || open_.empty())
            return;
        CloseCell(i);
        open_.back().rowOpen = false;
        if (!closing)
            OpenRow(i);
    }

    void OnCell(int i, bool closing) {
        if (ignored_ > 0 || open_.empty())
            return;
        CloseCell(i);
        if (closing)
            return;
        if (!open_.back().rowOpen && !OpenRow(-1))
            return;
        auto& cells = Top().rows.back().cells;
        if (cells.size() >= static_cast<std::size_t>(kMaxTableColumns))
            return;
        cells.push_back({i, i + 1, static_cast<int>(text_.tokens.tokens.size())});
        open_.back().cell = static_cast<int>(cells.size()) - 1;
    }

    PreparedText& text_;
    std::vector<Open> open_;
    int ignored_ = 0;
};

} // namespace

PreparedText PrepareText(std::wstring_view html) {
    std::size_t keep = std::min<std::size_t>(html.size(), kMaxTextLength);
    if (keep > 0 && keep < html.size() && html[keep - 1] >= 0xD800 && html[keep - 1] <= 0xDBFF)
        --keep;
    std::wstring text = L"<body>";
    text += ReplaceEntities(html.substr(0, keep));
    text += L"</body>";
    PreparedText prepared;
    prepared.tokens = Tokenize(text);
    StructureReader(prepared).Run();
    return prepared;
}

DisplayList LayOut(const PreparedText& text, const StyleSheet& sheet,
                   const LayoutServices& services, const LayoutOptions& options) {
    DisplayList out;
    Engine(text, sheet, services, options, out).Run();
    return out;
}

} // namespace dp::html
