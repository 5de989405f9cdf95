// The result of laying a text out: what to draw, in layout coordinates (the top left corner of
// the laid-out area is 0,0), and where the links are. The GDI back-end plays it into a DC.
#pragma once

#include "effects/draw_effects.h"
#include "renderer/layout_services.h"

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace dp::html {

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    bool operator==(const Rect&) const = default;
};

// Text drawn at (x, y), its top left corner, in display-list font `font`. With justification
// the GDI back-end spreads justifyExtra pixels over the run's justifyBreaks blanks.
struct TextOp {
    int x = 0;
    int y = 0;
    int width = 0; // including justifyExtra
    int font = 0;
    std::uint32_t colour = 0;
    std::uint32_t start = 0; // into DisplayList::text
    std::uint32_t length = 0;
    int justifyExtra = 0;
    int justifyBreaks = 0;
};

// A rectangle filled with a background effect (0 is a solid fill with colour1).
struct FillOp {
    Rect rect;
    int effect = 0;
    std::uint32_t colour1 = 0;
    std::uint32_t colour2 = 0;
    std::uint32_t colour3 = 0;
    int amplitude = 0;
    int tint = 0;
};

// A line in one of the line styles (1 solid ... 6 double), drawn from (fromX, fromY) up to,
// not including, (toX, toY).
struct LineOp {
    int fromX = 0;
    int fromY = 0;
    int toX = 0;
    int toY = 0;
    std::uint32_t colour = 0;
    int style = 1;
    int width = 1;
};

// An image scaled into `rect`, in the look its style letters give it; a shadow lies
// DisplayList::shadowOffset further right and down.
struct ImageOp {
    Rect rect;
    int image = 0; // into DisplayList::images
    ImageStyle style;
    std::uint32_t mask = 0xFF00FF; // transparent colour of bitmaps (0x00BBGGRR)
};

// An ImageOp mask that makes no colour transparent.
inline constexpr std::uint32_t kNoMask = 0xFFFFFFFF;

using DisplayOp = std::variant<TextOp, FillOp, LineOp, ImageOp>;

enum class LinkKind : std::uint8_t { Open = 1, Message = 2 };

struct Link {
    LinkKind kind = LinkKind::Open;
    std::wstring target;
};

// One rectangle of a link; a link broken over lines or runs has several.
struct LinkArea {
    Rect rect;
    int index = 0; // into DisplayList::links, the link's number in order of appearance
};

struct DisplayList {
    std::vector<DisplayOp> ops;
    std::wstring text;
    std::vector<FontSpec> fonts;
    std::vector<ImageRequest> images;
    std::vector<Link> links;
    std::vector<LinkArea> linkAreas;
    int shadowOffset = 0;
    std::uint32_t shadowColour = 0x808080;
    int width = 0;  // the width the content needs
    int height = 0; // the height the content needs
};

} // namespace dp::html
