// The faint black layer over the screen while the saver runs: the dimmer window made a top-most
// tool window (no taskbar button) and painted as a layered window through GDI+.
// UpdateLayeredWindow is bound at run time, so the program still starts on systems without it;
// GDI+ too, from the system folder, so that only the run that paints the layer loads it (the
// /s, /c and other starts of the program never need it).
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "framework/win32/handles.h"

namespace dp {

// Posted to the window by a painter released on a thread other than the one that painted:
// the cursor's show count belongs to the painting thread, so that thread shows it again.
// wParam: how many hides to undo.
inline constexpr UINT kShowCursorMessage = WM_APP + 0x40;

class OverlayPainter {
public:
    // Starts GDI+, makes the window a top-most tool window and binds the layered-window update.
    explicit OverlayPainter(HWND window);
    virtual ~OverlayPainter();
    OverlayPainter(const OverlayPainter&) = delete;
    OverlayPainter& operator=(const OverlayPainter&) = delete;

    // False when "User32.DLL" could not be loaded; the painter is then of no use.
    bool UserLibraryLoaded() const { return static_cast<bool>(userLibrary_); }

    // One paint at a saver level (0-100; anything else counts as 100): opaque black, shown
    // through the constant alpha of the level. Hides the cursor. True when the layered window
    // took the image.
    bool PaintOverlay(int level);

    // The blend of the last paint (constant alpha 255 before the first).
    const BLENDFUNCTION& Blend() const { return blend_; }

private:
    struct Gdiplus;
    using UpdateLayeredWindowFn = BOOL(WINAPI*)(HWND, HDC, POINT*, SIZE*, HDC, POINT*, COLORREF,
                                                BLENDFUNCTION*, DWORD);

    bool FillBlack(HDC memoryDc) const;
    void MakeLayered() const;
    void HideCursor();

    std::unique_ptr<Gdiplus> gdiplus_;
    BLENDFUNCTION blend_{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    UniqueModule userLibrary_;
    UpdateLayeredWindowFn updateLayeredWindow_ = nullptr;
    HWND window_;
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    DWORD paintingThread_;
    WPARAM cursorHides_ = 0;
};

} // namespace dp
