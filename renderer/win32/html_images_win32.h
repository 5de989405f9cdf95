// Images of the HTML renderer's image tags, loaded with GDI for one pass (measuring or
// drawing) and freed at its end; handles given in the markup are borrowed, never freed.
//
// A "file" source must name a .bmp (for "bmp" and "ilst") or .ico ("icon") file on a local or
// mapped drive; network and device paths are refused. A source that does not load draws
// nothing and takes no room.
#pragma once

#include "renderer/display_list.h"

#include <windows.h>
#include <commctrl.h>

#include <map>
#include <memory>

namespace dp {

class HtmlImages : public html::ImageProvider {
public:
    HtmlImages();
    ~HtmlImages() override;
    HtmlImages(const HtmlImages&) = delete;
    HtmlImages& operator=(const HtmlImages&) = delete;

    std::optional<html::ImageSize> Size(const html::ImageRequest& imageSpec) override;
    // Draws the image into op.rect with its look; a shadow first when the look asks for one.
    void Draw(HDC dc, const html::ImageOp& op, const html::ImageRequest& imageSpec,
              int shadowOffset, COLORREF shadowColour);

    struct Loaded;

private:
    Loaded* Load(const html::ImageRequest& imageSpec);

    std::map<html::ImageRequest, std::unique_ptr<Loaded>> loaded_;
};

// An image list that markup may name by its handle ("<ilst handle=...>") while this lives. The
// image list functions take any number for a list and crash on one that is none, so a handle
// from the markup is used only when the program registered it (a list may be registered more
// than once; it stays usable until the last registration ends).
class RegisteredImageList {
public:
    explicit RegisteredImageList(HIMAGELIST list);
    ~RegisteredImageList();
    RegisteredImageList(const RegisteredImageList&) = delete;
    RegisteredImageList& operator=(const RegisteredImageList&) = delete;

private:
    HIMAGELIST list_;
};
bool IsRegisteredImageList(HIMAGELIST list);

// Whether a "file" image source may be opened for an image of that kind.
bool AcceptableImageFile(const std::wstring& path, html::ImageKind kind);

} // namespace dp
