#include "saver/win32/overlay_painter.h"

#include "framework/win32/system_files.h"
#include "saver/overlay_alpha.h"

namespace dp {

namespace {

constexpr std::uint32_t kOpaqueBlack = 0xFF000000; // ARGB
constexpr int kGdiplusOk = 0;

} // namespace

// GDI+'s flat entries, bound from the system folder's gdiplus.dll and started for the life of
// the painter. The types are the library's own, with its objects kept opaque.
struct OverlayPainter::Gdiplus {
    struct StartupInput {
        UINT32 version = 1;
        void* debugEventCallback = nullptr;
        BOOL suppressBackgroundThread = FALSE;
        BOOL suppressExternalCodecs = FALSE;
    };
    using StartupFn = int(WINAPI*)(ULONG_PTR*, const StartupInput*, void*);
    using ShutdownFn = void(WINAPI*)(ULONG_PTR);
    using CreateFromHdcFn = int(WINAPI*)(HDC, void**);
    using DeleteGraphicsFn = int(WINAPI*)(void*);
    using CreateSolidFillFn = int(WINAPI*)(std::uint32_t, void**);
    using DeleteBrushFn = int(WINAPI*)(void*);
    using FillRectangleFn = int(WINAPI*)(void*, void*, INT, INT, INT, INT);

    Gdiplus() {
        const StartupInput input;
        started = startup && shutdown && createFromHdc && deleteGraphics && createSolidFill &&
                  deleteBrush && fillRectangle && startup(&token, &input, nullptr) == kGdiplusOk;
    }
    ~Gdiplus() {
        if (started)
            shutdown(token);
    }
    Gdiplus(const Gdiplus&) = delete;
    Gdiplus& operator=(const Gdiplus&) = delete;

    // The graphics object is gone before the layered window reads the bitmap, so the fill is
    // flushed by then.
    bool FillRectangle(HDC dc, std::uint32_t argb, int width, int height) const {
        if (!started)
            return false;
        void* graphics = nullptr;
        if (createFromHdc(dc, &graphics) != kGdiplusOk)
            return false;
        void* brush = nullptr;
        bool filled = false;
        if (createSolidFill(argb, &brush) == kGdiplusOk) {
            filled = fillRectangle(graphics, brush, 0, 0, width, height) == kGdiplusOk;
            deleteBrush(brush);
        }
        deleteGraphics(graphics);
        return filled;
    }

    UniqueModule module{LoadSystemLibrary(L"gdiplus.dll")};
    StartupFn startup = BindEntry<StartupFn>(module.get(), "GdiplusStartup");
    ShutdownFn shutdown = BindEntry<ShutdownFn>(module.get(), "GdiplusShutdown");
    CreateFromHdcFn createFromHdc = BindEntry<CreateFromHdcFn>(module.get(), "GdipCreateFromHDC");
    DeleteGraphicsFn deleteGraphics =
        BindEntry<DeleteGraphicsFn>(module.get(), "GdipDeleteGraphics");
    CreateSolidFillFn createSolidFill =
        BindEntry<CreateSolidFillFn>(module.get(), "GdipCreateSolidFill");
    DeleteBrushFn deleteBrush = BindEntry<DeleteBrushFn>(module.get(), "GdipDeleteBrush");
    FillRectangleFn fillRectangle = BindEntry<FillRectangleFn>(module.get(), "GdipFillRectangleI");
    ULONG_PTR token = 0;
    bool started = false;
};

OverlayPainter::OverlayPainter(HWND window)
    : gdiplus_(std::make_unique<Gdiplus>()), window_(window),
      paintingThread_(::GetCurrentThreadId()) {
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

bool OverlayPainter::FillBlack(HDC memoryDc) const {
    return gdiplus_->FillRectangle(memoryDc, kOpaqueBlack, width_, height_);
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
