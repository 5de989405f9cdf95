#include "saver/power_broadcast.h"

#include <gtest/gtest.h>

namespace dp {
namespace {

struct BroadcastRow {
    const char* name;
    std::uintptr_t code;
    bool qualifies;
};

class PowerBroadcastTest : public testing::TestWithParam<BroadcastRow> {};

TEST_P(PowerBroadcastTest, TestsBitsTwoAndEight) {
    EXPECT_EQ(IsPowerChangeBroadcast(GetParam().code), GetParam().qualifies);
}

INSTANTIATE_TEST_SUITE_P(Codes, PowerBroadcastTest,
                         testing::Values(BroadcastRow{"Zero", 0x0, false},
                                         BroadcastRow{"QuerySuspendFailed_0x2", 0x2, true},
                                         BroadcastRow{"Suspend_0x4", 0x4, false},
                                         BroadcastRow{"ResumeSuspend_0x7", 0x7, true},
                                         BroadcastRow{"BatteryLow_0x9", 0x9, true},
                                         BroadcastRow{"Bit8_0x8", 0x8, true},
                                         BroadcastRow{"PowerStatusChange_0xA", 0xA, true},
                                         BroadcastRow{"ResumeAutomatic_0x12", 0x12, true},
                                         BroadcastRow{"PowerSettingChange_0x8013", 0x8013, true},
                                         BroadcastRow{"OnlyHighBits_0x8011", 0x8011, false}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace dp
