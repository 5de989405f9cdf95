#include "ui/brightness_preview.h"
#include "ui/settings_levels.h"

#include "tests/support/brightness_fakes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

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

// ---- Slider levels with and without the panel ---------------------------------------------

TEST(SliderLevelsTest, PanelFirstThenMonitorsThenNothing) {
    struct Row {
        const char* name;
        bool panel;
        LevelList panelLevels;
        std::size_t monitors;
        LevelList expected; // empty: sliders disabled
    };
    const LevelList tens = Steps(10);
    const Row rows[] = {
        {"panel alone", true, {0, 25, 50, 100}, 0, {0, 25, 50, 100}},
        {"panel wins over the monitors' steps", true, {0, 25, 50, 100}, 2, {0, 25, 50, 100}},
        {"desktop with a monitor", false, {}, 1, tens},
        {"desktop with four monitors", false, {}, 4, tens},
        {"a table without control is not used", false, {0, 50}, 1, tens},
        {"neither", false, {0, 50}, 0, {}},
    };
    for (const Row& row : rows) {
        const SliderLevels chosen =
            ChooseSliderLevels(row.panel, Table(row.panelLevels),
                               static_cast<std::uint32_t>(row.panelLevels.size()), row.monitors);
        EXPECT_EQ(chosen.Enabled(), !row.expected.empty()) << row.name;
        ASSERT_EQ(chosen.count, row.expected.size()) << row.name;
        EXPECT_TRUE(std::equal(row.expected.begin(), row.expected.end(), chosen.levels.begin()))
            << row.name;
        // A stored level is placed on the chosen table: 35 sits nearest 30 on the steps.
        if (!row.panel && row.monitors > 0) {
            EXPECT_EQ(SliderPositionForLevel(chosen.levels, chosen.count, 35), 3u) << row.name;
        }
    }
}

TEST(SliderLevelsTest, AnOversizedPanelCountIsCappedAtTheTable) {
    const SliderLevels chosen = ChooseSliderLevels(true, Table(Steps(10)), 100000, 0);
    EXPECT_EQ(chosen.count, kMaxLevels);
}

TEST(MonitorNamesLineTest, NamesOrNoneAnswered) {
    struct Row {
        std::vector<std::wstring> names;
        std::wstring line;
    };
    const Row rows[] = {
        {{}, L"none answered"},
        {{L"Dell U2720Q"}, L"Dell U2720Q"},
        {{L"Left", L"Right"}, L"Left, Right"},
        {{L"Left", L"", L"Right"}, L"Left, Monitor 2, Right"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(MonitorNamesLine(row.names), row.line);
}

} // namespace
} // namespace dp::test
