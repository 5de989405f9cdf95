#include "brightness/brightness_controller.h"

#include "brightness/power_source.h"

#include <algorithm>

namespace dp {

namespace {

// Backlight control is not attempted on x.0 releases up to major version 5 (NT 4.0, 2000);
// 5.1 and every later version go on.
bool VersionAllowsControl(const OsVersion& version) {
    return !(version.major <= 5 && version.minor == 0);
}

bool HoldsNothing(const DisplayBrightness& saved) {
    return saved.ucACBrightness == kNothingSaved;
}

} // namespace

BrightnessController::BrightnessController(const BrightnessBackends& backends)
    : backends_(backends) {
    Detect();
}

BrightnessController::~BrightnessController() {
    RestoreBrightness();
}

void BrightnessController::Detect() {
    const std::optional<OsVersion> version = backends_.osVersion.Read();
    if (!version)
        return;
    osVersion_ = *version;
    if (!VersionAllowsControl(osVersion_))
        return;
    if (!backends_.device.Open())
        return;
    FillLevels();
    if (levelCount_ == 0) {
        backends_.device.Close();
        return;
    }
    // The driver overwrites the whole record; the preset policy only says which record is asked
    // for. A failed query leaves no record: its preset bytes are not a brightness.
    DisplayBrightness initial{kDisplayPolicyBoth, 0, 0};
    if (backends_.device.QueryDisplayBrightness(initial))
        initialBrightness_ = initial;
    mode_ = BrightnessMode::Backlight;
}

// WMI first; the device is asked only when WMI fails. An empty list from WMI is an answer, so
// the device is not asked then.
void BrightnessController::FillLevels() {
    LevelList levels;
    if (backends_.wmiLevels.QueryLevels(levels)) {
        StoreLevels(levels);
        return;
    }
    levels.clear();
    if (backends_.device.QuerySupportedLevels(levels))
        StoreLevels(levels);
}

void BrightnessController::StoreLevels(const LevelList& levels) {
    const std::size_t count = std::min(levels.size(), kMaxLevels);
    levels_.fill(0);
    std::copy_n(levels.begin(), count, levels_.begin());
    levelCount_ = static_cast<std::uint32_t>(count);
}

std::uint8_t BrightnessController::GetLevel(std::uint32_t position) const {
    return position < levelCount_ ? levels_[position] : 0;
}

bool BrightnessController::CanControl() const {
    return mode_ == BrightnessMode::Backlight && backends_.device.IsOpen();
}

bool BrightnessController::SetLocked(const DisplayBrightness& record) {
    if (!CanControl())
        return false;
    return backends_.device.SetDisplayBrightness(record);
}

bool BrightnessController::ApplyBrightness(std::uint8_t acLevel, std::uint8_t dcLevel,
                                           std::uint8_t policy) {
    std::lock_guard<std::mutex> lock(mutex_);
    return SetLocked({policy, acLevel, dcLevel});
}

bool BrightnessController::SaveCurrentAsDefault() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!CanControl())
        return false;
    // Only a record the driver delivered is kept: a failed request must not leave a made-up
    // brightness to be restored later.
    DisplayBrightness current;
    if (!backends_.device.QueryDisplayBrightness(current))
        return false;
    if (current.ucDisplayPolicy == kDisplayPolicyAc)
        savedForMains_ = current;
    else if (current.ucDisplayPolicy == kDisplayPolicyDc)
        savedForBattery_ = current;
    return true;
}

void BrightnessController::RestoreBrightness() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!CanControl())
        return;
    const bool onMains = IsMainsPower(backends_.powerStatus.ReadACLineStatus());
    const DisplayBrightness saved = onMains ? savedForMains_ : savedForBattery_;
    if (HoldsNothing(saved)) {
        ReapplyPowerScheme(osVersion_, backends_.powerSchemes);
    } else {
        const std::uint8_t policy = onMains ? kDisplayPolicyAc : kDisplayPolicyDc;
        SetLocked({policy, saved.ucACBrightness, saved.ucDCBrightness});
    }
    backends_.device.Close();
}

void BrightnessController::ReapplyActivePowerScheme() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (CanControl())
        ReapplyPowerScheme(osVersion_, backends_.powerSchemes);
}

DisplayBrightness BrightnessController::GetSavedForMains() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return savedForMains_;
}

DisplayBrightness BrightnessController::GetSavedForBattery() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return savedForBattery_;
}

} // namespace dp
