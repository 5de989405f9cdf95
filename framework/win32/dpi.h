// The resolution a window is shown at, and the system's sizes at a resolution. Both programs
// declare per-monitor awareness (version 2) in their manifests, with system awareness where
// the system lacks it (Windows 7 to 10 1607): a window then learns its own resolution from the
// system, and a window moved to a monitor of another scaling gets WM_DPICHANGED. The calls for
// a resolution came with Windows 10 1607 and are bound at run time; without them every window
// has the system's resolution, and the answers are the system's own metrics.
#pragma once

#include <windows.h>

#include "framework/dpi_scale.h"
#include "framework/win32/handles.h"

namespace dp {

// Sent to each child after its parent has handled WM_DPICHANGED (Windows 10 1703); the
// headers name it only for newer targets than ours.
inline constexpr UINT kDpiChangedAfterParent = 0x02E3;

// The resolution of the primary monitor when the process started (LOGPIXELSY of the screen).
int SystemDpi();

// The resolution the window is shown at: its monitor's with per-monitor awareness, the
// system's otherwise; the system's for a null or dead window.
int DpiForWindow(HWND window);

// GetSystemMetrics at a resolution (SM_CXICON, SM_CYCAPTION, SM_CXMENUCHECK, ...).
int SystemMetricForDpi(int index, int dpi);

// The message font (SPI_GETNONCLIENTMETRICS) at a resolution; false when the system gave
// nothing.
bool MessageFontForDpi(int dpi, LOGFONTW& font);

// The frame and title a window of these styles adds around a client area, at a resolution.
SIZE NonClientSizeForDpi(DWORD style, DWORD exStyle, int dpi);

// The icon's own size at a resolution (SM_CXICON, SM_CYICON there).
SIZE IconSizeForDpi(int dpi);

// An icon of the size IconSizeForDpi gives: `name` from `module` (null: a system icon such as
// IDI_ASTERISK). Drawn from the icon's own images where it has one that size, else scaled down
// from a larger one (LoadIconWithScaleDown, Vista's comctl32), else LoadImage's scaling. The
// icon is ours: it is destroyed with its owner.
UniqueIcon LoadIconForDpi(HMODULE module, const wchar_t* name, int dpi);

} // namespace dp
