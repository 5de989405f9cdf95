// The OS version and the power status as the controller reads them.
#pragma once

#include "brightness/brightness_backends.h"

namespace dp {

class SystemOsVersion final : public OsVersionSource {
public:
    std::optional<OsVersion> Read() override;
};

class SystemPowerStatus final : public PowerStatusSource {
public:
    std::optional<std::uint8_t> ReadACLineStatus() override;
};

} // namespace dp
