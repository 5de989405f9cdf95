// What a user would find cut off or covered in a dialog on screen: a control whose text does
// not fit it, controls that overlap, a control reaching outside the dialog. Each problem is one
// line naming the control. Text is measured with the control's own font, against what the
// control leaves for it (a push button its edges, a check box its box), in pixels at the
// process's resolution: run it at each scaling a user may have.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "framework/dpi_scale.h"

namespace dp::test {

inline std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    return name;
}

inline std::wstring WindowTextOf(HWND window) {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

inline std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text)
        out += c < 128 ? static_cast<char>(c) : '?';
    return out;
}

// The rectangle DrawText needs for the control's text in its font, laid out within `width`.
inline RECT TextExtent(HWND control, const std::wstring& text, int width, UINT format) {
    RECT needed{0, 0, width, 0};
    HDC dc = ::GetDC(control);
    const auto font = reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0));
    HGDIOBJ old = ::SelectObject(dc, font ? font : ::GetStockObject(SYSTEM_FONT));
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &needed,
                format | DT_CALCRECT | DT_EXPANDTABS);
    ::SelectObject(dc, old);
    ::ReleaseDC(control, dc);
    return needed;
}

// The text's problem in its control, empty when it fits.
inline std::string TextProblem(HWND control, int dpi) {
    const std::wstring text = WindowTextOf(control);
    if (text.empty())
        return {};
    RECT client{};
    ::GetClientRect(control, &client);
    const LONG style = ::GetWindowLongW(control, GWL_STYLE);
    const std::wstring kind = ClassOf(control);
    int roomX = client.right, roomY = client.bottom;
    UINT format = DT_SINGLELINE;
    if (_wcsicmp(kind.c_str(), L"Button") == 0) {
        switch (style & BS_TYPEMASK) {
        case BS_PUSHBUTTON:
        case BS_DEFPUSHBUTTON:
            // The edges, and a pixel of air on each side for the focus rectangle.
            roomX -= 2 * ScaleToDpi(3, dpi);
            roomY -= 2 * ScaleToDpi(2, dpi);
            break;
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON:
            roomX -= ::GetSystemMetrics(SM_CXMENUCHECK) + ScaleToDpi(4, dpi);
            break;
        case BS_GROUPBOX:
            roomX -= 2 * ScaleToDpi(8, dpi);
            roomY = client.bottom; // the caption sits on the frame
            break;
        default:
            return {};
        }
        if (style & BS_MULTILINE)
            format = DT_WORDBREAK;
    } else if (_wcsicmp(kind.c_str(), L"Static") == 0) {
        const LONG type = style & SS_TYPEMASK;
        if (type != SS_LEFT && type != SS_CENTER && type != SS_RIGHT)
            return {}; // icons, frames, pictures
        format = DT_WORDBREAK | ((style & SS_NOPREFIX) ? DT_NOPREFIX : 0);
    } else if (_wcsicmp(kind.c_str(), L"Edit") == 0) {
        const DWORD margins = static_cast<DWORD>(::SendMessageW(control, EM_GETMARGINS, 0, 0));
        roomX -= LOWORD(margins) + HIWORD(margins);
        if (style & ES_AUTOHSCROLL)
            return {}; // it scrolls
        format |= DT_NOPREFIX;
    } else {
        return {}; // trackbars, progress bars, combo boxes: no text of their own to fit
    }
    const RECT needed = TextExtent(control, text, std::max(1, roomX), format);
    if (needed.right <= roomX && needed.bottom <= roomY)
        return {};
    return "control " + std::to_string(::GetDlgCtrlID(control)) + " \"" + Narrow(text) +
           "\" needs " + std::to_string(needed.right) + " x " + std::to_string(needed.bottom) +
           " px, has " + std::to_string(roomX) + " x " + std::to_string(roomY);
}

inline bool IsGroupBox(HWND control) {
    return _wcsicmp(ClassOf(control).c_str(), L"Button") == 0 &&
           (::GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
}

inline RECT RectInParent(HWND control) {
    RECT rect{};
    ::GetWindowRect(control, &rect);
    ::MapWindowPoints(nullptr, ::GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

inline std::vector<std::string> FitProblems(HWND dialog, int dpi) {
    std::vector<std::string> problems;
    std::vector<HWND> controls;
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        if (::IsWindowVisible(child))
            controls.push_back(child);
    RECT client{};
    ::GetClientRect(dialog, &client);
    for (std::size_t i = 0; i < controls.size(); ++i) {
        if (std::string problem = TextProblem(controls[i], dpi); !problem.empty())
            problems.push_back(problem);
        const RECT rect = RectInParent(controls[i]);
        const std::string name = "control " + std::to_string(::GetDlgCtrlID(controls[i]));
        if (rect.left < 0 || rect.top < 0 || rect.right > client.right ||
            rect.bottom > client.bottom)
            problems.push_back(name + " reaches outside the dialog");
        if (IsGroupBox(controls[i])) // frames hold other controls
            continue;
        for (std::size_t j = i + 1; j < controls.size(); ++j) {
            RECT overlap{};
            const RECT other = RectInParent(controls[j]);
            if (!IsGroupBox(controls[j]) && ::IntersectRect(&overlap, &rect, &other))
                problems.push_back(name + " overlaps control " +
                                   std::to_string(::GetDlgCtrlID(controls[j])));
        }
    }
    return problems;
}

} // namespace dp::test
