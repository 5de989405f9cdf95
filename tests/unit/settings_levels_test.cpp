#include "ui/brightness_preview.h"
#include "ui/settings_levels.h"

#include "tests/support/brightness_fakes.h"

#include <gtest/gtest.h>

namespace dp::test {
namespace {

LevelTable Table(const LevelList& levels) {
    LevelTable table{};
    std::copy(levels.begin(), levels.end(), table.begin());
    return table;
}

LevelList Steps(int step) {
    LevelList levels;
    for (int level = 0; level <= 100; level += step)
        levels.push_back(static_cast<std::uint8_t>(level));
    return levels;
}

// ---- Slider placement ------------------------------------------------------------------------

struct PlacementCase {
    const char* name;
    LevelList levels;
    std::int32_t stored;
    std::uint32_t position;
};

const PlacementCase kPlacementCases[] = {
    {"step 10, stored 40 is entry 4", Steps(10), 40, 4},
    {"step 10, stored 44 is nearest 40", Steps(10), 44, 4},
    {"step 10, stored 45 ties to the lower 40", Steps(10), 45, 4},
    {"step 10, stored below the table", Steps(10), -7, 0},
    {"step 10, stored above any byte", Steps(10), 1000000, 10},
    {"step 1, position and level coincide", Steps(1), 37, 37},
    {"irregular, exact entry", {5, 12, 30, 31, 70}, 30, 2},
    {"irregular, not in the table", {5, 12, 30, 31, 70}, 50, 3},
    {"irregular, tie between 12 and 30 goes to 12", {5, 12, 30, 31, 70}, 21, 1},
    {"single entry", {60}, 10, 0},
    {"empty table", {}, 40, 0},
};

class SliderPlacement : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(SliderPlacement, StartsAtTheStoredLevelOrTheNearestEntry) {
    const PlacementCase& c = GetParam();
    const auto count = static_cast<std::uint32_t>(c.levels.size());
    const std::uint32_t position = SliderPositionForLevel(Table(c.levels), count, c.stored);
    EXPECT_EQ(position, c.position);
    EXPECT_LE(position, SliderMaximum(count));
}

INSTANTIATE_TEST_SUITE_P(Tables, SliderPlacement, ::testing::ValuesIn(kPlacementCases),
                         [](const auto& info) { return TestName(info.param.name); });

// ---- Preview ---------------------------------------------------------------------------------

struct PreviewCase {
    const char* name;
    bool initialReadSucceeds;
    std::vector<DisplayBrightness> sets;
    std::size_t schemeSwitches;
};

const PreviewCase kPreviewCases[] = {
    {"reverts to the record read at opening, as a mains request",
     true,
     {{3, 40, 40}, {1, 70, 20}},
     0},
    // Without a record the revert would send {1, 0, 0}: a dark panel.
    {"without a record read at opening, the power scheme sets the brightness",
     false,
     {{3, 40, 40}},
     2},
};

class Preview : public ::testing::TestWithParam<PreviewCase> {};

TEST_P(Preview, ShowsTheLevelThenPutsTheBrightnessBackOnce) {
    const PreviewCase& c = GetParam();
    FakePlatform platform;
    platform.panel.levels = Steps(10);
    platform.panel.current = {kDisplayPolicyDc, 70, 20};
    platform.panel.querySucceeds = c.initialReadSucceeds;
    platform.schemes.listed = {Scheme(0xA), Scheme(0xB)};
    BrightnessController controller(platform.Sources());

    BrightnessPreview preview(controller);
    preview.Begin(40);
    EXPECT_TRUE(preview.Pending());
    preview.End();
    preview.End(); // the box closing after the session's end already put it back
    EXPECT_FALSE(preview.Pending());
    EXPECT_EQ(platform.panel.sets, c.sets);
    EXPECT_EQ(platform.schemes.switches.size(), c.schemeSwitches);
}

INSTANTIATE_TEST_SUITE_P(Reverts, Preview, ::testing::ValuesIn(kPreviewCases),
                         [](const auto& info) { return TestName(info.param.name); });

} // namespace
} // namespace dp::test
