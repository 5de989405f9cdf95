// Push buttons side by side, fitted to labels of any length. A dialog template sizes its
// buttons for the English labels; a translated label ("Rechercher des mises à jour") or a font
// that does not grow quite in proportion with the scaling would be cut off. Each button grows to
// what its label needs, and the buttons to its right move along by as much, keeping their gaps.
#pragma once

#include <vector>

#include "ui/link_rules.h"

namespace dp {

// Room a label keeps from either side of its button, in pixels at 96 dpi.
inline constexpr int kButtonLabelPadding = 8;

// `buttons` in a row from left to right; neededWidths[i] is what button i's label needs, its
// padding included. A button is never made narrower, and one that needs no more stays where it
// is unless one to its left grew.
std::vector<PixelRect> FitButtonRow(const std::vector<PixelRect>& buttons,
                                    const std::vector<int>& neededWidths);

} // namespace dp
