#include "ui/button_row.h"

#include <algorithm>

namespace dp {

std::vector<PixelRect> FitButtonRow(const std::vector<PixelRect>& buttons,
                                    const std::vector<int>& neededWidths) {
    std::vector<PixelRect> fitted = buttons;
    int shift = 0;
    for (std::size_t i = 0; i < fitted.size(); ++i) {
        PixelRect& button = fitted[i];
        button.left += shift;
        button.right += shift;
        const int needed = i < neededWidths.size() ? neededWidths[i] : 0;
        const int growth = std::max(0, needed - (button.right - button.left));
        button.right += growth;
        shift += growth;
    }
    return fitted;
}

} // namespace dp
