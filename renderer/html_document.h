// A message held for measuring and drawing: parsed once when the text is set, laid out again
// only when the width, the hovered link or the target's resolution change.
#pragma once

#include "renderer/display_list.h"
#include "renderer/html_layout.h"

#include <optional>
#include <string_view>
#include <vector>

namespace dp::html {

class HtmlDocument {
public:
    HtmlDocument();

    void SetText(std::wstring_view html);
    // The layout for these options; the previous one when nothing that matters changed.
    const DisplayList& Layout(const LayoutServices& services, const LayoutOptions& options);
    StyleSheet& sheet() { return sheet_; }

private:
    struct Key {
        int width = 0;
        int hoveredLink = -2;
        int shadowOffset = 0;
        std::uint32_t shadowColour = 0;
        int resolution = 0;
        bool operator==(const Key&) const = default;
    };

    PreparedText prepared_;
    StyleSheet sheet_;
    std::optional<DisplayList> layout_;
    Key key_;
};

// The link areas of the last drawing, where they were drawn.
class DrawnLinks {
public:
    void Record(const DisplayList& list, int originX, int originY);
    void Clear();
    // The number of the link under the point, -2 when none.
    int LinkAt(int x, int y) const;
    // The link with that number; null when there is none or it has no target.
    const Link* Find(int index) const;

private:
    std::vector<LinkArea> areas_;
    std::vector<Link> links_;
};

} // namespace dp::html
