#include "brightness/brightness_controller.h"

#include "tests/support/brightness_fakes.h"

#include <gtest/gtest.h>

#include <thread>

namespace dp::test {
namespace {

const LevelList kWmiLevels = {0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100};

// ---- Detection -------------------------------------------------------------------------------

enum class Wmi { Success, Empty, Failure };

struct SourceCase {
    const char* name;
    Wmi wmi;
    std::size_t deviceLevels;
    BrightnessMode mode;
    std::uint32_t levelCount;
    bool deviceAsked;
    bool deviceKeptOpen;
};

const SourceCase kSourceCases[] = {
    {"wmi list wins over device 0", Wmi::Success, 0, BrightnessMode::Backlight, 11, false, true},
    {"wmi list wins over device 11", Wmi::Success, 11, BrightnessMode::Backlight, 11, false, true},
    {"wmi list wins over device 256", Wmi::Success, 256, BrightnessMode::Backlight, 11, false,
     true},
    {"wmi empty list is an answer, device 0", Wmi::Empty, 0, BrightnessMode::None, 0, false, false},
    {"wmi empty list is an answer, device 11", Wmi::Empty, 11, BrightnessMode::None, 0, false,
     false},
    {"wmi empty list is an answer, device 256", Wmi::Empty, 256, BrightnessMode::None, 0, false,
     false},
    {"wmi failure, device lists none", Wmi::Failure, 0, BrightnessMode::None, 0, true, false},
    {"wmi failure, device lists 11", Wmi::Failure, 11, BrightnessMode::Backlight, 11, true, true},
    {"wmi failure, device lists 256", Wmi::Failure, 256, BrightnessMode::Backlight, 256, true,
     true},
};

struct VersionCase {
    const char* name;
    std::optional<OsVersion> version;
    bool attempted;
};

const VersionCase kVersionCases[] = {
    {"unreadable", std::nullopt, false}, {"4.0", OsVersion{4, 0}, false},
    {"5.0", OsVersion{5, 0}, false},     {"5.1", OsVersion{5, 1}, true},
    {"5.2", OsVersion{5, 2}, true},      {"6.0", OsVersion{6, 0}, true},
    {"6.1", OsVersion{6, 1}, true},      {"10.0", OsVersion{10, 0}, true},
};

void Configure(FakePlatform& platform, const VersionCase& version, const SourceCase& source) {
    platform.osVersion.version = version.version;
    platform.wmi.succeeds = source.wmi != Wmi::Failure;
    platform.wmi.levels = source.wmi == Wmi::Success ? kWmiLevels : LevelList{};
    platform.panel.levels = Ramp(source.deviceLevels);
}

class DetectionMatrix : public ::testing::TestWithParam<std::tuple<VersionCase, SourceCase>> {};

TEST_P(DetectionMatrix, ModeLevelsAndDevice) {
    const auto& [version, source] = GetParam();
    FakePlatform platform;
    Configure(platform, version, source);
    BrightnessController controller(platform.Sources());

    if (!version.attempted) {
        EXPECT_EQ(controller.GetMode(), BrightnessMode::None);
        EXPECT_EQ(controller.GetLevelCount(), 0u);
        EXPECT_EQ(platform.panel.openCalls, 0);
        EXPECT_EQ(platform.wmi.queries, 0);
        return;
    }
    EXPECT_EQ(controller.GetMode(), source.mode);
    EXPECT_EQ(controller.IsBacklightMode(), source.mode == BrightnessMode::Backlight);
    EXPECT_EQ(controller.GetLevelCount(), source.levelCount);
    EXPECT_EQ(platform.panel.levelQueries, source.deviceAsked ? 1 : 0);
    EXPECT_EQ(platform.panel.IsOpen(), source.deviceKeptOpen);
}

std::string
MatrixRowName(const ::testing::TestParamInfo<std::tuple<VersionCase, SourceCase>>& info) {
    return TestName(std::get<0>(info.param).name) + "_" + TestName(std::get<1>(info.param).name);
}

INSTANTIATE_TEST_SUITE_P(Brightness, DetectionMatrix,
                         ::testing::Combine(::testing::ValuesIn(kVersionCases),
                                            ::testing::ValuesIn(kSourceCases)),
                         MatrixRowName);

TEST(BrightnessDetection, DeviceThatDoesNotOpenLeavesModeNone) {
    FakePlatform platform;
    platform.panel.opens = false;
    platform.wmi.succeeds = true;
    platform.wmi.levels = kWmiLevels;
    BrightnessController controller(platform.Sources());
    EXPECT_EQ(controller.GetMode(), BrightnessMode::None);
    EXPECT_EQ(platform.wmi.queries, 0);
}

TEST(BrightnessDetection, FailedDeviceLevelQueryLeavesModeNoneAndClosesDevice) {
    FakePlatform platform;
    platform.panel.levels = Ramp(11);
    platform.panel.levelQuerySucceeds = false;
    BrightnessController controller(platform.Sources());
    EXPECT_EQ(controller.GetMode(), BrightnessMode::None);
    EXPECT_EQ(platform.panel.closeCalls, 1);
}

struct BoundCase {
    const char* name;
    bool fromWmi;
    std::size_t listed;
    std::uint32_t expectedCount;
};

const BoundCase kBoundCases[] = {
    {"wmi 255", true, 255, 255},
    {"wmi 256", true, 256, 256},
    {"wmi 257 is cut", true, 257, 256},
    {"wmi 4000 is cut", true, 4000, 256},
    {"device 300 is cut", false, 300, 256},
};

class LevelTableBound : public ::testing::TestWithParam<BoundCase> {};

TEST_P(LevelTableBound, NeverMoreThan256Entries) {
    const BoundCase& row = GetParam();
    FakePlatform platform;
    // Levels counting down from 255, so that a wrong offset shows as a wrong byte.
    LevelList listed(row.listed);
    for (std::size_t i = 0; i < listed.size(); ++i)
        listed[i] = static_cast<std::uint8_t>(255 - i % 256);
    platform.wmi.succeeds = row.fromWmi;
    platform.wmi.levels = listed;
    platform.panel.levels = listed;

    BrightnessController controller(platform.Sources());
    ASSERT_EQ(controller.GetLevelCount(), row.expectedCount);
    for (std::uint32_t i = 0; i < row.expectedCount; ++i)
        ASSERT_EQ(controller.GetLevel(i), listed[i]) << "position " << i;
    EXPECT_EQ(controller.GetLevel(row.expectedCount), 0);
}

INSTANTIATE_TEST_SUITE_P(Brightness, LevelTableBound, ::testing::ValuesIn(kBoundCases),
                         [](const auto& info) { return TestName(info.param.name); });

TEST(BrightnessDetection, ShortDeviceListLeavesRestOfTableZero) {
    FakePlatform platform;
    platform.panel.levels = {5, 50, 100};
    BrightnessController controller(platform.Sources());
    ASSERT_EQ(controller.GetLevelCount(), 3u);
    const LevelTable& table = controller.GetLevels();
    EXPECT_EQ(table[2], 100);
    for (std::size_t i = 3; i < kMaxLevels; ++i)
        ASSERT_EQ(table[i], 0) << "position " << i;
}

// A query that fails leaves no record: the caller reverts through the power scheme rather than
// through made-up bytes ({3,0,0} would be level 0, a dark panel).
TEST(BrightnessDetection, InitialBrightnessIsAskedForWithPolicyBothAndKeptOnlyWhenAnswered) {
    for (const bool answers : {true, false}) {
        SCOPED_TRACE(answers ? "answered" : "failed");
        FakePlatform platform;
        platform.panel.levels = Ramp(11);
        platform.panel.current = {kDisplayPolicyAc, 70, 40};
        platform.panel.querySucceeds = answers;
        platform.schemes.listed = {Scheme(0xA), Scheme(0xB)};
        BrightnessController controller(platform.Sources());
        ASSERT_TRUE(controller.IsBacklightMode());
        EXPECT_EQ(platform.panel.presetPolicySeen, kDisplayPolicyBoth);
        const std::optional<DisplayBrightness> expected =
            answers ? std::optional(DisplayBrightness{kDisplayPolicyAc, 70, 40}) : std::nullopt;
        EXPECT_EQ(controller.GetInitialBrightness(), expected);
        controller.ReapplyActivePowerScheme();
        EXPECT_EQ(platform.schemes.switches,
                  (std::vector<PowerSchemeId>{Scheme(0xB), Scheme(0xA)}));
        EXPECT_TRUE(platform.panel.sets.empty());
    }
}

// ---- Apply, save and restore -----------------------------------------------------------------

struct Step {
    enum Kind { Apply, Save } kind;
    // Apply: the record sent. Save: the record the driver answers with.
    DisplayBrightness record;
    bool driverSucceeds = true;
};

Step Apply(std::uint8_t policy, std::uint8_t ac, std::uint8_t dc, bool ok = true) {
    return {Step::Apply, {policy, ac, dc}, ok};
}
Step Save(std::uint8_t policy, std::uint8_t ac, std::uint8_t dc, bool ok = true) {
    return {Step::Save, {policy, ac, dc}, ok};
}

struct SequenceCase {
    const char* name;
    std::vector<Step> steps;
    std::optional<std::uint8_t> acLineStatus;
    std::optional<DisplayBrightness> restored; // what the restore sends, if anything
    bool schemeReapplied;
};

const SequenceCase kSequenceCases[] = {
    {"nothing saved on mains re-applies the scheme", {Apply(1, 40, 40)}, 1, std::nullopt, true},
    {"nothing saved on battery re-applies the scheme", {Apply(2, 40, 40)}, 0, std::nullopt, true},
    {"mains record restored with policy 1",
     {Save(1, 70, 60), Apply(1, 20, 20)},
     1,
     DisplayBrightness{1, 70, 60},
     false},
    {"battery record restored with policy 2",
     {Save(2, 50, 30), Apply(2, 10, 10)},
     0,
     DisplayBrightness{2, 50, 30},
     false},
    {"battery record is not used on mains", {Save(2, 50, 30)}, 1, std::nullopt, true},
    {"mains record is not used on battery", {Save(1, 70, 60)}, 0, std::nullopt, true},
    {"policy 3 answer stores nothing", {Save(3, 80, 80)}, 1, std::nullopt, true},
    {"policy 0 answer stores nothing", {Save(0, 80, 80)}, 1, std::nullopt, true},
    {"failed query stores nothing", {Save(1, 70, 60, false)}, 1, std::nullopt, true},
    {"AC byte 255 means nothing saved", {Save(1, 255, 40)}, 1, std::nullopt, true},
    {"later save replaces earlier",
     {Save(1, 70, 70), Save(1, 30, 30)},
     1,
     DisplayBrightness{1, 30, 30},
     false},
    {"line status 255 counts as mains",
     {Save(1, 70, 60), Save(2, 50, 30)},
     255,
     DisplayBrightness{1, 70, 60},
     false},
    {"line status 0 is battery",
     {Save(1, 70, 60), Save(2, 50, 30)},
     0,
     DisplayBrightness{2, 50, 30},
     false},
    {"unreadable power status counts as mains",
     {Save(1, 70, 60), Save(2, 50, 30)},
     std::nullopt,
     DisplayBrightness{1, 70, 60},
     false},
};

class RestoreSequence : public ::testing::TestWithParam<SequenceCase> {};

TEST_P(RestoreSequence, DeviceAndSchemeSeeExactlyThis) {
    const SequenceCase& row = GetParam();
    FakePlatform platform;
    platform.panel.levels = Ramp(11);
    platform.powerStatus.acLineStatus = row.acLineStatus;
    platform.schemes.listed = {Scheme(0xA), Scheme(0xB)};

    std::vector<DisplayBrightness> expectedSets;
    {
        BrightnessController controller(platform.Sources());
        ASSERT_TRUE(controller.IsBacklightMode());
        for (const Step& step : row.steps) {
            if (step.kind == Step::Apply) {
                platform.panel.setSucceeds = step.driverSucceeds;
                EXPECT_EQ(controller.ApplyBrightness(step.record.ucACBrightness,
                                                     step.record.ucDCBrightness,
                                                     step.record.ucDisplayPolicy),
                          step.driverSucceeds);
                expectedSets.push_back(step.record);
            } else {
                platform.panel.current = step.record;
                platform.panel.querySucceeds = step.driverSucceeds;
                EXPECT_EQ(controller.SaveCurrentAsDefault(), step.driverSucceeds);
            }
        }
        platform.panel.setSucceeds = true;
    }
    if (row.restored)
        expectedSets.push_back(*row.restored);
    EXPECT_EQ(platform.panel.sets, expectedSets);
    const std::vector<PowerSchemeId> expectedSwitches =
        row.schemeReapplied ? std::vector<PowerSchemeId>{Scheme(0xB), Scheme(0xA)}
                            : std::vector<PowerSchemeId>{};
    EXPECT_EQ(platform.schemes.switches, expectedSwitches);
    EXPECT_FALSE(platform.panel.IsOpen());
}

INSTANTIATE_TEST_SUITE_P(Brightness, RestoreSequence, ::testing::ValuesIn(kSequenceCases),
                         [](const auto& info) { return TestName(info.param.name); });

TEST(BrightnessRestore, BeforeVersion6NothingSavedLeavesBrightnessAlone) {
    FakePlatform platform;
    platform.osVersion.version = OsVersion{5, 1};
    platform.panel.levels = Ramp(11);
    { BrightnessController controller(platform.Sources()); }
    EXPECT_TRUE(platform.panel.sets.empty());
    EXPECT_EQ(platform.schemes.loads, 0);
    EXPECT_EQ(platform.panel.closeCalls, 1);
}

TEST(BrightnessRestore, ModeNoneTouchesNothing) {
    FakePlatform platform; // the device lists no levels
    {
        BrightnessController controller(platform.Sources());
        EXPECT_FALSE(controller.ApplyBrightness(30, 30, kDisplayPolicyBoth));
        EXPECT_FALSE(controller.SaveCurrentAsDefault());
    }
    EXPECT_TRUE(platform.panel.sets.empty());
    EXPECT_EQ(platform.panel.presetPolicySeen, 0); // never queried
    EXPECT_EQ(platform.schemes.loads, 0);
}

TEST(BrightnessRestore, RunsOnceAndClosesTheDevice) {
    FakePlatform platform;
    platform.panel.levels = Ramp(11);
    platform.panel.current = {kDisplayPolicyAc, 60, 60};
    {
        BrightnessController controller(platform.Sources());
        ASSERT_TRUE(controller.SaveCurrentAsDefault());
        controller.RestoreBrightness();
        EXPECT_FALSE(controller.ApplyBrightness(10, 10, kDisplayPolicyAc));
        EXPECT_FALSE(controller.SaveCurrentAsDefault());
    }
    EXPECT_EQ(platform.panel.sets, (std::vector<DisplayBrightness>{{kDisplayPolicyAc, 60, 60}}));
    EXPECT_EQ(platform.panel.closeCalls, 1);
}

// ---- Several power-change workers at once ----------------------------------------------------

TEST(BrightnessConcurrency, WorkersSavingAndApplyingAreSerialisedAndRecordsStayWhole) {
    FakePlatform platform;
    platform.panel.levels = Ramp(11);
    platform.panel.callTime = std::chrono::microseconds(20);
    BrightnessController controller(platform.Sources());
    ASSERT_TRUE(controller.IsBacklightMode());

    constexpr int kWorkers = 8;
    constexpr int kRounds = 100;
    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w) {
        workers.emplace_back([&, w] {
            for (int round = 0; round < kRounds; ++round) {
                // Each answer has equal AC and DC bytes, so a torn copy shows as a mismatch.
                const auto level = static_cast<std::uint8_t>(w * kRounds + round);
                const std::uint8_t policy = round % 2 ? kDisplayPolicyAc : kDisplayPolicyDc;
                platform.panel.SetCurrent({policy, level, level});
                controller.SaveCurrentAsDefault();
                controller.ApplyBrightness(level, level, policy);
                const DisplayBrightness mains = controller.GetSavedForMains();
                const DisplayBrightness battery = controller.GetSavedForBattery();
                EXPECT_EQ(mains.ucACBrightness, mains.ucDCBrightness);
                EXPECT_EQ(battery.ucACBrightness, battery.ucDCBrightness);
            }
        });
    }
    for (std::thread& worker : workers)
        worker.join();

    EXPECT_EQ(platform.panel.overlaps.load(), 0);
    EXPECT_EQ(controller.GetSavedForMains().ucDisplayPolicy, kDisplayPolicyAc);
    EXPECT_EQ(controller.GetSavedForBattery().ucDisplayPolicy, kDisplayPolicyDc);
}

} // namespace
} // namespace dp::test
