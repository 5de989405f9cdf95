#include "renderer/win32/html_images_win32.h"

#include "framework/win32/common_controls.h"
#include "framework/win32/handles.h"
#include "effects/win32/draw_effects_win32.h"

#include <algorithm>
#include <cwctype>
#include <mutex>
#include <optional>
#include <set>

namespace dp {

struct HtmlImages::Loaded {
    UniqueGdiObject ownedBitmap;
    UniqueIcon ownedIcon;
    HBITMAP bitmap = nullptr;
    HICON icon = nullptr;
    int width = 0;
    int height = 0;
};

namespace {

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
    // GetIconInfo hands out copies of the icon's bitmaps: they are ours to free.
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

HANDLE LoadFromSource(const html::ImageRequest& imageSpec, UINT type) {
    const UINT flags = type == IMAGE_ICON ? LR_DEFAULTSIZE : LR_CREATEDIBSECTION;
    switch (imageSpec.source) {
    case html::ImageSource::ProgramResource:
        return ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(imageSpec.id), type, 0, 0,
                            flags);
    case html::ImageSource::File:
        if (!AcceptableImageFile(imageSpec.file, imageSpec.kind))
            return nullptr;
        return ::LoadImageW(nullptr, imageSpec.file.c_str(), type, 0, 0, flags | LR_LOADFROMFILE);
    case html::ImageSource::ModuleResource: {
        // As data only: no code of the module runs, and the image is a copy that outlives it.
        UniqueModule module(
            ::LoadLibraryExW(imageSpec.module.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        if (!module)
            return nullptr;
        return ::LoadImageW(module.get(), MAKEINTRESOURCEW(imageSpec.id), type, 0, 0, flags);
    }
    case html::ImageSource::Handle:
        return nullptr;
    }
    return nullptr;
}

// One image of a strip as a bitmap of its own.
UniqueGdiObject CopyCell(HBITMAP strip, int left, int width, int height) {
    UniqueMemDc from(::CreateCompatibleDC(nullptr)), to(::CreateCompatibleDC(nullptr));
    UniqueGdiObject cell(::CreateBitmap(width, height, 1, 32, nullptr));
    if (!from || !to || !cell)
        return {};
    SelectedObject source(from.get(), strip), target(to.get(), cell.get());
    ::BitBlt(to.get(), 0, 0, width, height, from.get(), left, 0, SRCCOPY);
    return cell;
}

// Keeps only the strip's image `imageSpec.index`: cells are cx wide (the strip's height when not
// given) and cy high (at most the strip's height).
bool CutCell(HtmlImages::Loaded& image, const html::ImageRequest& imageSpec) {
    const int cellWidth = imageSpec.cellWidth > 0 ? imageSpec.cellWidth : image.height;
    const int cellHeight =
        std::min(imageSpec.cellHeight > 0 ? imageSpec.cellHeight : image.height, image.height);
    const long long left = static_cast<long long>(imageSpec.index) * cellWidth;
    if (left + cellWidth > image.width)
        return false;
    UniqueGdiObject cell = CopyCell(image.bitmap, static_cast<int>(left), cellWidth, cellHeight);
    if (!cell)
        return false;
    image.ownedBitmap = std::move(cell);
    image.bitmap = static_cast<HBITMAP>(image.ownedBitmap.get());
    image.width = cellWidth;
    image.height = cellHeight;
    return true;
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
    if (mask == html::kNoMask) {
        const int oldMode = ::SetStretchBltMode(dc, COLORONCOLOR);
        ::StretchBlt(dc, r.left, r.top, w, h, source.get(), 0, 0, image.width, image.height,
                     SRCCOPY);
        ::SetStretchBltMode(dc, oldMode);
    } else {
        ::GdiTransparentBlt(dc, r.left, r.top, w, h, source.get(), 0, 0, image.width, image.height,
                            mask);
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

namespace {

struct ImageListRegistry {
    std::mutex lock;
    std::multiset<HIMAGELIST> lists;
};

ImageListRegistry& Registry() {
    static ImageListRegistry registry;
    return registry;
}

} // namespace

RegisteredImageList::RegisteredImageList(HIMAGELIST list) : list_(list) {
    if (!list_)
        return;
    ImageListRegistry& registry = Registry();
    const std::lock_guard<std::mutex> hold(registry.lock);
    registry.lists.insert(list_);
}

RegisteredImageList::~RegisteredImageList() {
    if (!list_)
        return;
    ImageListRegistry& registry = Registry();
    const std::lock_guard<std::mutex> hold(registry.lock);
    if (const auto found = registry.lists.find(list_); found != registry.lists.end())
        registry.lists.erase(found);
}

bool IsRegisteredImageList(HIMAGELIST list) {
    ImageListRegistry& registry = Registry();
    const std::lock_guard<std::mutex> hold(registry.lock);
    return list && registry.lists.count(list) > 0;
}

HtmlImages::HtmlImages() = default;
HtmlImages::~HtmlImages() = default;

HtmlImages::Loaded* HtmlImages::Load(const html::ImageRequest& imageSpec) {
    if (auto found = loaded_.find(imageSpec); found != loaded_.end())
        return found->second.get();
    auto image = std::make_unique<Loaded>();
    const bool icon = imageSpec.kind == html::ImageKind::Icon;
    if (imageSpec.source == html::ImageSource::Handle) {
        const auto handle = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(imageSpec.handle));
        if (imageSpec.kind == html::ImageKind::ImageList) {
            const auto list = static_cast<HIMAGELIST>(handle);
            if (IsRegisteredImageList(list) && imageSpec.index < ImageListImageCount(list))
                image->ownedIcon.reset(ImageListIcon(list, imageSpec.index, ILD_NORMAL));
            image->icon = image->ownedIcon.get();
        } else if (icon) {
            image->icon = static_cast<HICON>(handle);
        } else if (::GetObjectType(handle) == OBJ_BITMAP) {
            image->bitmap = static_cast<HBITMAP>(handle);
        }
    } else if (icon) {
        image->ownedIcon.reset(static_cast<HICON>(LoadFromSource(imageSpec, IMAGE_ICON)));
        image->icon = image->ownedIcon.get();
    } else {
        image->ownedBitmap.reset(LoadFromSource(imageSpec, IMAGE_BITMAP));
        image->bitmap = static_cast<HBITMAP>(image->ownedBitmap.get());
    }
    const std::optional<SIZE> size =
        image->icon ? IconSize(image->icon) : BitmapSize(image->bitmap);
    bool usable = size && size->cx > 0 && size->cy > 0;
    if (usable) {
        image->width = size->cx;
        image->height = size->cy;
        if (imageSpec.kind == html::ImageKind::ImageList && image->bitmap)
            usable = CutCell(*image, imageSpec);
    }
    Loaded* result = usable ? image.get() : nullptr;
    loaded_.emplace(imageSpec, usable ? std::move(image) : nullptr);
    return result;
}

std::optional<html::ImageSize> HtmlImages::Size(const html::ImageRequest& imageSpec) {
    const Loaded* image = Load(imageSpec);
    if (!image)
        return std::nullopt;
    return html::ImageSize{image->width, image->height};
}

void HtmlImages::Draw(HDC dc, const html::ImageOp& op, const html::ImageRequest& imageSpec,
                      int shadowOffset, COLORREF shadowColour) {
    const Loaded* image = Load(imageSpec);
    const RECT rect{op.rect.left, op.rect.top, op.rect.right, op.rect.bottom};
    if (!image || rect.right <= rect.left || rect.bottom <= rect.top)
        return;
    if (op.style == ImageStyle{}) {
        DrawPlain(dc, *image, rect, op.mask);
        return;
    }
    const DropShadow shadow{shadowOffset, PixelFromColorRef(shadowColour)};
    if (image->icon)
        DrawStyledIcon(dc, image->icon, rect, op.style, shadow);
    else
        DrawStyledBitmap(dc, image->bitmap, rect, op.mask, op.style, shadow);
}

} // namespace dp
