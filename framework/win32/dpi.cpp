#include "framework/win32/dpi.h"

#include "framework/win32/common_controls.h"

namespace dp {
namespace {

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);
using SystemParametersInfoForDpiFn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
using AdjustWindowRectExForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);

// user32 is imported, so its handle lives as long as the process.
struct PerMonitorEntries {
    HMODULE user = ::GetModuleHandleW(L"user32.dll");
    GetDpiForWindowFn getDpiForWindow = BindEntry<GetDpiForWindowFn>(user, "GetDpiForWindow");
    GetSystemMetricsForDpiFn getSystemMetricsForDpi =
        BindEntry<GetSystemMetricsForDpiFn>(user, "GetSystemMetricsForDpi");
    SystemParametersInfoForDpiFn systemParametersInfoForDpi =
        BindEntry<SystemParametersInfoForDpiFn>(user, "SystemParametersInfoForDpi");
    AdjustWindowRectExForDpiFn adjustWindowRectExForDpi =
        BindEntry<AdjustWindowRectExForDpiFn>(user, "AdjustWindowRectExForDpi");
};

const PerMonitorEntries& Entries() {
    static const PerMonitorEntries entries;
    return entries;
}

} // namespace

int SystemDpi() {
    WindowDc screen(nullptr);
    return SaneDpi(screen ? ::GetDeviceCaps(screen.get(), LOGPIXELSY) : 0);
}

int DpiForWindow(HWND window) {
    const auto forWindow = Entries().getDpiForWindow;
    if (forWindow && window && ::IsWindow(window)) {
        // 0 for a window the call does not know: the system's then.
        if (const int dpi = static_cast<int>(forWindow(window)); dpi > 0)
            return SaneDpi(dpi);
    }
    return SystemDpi();
}

int SystemMetricForDpi(int index, int dpi) {
    if (const auto forDpi = Entries().getSystemMetricsForDpi)
        return forDpi(index, static_cast<UINT>(SaneDpi(dpi)));
    return RescaleDpi(::GetSystemMetrics(index), SystemDpi(), dpi);
}

bool MessageFontForDpi(int dpi, LOGFONTW& font) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (const auto forDpi = Entries().systemParametersInfoForDpi) {
        if (forDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0,
                   static_cast<UINT>(SaneDpi(dpi)))) {
            font = metrics.lfMessageFont;
            return true;
        }
    }
    if (!::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0))
        return false;
    font = metrics.lfMessageFont;
    font.lfHeight = RescaleDpi(font.lfHeight, SystemDpi(), dpi);
    return true;
}

SIZE NonClientSizeForDpi(DWORD style, DWORD exStyle, int dpi) {
    RECT frame{0, 0, 0, 0};
    const auto forDpi = Entries().adjustWindowRectExForDpi;
    if (!forDpi || !forDpi(&frame, style, FALSE, exStyle, static_cast<UINT>(SaneDpi(dpi)))) {
        ::AdjustWindowRectEx(&frame, style, FALSE, exStyle);
        // Without the call every window has the system's resolution; this keeps the answer in
        // proportion should one ever ask for another.
        const int system = SystemDpi();
        return {RescaleDpi(frame.right - frame.left, system, dpi),
                RescaleDpi(frame.bottom - frame.top, system, dpi)};
    }
    return {frame.right - frame.left, frame.bottom - frame.top};
}

SIZE IconSizeForDpi(int dpi) {
    return {SystemMetricForDpi(SM_CXICON, dpi), SystemMetricForDpi(SM_CYICON, dpi)};
}

UniqueIcon LoadIconForDpi(HMODULE module, const wchar_t* name, int dpi) {
    const SIZE size = IconSizeForDpi(dpi);
    if (HICON scaled = IconWithScaleDown(module, name, size.cx, size.cy))
        return UniqueIcon(scaled);
    // Without LR_SHARED the icon is a copy of our own, whatever its size.
    if (auto icon = static_cast<HICON>(::LoadImageW(module, name, IMAGE_ICON, size.cx, size.cy, 0)))
        return UniqueIcon(icon);
    HICON shared = ::LoadIconW(module, name);
    return UniqueIcon(shared ? ::CopyIcon(shared) : nullptr);
}

} // namespace dp
