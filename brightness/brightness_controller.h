// The one object through which the program reads and changes the panel's backlight. It finds
// out at construction whether the backlight can be controlled and which levels the display
// supports, sets levels, remembers the brightness the driver reports, and puts the brightness
// back when it is destroyed.
#pragma once

#include "brightness/brightness_backends.h"
#include "brightness/display_brightness.h"

#include <cstdint>
#include <mutex>
#include <optional>

namespace dp {

enum class BrightnessMode : std::int32_t { None = 0, Backlight = 1 };

class BrightnessController {
public:
    // Detects; never fails. The outcome is the mode.
    explicit BrightnessController(const BrightnessBackends& backends);
    // Restores the brightness.
    virtual ~BrightnessController();
    BrightnessController(const BrightnessController&) = delete;
    BrightnessController& operator=(const BrightnessController&) = delete;

    BrightnessMode GetMode() const { return mode_; }
    bool IsBacklightMode() const { return mode_ == BrightnessMode::Backlight; }
    OsVersion GetOsVersion() const { return osVersion_; }

    // The supported levels: positions 0 to GetLevelCount() - 1 of the table are valid, the rest
    // are 0. GetLevel answers 0 for a position past the end.
    std::uint32_t GetLevelCount() const { return levelCount_; }
    std::uint8_t GetLevel(std::uint32_t position) const;
    const LevelTable& GetLevels() const { return levels_; }

    // The record the driver reported at construction; nothing when it did not answer (or there
    // is no backlight control). A caller that puts the brightness back must not make up a record
    // then, since its zero bytes would set level 0: it calls ReapplyActivePowerScheme instead.
    std::optional<DisplayBrightness> GetInitialBrightness() const { return initialBrightness_; }

    // Sets the levels for the given policy; true when the driver accepted them.
    bool ApplyBrightness(std::uint8_t acLevel, std::uint8_t dcLevel, std::uint8_t policy);
    // Reads the current brightness and keeps it as the record to restore for the policy the
    // driver reports; true when the driver answered.
    bool SaveCurrentAsDefault();
    // Puts back the record saved for the power source in force, or re-applies the active power
    // scheme when none was saved; then closes the device. Later calls do nothing.
    void RestoreBrightness();
    // Lets the system set its own brightness again by re-applying the active power scheme, in
    // backlight mode only; where the system has no power schemes nothing changes.
    void ReapplyActivePowerScheme();

    // The records SaveCurrentAsDefault keeps (AC byte 255: nothing saved).
    DisplayBrightness GetSavedForMains() const;
    DisplayBrightness GetSavedForBattery() const;

private:
    void Detect();
    void FillLevels();
    void StoreLevels(const LevelList& levels);
    bool CanControl() const;
    bool SetLocked(const DisplayBrightness& record);

    BrightnessBackends backends_;
    // Power-change workers save and apply from several threads at once; one request at a time
    // keeps the saved records whole.
    mutable std::mutex mutex_;
    OsVersion osVersion_;
    BrightnessMode mode_ = BrightnessMode::None;
    LevelTable levels_{};
    std::uint32_t levelCount_ = 0;
    DisplayBrightness savedForMains_{0, kNothingSaved, kNothingSaved};
    DisplayBrightness savedForBattery_{0, kNothingSaved, kNothingSaved};
    std::optional<DisplayBrightness> initialBrightness_;
};

} // namespace dp
