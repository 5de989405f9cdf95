// Stand-in for the drawing effects until their own module arrives on main: the same entry
// points with plain behaviour, so that the renderer builds and runs. Replaced, not edited.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace dp {

std::optional<int> EffectNumberFromName(std::wstring_view name);

std::uint32_t ToGrey(std::uint32_t pixel);
std::uint32_t Invert(std::uint32_t pixel);
std::uint32_t Darken(std::uint32_t pixel, double factor);
std::uint32_t Lighten(std::uint32_t pixel, double factor);
std::uint32_t Blend(std::uint32_t pixel, double weight, std::uint32_t other, double otherWeight);

} // namespace dp
