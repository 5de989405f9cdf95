#include "effects/win32/dib_section.h"

#include <algorithm>
#include <cstring>

namespace dp {

BITMAPINFO TopDownBitmapInfo(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

DibSection::DibSection(int width, int height)
    : width_(std::max(width, 1)), height_(std::max(height, 1)), dc_(::CreateCompatibleDC(nullptr)) {
    if (!dc_)
        return;
    const BITMAPINFO info = TopDownBitmapInfo(width_, height_);
    void* bits = nullptr;
    bitmap_.reset(::CreateDIBSection(dc_.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap_ || !bits)
        return;
    selected_.emplace(dc_.get(), bitmap_.get());
    if (!selected_->ok())
        return;
    bits_ = static_cast<std::uint32_t*>(bits);
}

void DibSection::Fill(std::uint32_t pixel) {
    if (!ok())
        return;
    ::GdiFlush();
    std::fill_n(bits_, static_cast<std::size_t>(width_) * height_, pixel);
}

PixelBuffer DibSection::Pixels() const {
    PixelBuffer out(width_, height_);
    if (!ok())
        return out;
    ::GdiFlush();
    std::memcpy(out.pixels.data(), bits_, out.pixels.size() * sizeof(std::uint32_t));
    return out;
}

bool DibSection::SetPixels(const PixelBuffer& pixels) {
    if (!ok() || pixels.width != width_ || pixels.height != height_)
        return false;
    ::GdiFlush();
    std::memcpy(bits_, pixels.pixels.data(), pixels.pixels.size() * sizeof(std::uint32_t));
    return true;
}

} // namespace dp
