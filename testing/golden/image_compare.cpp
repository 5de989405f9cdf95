#include "testing/golden/image_compare.h"

#include <algorithm>
#include <cstdlib>

namespace dp {

namespace {

int LargestChannelDifference(std::uint32_t a, std::uint32_t b) {
    int largest = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const int x = static_cast<int>((a >> shift) & 0xFF);
        const int y = static_cast<int>((b >> shift) & 0xFF);
        largest = std::max(largest, std::abs(x - y));
    }
    return largest;
}

} // namespace

ImageDifference CompareImages(const PixelBuffer& expected, const PixelBuffer& actual,
                              int channelTolerance) {
    ImageDifference difference;
    difference.sameSize = expected.width == actual.width && expected.height == actual.height;
    difference.totalPixels = static_cast<long long>(actual.pixels.size());
    if (!difference.sameSize)
        return difference;
    for (std::size_t i = 0; i < actual.pixels.size(); ++i) {
        const int d = LargestChannelDifference(expected.pixels[i], actual.pixels[i]);
        difference.largestChannelDifference = std::max(difference.largestChannelDifference, d);
        if (d > channelTolerance)
            ++difference.differingPixels;
    }
    return difference;
}

bool Matches(const ImageDifference& difference, const GoldenTolerance& tolerance) {
    if (!difference.sameSize)
        return false;
    return difference.differingPixels <=
           static_cast<long long>(tolerance.differingShare * difference.totalPixels);
}

PixelBuffer DifferenceImage(const PixelBuffer& expected, const PixelBuffer& actual,
                            int channelTolerance) {
    if (expected.width != actual.width || expected.height != actual.height)
        return actual;
    PixelBuffer out(actual.width, actual.height);
    for (std::size_t i = 0; i < out.pixels.size(); ++i) {
        if (LargestChannelDifference(expected.pixels[i], actual.pixels[i]) > channelTolerance)
            out.pixels[i] = 0xFF0000;
        else
            out.pixels[i] = Blend(ToGrey(expected.pixels[i]), 0.25, 0xFFFFFF, 0.75);
    }
    return out;
}

} // namespace dp
