// HtmlDrawer: renders a message written in the renderer's small HTML dialect into a rectangle
// of a device context, and follows its links once attached to a window.
//
// Use: Measure with the text (it keeps the text and its layout), then Draw, as often as needed;
// Attach once, then pass WM_SETCURSOR's cursor position to HitTestCursor and clicks to Click.
// The dialect, its style sheet and the caps that bound any input are described in
// docs/html-renderer.md; the caps themselves are in renderer/html_limits.h.
#pragma once

#include <windows.h>

#include <memory>
#include <string_view>

namespace dp {

class HtmlDrawer {
public:
    HtmlDrawer();
    ~HtmlDrawer();
    HtmlDrawer(const HtmlDrawer&) = delete;
    HtmlDrawer& operator=(const HtmlDrawer&) = delete;

    // Lays `html` out for at most maxWidth pixels (0 or less: no limit, lines break only where
    // the text says so) and returns the size it needs. The text is kept for Draw.
    SIZE Measure(HDC dc, std::wstring_view html, int maxWidth = 0);

    // Draws the text given to Measure into `rect` (clipped to it) and records where its links
    // are. A rectangle as wide as maxWidth draws the measured layout as it is; at another width
    // the text is laid out again for the rectangle's width.
    void Draw(HDC dc, const RECT& rect);

    // The window whose client coordinates Draw and the hit tests use, and the message it gets
    // (sent): with the hovered link's number (-2 for none) as wParam when that changes, and with
    // a pointer to the target text when a "msg" link is clicked; lParam is notifyParam.
    void Attach(HWND owner, UINT notifyMessage, LPARAM notifyParam);

    // True when the point is over a link; the hand cursor has then been set.
    bool HitTestCursor(POINT clientPoint);

    // Follows the link under the point, if any: opens an address in the browser, or sends the
    // owner its message.
    void Click(POINT clientPoint);

    // The resolution the text is laid out for: font sizes, and the pixels the text names, which
    // are those of a 96-dpi screen. 0 (the start): the device context's. A window passes the
    // resolution it is shown at, which on a monitor of another scaling than the system's is not
    // the one a memory DC reports.
    void SetDpi(int dpi);

    // Offset and colour of the drop shadow that an image style "s" draws (0: no shadow).
    void SetImageShadow(int offset, COLORREF colour);

    // The hovered link's number, -2 when none.
    int HoveredLink() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace dp
