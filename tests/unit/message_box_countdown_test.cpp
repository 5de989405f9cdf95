#include "richmsg/message_box_countdown.h"

#include "richmsg/message_box_buttons.h"

#include <gtest/gtest.h>

namespace dp::richbox {
namespace {

CountdownSetup BoxSetup(std::vector<int> buttons, bool cancellable) {
    CountdownSetup setup;
    setup.buttons = std::move(buttons);
    setup.cancellable = cancellable;
    setup.caption = L"Box";
    setup.defaultLabel = L"OK";
    setup.captionFormat = L"%s (%d seconds remaining)";
    return setup;
}

TEST(CountdownTest, TimeoutCountsDownOnTheDefaultButtonThenPressesIt) {
    CountdownSetup setup = BoxSetup({kOk}, true);
    setup.timeoutSeconds = 10;
    BoxCountdown countdown(setup);
    EXPECT_EQ(countdown.DefaultLabel(), L"OK = 10");
    EXPECT_EQ(countdown.Title(), L"Box");
    EXPECT_TRUE(countdown.ButtonEnabled(0));
    EXPECT_TRUE(countdown.CloseEnabled());
    EXPECT_EQ(countdown.Tick(), TickResult::Updated);
    EXPECT_EQ(countdown.DefaultLabel(), L"OK = 9");
    for (int second = 9; second > 1; --second)
        EXPECT_EQ(countdown.Tick(), TickResult::Updated);
    EXPECT_EQ(countdown.DefaultLabel(), L"OK = 1");
    EXPECT_EQ(countdown.Tick(), TickResult::PressDefault);
    EXPECT_EQ(countdown.DefaultLabel(), L"OK");
    EXPECT_EQ(countdown.TimeoutCommand(), kOk);
    EXPECT_FALSE(countdown.Running());
    EXPECT_EQ(countdown.Tick(), TickResult::Nothing);
}

struct TimeoutRow {
    const char* name;
    std::vector<int> buttons;
    int defaultIndex;
    int command;
};

class TimeoutTest : public testing::TestWithParam<TimeoutRow> {};

// A timeout always ends the box: a default button that would keep it open (help, report, the
// footer's fold-out) gives way to the first button that ends it.
TEST_P(TimeoutTest, EndsTheBox) {
    CountdownSetup setup = BoxSetup(GetParam().buttons, true);
    setup.defaultIndex = GetParam().defaultIndex;
    setup.timeoutSeconds = 1;
    BoxCountdown countdown(setup);
    EXPECT_EQ(countdown.Tick(), TickResult::PressDefault);
    EXPECT_EQ(countdown.TimeoutCommand(), GetParam().command);
}

INSTANTIATE_TEST_SUITE_P(
    Timeouts, TimeoutTest,
    testing::Values(TimeoutRow{"DefaultButton", {kYes, kNo}, 1, kNo},
                    TimeoutRow{"HelpGivesWayToTheFirstEndingButton", {kOk, kCancel, kHelp}, 2, kOk},
                    TimeoutRow{"ReportGivesWay", {kHelp, kReport, kRetry, kCancel}, 1, kRetry},
                    TimeoutRow{"MoreGivesWay", {kCustom1, kMore}, 1, kCustom1},
                    TimeoutRow{"OnlyButtonsThatKeepItOpen", {kHelp, kMore}, 0, kCancel},
                    TimeoutRow{"NoButtons", {}, 0, kCancel},
                    TimeoutRow{"DefaultIndexBeyondTheButtons", {kOk}, 5, kOk}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CountdownTest, DisabledInCaptionKeepsEverythingButHelpDisabledForFiveTicks) {
    CountdownSetup setup = BoxSetup({kOk, kCancel, kHelp}, true);
    setup.disabledSeconds = 5;
    setup.inCaption = true;
    BoxCountdown countdown(setup);
    EXPECT_EQ(countdown.Title(), L"Box (5 seconds remaining)");
    EXPECT_EQ(countdown.DefaultLabel(), L"OK");
    EXPECT_FALSE(countdown.ButtonEnabled(0));
    EXPECT_FALSE(countdown.ButtonEnabled(1));
    EXPECT_TRUE(countdown.ButtonEnabled(2));
    EXPECT_FALSE(countdown.CloseEnabled());
    EXPECT_FALSE(countdown.AcceptsCommand(kOk));
    EXPECT_FALSE(countdown.AcceptsCommand(kCancel));
    EXPECT_TRUE(countdown.AcceptsCommand(kHelp));
    for (int tick = 0; tick < 4; ++tick)
        EXPECT_EQ(countdown.Tick(), TickResult::Updated);
    EXPECT_EQ(countdown.Title(), L"Box (1 seconds remaining)");
    EXPECT_EQ(countdown.Tick(), TickResult::Finished);
    EXPECT_EQ(countdown.Title(), L"Box");
    EXPECT_TRUE(countdown.ButtonEnabled(0) && countdown.ButtonEnabled(1));
    EXPECT_TRUE(countdown.DefaultLooksDefault());
    EXPECT_TRUE(countdown.CloseEnabled());
    EXPECT_TRUE(countdown.AcceptsCommand(kOk));
    EXPECT_TRUE(countdown.AcceptsCommand(kCancel));
}

TEST(CountdownTest, DisabledAloneHoldsOnlyTheDefaultButton) {
    CountdownSetup setup = BoxSetup({kOk, kCancel}, true);
    setup.disabledSeconds = 3;
    BoxCountdown countdown(setup);
    EXPECT_EQ(countdown.DefaultLabel(), L"OK = 3");
    EXPECT_FALSE(countdown.ButtonEnabled(0));
    EXPECT_FALSE(countdown.DefaultLooksDefault());
    EXPECT_TRUE(countdown.ButtonEnabled(1));
    EXPECT_TRUE(countdown.AcceptsCommand(kCancel));
    countdown.Tick();
    countdown.Tick();
    EXPECT_EQ(countdown.Tick(), TickResult::Finished);
    EXPECT_EQ(countdown.DefaultLabel(), L"OK");
    EXPECT_TRUE(countdown.ButtonEnabled(0));
}

TEST(CountdownTest, OnlyButtonsOfTheBoxAreAccepted) {
    const BoxCountdown countdown(BoxSetup({kYes, kNo}, false));
    EXPECT_FALSE(countdown.AcceptsCommand(0));
    EXPECT_FALSE(countdown.AcceptsCommand(kOk)); // Enter without a default button
    EXPECT_FALSE(countdown.AcceptsCommand(kCancel));
    EXPECT_TRUE(countdown.AcceptsCommand(kNo));
}

struct CloseRow {
    const char* name;
    int timeout;
    int disabled;
    bool inCaption;
    bool cancellable;
    int defaultId;
    bool closeEnabled;
};

class CloseItemTest : public testing::TestWithParam<CloseRow> {};

TEST_P(CloseItemTest, GreyedWhileTheBoxMayNotBeClosed) {
    const CloseRow& row = GetParam();
    CountdownSetup setup = BoxSetup({row.defaultId, kRetry}, row.cancellable);
    setup.timeoutSeconds = row.timeout;
    setup.disabledSeconds = row.disabled;
    setup.inCaption = row.inCaption;
    BoxCountdown countdown(setup);
    EXPECT_EQ(countdown.CloseEnabled(), row.closeEnabled);
    EXPECT_EQ(countdown.AcceptsCommand(kCancel), row.closeEnabled);
    while (countdown.Running())
        countdown.Tick();
    EXPECT_EQ(countdown.CloseEnabled(), row.cancellable) << "after the countdown";
}

INSTANTIATE_TEST_SUITE_P(
    Rules, CloseItemTest,
    testing::Values(CloseRow{"Cancellable", 0, 0, false, true, kOk, true},
                    CloseRow{"NotCancellable", 0, 0, false, false, kAbort, false},
                    CloseRow{"TimeoutNotCancellable", 5, 0, false, false, kAbort, false},
                    CloseRow{"WaitInCaption", 0, 5, true, true, kOk, false},
                    CloseRow{"WaitNotCancellable", 0, 5, false, false, kAbort, false},
                    CloseRow{"WaitWithCancelAsDefault", 0, 5, false, true, kCancel, false},
                    CloseRow{"WaitWithOtherDefault", 0, 5, false, true, kOk, true}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace dp::richbox
