#include "framework/win32/tooltip.h"

#include "framework/win32/common_controls.h"

namespace dp {
namespace {

// The tool record without the field comctl32 6 added: version 5 refuses the longer record, and
// the programs run with either.
TTTOOLINFOW ToolInfo(HWND window, UINT id, const std::wstring& text) {
    TTTOOLINFOW info{};
    info.cbSize = TTTOOLINFOW_V2_SIZE;
    info.hwnd = window;
    info.uId = id;
    info.lpszText = const_cast<wchar_t*>(text.c_str());
    return info;
}

} // namespace

bool ToolTip::Create(HWND owner, DWORD style) {
    if (hwnd_ || !InitCommonControlClasses(ICC_TAB_CLASSES)) // the tooltip class
        return false;
    hwnd_ = ::CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | style, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr,
                              ::GetModuleHandleW(nullptr), nullptr);
    return hwnd_ != nullptr;
}

void ToolTip::Destroy() {
    // The system destroys an owned popup with its owner; the owner destroys its tooltip first
    // (as its own window goes), so that this handle never names a window that replaced it.
    if (hwnd_ && ::IsWindow(hwnd_))
        ::DestroyWindow(hwnd_);
    hwnd_ = nullptr;
}

bool ToolTip::AddTool(HWND window, UINT id, const std::wstring& text, const RECT& area) {
    if (!hwnd_)
        return false;
    TTTOOLINFOW info = ToolInfo(window, id, text);
    info.rect = area;
    return ::SendMessageW(hwnd_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info)) != FALSE;
}

void ToolTip::UpdateTipText(HWND window, UINT id, const std::wstring& text) {
    if (!hwnd_)
        return;
    TTTOOLINFOW info = ToolInfo(window, id, text);
    ::SendMessageW(hwnd_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
}

void ToolTip::SetToolArea(HWND window, UINT id, const RECT& area) {
    if (!hwnd_)
        return;
    TTTOOLINFOW info = ToolInfo(window, id, std::wstring());
    info.lpszText = nullptr;
    info.rect = area;
    ::SendMessageW(hwnd_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&info));
}

void ToolTip::RelayEvent(const MSG& msg) {
    if (hwnd_)
        ::SendMessageW(hwnd_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&msg));
}

} // namespace dp
