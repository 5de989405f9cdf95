#include "richmsg/win32/message_box_background.h"

#include "framework/win32/handles.h"
#include "effects/win32/draw_effects_win32.h"
#include "richmsg/win32/rich_message_box.h"

namespace dp {
namespace {

constexpr int kEtched = 1;
constexpr int kBlackLine = 2;
constexpr int kWhiteLine = 3;

void FillBand(HDC dc, const BandSpec& band, const RECT& rect) {
    FillEffect(dc, band.effect, rect, band.colour1, band.colour2, band.colour3, 0, 0);
}

void DrawLinePiece(HDC dc, int style, int left, int right, int y) {
    if (right <= left)
        return;
    if (style == kEtched) {
        RECT edge{left, y, right, y + 2};
        ::DrawEdge(dc, &edge, EDGE_ETCHED, BF_TOP);
        return;
    }
    const COLORREF colour = style == kBlackLine ? RGB(0, 0, 0) : RGB(255, 255, 255);
    DrawStyledLine(dc, left, y, right, y, colour, kLineSolid, 1);
}

void DrawSeparator(HDC dc, const BandPaint& band, int width, int gap) {
    SIZE caption{};
    if (!band.caption.empty())
        ::GetTextExtentPoint32W(dc, band.caption.c_str(), static_cast<int>(band.caption.size()),
                                &caption);
    const richbox::SeparatorPlan plan = richbox::PlanSeparator(
        width, caption.cx, richbox::AlignFromInt(band.bandSpec->captionAlign), gap);
    for (const richbox::Box& line : plan.lines)
        DrawLinePiece(dc, band.bandSpec->separatorStyle, line.left, line.right, band.separatorY);
    if (caption.cx > 0)
        ::DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(band.caption.c_str()),
                     static_cast<WPARAM>(band.caption.size()), plan.captionX,
                     band.separatorY - caption.cy / 2, caption.cx, caption.cy,
                     DST_TEXT | DSS_DISABLED);
}

} // namespace

bool HasSeparator(const BandSpec& band) {
    return band.separatorStyle >= kEtched && band.separatorStyle <= kWhiteLine;
}

void DrawBoxBackground(HDC dc, const RECT& whole, const BandSpec& dialogBand,
                       const BandPaint* bands, int bandCount, HFONT captionFont, int captionGap) {
    if (dialogBand.effect < 0)
        ::FillRect(dc, &whole, ::GetSysColorBrush(COLOR_BTNFACE));
    else
        FillBand(dc, dialogBand, whole);
    for (int i = 0; i < bandCount; ++i) {
        const BandPaint& band = bands[i];
        if (band.bandSpec->effect >= 0 && band.bottom > band.top)
            FillBand(dc, *band.bandSpec, {whole.left, band.top, whole.right, band.bottom});
    }
    SelectedObject font(dc, captionFont);
    const int oldMode = ::SetBkMode(dc, TRANSPARENT);
    for (int i = 0; i < bandCount; ++i)
        if (HasSeparator(*bands[i].bandSpec))
            DrawSeparator(dc, bands[i], whole.right - whole.left, captionGap);
    ::SetBkMode(dc, oldMode);
}

} // namespace dp
