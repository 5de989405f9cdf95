// The common controls library (comctl32), bound at run time when a program first shows a
// dialog or subclasses a control, rather than imported. An imported comctl32 is loaded with the
// process and registers its window classes as it starts, which under Wine loads the display
// driver and connects to the display in each of the saver's /s and /w processes, which show no
// dialog at all: /s to the level applied took a third less without it. The library stays loaded
// once bound: subclassed controls call into it until the process ends.
#pragma once

#include <windows.h>
#include <commctrl.h>

namespace dp {

// InitCommonControlsEx for the given classes; false when the library or the entry is missing.
bool InitCommonControlClasses(DWORD classes);

// SetWindowSubclass, RemoveWindowSubclass and DefSubclassProc. Without the library the first
// two fail, and the last falls back to DefWindowProcW (nothing can be subclassed then).
bool SetControlSubclass(HWND control, SUBCLASSPROC procedure, UINT_PTR id, DWORD_PTR data);
bool RemoveControlSubclass(HWND control, SUBCLASSPROC procedure, UINT_PTR id);
LRESULT DefControlSubclassProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam);

// ImageList_GetImageCount and ImageList_GetIcon: 0 and null without the library (an image
// list cannot exist then).
int ImageListImageCount(HIMAGELIST list);
HICON ImageListIcon(HIMAGELIST list, int index, UINT flags);

// LoadIconWithScaleDown (comctl32 6, Vista and later): the icon drawn at exactly cx x cy from
// its nearest image, scaled down rather than up where it can; ours to destroy. Null without the
// entry or the icon.
HICON IconWithScaleDown(HMODULE module, const wchar_t* name, int cx, int cy);

} // namespace dp
