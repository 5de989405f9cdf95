#include "brightness/power_scheme.h"

#include "tests/support/brightness_fakes.h"

#include <gtest/gtest.h>

namespace dp::test {
namespace {

const PowerSchemeId kA = Scheme(0xA);
const PowerSchemeId kB = Scheme(0xB);
const PowerSchemeId kC = Scheme(0xC);
// Differs from kA in the last byte only: all 16 bytes take part in the comparison.
const PowerSchemeId kAlmostA = [] {
    PowerSchemeId id = Scheme(0xA);
    id[15] = 0xB;
    return id;
}();

struct ReapplyCase {
    const char* name;
    OsVersion version;
    bool libraryPresent;
    std::optional<PowerSchemeId> active;
    std::vector<PowerSchemeId> listed;
    std::vector<PowerSchemeId> expectedSwitches;
    int expectedLoads;
};

const ReapplyCase kReapplyCases[] = {
    {"active listed first: the second is used", {6, 1}, true, kA, {kA, kB, kC}, {kB, kA}, 1},
    {"active listed second: the first is used", {6, 1}, true, kA, {kB, kA}, {kB, kA}, 1},
    {"active listed last", {10, 0}, true, kA, {kA, kA, kC}, {kC, kA}, 1},
    {"one differing byte is another scheme", {6, 0}, true, kA, {kA, kAlmostA}, {kAlmostA, kA}, 1},
    {"single scheme system skips both switches", {6, 1}, true, kA, {kA}, {}, 1},
    {"enumeration failing at index 0 skips both switches", {6, 1}, true, kA, {}, {}, 1},
    {"no active scheme skips both switches", {6, 1}, true, std::nullopt, {kA, kB}, {}, 1},
    {"library or entries missing", {6, 1}, false, kA, {kA, kB}, {}, 1},
    {"version 5.1 loads nothing", {5, 1}, true, kA, {kA, kB}, {}, 0},
    {"version 5.2 loads nothing", {5, 2}, true, kA, {kA, kB}, {}, 0},
};

class ReapplyPowerSchemeTable : public ::testing::TestWithParam<ReapplyCase> {};

TEST_P(ReapplyPowerSchemeTable, SwitchesAwayAndBack) {
    const ReapplyCase& row = GetParam();
    FakePowerSchemes library;
    library.present = row.libraryPresent;
    library.active = row.active;
    library.listed = row.listed;

    ReapplyPowerScheme(row.version, library);

    EXPECT_EQ(library.switches, row.expectedSwitches);
    EXPECT_EQ(library.loads, row.expectedLoads);
    EXPECT_EQ(library.unloads, row.libraryPresent ? row.expectedLoads : 0);
}

INSTANTIATE_TEST_SUITE_P(Brightness, ReapplyPowerSchemeTable, ::testing::ValuesIn(kReapplyCases),
                         [](const auto& info) { return TestName(info.param.name); });

TEST(BrightnessPowerScheme, NoActiveSchemeIsNeverComparedAgainst) {
    FakePowerSchemes library;
    library.active = std::nullopt;
    library.listed = {kA, kB};
    ReapplyPowerScheme({6, 1}, library);
    EXPECT_EQ(library.enumerations, 0);
}

TEST(BrightnessPowerScheme, ListThatNeverEndsStopsAtTheBound) {
    FakePowerSchemes library;
    library.listNeverEnds = true;
    ReapplyPowerScheme({6, 1}, library);
    EXPECT_TRUE(library.switches.empty());
    EXPECT_EQ(library.enumerations, static_cast<int>(kMaxPowerSchemes));
}

} // namespace
} // namespace dp::test
