#include "saver/win32/overlay_painter.h"

// GDI+ needs the COM declarations that WIN32_LEAN_AND_MEAN leaves out.
#include <objidl.h>
#include <gdiplus.h>

#include "saver/overlay_alpha.h"

namespace dp {

namespace {

constexpr Gdiplus::ARGB kOpaqueBlack = 0xFF000000;

} // namespace

OverlayPainter::OverlayPainter(HWND window)
    : window_(window), paintingThread_(::GetCurrentThreadId()) {
    Gdiplus::GdiplusStartupInput startup; // version 1, no callback, background thread allowed
    gdiplusStarted_ = Gdiplus::GdiplusStartup(&gdiplusToken_, &startup, nullptr) == Gdiplus::Ok;

    const LONG_PTR exStyle = ::GetWindowLongPtrW(window_, GWL_EXSTYLE);
    ::SetWindowLongPtrW(window_, GWL_EXSTYLE, (exStyle & ~WS_EX_APPWINDOW) | WS_EX_TOOLWINDOW);

    userLibrary_.reset(::LoadLibraryW(L"User32.DLL"));
    updateLayeredWindow_ =
        BindEntry<UpdateLayeredWindowFn>(userLibrary_.get(), "UpdateLayeredWindow");

    RECT rect{};
    ::GetWindowRect(window_, &rect);
    width_ = rect.right - rect.left;
    height_ = rect.bottom - rect.top;
    ::SetWindowPos(window_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

OverlayPainter::~OverlayPainter() {
    if (cursorHides_ > 0) {
        if (::GetCurrentThreadId() == paintingThread_) {
            for (WPARAM i = 0; i < cursorHides_; ++i)
                ::ShowCursor(TRUE);
        } else {
            ::PostMessageW(window_, kShowCursorMessage, cursorHides_, 0);
        }
    }
    if (gdiplusStarted_)
        Gdiplus::GdiplusShutdown(gdiplusToken_);
}

bool OverlayPainter::PaintOverlay(int level) {
    WindowDc windowDc(window_);
    UniqueMemDc memoryDc(::CreateCompatibleDC(windowDc.get()));
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width_;
    info.bmiHeader.biHeight = height_; // positive: bottom-up
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueGdiObject bitmap(
        ::CreateDIBSection(windowDc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!windowDc || !memoryDc || !bitmap)
        return false;
    SelectedObject selected(memoryDc.get(), bitmap.get());

    blend_.SourceConstantAlpha = OverlayAlpha(level);
    HideCursor();
    if (!FillBlack(memoryDc.get()))
        return false;
    MakeLayered();
    // A missing entry (systems before layered windows) leaves the window unpainted rather than
    // calling through a null pointer.
    if (!updateLayeredWindow_)
        return false;

    RECT rect{};
    ::GetWindowRect(window_, &rect);
    POINT destination{rect.left, rect.top};
    SIZE size{width_, height_};
    POINT source{0, 0};
    WindowDc targetDc(window_);
    return updateLayeredWindow_(window_, targetDc.get(), &destination, &size, memoryDc.get(),
                                &source, 0, &blend_, ULW_ALPHA) != FALSE;
}

// The graphics object is gone before the layered window reads the bitmap, so the fill is
// flushed by then.
bool OverlayPainter::FillBlack(HDC memoryDc) const {
    if (!gdiplusStarted_)
        return false;
    Gdiplus::Graphics graphics(memoryDc);
    Gdiplus::SolidBrush brush{Gdiplus::Color(kOpaqueBlack)};
    return graphics.FillRectangle(&brush, 0, 0, width_, height_) == Gdiplus::Ok;
}

void OverlayPainter::MakeLayered() const {
    const LONG_PTR exStyle = ::GetWindowLongPtrW(window_, GWL_EXSTYLE);
    if (!(exStyle & WS_EX_LAYERED))
        ::SetWindowLongPtrW(window_, GWL_EXSTYLE, exStyle | WS_EX_LAYERED);
}

void OverlayPainter::HideCursor() {
    ::ShowCursor(FALSE);
    ++cursorHides_;
}

} // namespace dp
