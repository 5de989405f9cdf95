#include "brightness/win32/ddc_monitors.h"

#include "brightness/win32/brightness_writes.h"
#include "framework/win32/handles.h"
#include "framework/win32/system_files.h"

#include <physicalmonitorenumerationapi.h>

namespace dp {

namespace {

using GetCountFn = BOOL(WINAPI*)(HMONITOR, DWORD*);
using GetMonitorsFn = BOOL(WINAPI*)(HMONITOR, DWORD, PHYSICAL_MONITOR*);
using DestroyFn = BOOL(WINAPI*)(HANDLE);
using GetBrightnessFn = BOOL(WINAPI*)(HANDLE, DWORD*, DWORD*, DWORD*);
using SetBrightnessFn = BOOL(WINAPI*)(HANDLE, DWORD);

// More physical monitors than this on one display is a broken answer, not a desk.
constexpr DWORD kMaxMonitorsPerDisplay = 16;

template <typename Fn> Fn Bind(HMODULE library, const char* name) {
    // A function pointer from GetProcAddress is cast to its real type; the detour through void*
    // keeps the cast-function-type warning quiet.
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(library, name)));
}

BOOL CALLBACK CollectDisplay(HMONITOR display, HDC, LPRECT, LPARAM list) {
    try {
        reinterpret_cast<std::vector<HMONITOR>*>(list)->push_back(display);
    } catch (...) {
        return FALSE;
    }
    return TRUE;
}

} // namespace

struct DdcMonitorBus::Api {
    UniqueModule library;
    GetCountFn getCount = nullptr;
    GetMonitorsFn getMonitors = nullptr;
    DestroyFn destroy = nullptr;
    GetBrightnessFn getBrightness = nullptr;
    SetBrightnessFn setBrightness = nullptr;
};

DdcMonitorBus::DdcMonitorBus(std::unique_ptr<Api> api, std::vector<Monitor> monitors)
    : api_(std::move(api)), monitors_(std::move(monitors)) {}

DdcMonitorBus::~DdcMonitorBus() {
    for (const Monitor& monitor : monitors_)
        api_->destroy(monitor.handle);
}

std::unique_ptr<DdcMonitorBus> DdcMonitorBus::Open() {
    auto api = std::make_unique<Api>();
    api->library.reset(LoadSystemLibrary(L"dxva2.dll"));
    if (!api->library)
        return nullptr;
    HMODULE library = api->library.get();
    api->getCount = Bind<GetCountFn>(library, "GetNumberOfPhysicalMonitorsFromHMONITOR");
    api->getMonitors = Bind<GetMonitorsFn>(library, "GetPhysicalMonitorsFromHMONITOR");
    api->destroy = Bind<DestroyFn>(library, "DestroyPhysicalMonitor");
    api->getBrightness = Bind<GetBrightnessFn>(library, "GetMonitorBrightness");
    api->setBrightness = Bind<SetBrightnessFn>(library, "SetMonitorBrightness");
    if (!api->getCount || !api->getMonitors || !api->destroy || !api->getBrightness ||
        !api->setBrightness)
        return nullptr;

    std::vector<HMONITOR> displays;
    ::EnumDisplayMonitors(nullptr, nullptr, CollectDisplay, reinterpret_cast<LPARAM>(&displays));
    std::vector<Monitor> monitors;
    for (HMONITOR display : displays) {
        DWORD count = 0;
        if (!api->getCount(display, &count) || count == 0 || count > kMaxMonitorsPerDisplay)
            continue;
        std::vector<PHYSICAL_MONITOR> found(count);
        if (!api->getMonitors(display, count, found.data()))
            continue;
        for (const PHYSICAL_MONITOR& monitor : found) {
            const wchar_t* text = monitor.szPhysicalMonitorDescription;
            std::size_t length = 0;
            while (length < PHYSICAL_MONITOR_DESCRIPTION_SIZE && text[length] != L'\0')
                ++length;
            monitors.push_back({monitor.hPhysicalMonitor, std::wstring(text, length)});
        }
    }
    if (monitors.empty())
        return nullptr;
    return std::unique_ptr<DdcMonitorBus>(new DdcMonitorBus(std::move(api), std::move(monitors)));
}

std::optional<MonitorBrightness> DdcMonitorBus::Read(std::size_t index) {
    if (index >= monitors_.size())
        return std::nullopt;
    DWORD minimum = 0;
    DWORD current = 0;
    DWORD maximum = 0;
    if (!api_->getBrightness(monitors_[index].handle, &minimum, &current, &maximum))
        return std::nullopt;
    return MonitorBrightness{minimum, current, maximum};
}

bool DdcMonitorBus::Write(std::size_t index, std::uint32_t value) {
    if (index >= monitors_.size() || BrightnessWritesStopped())
        return false;
    return api_->setBrightness(monitors_[index].handle, value) != FALSE;
}

std::wstring DdcMonitorBus::Description(std::size_t index) const {
    return index < monitors_.size() ? monitors_[index].description : std::wstring();
}

} // namespace dp
