// A tooltip control owned by one window, with tools identified by number. The tooltip learns
// of the pointer only through RelayEvent (no TTF_SUBCLASS), so its owner relays its queued
// mouse messages from PreTranslateMessage.
#pragma once

#include <windows.h>

#include <string>

namespace dp {

class ToolTip {
public:
    ToolTip() = default;
    ~ToolTip() { Destroy(); }
    ToolTip(const ToolTip&) = delete;
    ToolTip& operator=(const ToolTip&) = delete;

    // A tooltip window owned by owner; false when it could not be made (or exists already).
    bool Create(HWND owner, DWORD style = 0);
    void Destroy();
    HWND Handle() const { return hwnd_; }

    // A tool: the area of window (client coordinates) that shows text; the tooltip keeps a
    // copy of the text.
    bool AddTool(HWND window, UINT id, const std::wstring& text, const RECT& area);
    void UpdateTipText(HWND window, UINT id, const std::wstring& text);
    // The tool's area once the window has changed size.
    void SetToolArea(HWND window, UINT id, const RECT& area);
    // Hands one queued message to the tooltip (TTM_RELAYEVENT).
    void RelayEvent(const MSG& msg);

private:
    HWND hwnd_ = nullptr;
};

} // namespace dp
