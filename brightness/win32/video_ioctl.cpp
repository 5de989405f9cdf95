#include "brightness/win32/video_ioctl.h"

#include "brightness/win32/brightness_writes.h"

#include <winioctl.h>
#include <ntddvdeo.h>

#include <algorithm>

namespace dp {

static_assert(IOCTL_VIDEO_QUERY_SUPPORTED_BRIGHTNESS == kIoctlQuerySupportedBrightness);
static_assert(IOCTL_VIDEO_QUERY_DISPLAY_BRIGHTNESS == kIoctlQueryDisplayBrightness);
static_assert(IOCTL_VIDEO_SET_DISPLAY_BRIGHTNESS == kIoctlSetDisplayBrightness);
static_assert(sizeof(DISPLAY_BRIGHTNESS) == sizeof(DisplayBrightness));

namespace {

// A request counts as done only when the call succeeds and the thread's last error, read at
// once, is 0. The last error is deliberately not cleared first: a driver that answers while an
// earlier error is still pending is not trusted.
bool AnsweredCleanly(BOOL result) {
    const DWORD lastError = ::GetLastError();
    return result != FALSE && lastError == ERROR_SUCCESS;
}

} // namespace

bool VideoPortPanel::Open() {
    device_.reset(::CreateFileW(kLcdDevicePath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr));
    return IsOpen();
}

bool VideoPortPanel::QuerySupportedLevels(LevelList& levels) {
    if (!IsOpen())
        return false;
    BYTE buffer[kMaxLevels] = {};
    DWORD bytesReturned = 0;
    const BOOL result = ::DeviceIoControl(device_.get(), kIoctlQuerySupportedBrightness, nullptr, 0,
                                          buffer, sizeof(buffer), &bytesReturned, nullptr);
    if (!AnsweredCleanly(result))
        return false;
    // A driver may claim more bytes than the buffer holds; only the buffer is ours to read.
    const DWORD count = std::min<DWORD>(bytesReturned, sizeof(buffer));
    levels.assign(buffer, buffer + count);
    return true;
}

bool VideoPortPanel::QueryDisplayBrightness(DisplayBrightness& record) {
    if (!IsOpen())
        return false;
    // The caller's preset goes to the driver; the answer counts only when the driver filled the
    // whole record, since the bytes it left would be taken for a brightness (0: backlight off).
    DisplayBrightness answer = record;
    DWORD bytesReturned = 0;
    if (!::DeviceIoControl(device_.get(), kIoctlQueryDisplayBrightness, nullptr, 0, &answer,
                           sizeof(answer), &bytesReturned, nullptr) ||
        bytesReturned != sizeof(answer))
        return false;
    record = answer;
    return true;
}

bool VideoPortPanel::SetDisplayBrightness(const DisplayBrightness& record) {
    if (!IsOpen() || BrightnessWritesStopped())
        return false;
    DisplayBrightness request = record;
    DWORD bytesReturned = 0;
    const BOOL result = ::DeviceIoControl(device_.get(), kIoctlSetDisplayBrightness, &request,
                                          sizeof(request), nullptr, 0, &bytesReturned, nullptr);
    return AnsweredCleanly(result);
}

} // namespace dp
