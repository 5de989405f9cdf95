#include "brightness/external_monitors.h"

#include <algorithm>

namespace dp {

std::uint32_t MonitorValueForLevel(std::uint32_t minimum, std::uint32_t maximum,
                                   std::uint32_t level) {
    if (maximum <= minimum)
        return minimum;
    const std::uint64_t span = maximum - minimum;
    const std::uint64_t share = span * std::min<std::uint32_t>(level, 100) / 100;
    return minimum + static_cast<std::uint32_t>(share);
}

bool IsUsableReading(const MonitorBrightness& reading) {
    return reading.minimum < reading.maximum && reading.current >= reading.minimum &&
           reading.current <= reading.maximum;
}

MonitorDimmer::MonitorDimmer(MonitorBus& bus, MonitorClock& clock, std::uint32_t commandGapMs,
                             MonitorCaptureHook onCapture)
    : bus_(bus), clock_(clock), commandGapMs_(commandGapMs), onCapture_(std::move(onCapture)) {
    const std::size_t count = bus_.Count();
    slots_.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        slots_.push_back(std::make_unique<Slot>());
}

void MonitorDimmer::PaceLocked(Slot& slot) {
    if (slot.lastCallMs) {
        const std::uint64_t now = clock_.NowMs();
        const std::uint64_t since = now >= *slot.lastCallMs ? now - *slot.lastCallMs : 0;
        if (since < commandGapMs_)
            clock_.SleepMs(static_cast<std::uint32_t>(commandGapMs_ - since));
    }
}

void MonitorDimmer::CaptureLocked(std::size_t index, Slot& slot) {
    if (slot.state.status != MonitorStatus::Unread)
        return;
    PaceLocked(slot);
    const std::optional<MonitorBrightness> reading = bus_.Read(index);
    slot.lastCallMs = clock_.NowMs();
    if (!reading || !IsUsableReading(*reading) || (onCapture_ && !onCapture_(index, *reading))) {
        slot.state.status = MonitorStatus::Skipped;
        return;
    }
    slot.state.status = MonitorStatus::Ready;
    slot.state.captured = *reading;
    slot.state.current = reading->current;
}

void MonitorDimmer::WriteLocked(std::size_t index, Slot& slot, std::uint32_t value) {
    if (slot.state.status != MonitorStatus::Ready || slot.state.current == value)
        return;
    PaceLocked(slot);
    const bool written = bus_.Write(index, value);
    slot.lastCallMs = clock_.NowMs();
    if (!written) {
        slot.state.status = MonitorStatus::Skipped;
        return;
    }
    slot.state.current = value;
}

void MonitorDimmer::Capture() {
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        const std::lock_guard lock(slots_[i]->mutex);
        CaptureLocked(i, *slots_[i]);
    }
}

void MonitorDimmer::ApplyLevel(std::size_t index, std::uint32_t level) {
    if (index >= slots_.size())
        return;
    Slot& slot = *slots_[index];
    const std::lock_guard lock(slot.mutex);
    CaptureLocked(index, slot);
    if (slot.state.status != MonitorStatus::Ready)
        return;
    const MonitorBrightness& range = slot.state.captured;
    WriteLocked(index, slot, MonitorValueForLevel(range.minimum, range.maximum, level));
}

void MonitorDimmer::ApplyLevel(std::uint32_t level) {
    for (std::size_t i = 0; i < slots_.size(); ++i)
        ApplyLevel(i, level);
}

void MonitorDimmer::Restore(std::size_t index) {
    if (index >= slots_.size())
        return;
    Slot& slot = *slots_[index];
    const std::lock_guard lock(slot.mutex);
    WriteLocked(index, slot, slot.state.captured.current);
}

void MonitorDimmer::Restore() {
    for (std::size_t i = 0; i < slots_.size(); ++i)
        Restore(i);
}

MonitorState MonitorDimmer::State(std::size_t index) const {
    if (index >= slots_.size())
        return {};
    const std::lock_guard lock(slots_[index]->mutex);
    return slots_[index]->state;
}

std::size_t MonitorDimmer::ReadyCount() const {
    std::size_t ready = 0;
    for (std::size_t i = 0; i < slots_.size(); ++i)
        ready += State(i).status == MonitorStatus::Ready ? 1 : 0;
    return ready;
}

} // namespace dp
