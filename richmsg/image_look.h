// The looks an image tag's style letters give it, on 32-bit pixels 0xAARRGGBB with straight
// alpha: only visible pixels change, transparent ones stay as they are.
#pragma once

#include <cstdint>
#include <span>

namespace dp::html {

// Grey ("g"), then darker by 0.75 ("d"), then lighter by 0.25 ("l"); the shadow flag is not
// handled here.
void ApplyLook(std::span<std::uint32_t> pixels, std::uint8_t look);

// Turns an image into its shadow: its shape in `colour` (0x00BBGGRR), at half its opacity.
void MakeShadow(std::span<std::uint32_t> pixels, std::uint32_t colour);

} // namespace dp::html
