#include "saver/power_change_schedule.h"

namespace dp {

void PowerChangeSchedule::Add(TimePoint broadcastTime) {
    const TimePoint due = broadcastTime + kApplyDelay;
    if (due_.size() < kMaxPending)
        due_.push_back(due);
    else
        due_.back() = due;
}

std::optional<PowerChangeSchedule::TimePoint> PowerChangeSchedule::NextDue() const {
    if (due_.empty())
        return std::nullopt;
    return due_.front();
}

bool PowerChangeSchedule::TakeDue(TimePoint now) {
    if (due_.empty() || due_.front() > now)
        return false;
    due_.pop_front();
    return true;
}

} // namespace dp
