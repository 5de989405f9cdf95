#include "richmsg/message_box_layout.h"

#include <gtest/gtest.h>

namespace dp::richbox {
namespace {

// A 300 x 16 message, one "OK" label (20 x 13), a frame and title adding 6 x 25.
LayoutInput Plain() {
    LayoutInput in;
    in.messageText = {300, 16};
    in.buttonLabels = {{20, 13}};
    in.nonClient = {6, 25};
    return in;
}

struct LayoutRow {
    const char* name;
    LayoutInput input;
    Size client;
    Size button;
    Point firstButton;
    Box checkbox; // empty when there is none
};

LayoutInput With(void (*change)(LayoutInput&)) {
    LayoutInput in = Plain();
    change(in);
    return in;
}

class LayoutTest : public testing::TestWithParam<LayoutRow> {};

TEST_P(LayoutTest, SizesAndPlaces) {
    const LayoutRow& row = GetParam();
    const Layout layout = LayOutBox(row.input);
    EXPECT_EQ(layout.client, row.client);
    EXPECT_EQ(layout.window, (Size{row.client.width + 6, row.client.height + 25}));
    EXPECT_EQ(layout.button, row.button);
    ASSERT_FALSE(layout.buttons.empty());
    EXPECT_EQ(layout.buttons.front(), row.firstButton);
    EXPECT_EQ(layout.checkbox, row.checkbox);
}

// Client height: header + message (16 + 28) + button height + button area (11, or 22 with a
// band, plus 24 with the check box).
INSTANTIATE_TEST_SUITE_P(
    Boxes, LayoutTest,
    testing::Values(LayoutRow{"OneOkCentred", Plain(), {328, 78}, {80, 23}, {124, 44}, {}},
                    LayoutRow{"WidestLabelSizesEveryButton",
                              With([](LayoutInput& in) {
                                  in.buttonLabels = {{90, 13}, {30, 16}};
                                  in.buttonAlign = Align::Left;
                              }),
                              {11 + 2 * (11 + 160), 44 + 28 + 11},
                              {160, 28},
                              {11, 44},
                              {}},
                    LayoutRow{"RightAligned",
                              With([](LayoutInput& in) {
                                  in.buttonLabels = {{20, 13}, {20, 13}};
                                  in.buttonAlign = Align::Right;
                              }),
                              {328, 78},
                              {80, 23},
                              {328 - 11 - 171, 44},
                              {}},
                    LayoutRow{"ButtonBandDoublesTheMargin",
                              With([](LayoutInput& in) { in.buttonBand = true; }),
                              {328, 89},
                              {80, 23},
                              {124, 55},
                              {}},
                    LayoutRow{"CheckboxAboveTheButtons",
                              With([](LayoutInput& in) {
                                  in.checkbox = true;
                                  in.checkboxLabel = {100, 13};
                              }),
                              {328, 102},
                              {80, 23},
                              {124, 68},
                              {10, 44, 23, 57}},
                    LayoutRow{"CheckboxBelowTheButtons",
                              With([](LayoutInput& in) {
                                  in.checkbox = true;
                                  in.checkboxBelow = true;
                                  in.checkboxLabel = {100, 13};
                              }),
                              {328, 102},
                              {80, 23},
                              {124, 44},
                              {10, 78, 23, 91}},
                    LayoutRow{"LongCheckboxLabelWidens",
                              With([](LayoutInput& in) {
                                  in.checkbox = true;
                                  in.checkboxLabel = {400, 13};
                              }),
                              {440, 102},
                              {80, 23},
                              {180, 68},
                              {10, 44, 23, 57}},
                    LayoutRow{"HeaderKeepsItsMinimumHeight",
                              With([](LayoutInput& in) {
                                  in.headerMinHeight = 60;
                                  in.headerText = {100, 16};
                              }),
                              {328, 138},
                              {80, 23},
                              {124, 104},
                              {}},
                    LayoutRow{"SeparatorCaptionWidens",
                              With([](LayoutInput& in) {
                                  in.headerMinHeight = 10;
                                  in.headerText = {100, 16};
                                  in.headerCaptionWidth = 400;
                              }),
                              {410, 122},
                              {80, 23},
                              {165, 88},
                              {}},
                    LayoutRow{"FooterWidensButAddsNoHeightUntilShown",
                              With([](LayoutInput& in) {
                                  in.footer = true;
                                  in.footerText = {500, 40};
                              }),
                              {528, 78},
                              {80, 23},
                              {224, 44},
                              {}},
                    // The window keeps to the work area (1280 wide, 1274 of it for the client).
                    LayoutRow{"CapAboveTheContentChangesNothing",
                              With([](LayoutInput& in) { in.maxWindowWidth = 1280; }),
                              {328, 78},
                              {80, 23},
                              {124, 44},
                              {}},
                    LayoutRow{"MessageWiderThanTheWorkArea",
                              With([](LayoutInput& in) {
                                  in.messageText = {3276700, 16};
                                  in.maxWindowWidth = 1280;
                              }),
                              {1274, 78},
                              {80, 23},
                              {597, 44},
                              {}},
                    LayoutRow{"ButtonsTooManyForTheRowNarrow",
                              With([](LayoutInput& in) {
                                  in.buttonLabels.assign(20, Size{20, 13});
                                  in.maxWindowWidth = 806;
                              }),
                              {800, 78},
                              {28, 23},
                              {15, 44},
                              {}},
                    LayoutRow{"ButtonLabelWiderThanTheWorkArea",
                              With([](LayoutInput& in) {
                                  in.buttonLabels = {{2000, 13}};
                                  in.maxWindowWidth = 806;
                              }),
                              {800, 78},
                              {778, 23},
                              {11, 44},
                              {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LayoutTest, LongCheckboxLabelIsCutAtTheWorkArea) {
    LayoutInput in = Plain();
    in.checkbox = true;
    in.checkboxLabel = {5000, 13};
    in.maxWindowWidth = 806;
    const Layout layout = LayOutBox(in);
    EXPECT_EQ(layout.client.width, 800);
    EXPECT_EQ(layout.checkboxLabel.left, 29);
    EXPECT_EQ(layout.checkboxLabel.right, 800);
}

TEST(LayoutTest, FooterHeightAndTextBoxes) {
    LayoutInput in = Plain();
    in.footer = true;
    in.footerText = {100, 40};
    in.headerMinHeight = 50;
    const Layout layout = LayOutBox(in);
    EXPECT_EQ(layout.footerHeight, 68);
    EXPECT_EQ(layout.FooterText(), (Box{14, 128 + 14, 328 - 14, 128 + 68 - 14}));
    EXPECT_EQ(layout.MessageText(), (Box{14, 50 + 14, 328 - 14, 50 + 44 - 14}));
}

struct MulDivRow {
    int number, numerator, denominator, expected;
};

TEST(LayoutTest, MulDivRoundsHalfAwayFromZero) {
    for (const MulDivRow& row :
         {MulDivRow{20, 80, 45, 36}, MulDivRow{13, 23, 13, 23}, MulDivRow{7, 1, 2, 4},
          MulDivRow{-7, 1, 2, -4}, MulDivRow{1 << 30, 8, 2, 0x7FFFFFFF}, MulDivRow{5, 1, 0, 0}})
        EXPECT_EQ(MulDivRound(row.number, row.numerator, row.denominator), row.expected)
            << row.number << " * " << row.numerator << " / " << row.denominator;
}

struct SeparatorRow {
    const char* name;
    int captionWidth;
    Align align;
    int captionX;
    std::vector<Box> lines;
};

class SeparatorTest : public testing::TestWithParam<SeparatorRow> {};

TEST_P(SeparatorTest, LinePiecesLeaveRoomForTheCaption) {
    const SeparatorPlan plan = PlanSeparator(200, GetParam().captionWidth, GetParam().align);
    if (GetParam().captionWidth > 0) {
        EXPECT_EQ(plan.captionX, GetParam().captionX);
    }
    EXPECT_EQ(plan.lines, GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Captions, SeparatorTest,
    testing::Values(SeparatorRow{"NoCaption", 0, Align::Left, 0, {{0, 0, 200, 0}}},
                    SeparatorRow{"Left", 50, Align::Left, 5, {{60, 0, 200, 0}}},
                    SeparatorRow{"Right", 50, Align::Right, 145, {{0, 0, 140, 0}}},
                    SeparatorRow{
                        "Centred", 50, Align::Centre, 75, {{0, 0, 70, 0}, {130, 0, 200, 0}}},
                    SeparatorRow{"WiderThanTheBand", 300, Align::Centre, -50, {}}),
    [](const auto& info) { return std::string(info.param.name); });

struct CentreRow {
    const char* name;
    Box over;
    Size window;
    Point expected;
};

class CentreTest : public testing::TestWithParam<CentreRow> {};

TEST_P(CentreTest, CentredAndKeptOnTheWorkArea) {
    EXPECT_EQ(CentreWindow(GetParam().over, GetParam().window, {0, 0, 1024, 740}),
              GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Owners, CentreTest,
    testing::Values(CentreRow{"OverTheScreen", {0, 0, 1024, 768}, {300, 100}, {362, 334}},
                    CentreRow{"OverTheOwner", {100, 100, 500, 400}, {200, 100}, {200, 200}},
                    CentreRow{
                        "OwnerPartlyOffScreen", {900, 650, 1300, 900}, {300, 200}, {724, 540}},
                    CentreRow{"LargerThanTheWorkArea", {0, 0, 1024, 768}, {1200, 900}, {0, 0}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace dp::richbox
