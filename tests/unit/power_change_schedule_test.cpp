#include "saver/power_change_schedule.h"

#include <gtest/gtest.h>

#include <vector>

namespace dp {
namespace {

using std::chrono::milliseconds;

// Feeds broadcasts at the given times (ms from an origin) through a schedule millisecond by
// millisecond and returns when each apply falls due.
std::vector<int> ApplyTimes(const std::vector<int>& broadcasts) {
    const PowerChangeSchedule::TimePoint origin{std::chrono::hours(1)};
    PowerChangeSchedule schedule;
    std::vector<int> applies;
    std::size_t next = 0;
    for (int t = 0; t <= 60000; ++t) {
        const auto now = origin + milliseconds(t);
        while (schedule.TakeDue(now))
            applies.push_back(t);
        for (; next < broadcasts.size() && broadcasts[next] == t; ++next) {
            schedule.Add(now);
            EXPECT_LE(schedule.Pending(), PowerChangeSchedule::kMaxPending);
        }
    }
    return applies;
}

std::vector<int> Spaced(int count, int first, int step) {
    std::vector<int> times;
    for (int i = 0; i < count; ++i)
        times.push_back(first + i * step);
    return times;
}

std::vector<int> Concat(std::vector<int> a, const std::vector<int>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct ScheduleRow {
    const char* name;
    std::vector<int> broadcasts;
    std::vector<int> applies;
};

class PowerChangeScheduleTest : public testing::TestWithParam<ScheduleRow> {};

TEST_P(PowerChangeScheduleTest, AppliesThreeSecondsAfterEachBroadcast) {
    EXPECT_EQ(ApplyTimes(GetParam().broadcasts), GetParam().applies);
}

INSTANTIATE_TEST_SUITE_P(
    Broadcasts, PowerChangeScheduleTest,
    testing::Values(
        ScheduleRow{"None", {}, {}}, ScheduleRow{"One", {0}, {3000}},
        ScheduleRow{"ThreeWithinOneSecond", {0, 400, 900}, {3000, 3400, 3900}},
        ScheduleRow{"TwoAtTheSameMoment", {100, 100}, {3100, 3100}},
        ScheduleRow{"SteadyTrickleAppliesEach", Spaced(12, 0, 1000), Spaced(12, 3000, 1000)},
        // Ten wait at most: the tenth keeps moving to three seconds after the latest.
        ScheduleRow{"StormKeepsTheLatest", Spaced(12, 0, 1), Concat(Spaced(9, 3000, 1), {3011})},
        ScheduleRow{"StormThenQuietAppliesAgain", Concat(Spaced(50, 0, 1), {10000}),
                    Concat(Spaced(9, 3000, 1), {3049, 13000})}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PowerChangeScheduleTest, NextDueIsTheEarliestWaitingApply) {
    const PowerChangeSchedule::TimePoint t0{std::chrono::hours(1)};
    PowerChangeSchedule schedule;
    EXPECT_FALSE(schedule.NextDue().has_value());
    schedule.Add(t0);
    schedule.Add(t0 + milliseconds(500));
    EXPECT_EQ(schedule.NextDue(), t0 + milliseconds(3000));
    schedule.Clear();
    EXPECT_FALSE(schedule.TakeDue(t0 + std::chrono::hours(1)));
}

} // namespace
} // namespace dp
