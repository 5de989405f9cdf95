// What the brightness controller needs from the platform, one small interface per source.
#pragma once

#include "brightness/display_brightness.h"
#include "brightness/power_scheme.h"

#include <cstdint>
#include <optional>

namespace dp {

class OsVersionSource {
public:
    virtual ~OsVersionSource() = default;
    // Nothing when the platform does not say.
    virtual std::optional<OsVersion> Read() = 0;
};

// The LCD panel device and the video port's three brightness requests.
class PanelDevice {
public:
    virtual ~PanelDevice() = default;
    virtual bool Open() = 0;
    virtual bool IsOpen() const = 0;
    // The levels the driver lists, in its order; false when the request fails.
    virtual bool QuerySupportedLevels(LevelList& levels) = 0;
    // Reads the current record into `record`, which the caller may preset; the request's result.
    virtual bool QueryDisplayBrightness(DisplayBrightness& record) = 0;
    virtual bool SetDisplayBrightness(const DisplayBrightness& record) = 0;
    virtual void Close() = 0;
};

// The display's supported levels from the management instrumentation. True when a monitor
// delivered a level list (possibly empty); false when the query failed.
class WmiLevelSource {
public:
    virtual ~WmiLevelSource() = default;
    virtual bool QueryLevels(LevelList& levels) = 0;
};

class PowerStatusSource {
public:
    virtual ~PowerStatusSource() = default;
    // The platform's ACLineStatus, or nothing when the power status cannot be read.
    virtual std::optional<std::uint8_t> ReadACLineStatus() = 0;
};

// The sources one controller works with; they must outlive it.
struct BrightnessBackends {
    OsVersionSource& osVersion;
    PanelDevice& device;
    WmiLevelSource& wmiLevels;
    PowerStatusSource& powerStatus;
    PowerSchemeLibrary& powerSchemes;
};

} // namespace dp
