#include "renderer/win32/gdi_text_measurer.h"

#include "renderer/html_limits.h"

#include <algorithm>
#include <cwchar>

namespace dp {
namespace {

constexpr std::size_t kFontsKeptBetweenPasses = html::kMaxFonts;

int LetterXHeight(HDC dc, const TEXTMETRICW& metrics) {
    GLYPHMETRICS glyph{};
    const MAT2 identity{{0, 1}, {0, 0}, {0, 0}, {0, 1}};
    if (::GetGlyphOutlineW(dc, L'x', GGO_METRICS, &glyph, 0, nullptr, &identity) != GDI_ERROR &&
        glyph.gmBlackBoxY > 0)
        return static_cast<int>(glyph.gmBlackBoxY);
    return metrics.tmAscent / 2;
}

} // namespace

HFONT GdiFontCache::Get(const html::FontSpec& fontSpec) {
    auto found = fonts_.find(fontSpec);
    if (found == fonts_.end()) {
        LOGFONTW font{};
        font.lfHeight = -fontSpec.height;
        font.lfWeight = fontSpec.weight;
        font.lfItalic = fontSpec.italic ? TRUE : FALSE;
        font.lfCharSet = DEFAULT_CHARSET;
        font.lfOutPrecision = OUT_DEFAULT_PRECIS;
        font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
        font.lfQuality = DEFAULT_QUALITY;
        font.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
        const std::size_t length = std::min<std::size_t>(fontSpec.face.size(), LF_FACESIZE - 1);
        std::wmemcpy(font.lfFaceName, fontSpec.face.c_str(), length);
        font.lfFaceName[length] = L'\0';
        found = fonts_.emplace(fontSpec, UniqueGdiObject(::CreateFontIndirectW(&font))).first;
    }
    return static_cast<HFONT>(found->second.get());
}

void GdiFontCache::Trim() {
    if (fonts_.size() > kFontsKeptBetweenPasses)
        fonts_.clear();
}

GdiTextMeasurer::GdiTextMeasurer(HDC dc, GdiFontCache& fonts, int dpi)
    : dc_(dc), fonts_(fonts), dpi_(dpi) {
    ::SetTextJustification(dc_, 0, 0);
}

GdiTextMeasurer::~GdiTextMeasurer() {
    if (original_ && original_ != HGDI_ERROR)
        ::SelectObject(dc_, original_);
}

int GdiTextMeasurer::Resolution() {
    if (dpi_ > 0)
        return dpi_;
    const int dpi = ::GetDeviceCaps(dc_, LOGPIXELSY);
    return dpi > 0 ? dpi : 96;
}

html::FontMetrics GdiTextMeasurer::UseFont(const html::FontSpec& fontSpec) {
    html::FontMetrics result;
    const HFONT font = fonts_.Get(fontSpec);
    if (!font)
        return result;
    const HGDIOBJ previous = ::SelectObject(dc_, font);
    if (!original_)
        original_ = previous;
    TEXTMETRICW metrics{};
    if (!::GetTextMetricsW(dc_, &metrics))
        return result;
    result.height = metrics.tmHeight;
    result.ascent = metrics.tmAscent;
    result.descent = metrics.tmDescent;
    result.averageWidth = metrics.tmAveCharWidth;
    result.xHeight = LetterXHeight(dc_, metrics);
    return result;
}

void GdiTextMeasurer::MeasurePrefixes(std::wstring_view text, std::vector<int>& ends) {
    const int count = static_cast<int>(std::min<std::size_t>(text.size(), html::kMaxTextLength));
    extents_.assign(static_cast<std::size_t>(count), 0);
    SIZE size{};
    if (count > 0 &&
        !::GetTextExtentExPointW(dc_, text.data(), count, 0, nullptr, extents_.data(), &size))
        std::fill(extents_.begin(), extents_.end(), 0);
    std::copy(extents_.begin(), extents_.end(), ends.begin());
}

} // namespace dp
