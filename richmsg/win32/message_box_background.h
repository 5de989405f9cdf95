// The rich message box's static background: band effects and separators with captions, drawn
// once into a bitmap that the box keeps for its lifetime.
#pragma once

#include <windows.h>

#include <string>

#include "richmsg/message_box_layout.h"

namespace dp {

struct BandSpec;

// One band as the background sees it.
struct BandPaint {
    const BandSpec* bandSpec = nullptr;
    std::wstring caption; // of its separator
    int top = 0;
    int bottom = 0;
    int separatorY = 0;
};

// Separator styles that draw a line: 1 etched, 2 black, 3 white.
bool HasSeparator(const BandSpec& band);

// The dialog band over the whole rectangle (button face where it has no effect), then each
// band's effect and separator. captionFont is selected for the captions, which keep
// captionGap pixels from the band's sides and from the line.
void DrawBoxBackground(HDC dc, const RECT& whole, const BandSpec& dialogBand,
                       const BandPaint* bands, int bandCount, HFONT captionFont, int captionGap);

} // namespace dp
