// The decisions of the hyperlink control, apart from the window system: which colour its text
// takes, which font a change of state calls for, and where the control goes when it is sized to
// its text.
#pragma once

#include <cstdint>

namespace dp {

// Colours as COLORREF values (0x00BBGGRR).
struct LinkColours {
    std::uint32_t normal = 0x00EE0000;  // blue: not opened yet
    std::uint32_t visited = 0x008B1A55; // purple: opened by the last click
    std::uint32_t hot = 0x000000FF;     // red: under the pointer
};

std::uint32_t LinkTextColour(const LinkColours& colours, bool hovering, bool visited);

// Underline modes: always, while the pointer is over the link; any other value: never.
inline constexpr int kUnderlineAlways = 1;
inline constexpr int kUnderlineWhileHovering = -1;

enum class LinkFont { Unchanged, Plain, Underlined };

// The font a mode shows at rest (the pointer elsewhere).
LinkFont FontForMode(int underlineMode);
// The change when the pointer enters the link, and when it has left.
LinkFont FontOnPointerEnter(int underlineMode);
LinkFont FontOnPointerLeave(int underlineMode);
// The font for the state as a whole: what a new font from the dialog (after a change of
// resolution) is applied as. Never Unchanged.
LinkFont FontForState(int underlineMode, bool hovering);

// The keyboard, as with the system's link control: a focused link opens with Enter or Space,
// once per press (a held key repeats nothing); Enter goes to the link rather than to the
// dialog's default button. Virtual-key codes.
inline constexpr unsigned kKeyReturn = 0x0D;
inline constexpr unsigned kKeySpace = 0x20;
bool OpensLink(unsigned virtualKey, bool repeated);
bool LinkTakesKey(unsigned virtualKey);

// Static control style bits that decide how a fitted control is placed.
inline constexpr std::uint32_t kStaticCenter = 0x0001;
inline constexpr std::uint32_t kStaticRight = 0x0002;
inline constexpr std::uint32_t kStaticCenterImage = 0x0200;

struct PixelRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const PixelRect&) const = default;
};

struct PixelSize {
    int width = 0;
    int height = 0;
};

// The control's new window rectangle for a text of the given size: the border (window minus
// client size) is kept, the control grows or shrinks around its text. Vertically centred
// (SS_CENTERIMAGE) it keeps its middle, otherwise its top; horizontally SS_CENTER keeps the
// middle, SS_RIGHT the right edge, otherwise the left edge. A centred control takes the same
// truncated half from both sides, so an odd difference leaves it one pixel larger than needed.
PixelRect FitRectToText(const PixelRect& window, PixelSize client, PixelSize text,
                        std::uint32_t style);

} // namespace dp
