// The LCD device "\\.\LCD" and the video port's brightness requests.
#pragma once

#include "brightness/brightness_backends.h"
#include "framework/win32/handles.h"

#include <windows.h>

namespace dp {

inline constexpr wchar_t kLcdDevicePath[] = L"\\\\.\\LCD";

// FILE_DEVICE_VIDEO requests, buffered, any access.
inline constexpr DWORD kIoctlQuerySupportedBrightness = 0x230494;
inline constexpr DWORD kIoctlQueryDisplayBrightness = 0x230498;
inline constexpr DWORD kIoctlSetDisplayBrightness = 0x23049C;

class VideoPortPanel final : public PanelDevice {
public:
    bool Open() override;
    bool IsOpen() const override { return static_cast<bool>(device_); }
    bool QuerySupportedLevels(LevelList& levels) override;
    bool QueryDisplayBrightness(DisplayBrightness& record) override;
    bool SetDisplayBrightness(const DisplayBrightness& record) override;
    void Close() override { device_.reset(); }

private:
    UniqueFileHandle device_;
};

} // namespace dp
