#include "renderer/html_document.h"

namespace dp::html {

HtmlDocument::HtmlDocument() : sheet_(StyleSheet::Default()) {}

void HtmlDocument::SetText(std::wstring_view html) {
    prepared_ = PrepareText(html);
    layout_.reset();
}

const DisplayList& HtmlDocument::Layout(const LayoutServices& services,
                                        const LayoutOptions& options) {
    const Key key{options.width > 0 ? options.width : 0, options.hoveredLink, options.shadowOffset,
                  options.shadowColour, services.measurer.Resolution()};
    if (!layout_ || !(key == key_)) {
        layout_ = LayOut(prepared_, sheet_, services, options);
        key_ = key;
    }
    return *layout_;
}

void DrawnLinks::Record(const DisplayList& list, int originX, int originY) {
    links_ = list.links;
    areas_ = list.linkAreas;
    for (LinkArea& area : areas_) {
        area.rect.left += originX;
        area.rect.right += originX;
        area.rect.top += originY;
        area.rect.bottom += originY;
    }
}

void DrawnLinks::Clear() {
    areas_.clear();
    links_.clear();
}

int DrawnLinks::LinkAt(int x, int y) const {
    for (const LinkArea& area : areas_)
        if (area.rect.Contains(x, y))
            return area.index;
    return -2;
}

const Link* DrawnLinks::Find(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= links_.size())
        return nullptr;
    const Link& link = links_[static_cast<std::size_t>(index)];
    return link.target.empty() ? nullptr : &link;
}

} // namespace dp::html
