#include "framework/win32/common_controls.h"

#include "framework/win32/handles.h"

namespace dp {

namespace {

using InitCommonControlsExFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
using SetWindowSubclassFn = BOOL(WINAPI*)(HWND, SUBCLASSPROC, UINT_PTR, DWORD_PTR);
using RemoveWindowSubclassFn = BOOL(WINAPI*)(HWND, SUBCLASSPROC, UINT_PTR);
using DefSubclassProcFn = LRESULT(WINAPI*)(HWND, UINT, WPARAM, LPARAM);
using ImageListGetImageCountFn = int(WINAPI*)(HIMAGELIST);
using ImageListGetIconFn = HICON(WINAPI*)(HIMAGELIST, int, UINT);
using LoadIconWithScaleDownFn = HRESULT(WINAPI*)(HINSTANCE, PCWSTR, int, int, HICON*);

struct CommonControlsLibrary {
    // Never freed: see the header.
    HMODULE module = ::LoadLibraryW(L"comctl32.dll");
    InitCommonControlsExFn initCommonControlsEx =
        BindEntry<InitCommonControlsExFn>(module, "InitCommonControlsEx");
    SetWindowSubclassFn setWindowSubclass =
        BindEntry<SetWindowSubclassFn>(module, "SetWindowSubclass");
    RemoveWindowSubclassFn removeWindowSubclass =
        BindEntry<RemoveWindowSubclassFn>(module, "RemoveWindowSubclass");
    DefSubclassProcFn defSubclassProc = BindEntry<DefSubclassProcFn>(module, "DefSubclassProc");
    ImageListGetImageCountFn imageListGetImageCount =
        BindEntry<ImageListGetImageCountFn>(module, "ImageList_GetImageCount");
    ImageListGetIconFn imageListGetIcon =
        BindEntry<ImageListGetIconFn>(module, "ImageList_GetIcon");
    LoadIconWithScaleDownFn loadIconWithScaleDown =
        BindEntry<LoadIconWithScaleDownFn>(module, "LoadIconWithScaleDown");
};

// Bound on first use, once per process (a function-local static is initialised thread-safely).
const CommonControlsLibrary& Library() {
    static const CommonControlsLibrary library;
    return library;
}

} // namespace

bool InitCommonControlClasses(DWORD classes) {
    const INITCOMMONCONTROLSEX controls{sizeof(controls), classes};
    const auto init = Library().initCommonControlsEx;
    return init && init(&controls) != FALSE;
}

bool SetControlSubclass(HWND control, SUBCLASSPROC procedure, UINT_PTR id, DWORD_PTR data) {
    const auto set = Library().setWindowSubclass;
    return set && set(control, procedure, id, data) != FALSE;
}

bool RemoveControlSubclass(HWND control, SUBCLASSPROC procedure, UINT_PTR id) {
    const auto remove = Library().removeWindowSubclass;
    return remove && remove(control, procedure, id) != FALSE;
}

LRESULT DefControlSubclassProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto next = Library().defSubclassProc;
    return next ? next(control, message, wParam, lParam)
                : ::DefWindowProcW(control, message, wParam, lParam);
}

int ImageListImageCount(HIMAGELIST list) {
    const auto count = Library().imageListGetImageCount;
    return count ? count(list) : 0;
}

HICON ImageListIcon(HIMAGELIST list, int index, UINT flags) {
    const auto icon = Library().imageListGetIcon;
    return icon ? icon(list, index, flags) : nullptr;
}

HICON IconWithScaleDown(HMODULE module, const wchar_t* name, int cx, int cy) {
    const auto load = Library().loadIconWithScaleDown;
    HICON icon = nullptr;
    if (!load || FAILED(load(module, name, cx, cy, &icon)))
        return nullptr;
    return icon;
}

} // namespace dp
