// Golden-image checks for tests under Wine: render with GDI into a DibSection, then
//     EXPECT_TRUE(MatchesGolden(canvas.Pixels(), "effects"));
// compares with tests/golden/effects.png. On a mismatch the actual image and a difference image
// (differing pixels in red) are written to <build>/golden-out/, and the failure names them.
// With DP_UPDATE_GOLDENS=1 in the environment (./dev goldens) the rendering becomes the golden.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "effects/draw_effects.h"
#include "testing/golden/image_compare.h"

namespace dp {

// Font-free drawings match within 2 per channel with no pixel beyond; text under another Wine
// or font set may need a larger tolerance, passed by the test.
testing::AssertionResult MatchesGolden(const PixelBuffer& actual, const std::string& name,
                                       const GoldenTolerance& tolerance = {});

// Where things go, as Windows paths (Z:/...), for tests that write images of their own.
std::wstring GoldenPath(const std::string& name);
std::wstring GoldenOutputPath(const std::string& fileName);

} // namespace dp
