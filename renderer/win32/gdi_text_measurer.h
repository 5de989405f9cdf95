// Fonts and text measuring with GDI for the HTML renderer.
#pragma once

#include "framework/win32/handles.h"
#include "renderer/layout_services.h"

#include <map>

namespace dp {

// One GDI font per renderer font, kept between paints so that a paint creates none once the
// message has been measured. Fonts are never selected into a DC while they sit here unused.
class GdiFontCache {
public:
    HFONT Get(const html::FontSpec& fontSpec);
    // Called between passes: a cache that grew beyond what one message needs is emptied.
    void Trim();

private:
    std::map<html::FontSpec, UniqueGdiObject> fonts_;
};

// Measures in a DC with the cached fonts. The DC's own font is put back on destruction. The
// resolution is the DC's, or `dpi` where given: a window on a monitor of another scaling than
// the system's is drawn through a memory DC that knows only the system's.
class GdiTextMeasurer : public html::TextMeasurer {
public:
    GdiTextMeasurer(HDC dc, GdiFontCache& fonts, int dpi = 0);
    ~GdiTextMeasurer() override;
    GdiTextMeasurer(const GdiTextMeasurer&) = delete;
    GdiTextMeasurer& operator=(const GdiTextMeasurer&) = delete;

    int Resolution() override;
    html::FontMetrics UseFont(const html::FontSpec& font) override;
    void MeasurePrefixes(std::wstring_view text, std::vector<int>& ends) override;

private:
    HDC dc_;
    GdiFontCache& fonts_;
    int dpi_;
    HGDIOBJ original_ = nullptr;
    std::vector<INT> extents_;
};

} // namespace dp
