// Comparing a rendering with its golden image: per-channel tolerance, the share of pixels allowed
// to differ beyond it, and a picture of where they differ.
#pragma once

#include "effects/draw_effects.h"

namespace dp {

struct GoldenTolerance {
    // A pixel differs when one of its channels differs by more than this.
    int channel = 2;
    // The images match when at most this share (0-1) of their pixels differ.
    double differingShare = 0.0;
};

struct ImageDifference {
    bool sameSize = false;
    long long differingPixels = 0;
    int largestChannelDifference = 0;
    long long totalPixels = 0;
};

ImageDifference CompareImages(const PixelBuffer& expected, const PixelBuffer& actual,
                              int channelTolerance);
bool Matches(const ImageDifference& difference, const GoldenTolerance& tolerance);

// The expected image faded to a pale grey, with every differing pixel in full red (images of the
// same size; otherwise the actual image as it is).
PixelBuffer DifferenceImage(const PixelBuffer& expected, const PixelBuffer& actual,
                            int channelTolerance);

} // namespace dp
