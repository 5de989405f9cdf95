#include "renderer/line_flow.h"

#include "renderer/word_wrap.h"

#include <variant>

namespace dp::html::detail {
namespace {

template <class... F> struct Overloaded : F... { using F::operator()...; };
template <class... F> Overloaded(F...) -> Overloaded<F...>;
} // namespace

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
    const int font = fonts_.Font(style);
    const std::vector<int>& ends = fonts_.Measure(font, text);
    if (!sink_) {
        least_ = std::max(least_, WidestPiece(text, ends));
        hardLeast_ = std::max(hardLeast_, WidestCharacter(ends));
    }
    const std::size_t trimmedEnd = TrimRight(text, 0, text.size());
    std::size_t from = 0;
    while (from < text.size() && !Full()) {
        if (items_.empty())
            StartLine(style);
        const WrapDecision decision = WrapRun(text, ends, from, Room(), items_.empty(), trimmedEnd);
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
    const FontMetrics& metrics = fonts_.Metrics(font);
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
        std::wstring& chars = fonts_.TextPool();
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
    hardLeast_ = std::max(hardLeast_, item.width);
}

void Flow::AddTab(const TextStyle& style) {
    afterBlock_ = false;
    const FontMetrics& metrics = fonts_.Metrics(fonts_.Font(style));
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

void Flow::EndBlock(int width, int least, int hardLeast, int height) {
    y_ = Clamp(static_cast<long long>(y_) + height, 0, 2 * kMaxLayoutHeight);
    contentWidth_ = std::max(contentWidth_, width);
    least_ = std::max(least_, least);
    hardLeast_ = std::max(hardLeast_, std::min(hardLeast, least));
    afterBlock_ = true;
}

void Flow::Finish(const TextStyle& style) {
    if (!items_.empty())
        FlushLine(false, style);
}

// Trailing blanks of the line do not count: the last text items lose them.
void Flow::TrimLineEnd() {
    // From the end; an index, as clang 14 cannot compile libstdc++ 12's reverse view.
    for (std::size_t i = items_.size(); i-- > 0;) {
        LineItem& item = items_[i];
        if (item.kind != LineItem::Kind::Text)
            return;
        item.width = item.trimmedWidth;
        item.length = item.trimmedLength;
        item.blanks = item.trimmedBlanks;
        if (item.trimmedLength > 0 || item.trimmedWidth > 0)
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
            y_ += fonts_.Metrics(fonts_.Font(style)).height + 2 * padding;
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
    y_ = Clamp(static_cast<long long>(y_) + height + 2LL * padding_, 0, 2 * kMaxLayoutHeight);
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
        const int pen = std::max(1, fonts_.Pixels(item.thick ? 2 : 1));
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

} // namespace dp::html::detail
