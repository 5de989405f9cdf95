// Dialogs on screen in Windows-side tests: show a modal dialog, look at it once it is up and
// painted, close it; take its picture; read a control's tooltip. Message boxes that come before
// the dialog looked for (the settings dialog's "no backlight control" box) are answered with OK.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "effects/win32/dib_section.h"
#include "testing/golden/image_compare.h"
#include "tests/support/modal_poller.h"

namespace dp::test {

// A visible dialog-class window titled `title` (any other when title is null), not `except`.
inline HWND FindShownDialog(const wchar_t* title, HWND except = nullptr) {
    for (HWND window = ::FindWindowW(L"#32770", title); window;
         window = ::FindWindowExW(nullptr, window, L"#32770", title))
        if (window != except && ::IsWindowVisible(window))
            return window;
    return nullptr;
}

// Shows the dialog with `show` (which returns when it has closed) and calls `look` once the
// window titled `title` (null: the first dialog window) is up and painted; then the window is
// closed with `closeWith`. Other dialog windows on the way are answered with OK, and their
// message texts are collected.
inline std::vector<std::wstring> ShowAndLook(const std::function<void()>& show,
                                             const wchar_t* title,
                                             const std::function<void(HWND)>& look,
                                             int closeWith = IDCANCEL) {
    std::vector<std::wstring> answered;
    bool seen = false;
    ModalPoller poller([&] {
        if (seen)
            return;
        HWND target = FindShownDialog(title);
        if (HWND other = title ? FindShownDialog(nullptr, target) : nullptr) {
            answered.push_back(TextOf(::GetDlgItem(other, 0xFFFF)));
            ::PostMessageW(other, WM_COMMAND, IDOK, 0);
            return;
        }
        if (!target)
            return;
        seen = true;
        ::SendMessageW(target, WM_NCACTIVATE, TRUE, 0); // drawn active whoever has the focus
        ::RedrawWindow(target, nullptr, nullptr,
                       RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
        look(target);
        ::PostMessageW(target, WM_COMMAND, static_cast<WPARAM>(closeWith), 0);
    });
    show();
    return answered;
}

// The text of the tooltip tool a control registered (tool 1): what the pointer shows over a
// link. Each tooltip is asked; only the control's own knows the tool.
inline std::wstring TooltipText(HWND control) {
    for (HWND tip = ::FindWindowW(TOOLTIPS_CLASSW, nullptr); tip;
         tip = ::FindWindowExW(nullptr, tip, TOOLTIPS_CLASSW, nullptr)) {
        wchar_t text[256] = {};
        TTTOOLINFOW tool{};
        tool.cbSize = TTTOOLINFOW_V2_SIZE;
        tool.hwnd = control;
        tool.uId = 1;
        tool.lpszText = text;
        ::SendMessageW(tip, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&tool));
        if (text[0])
            return text;
    }
    return L"(no tooltip)";
}

// The window as the screen shows it, frame included.
inline PixelBuffer CaptureWindow(HWND window) {
    RECT rect{};
    ::GetWindowRect(window, &rect);
    DibSection canvas(rect.right - rect.left, rect.bottom - rect.top);
    HDC dc = ::GetWindowDC(window);
    ::BitBlt(canvas.dc(), 0, 0, canvas.width(), canvas.height(), dc, 0, 0, SRCCOPY);
    ::ReleaseDC(window, dc);
    return canvas.Pixels();
}

} // namespace dp::test
