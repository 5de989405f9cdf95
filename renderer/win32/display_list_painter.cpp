#include "renderer/win32/display_list_painter.h"

#include "effects/win32/draw_effects_win32.h"

#include <variant>

namespace dp {
namespace {

// SaveDC/RestoreDC: puts back the font, colours, modes and clip region selected meanwhile.
class SavedDcState {
public:
    explicit SavedDcState(HDC dc) : dc_(dc), saved_(::SaveDC(dc)) {}
    ~SavedDcState() {
        if (saved_)
            ::RestoreDC(dc_, saved_);
    }
    SavedDcState(const SavedDcState&) = delete;
    SavedDcState& operator=(const SavedDcState&) = delete;

private:
    HDC dc_;
    int saved_;
};

class Player {
public:
    Player(HDC dc, const html::DisplayList& list, int x, int y, const RECT& clip,
           GdiFontCache& fonts, HtmlImages& images)
        : dc_(dc), list_(list), x_(x), y_(y), clip_(clip), fonts_(fonts), images_(images) {}

    void operator()(const html::TextOp& op) {
        const html::FontSpec& fontSpec = list_.fonts[static_cast<std::size_t>(op.font)];
        const int top = y_ + op.y, left = x_ + op.x;
        if (top > clip_.bottom || top + 2 * fontSpec.height < clip_.top || left > clip_.right ||
            left + op.width < clip_.left)
            return;
        if (op.font != font_) {
            ::SelectObject(dc_, fonts_.Get(fontSpec));
            font_ = op.font;
        }
        if (op.colour != colour_) {
            ::SetTextColor(dc_, op.colour);
            colour_ = op.colour;
        }
        if (op.justifyBreaks > 0)
            ::SetTextJustification(dc_, op.justifyExtra, op.justifyBreaks);
        ::TextOutW(dc_, left, top, list_.text.data() + op.start, static_cast<int>(op.length));
        if (op.justifyBreaks > 0)
            ::SetTextJustification(dc_, 0, 0);
    }

    void operator()(const html::FillOp& op) {
        const RECT r{x_ + op.rect.left, y_ + op.rect.top, x_ + op.rect.right, y_ + op.rect.bottom};
        RECT visible{};
        if (::IntersectRect(&visible, &r, &clip_))
            FillEffect(dc_, op.effect, r, op.colour1, op.colour2, op.colour3, op.amplitude,
                       op.tint);
    }

    void operator()(const html::LineOp& op) {
        DrawStyledLine(dc_, x_ + op.fromX, y_ + op.fromY, x_ + op.toX, y_ + op.toY, op.colour,
                       op.style, op.width);
    }

    void operator()(const html::ImageOp& op) {
        html::ImageOp moved = op;
        moved.rect = {x_ + op.rect.left, y_ + op.rect.top, x_ + op.rect.right, y_ + op.rect.bottom};
        images_.Draw(dc_, moved, list_.images[static_cast<std::size_t>(op.image)],
                     list_.shadowOffset, list_.shadowColour);
    }

private:
    HDC dc_;
    const html::DisplayList& list_;
    int x_;
    int y_;
    RECT clip_;
    GdiFontCache& fonts_;
    HtmlImages& images_;
    int font_ = -1;
    COLORREF colour_ = CLR_INVALID;
};

} // namespace

void PaintDisplayList(HDC dc, const html::DisplayList& list, int originX, int originY,
                      const RECT& clip, GdiFontCache& fonts, HtmlImages& images) {
    SavedDcState saved(dc);
    ::IntersectClipRect(dc, clip.left, clip.top, clip.right, clip.bottom);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextAlign(dc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
    ::SetTextJustification(dc, 0, 0);
    Player player(dc, list, originX, originY, clip, fonts, images);
    for (const html::DisplayOp& op : list.ops)
        std::visit(player, op);
}

} // namespace dp
