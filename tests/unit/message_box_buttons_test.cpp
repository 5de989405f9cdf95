#include "richmsg/message_box_buttons.h"

#include <gtest/gtest.h>

namespace dp::richbox {
namespace {

ButtonRequest Ask(std::uint32_t style, std::wstring_view custom = {}, bool extras = false) {
    return {style, custom, extras, extras};
}

struct PlanRow {
    const char* name;
    ButtonRequest request;
    std::vector<int> ids;
    bool cancellable;
    int defaultIndex;
};

class ButtonPlanTest : public testing::TestWithParam<PlanRow> {};

TEST_P(ButtonPlanTest, ButtonsInCreationOrder) {
    const ButtonPlan plan = PlanButtons(GetParam().request);
    std::vector<int> ids;
    for (const PlannedButton& button : plan.buttons)
        ids.push_back(button.id);
    EXPECT_EQ(ids, GetParam().ids);
    EXPECT_EQ(plan.cancellable, GetParam().cancellable);
    EXPECT_EQ(plan.defaultIndex, GetParam().defaultIndex);
}

INSTANTIATE_TEST_SUITE_P(
    Styles, ButtonPlanTest,
    testing::Values(
        PlanRow{"Ok", Ask(0x40), {kOk}, true, 0},
        PlanRow{"YesNoCancelWithBothToAll",
                Ask(3 | RMB_YESTOALL | RMB_NOTOALL),
                {kYes, kYesToAll, kNo, kNoToAll, kCancel},
                true,
                0},
        PlanRow{"YesNoWithYesToAllOnly", Ask(4 | RMB_YESTOALL), {kYes, kYesToAll, kNo}, false, 0},
        PlanRow{"ToAllBitsIgnoredOutsideYesNo", Ask(1 | RMB_YESTOALL), {kOk, kCancel}, true, 0},
        PlanRow{"AbortRetryIgnore", Ask(2), {kAbort, kRetry, kIgnore}, false, 0},
        PlanRow{"CancelTryContinue", Ask(6 | 0x200), {kCancel, kRetry, kContinue}, true, 2},
        PlanRow{"DefaultBeyondTwoButtonsIsTheFirst", Ask(1 | 0x300), {kOk, kCancel}, true, 0},
        PlanRow{"CustomLinesReplaceTheSet",
                Ask(3, L"A\r\nB\r\n\r\nC"),
                {kCustom1, kCustom2, kCustom3},
                false,
                0},
        PlanRow{"AtMostFourCustomButtons",
                Ask(0, L"1\n2\n3\n4\n5"),
                {kCustom1, kCustom2, kCustom3, kCustom4},
                false,
                0},
        PlanRow{"OnlyEmptyCustomLinesKeepTheSet", Ask(1, L"\r\n\n"), {kOk, kCancel}, true, 0},
        PlanRow{"HelpReportMoreFollow",
                Ask(1 | kStyleHelp, {}, true),
                {kOk, kCancel, kHelp, kReport, kMore},
                true,
                0},
        PlanRow{"NoButtonsCanStillBeClosed", Ask(10), {}, true, 0},
        PlanRow{"OnlyHelpCanStillBeClosed", Ask(12 | kStyleHelp), {kHelp}, true, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ButtonPlanTest, CustomButtonsCarryTheirLines) {
    const ButtonPlan plan = PlanButtons(Ask(0, L"A\r\nB\r\n\r\nC"));
    ASSERT_EQ(plan.buttons.size(), 3u);
    EXPECT_EQ(plan.buttons[0].customLabel, L"A");
    EXPECT_EQ(plan.buttons[2], (PlannedButton{kCustom3, L"C"}));
}

TEST(ResultCodeTest, CheckedBoxAddsItsBit) {
    EXPECT_EQ(ResultCode(kOk, true), 0x02000001);
    EXPECT_EQ(ResultCode(kCustom2, false), 24);
}

} // namespace
} // namespace dp::richbox
