// A 32-bit top-down DIB section selected into a memory DC of its own: somewhere to draw with GDI
// and then read or write the pixels directly (0x00RRGGBB, the core's PixelBuffer layout).
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>

#include "framework/win32/handles.h"
#include "effects/draw_effects.h"

namespace dp {

class DibSection {
public:
    // Width and height of at least one pixel; ok() tells whether GDI made it.
    DibSection(int width, int height);
    DibSection(const DibSection&) = delete;
    DibSection& operator=(const DibSection&) = delete;

    bool ok() const { return bits_ != nullptr; }
    HDC dc() const { return dc_.get(); }
    int width() const { return width_; }
    int height() const { return height_; }

    void Fill(std::uint32_t pixel);
    // A copy of the pixels (GDI's pending drawing flushed first).
    PixelBuffer Pixels() const;
    // Writes pixels of the same size back; false (and nothing written) for another size.
    bool SetPixels(const PixelBuffer& pixels);

private:
    int width_;
    int height_;
    std::uint32_t* bits_ = nullptr;
    UniqueMemDc dc_;
    UniqueGdiObject bitmap_;
    std::optional<SelectedObject> selected_; // destroyed first: deselects before the bitmap goes
};

// BITMAPINFO of a 32-bit top-down image (negative height).
BITMAPINFO TopDownBitmapInfo(int width, int height);

} // namespace dp
