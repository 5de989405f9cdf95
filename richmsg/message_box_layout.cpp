#include "richmsg/message_box_layout.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace dp::richbox {
namespace {

constexpr int kCheckboxRow = kCheckboxSize + kButtonGap; // what the check box adds to the area

int WidestButtonRow(int count, int buttonWidth) {
    return kButtonGap + count * (kButtonGap + buttonWidth);
}

int ContentWidth(const LayoutInput& in, const Layout& out) {
    int width = in.messageText.width + 2 * kTextMargin;
    if (out.headerHeight > 0) {
        width = std::max(width, in.headerText.width + 2 * kTextMargin);
        if (in.headerCaptionWidth > 0)
            width = std::max(width, in.headerCaptionWidth + 2 * kCaptionGap);
    }
    if (out.footerHeight > 0)
        width = std::max(width, in.footerText.width + 2 * kTextMargin);
    if (in.buttonCaptionWidth > 0)
        width = std::max(width, in.buttonCaptionWidth + 2 * kCaptionGap);
    if (in.checkbox)
        width = std::max(width, in.checkboxLabel.width + 2 * kCheckboxLeft + 20);
    const int count = static_cast<int>(in.buttonLabels.size());
    return std::max(width, WidestButtonRow(count, out.button.width));
}

void PlaceButtons(const LayoutInput& in, Layout& out) {
    const int count = static_cast<int>(in.buttonLabels.size());
    const int total = count * (kButtonGap + out.button.width) - kButtonGap;
    int x = (out.client.width - total) / 2;
    if (in.buttonAlign == Align::Left)
        x = kButtonGap;
    else if (in.buttonAlign == Align::Right)
        x = out.client.width - kButtonGap - total;
    int y = out.client.height - kButtonGap - out.button.height;
    if (in.checkbox && in.checkboxBelow)
        y -= kCheckboxRow;
    for (int i = 0; i < count; ++i, x += out.button.width + kButtonGap)
        out.buttons.push_back({x, y});
}

void PlaceCheckbox(const LayoutInput& in, Layout& out) {
    if (!in.checkbox)
        return;
    const int bottom = out.client.height;
    const int y = in.checkboxBelow ? bottom - kButtonGap - kCheckboxSize
                                   : bottom - (2 * kButtonGap + out.button.height) - kCheckboxSize;
    out.checkbox = {kCheckboxLeft, y, kCheckboxLeft + kCheckboxSize, y + kCheckboxSize};
    const int labelX = kCheckboxLeft + kCheckboxSize + kCheckboxSize / 2;
    out.checkboxLabel = {labelX, y, labelX + in.checkboxLabel.width, y + in.checkboxLabel.height};
}

Box Inset(int left, int top, int right, int bottom) {
    return {left + kTextMargin, top + kTextMargin, right - kTextMargin, bottom - kTextMargin};
}

} // namespace

Align AlignFromInt(int value) {
    return value == 0 ? Align::Left : value == 1 ? Align::Right : Align::Centre;
}

int MulDivRound(int number, int numerator, int denominator) {
    if (denominator == 0)
        return 0;
    const std::int64_t product = static_cast<std::int64_t>(number) * numerator;
    const bool negative = (product < 0) != (denominator < 0);
    const std::int64_t magnitude = product < 0 ? -product : product;
    const std::int64_t divisor =
        denominator < 0 ? -static_cast<std::int64_t>(denominator) : denominator;
    const std::int64_t rounded = (magnitude + divisor / 2) / divisor;
    const std::int64_t result = negative ? -rounded : rounded;
    return static_cast<int>(std::clamp<std::int64_t>(result, std::numeric_limits<int>::min(),
                                                     std::numeric_limits<int>::max()));
}

Size ButtonSizeFor(Size label) {
    return {std::max(kMinButtonWidth, MulDivRound(label.width, 80, 45)),
            std::max(kMinButtonHeight, MulDivRound(label.height, 23, 13))};
}

Layout LayOutBox(const LayoutInput& in) {
    Layout out;
    if (in.headerMinHeight > 0)
        out.headerHeight = std::max(in.headerMinHeight, in.headerText.height + 2 * kTextMargin);
    out.messageHeight = in.messageText.height + 2 * kTextMargin;
    if (in.footer)
        out.footerHeight = in.footerText.height + 2 * kTextMargin;
    out.buttonAreaHeight = in.buttonBand ? 2 * kButtonGap : kButtonGap;
    if (in.checkbox)
        out.buttonAreaHeight += kCheckboxRow;
    out.button = {kMinButtonWidth, kMinButtonHeight};
    for (const Size& label : in.buttonLabels) {
        const Size size = ButtonSizeFor(label);
        out.button = {std::max(out.button.width, size.width),
                      std::max(out.button.height, size.height)};
    }
    out.client = {ContentWidth(in, out),
                  out.headerHeight + out.messageHeight + out.button.height + out.buttonAreaHeight};
    out.window = {out.client.width + in.nonClient.width, out.client.height + in.nonClient.height};
    PlaceButtons(in, out);
    PlaceCheckbox(in, out);
    return out;
}

Box Layout::HeaderText() const {
    return Inset(0, 0, client.width, headerHeight);
}
Box Layout::MessageText() const {
    return Inset(0, MessageTop(), client.width, MessageTop() + messageHeight);
}
Box Layout::FooterText() const {
    return Inset(0, FooterTop(), client.width, FooterTop() + footerHeight);
}

SeparatorPlan PlanSeparator(int bandWidth, int captionWidth, Align align) {
    SeparatorPlan plan;
    if (captionWidth <= 0) {
        plan.lines.push_back({0, 0, bandWidth, 0});
        return plan;
    }
    switch (align) {
    case Align::Left:
        plan.captionX = kCaptionGap;
        break;
    case Align::Right:
        plan.captionX = bandWidth - kCaptionGap - captionWidth;
        break;
    case Align::Centre:
        plan.captionX = (bandWidth - captionWidth) / 2;
        break;
    }
    const int before = plan.captionX - kCaptionGap;
    const int after = plan.captionX + captionWidth + kCaptionGap;
    if (align != Align::Left && before > 0)
        plan.lines.push_back({0, 0, before, 0});
    if (align != Align::Right && after < bandWidth)
        plan.lines.push_back({after, 0, bandWidth, 0});
    return plan;
}

Point CentreWindow(const Box& over, Size window, const Box& workArea) {
    Point at{over.left + (over.right - window.width - over.left) / 2,
             over.top + (over.bottom - window.height - over.top) / 2};
    // A window larger than the work area keeps its title bar and left edge reachable.
    at.x = std::max(workArea.left, std::min(at.x, workArea.right - window.width));
    at.y = std::max(workArea.top, std::min(at.y, workArea.bottom - window.height));
    return at;
}

int MaxTextWidth(int workAreaWidth) {
    return std::max(1, workAreaWidth * 2 / 3 - 2 * kTextMargin);
}

} // namespace dp::richbox
