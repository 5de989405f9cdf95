#include "brightness/external_monitors.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dp {
namespace {

TEST(ExternalMonitors, LevelIsAShareOfTheMonitorsRange) {
    struct Row {
        std::uint32_t minimum, maximum, level, value;
    };
    const Row rows[] = {
        {0, 100, 0, 0},
        {0, 100, 40, 40},
        {0, 100, 100, 100},
        {20, 80, 50, 50},                   // the share starts at the minimum
        {0, 255, 30, 76},                   // 76.5 rounded down
        {10, 11, 99, 10},                   // never above the share
        {0, 100, 255, 100},                 // a level past 100 stays within the range
        {0, 0xFFFFFFFFu, 100, 0xFFFFFFFFu}, // no overflow on a wide range
        {0, 0xFFFFFFFFu, 50, 0x7FFFFFFFu},
        {50, 50, 30, 50}, // an empty range gives its one value
        {80, 20, 50, 80}, // an inverted range is never left
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.minimum) + ".." + std::to_string(row.maximum) + " at " +
                     std::to_string(row.level));
        EXPECT_EQ(MonitorValueForLevel(row.minimum, row.maximum, row.level), row.value);
    }
}

// A monitor of the fake bus: what it answers and which calls fail.
struct FakeMonitor {
    std::optional<MonitorBrightness> reading; // nothing: a read fails
    int failWriteNumber = 0;                  // the write (1, 2, ...) that fails; 0: none
};

struct Call {
    std::size_t index;
    char kind; // 'r' or 'w'
    std::uint32_t value;
    std::uint64_t atMs;
};

class FakeClock : public MonitorClock {
public:
    std::uint64_t NowMs() override { return now; }
    void SleepMs(std::uint32_t ms) override {
        now += ms;
        slept += ms;
    }
    std::uint64_t now = 1000;
    std::uint64_t slept = 0;
};

class FakeBus : public MonitorBus {
public:
    FakeBus(std::vector<FakeMonitor> monitors, FakeClock& clock)
        : monitors_(std::move(monitors)), writes_(monitors_.size(), 0), clock_(clock) {}
    std::size_t Count() const override { return monitors_.size(); }
    std::optional<MonitorBrightness> Read(std::size_t index) override {
        calls.push_back({index, 'r', 0, clock_.now});
        clock_.now += latencyMs;
        return monitors_[index].reading;
    }
    bool Write(std::size_t index, std::uint32_t value) override {
        calls.push_back({index, 'w', value, clock_.now});
        clock_.now += latencyMs;
        return ++writes_[index] != monitors_[index].failWriteNumber;
    }
    // The values written to one monitor, in order; failed writes included.
    std::vector<std::uint32_t> Written(std::size_t index) const {
        std::vector<std::uint32_t> values;
        for (const Call& call : calls)
            if (call.index == index && call.kind == 'w')
                values.push_back(call.value);
        return values;
    }
    std::size_t CallsTo(std::size_t index) const {
        std::size_t count = 0;
        for (const Call& call : calls)
            count += call.index == index ? 1 : 0;
        return count;
    }
    std::vector<Call> calls;
    std::uint64_t latencyMs = 40;

private:
    std::vector<FakeMonitor> monitors_;
    std::vector<int> writes_;
    FakeClock& clock_;
};

constexpr MonitorBrightness kAt70{0, 70, 100};

TEST(ExternalMonitors, DimThenPutBack) {
    struct Row {
        const char* name;
        FakeMonitor monitor;
        std::vector<std::uint32_t> levels;  // applied in turn (a power-source change adds one)
        std::vector<std::uint32_t> written; // every write, the put-back included
        MonitorStatus status;
    };
    const Row rows[] = {
        {"dimmed and put back", {kAt70, 0}, {30}, {30, 70}, MonitorStatus::Ready},
        {"own range", {MonitorBrightness{10, 50, 60}, 0}, {40}, {30, 50}, MonitorStatus::Ready},
        {"already at the level: nothing written", {kAt70, 0}, {70}, {}, MonitorStatus::Ready},
        {"power-source change", {kAt70, 0}, {30, 60}, {30, 60, 70}, MonitorStatus::Ready},
        {"same level twice: written once", {kAt70, 0}, {30, 30}, {30, 70}, MonitorStatus::Ready},
        {"change to the monitor's own value", {kAt70, 0}, {30, 70}, {30, 70}, MonitorStatus::Ready},
        {"does not answer", {std::nullopt, 0}, {30, 60}, {}, MonitorStatus::Skipped},
        {"empty range", {MonitorBrightness{50, 50, 50}, 0}, {30}, {}, MonitorStatus::Skipped},
        {"current outside its range",
         {MonitorBrightness{0, 120, 100}, 0},
         {30},
         {},
         MonitorStatus::Skipped},
        {"dimming fails: left alone", {kAt70, 1}, {30, 60}, {30}, MonitorStatus::Skipped},
        {"power change fails: left alone", {kAt70, 2}, {30, 60}, {30, 60}, MonitorStatus::Skipped},
        {"put-back fails once, not again", {kAt70, 2}, {30}, {30, 70}, MonitorStatus::Skipped},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FakeClock clock;
        FakeBus bus({row.monitor}, clock);
        MonitorDimmer dimmer(bus, clock);
        for (const std::uint32_t level : row.levels)
            dimmer.ApplyLevel(level);
        dimmer.Restore();
        dimmer.Restore(); // a second put-back writes nothing more
        EXPECT_EQ(bus.Written(0), row.written);
        EXPECT_EQ(dimmer.State(0).status, row.status);
        // Read once for the run, however often the level changes.
        EXPECT_EQ(bus.calls.empty() ? 'w' : bus.calls.front().kind, 'r');
        EXPECT_EQ(bus.CallsTo(0), 1 + row.written.size());
    }
}

