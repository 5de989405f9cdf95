#include "richmsg/win32/html_images_win32.h"

#include "framework/win32/handles.h"
#include "richmsg/image_look.h"

#include <commctrl.h>

#include <algorithm>
#include <cwctype>
#include <optional>
#include <span>
#include <vector>

namespace dp {

struct HtmlImages::Loaded {
    UniqueGdiObject ownedBitmap;
    UniqueIcon ownedIcon;
    HBITMAP bitmap = nullptr;
    HICON icon = nullptr;
    RECT cell{}; // the part of the bitmap to draw
    int width = 0;
    int height = 0;
};

namespace {

constexpr std::uint32_t kNoMask = 0xFFFFFFFF;

bool EndsWithNoCase(const std::wstring& s, std::wstring_view suffix) {
    if (s.size() < suffix.size())
        return false;
    for (std::size_t i = 0; i < suffix.size(); ++i)
        if (std::towlower(s[s.size() - suffix.size() + i]) != suffix[i])
            return false;
    return true;
}

std::optional<SIZE> IconSize(HICON icon) {
    ICONINFO info{};
    if (!::GetIconInfo(icon, &info))
        return std::nullopt;
    UniqueGdiObject colour(info.hbmColor), mask(info.hbmMask);
    BITMAP bitmap{};
    if (colour && ::GetObjectW(colour.get(), sizeof(bitmap), &bitmap))
        return SIZE{bitmap.bmWidth, bitmap.bmHeight};
    if (mask && ::GetObjectW(mask.get(), sizeof(bitmap), &bitmap))
        return SIZE{bitmap.bmWidth, bitmap.bmHeight / 2};
    return std::nullopt;
}

std::optional<SIZE> BitmapSize(HBITMAP handle) {
    BITMAP bitmap{};
    if (!handle || !::GetObjectW(handle, sizeof(bitmap), &bitmap))
        return std::nullopt;
    return SIZE{bitmap.bmWidth, bitmap.bmHeight};
}

HANDLE LoadFromSource(const html::ImageSpec& spec, UINT type) {
    const UINT flags = type == IMAGE_ICON ? LR_DEFAULTSIZE : LR_CREATEDIBSECTION;
    switch (spec.source) {
    case html::ImageSource::ProgramResource:
        return ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(spec.id), type, 0, 0,
                            flags);
    case html::ImageSource::File:
        if (!AcceptableImageFile(spec.file, spec.kind))
            return nullptr;
        return ::LoadImageW(nullptr, spec.file.c_str(), type, 0, 0, flags | LR_LOADFROMFILE);
    case html::ImageSource::ModuleResource: {
        // As data only: no code of the module runs, and the image is a copy that outlives it.
        UniqueModule module(
            ::LoadLibraryExW(spec.module.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        if (!module)
            return nullptr;
        return ::LoadImageW(module.get(), MAKEINTRESOURCEW(spec.id), type, 0, 0, flags);
    }
    case html::ImageSource::Handle:
        return nullptr;
    }
    return nullptr;
}

// A 32-bit top-down DIB section selected into a memory DC, for pixel work.
class DibCanvas {
public:
    DibCanvas(HDC reference, int width, int height)
        : width_(width), height_(height), dc_(::CreateCompatibleDC(reference)) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        bitmap_.reset(::CreateDIBSection(reference, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        bits_ = static_cast<std::uint32_t*>(bits);
        if (dc_ && bitmap_)
            previous_ = ::SelectObject(dc_.get(), bitmap_.get());
    }
    ~DibCanvas() {
        if (previous_)
            ::SelectObject(dc_.get(), previous_);
    }
    DibCanvas(const DibCanvas&) = delete;
    DibCanvas& operator=(const DibCanvas&) = delete;

    bool ok() const { return bits_ && previous_; }
    HDC dc() const { return dc_.get(); }
    std::span<std::uint32_t> pixels() {
        ::GdiFlush();
        return {bits_, static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_)};
    }
    void Fill(std::uint32_t value) {
        auto p = pixels();
        std::fill(p.begin(), p.end(), value);
    }

private:
    int width_;
    int height_;
    UniqueMemDc dc_;
    UniqueGdiObject bitmap_;
    std::uint32_t* bits_ = nullptr;
    HGDIOBJ previous_ = nullptr;
};

std::uint32_t FromColorref(COLORREF c) {
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

// The image at the drawn size as straight-alpha pixels 0xAARRGGBB.
std::vector<std::uint32_t> RenderPixels(HDC reference, const HtmlImages::Loaded& image, int w,
                                        int h, std::uint32_t mask) {
    std::vector<std::uint32_t> out;
    if (image.icon) {
        DibCanvas black(reference, w, h), white(reference, w, h);
        if (!black.ok() || !white.ok())
            return out;
        black.Fill(0xFF000000u);
        white.Fill(0xFFFFFFFFu);
        ::DrawIconEx(black.dc(), 0, 0, image.icon, w, h, 0, nullptr, DI_NORMAL);
        ::DrawIconEx(white.dc(), 0, 0, image.icon, w, h, 0, nullptr, DI_NORMAL);
        const auto b = black.pixels(), wh = white.pixels();
        out.resize(b.size());
        for (std::size_t i = 0; i < b.size(); ++i) {
            // On black a pixel shows colour x alpha, on white that plus (1 - alpha).
            const std::uint32_t alpha =
                255 - std::min<std::uint32_t>(255, ((wh[i] >> 8) & 0xFF) - ((b[i] >> 8) & 0xFF));
            if (alpha == 0)
                continue;
            std::uint32_t rgb = 0;
            for (int shift : {0, 8, 16})
                rgb |= std::min<std::uint32_t>(255, ((b[i] >> shift) & 0xFF) * 255 / alpha)
                       << shift;
            out[i] = (alpha << 24) | rgb;
        }
        return out;
    }
    DibCanvas canvas(reference, w, h);
    UniqueMemDc source(::CreateCompatibleDC(reference));
    if (!canvas.ok() || !source)
        return out;
    SelectedObject selected(source.get(), image.bitmap);
    ::SetStretchBltMode(canvas.dc(), COLORONCOLOR);
    ::StretchBlt(canvas.dc(), 0, 0, w, h, source.get(), image.cell.left, image.cell.top,
                 image.cell.right - image.cell.left, image.cell.bottom - image.cell.top, SRCCOPY);
    const auto p = canvas.pixels();
    const std::uint32_t transparent = mask == kNoMask ? kNoMask : FromColorref(mask);
    out.resize(p.size());
    for (std::size_t i = 0; i < p.size(); ++i) {
        const std::uint32_t rgb = p[i] & 0x00FFFFFFu;
        out[i] = rgb == transparent ? 0 : 0xFF000000u | rgb;
    }
    return out;
}

void BlendPixels(HDC dc, int x, int y, int w, int h, const std::vector<std::uint32_t>& pixels) {
    DibCanvas canvas(dc, w, h);
    if (!canvas.ok())
        return;
    const auto p = canvas.pixels();
    for (std::size_t i = 0; i < p.size(); ++i) {
        const std::uint32_t a = pixels[i] >> 24;
        std::uint32_t v = a << 24;
        for (int shift : {0, 8, 16})
            v |= (((pixels[i] >> shift) & 0xFF) * a / 255) << shift;
        p[i] = v;
    }
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    ::GdiAlphaBlend(dc, x, y, w, h, canvas.dc(), 0, 0, w, h, blend);
}

void DrawPlain(HDC dc, const HtmlImages::Loaded& image, const RECT& r, std::uint32_t mask) {
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (image.icon) {
        ::DrawIconEx(dc, r.left, r.top, image.icon, w, h, 0, nullptr, DI_NORMAL);
        return;
    }
    UniqueMemDc source(::CreateCompatibleDC(dc));
    if (!source)
        return;
    SelectedObject selected(source.get(), image.bitmap);
    const RECT& c = image.cell;
    if (mask == kNoMask) {
        const int oldMode = ::SetStretchBltMode(dc, COLORONCOLOR);
        ::StretchBlt(dc, r.left, r.top, w, h, source.get(), c.left, c.top, c.right - c.left,
                     c.bottom - c.top, SRCCOPY);
        ::SetStretchBltMode(dc, oldMode);
    } else {
        ::GdiTransparentBlt(dc, r.left, r.top, w, h, source.get(), c.left, c.top, c.right - c.left,
                            c.bottom - c.top, mask);
    }
}

} // namespace

bool AcceptableImageFile(const std::wstring& path, html::ImageKind kind) {
    if (path.size() < 5 || path.size() >= MAX_PATH || path.find(L'\0') != std::wstring::npos)
        return false;
    if ((path[0] == L'\\' || path[0] == L'/') && (path[1] == L'\\' || path[1] == L'/'))
        return false; // network shares and device namespaces
    return kind == html::ImageKind::Icon ? EndsWithNoCase(path, L".ico")
                                         : EndsWithNoCase(path, L".bmp");
}

HtmlImages::HtmlImages() = default;
HtmlImages::~HtmlImages() = default;

HtmlImages::Loaded* HtmlImages::Load(const html::ImageSpec& spec) {
    if (auto found = loaded_.find(spec); found != loaded_.end())
        return found->second.get();
    auto image = std::make_unique<Loaded>();
    const bool icon = spec.kind == html::ImageKind::Icon;
    if (spec.source == html::ImageSource::Handle) {
        const auto handle = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(spec.handle));
        if (spec.kind == html::ImageKind::ImageList) {
            const auto list = static_cast<HIMAGELIST>(handle);
            if (spec.index < ::ImageList_GetImageCount(list))
                image->ownedIcon.reset(::ImageList_GetIcon(list, spec.index, ILD_NORMAL));
            image->icon = image->ownedIcon.get();
        } else if (icon) {
            image->icon = static_cast<HICON>(handle);
        } else if (::GetObjectType(handle) == OBJ_BITMAP) {
            image->bitmap = static_cast<HBITMAP>(handle);
        }
    } else if (icon) {
        image->ownedIcon.reset(static_cast<HICON>(LoadFromSource(spec, IMAGE_ICON)));
        image->icon = image->ownedIcon.get();
    } else {
        image->ownedBitmap.reset(LoadFromSource(spec, IMAGE_BITMAP));
        image->bitmap = static_cast<HBITMAP>(image->ownedBitmap.get());
    }
    const std::optional<SIZE> size =
        image->icon ? IconSize(image->icon) : BitmapSize(image->bitmap);
    Loaded* result = nullptr;
    if (size && size->cx > 0 && size->cy > 0) {
        image->width = size->cx;
        image->height = size->cy;
        image->cell = {0, 0, size->cx, size->cy};
        if (spec.kind == html::ImageKind::ImageList && image->bitmap) {
            const int cellWidth = spec.cellWidth > 0 ? spec.cellWidth : size->cy;
            const int cellHeight =
                std::min<int>(spec.cellHeight > 0 ? spec.cellHeight : size->cy, size->cy);
            const long long left = static_cast<long long>(spec.index) * cellWidth;
            if (left + cellWidth <= size->cx) {
                image->cell = {static_cast<LONG>(left), 0, static_cast<LONG>(left + cellWidth),
                               cellHeight};
                image->width = cellWidth;
                image->height = cellHeight;
                result = image.get();
            }
        } else {
            result = image.get();
        }
    }
    loaded_.emplace(spec, result ? std::move(image) : nullptr);
    return result;
}

std::optional<html::ImageSize> HtmlImages::Size(const html::ImageSpec& spec) {
    const Loaded* image = Load(spec);
    if (!image)
        return std::nullopt;
    return html::ImageSize{image->width, image->height};
}

void HtmlImages::Draw(HDC dc, const html::ImageOp& op, const html::ImageSpec& spec,
                      int shadowOffset, COLORREF shadowColour) {
    const Loaded* image = Load(spec);
    const int w = op.rect.right - op.rect.left, h = op.rect.bottom - op.rect.top;
    if (!image || w <= 0 || h <= 0)
        return;
    const RECT rect{op.rect.left, op.rect.top, op.rect.right, op.rect.bottom};
    if (op.look == 0) {
        DrawPlain(dc, *image, rect, op.mask);
        return;
    }
    std::vector<std::uint32_t> pixels = RenderPixels(dc, *image, w, h, op.mask);
    if (pixels.empty())
        return;
    if ((op.look & html::kLookShadow) && shadowOffset > 0) {
        std::vector<std::uint32_t> shadow = pixels;
        html::MakeShadow(shadow, shadowColour);
        BlendPixels(dc, rect.left + shadowOffset, rect.top + shadowOffset, w, h, shadow);
    }
    html::ApplyLook(pixels, op.look);
    BlendPixels(dc, rect.left, rect.top, w, h, pixels);
}

} // namespace dp
