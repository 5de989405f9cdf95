// External monitors dimmed beside the panel through DDC/CI (VCP code 0x10, brightness).
//
// Every monitor reports its own range; a level (0-100, the one chosen for the panel) becomes
// the same share of that range. The brightness each monitor reports before the first change is
// what it gets back. Monitors keep their setting in memory that wears, so a value is written only
// when it differs from the one the monitor holds, and a monitor that fails a call is left alone
// for the rest of the run instead of being asked again and again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace dp {

// A monitor's answer to a brightness read.
struct MonitorBrightness {
    std::uint32_t minimum = 0;
    std::uint32_t current = 0;
    std::uint32_t maximum = 0;

    friend bool operator==(const MonitorBrightness&, const MonitorBrightness&) = default;
};

// The value for a level (percent; above 100 counts as 100) within a monitor's range:
// minimum + (maximum - minimum) * level / 100, rounded down.
std::uint32_t MonitorValueForLevel(std::uint32_t minimum, std::uint32_t maximum,
                                   std::uint32_t level);

// A read that can be dimmed: a range that is not empty and a current value inside it. A monitor
// that answers anything else is left alone.
bool IsUsableReading(const MonitorBrightness& reading);

// The monitors as the platform sees them, by position. Calls on different monitors may come
// from different threads at once; calls on one monitor never overlap.
class MonitorBus {
public:
    virtual ~MonitorBus() = default;
    virtual std::size_t Count() const = 0;
    // Nothing when the monitor did not answer.
    virtual std::optional<MonitorBrightness> Read(std::size_t index) = 0;
    virtual bool Write(std::size_t index, std::uint32_t value) = 0;
};

// Time for pacing the calls to one monitor.
class MonitorClock {
public:
    virtual ~MonitorClock() = default;
    virtual std::uint64_t NowMs() = 0;
    virtual void SleepMs(std::uint32_t ms) = 0;
};

// A DDC/CI monitor wants a pause after each command before it takes the next one.
inline constexpr std::uint32_t kMonitorCommandGapMs = 50;

enum class MonitorStatus {
    Unread,  // not asked yet
    Ready,   // answered; its brightness is known
    Skipped, // failed a call or reported no usable range: left alone for the run
};

struct MonitorState {
    MonitorStatus status = MonitorStatus::Unread;
    MonitorBrightness captured; // the reading before any change (valid unless Unread)
    std::uint32_t current = 0;  // the value the monitor holds now, as far as known
};

// Told of each monitor's reading before its first change (on the monitor's thread); false: the
// reading could not be kept where a crash would find it, and the monitor is left alone.
using MonitorCaptureHook = std::function<bool(std::size_t index, const MonitorBrightness&)>;

class MonitorDimmer {
public:
    MonitorDimmer(MonitorBus& bus, MonitorClock& clock,
                  std::uint32_t commandGapMs = kMonitorCommandGapMs,
                  MonitorCaptureHook onCapture = {});
    MonitorDimmer(const MonitorDimmer&) = delete;
    MonitorDimmer& operator=(const MonitorDimmer&) = delete;

    std::size_t Count() const { return slots_.size(); }

    // Reads every monitor not read yet; the readings are what Restore puts back.
    void Capture();
    // Sets every answering monitor to the level's share of its range (reading it first when
    // Capture has not).
    void ApplyLevel(std::uint32_t level);
    void ApplyLevel(std::size_t index, std::uint32_t level);
    // Puts every changed monitor back to its reading; one monitor at a time, or one per thread
    // with the indexed form.
    void Restore();
    void Restore(std::size_t index);

    MonitorState State(std::size_t index) const;
    // How many monitors answered with a usable range and have not failed since.
    std::size_t ReadyCount() const;

private:
    struct Slot {
        mutable std::mutex mutex;
        MonitorState state;
        std::optional<std::uint64_t> lastCallMs;
    };
    void CaptureLocked(std::size_t index, Slot& slot);
    void WriteLocked(std::size_t index, Slot& slot, std::uint32_t value);
    void PaceLocked(Slot& slot);

    MonitorBus& bus_;
    MonitorClock& clock_;
    std::uint32_t commandGapMs_;
    MonitorCaptureHook onCapture_;
    std::vector<std::unique_ptr<Slot>> slots_;
};

} // namespace dp
