#include "framework/dpi_scale.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace dp {
namespace {

// Windows offers 100 % to 500 % scaling; a little room on either side for odd displays.
constexpr int kLowestDpi = 48;
constexpr int kHighestDpi = 960;

int MulDivRounded(int number, int numerator, int denominator) {
    if (denominator == 0)
        return 0;
    std::int64_t product = static_cast<std::int64_t>(number) * numerator;
    std::int64_t divisor = denominator;
    if (divisor < 0) {
        divisor = -divisor;
        product = -product;
    }
    const std::int64_t half = divisor / 2;
    const std::int64_t quotient =
        product >= 0 ? (product + half) / divisor : -((-product + half) / divisor);
    return static_cast<int>(std::clamp<std::int64_t>(quotient, std::numeric_limits<int>::min(),
                                                     std::numeric_limits<int>::max()));
}

} // namespace

int SaneDpi(int reported) {
    return reported >= kLowestDpi && reported <= kHighestDpi ? reported : kDesignDpi;
}

int ScaleToDpi(int pixels, int dpi) {
    return MulDivRounded(pixels, SaneDpi(dpi), kDesignDpi);
}

int ScaleFromDpi(int pixels, int dpi) {
    return MulDivRounded(pixels, kDesignDpi, SaneDpi(dpi));
}

int RescaleDpi(int value, int fromDpi, int toDpi) {
    return MulDivRounded(value, SaneDpi(toDpi), SaneDpi(fromDpi));
}

int FontHeightForPoints(int points, int dpi) {
    return -MulDivRounded(points, SaneDpi(dpi), 72);
}

DpiRect RectForNewLayout(const DpiRect& suggested, int width, int height) {
    return {suggested.left, suggested.top, suggested.left + width, suggested.top + height};
}

} // namespace dp
