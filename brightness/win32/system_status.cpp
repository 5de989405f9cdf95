#include "brightness/win32/system_status.h"

#include <windows.h>

namespace dp {

static_assert(sizeof(OSVERSIONINFOEXW) == 284);

std::optional<OsVersion> SystemOsVersion::Read() {
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (!::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info)))
        return std::nullopt;
    return OsVersion{info.dwMajorVersion, info.dwMinorVersion};
}

std::optional<std::uint8_t> SystemPowerStatus::ReadACLineStatus() {
    SYSTEM_POWER_STATUS status{};
    if (!::GetSystemPowerStatus(&status))
        return std::nullopt;
    return status.ACLineStatus;
}

} // namespace dp
