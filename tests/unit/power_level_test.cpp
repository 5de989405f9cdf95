#include "saver/power_level.h"

#include <gtest/gtest.h>

namespace dp {
namespace {

constexpr std::int32_t kAcLevel = 70;
constexpr std::int32_t kDcLevel = 20;

struct PowerRow {
    const char* name;
    std::optional<std::uint8_t> acLineStatus;
    std::int32_t ac;
    std::int32_t dc;
    PowerLevelChoice expected;
};

class PowerLevelTest : public testing::TestWithParam<PowerRow> {};

TEST_P(PowerLevelTest, ChoosesLevelAndPolicy) {
    const PowerRow& row = GetParam();
    const PowerLevelChoice choice = ChoosePowerLevel(row.acLineStatus, row.ac, row.dc);
    EXPECT_EQ(choice.level, row.expected.level);
    EXPECT_EQ(choice.policy, row.expected.policy);
}

constexpr std::uint8_t kMains = 1;   // DISPLAYPOLICY_AC
constexpr std::uint8_t kBattery = 2; // DISPLAYPOLICY_DC

INSTANTIATE_TEST_SUITE_P(
    Status, PowerLevelTest,
    testing::Values(PowerRow{"OfflineIsBattery", 0, kAcLevel, kDcLevel, {20, kBattery}},
                    PowerRow{"OnlineIsMains", 1, kAcLevel, kDcLevel, {70, kMains}},
                    PowerRow{"UnknownIsMains", 255, kAcLevel, kDcLevel, {70, kMains}},
                    PowerRow{"BackupPowerIsMains", 2, kAcLevel, kDcLevel, {70, kMains}},
                    PowerRow{"UnreadableIsMains", std::nullopt, kAcLevel, kDcLevel, {70, kMains}},
                    PowerRow{"MainsTakesLowByte", 1, 0x1234, kDcLevel, {0x34, kMains}},
                    PowerRow{"BatteryTakesLowByte", 0, kAcLevel, -1, {0xFF, kBattery}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace dp