TEST(ExternalMonitors, AFailingMonitorDoesNotHoldUpTheOthers) {
    FakeClock clock;
    FakeBus bus({{kAt70, 0}, {std::nullopt, 0}, {kAt70, 1}, {MonitorBrightness{0, 40, 255}, 0}},
                clock);
    MonitorDimmer dimmer(bus, clock);
    dimmer.Capture();
    EXPECT_EQ(dimmer.ReadyCount(), 3u);
    dimmer.ApplyLevel(20);
    dimmer.ApplyLevel(50);
    dimmer.Restore();
    EXPECT_EQ(bus.Written(0), (std::vector<std::uint32_t>{20, 50, 70}));
    EXPECT_EQ(bus.Written(1), std::vector<std::uint32_t>{});
    EXPECT_EQ(bus.Written(2), std::vector<std::uint32_t>{20});
    EXPECT_EQ(bus.Written(3), (std::vector<std::uint32_t>{51, 127, 40}));
    EXPECT_EQ(dimmer.ReadyCount(), 2u);
    EXPECT_EQ(dimmer.State(3).captured, (MonitorBrightness{0, 40, 255}));
}

TEST(ExternalMonitors, CallsToOneMonitorArePaced) {
    struct Row {
        const char* name;
        std::uint64_t latencyMs;
        std::uint32_t gapMs;
        bool waits;
    };
    const Row rows[] = {
        {"fast monitor waits for the gap", 5, 50, true},
        {"the gap follows the end of a slow call", 80, 50, true},
        {"no gap", 10, 0, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FakeClock clock;
        FakeBus bus({{kAt70, 0}, {kAt70, 0}}, clock);
        bus.latencyMs = row.latencyMs;
        MonitorDimmer dimmer(bus, clock, row.gapMs);
        dimmer.ApplyLevel(10);
        dimmer.ApplyLevel(20);
        dimmer.Restore();
        ASSERT_EQ(bus.calls.size(), 8u);
        for (std::size_t index = 0; index < 2; ++index) {
            std::optional<std::uint64_t> endOfLast;
            for (const Call& call : bus.calls) {
                if (call.index != index)
                    continue;
                if (endOfLast) {
                    EXPECT_GE(call.atMs, *endOfLast + row.gapMs);
                }
                endOfLast = call.atMs + row.latencyMs;
            }
        }
        EXPECT_EQ(clock.slept > 0, row.waits);
    }
}

TEST(ExternalMonitors, AReadingThatCannotBeKeptLeavesTheMonitorAlone) {
    struct Row {
        const char* name;
        bool kept;
        std::vector<std::uint32_t> written;
    };
    const Row rows[] = {
        {"kept before the first change", true, {30, 40, 70}},
        {"not kept: never changed", false, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FakeClock clock;
        FakeBus bus({{kAt70, 0}}, clock);
        std::vector<std::pair<std::size_t, MonitorBrightness>> told;
        MonitorDimmer dimmer(bus, clock, kMonitorCommandGapMs,
                             [&](std::size_t index, const MonitorBrightness& reading) {
                                 // Told before anything was written.
                                 EXPECT_TRUE(bus.Written(index).empty());
                                 told.emplace_back(index, reading);
                                 return row.kept;
                             });
        dimmer.ApplyLevel(30);
        dimmer.ApplyLevel(40);
        dimmer.Restore();
        EXPECT_EQ(told.size(), 1u);
        EXPECT_EQ(bus.Written(0), row.written);
    }
}

TEST(ExternalMonitors, PositionsPastTheEndAreIgnored) {
    FakeClock clock;
    FakeBus bus({{kAt70, 0}}, clock);
    MonitorDimmer dimmer(bus, clock);
    dimmer.ApplyLevel(std::size_t{1}, 30);
    dimmer.Restore(1);
    EXPECT_TRUE(bus.calls.empty());
    EXPECT_EQ(dimmer.State(1).status, MonitorStatus::Unread);
}

} // namespace
} // namespace dp
