// PNG files through the Windows Imaging Component (WIC), which Wine provides with libpng inside.
#pragma once

#include <optional>
#include <string>

#include "effects/draw_effects.h"

namespace dp {

// Writes red, green and blue (the top byte is dropped) as a 24-bit PNG. False on any failure.
bool SavePng(const std::wstring& path, const PixelBuffer& image);

// Reads any PNG WIC decodes as 0x00RRGGBB pixels (alpha dropped). Empty when the file is missing,
// not an image, or larger than kMaxPngSide on a side.
constexpr int kMaxPngSide = 8192;
std::optional<PixelBuffer> LoadPng(const std::wstring& path);

} // namespace dp
