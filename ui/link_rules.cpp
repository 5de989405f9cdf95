#include "ui/link_rules.h"

namespace dp {

std::uint32_t LinkTextColour(const LinkColours& colours, bool hovering, bool visited) {
    if (hovering)
        return colours.hot;
    return visited ? colours.visited : colours.normal;
}

LinkFont FontForMode(int underlineMode) {
    return underlineMode == kUnderlineAlways ? LinkFont::Underlined : LinkFont::Plain;
}

LinkFont FontOnPointerEnter(int underlineMode) {
    return underlineMode == kUnderlineWhileHovering ? LinkFont::Underlined : LinkFont::Unchanged;
}

LinkFont FontOnPointerLeave(int underlineMode) {
    return underlineMode == kUnderlineAlways ? LinkFont::Unchanged : LinkFont::Plain;
}

LinkFont FontForState(int underlineMode, bool hovering) {
    if (underlineMode == kUnderlineAlways)
        return LinkFont::Underlined;
    return hovering && underlineMode == kUnderlineWhileHovering ? LinkFont::Underlined
                                                                : LinkFont::Plain;
}

bool OpensLink(unsigned virtualKey, bool repeated) {
    return !repeated && (virtualKey == kKeyReturn || virtualKey == kKeySpace);
}

bool LinkTakesKey(unsigned virtualKey) {
    return virtualKey == kKeyReturn;
}

PixelRect FitRectToText(const PixelRect& window, PixelSize client, PixelSize text,
                        std::uint32_t style) {
    const int windowWidth = window.right - window.left;
    const int windowHeight = window.bottom - window.top;
    const int neededWidth = text.width + (windowWidth - client.width);
    const int neededHeight = text.height + (windowHeight - client.height);
    PixelRect fitted = window;
    // Integer division truncates toward zero, inwards and outwards alike.
    if (style & kStaticCenterImage) {
        const int inset = (windowHeight - neededHeight) / 2;
        fitted.top += inset;
        fitted.bottom -= inset;
    } else {
        fitted.bottom = fitted.top + neededHeight;
    }
    if (style & kStaticCenter) {
        const int inset = (windowWidth - neededWidth) / 2;
        fitted.left += inset;
        fitted.right -= inset;
    } else if (style & kStaticRight) {
        fitted.left = fitted.right - neededWidth;
    } else {
        fitted.right = fitted.left + neededWidth;
    }
    return fitted;
}

} // namespace dp
