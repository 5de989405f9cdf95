#include "richmsg/message_box_layout.h"

#include "framework/dpi_scale.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace dp::richbox {
namespace {

// What the check box adds to the button area.
int CheckboxRow(const BoxMetrics& m) {
    return m.checkboxSize + m.buttonGap;
}

int WidestButtonRow(const BoxMetrics& m, int count, int buttonWidth) {
    return m.buttonGap + count * (m.buttonGap + buttonWidth);
}

int ContentWidth(const LayoutInput& in, const Layout& out) {
    const BoxMetrics& m = out.metrics;
    int width = in.messageText.width + 2 * m.textMargin;
    if (out.headerHeight > 0) {
        width = std::max(width, in.headerText.width + 2 * m.textMargin);
        if (in.headerCaptionWidth > 0)
            width = std::max(width, in.headerCaptionWidth + 2 * m.captionGap);
    }
    if (out.footerHeight > 0)
        width = std::max(width, in.footerText.width + 2 * m.textMargin);
    if (in.buttonCaptionWidth > 0)
        width = std::max(width, in.buttonCaptionWidth + 2 * m.captionGap);
    if (in.checkbox)
        width = std::max(width, in.checkboxLabel.width + 2 * m.checkboxLeft + m.checkboxLabelRoom);
    const int count = static_cast<int>(in.buttonLabels.size());
    return std::max(width, WidestButtonRow(m, count, out.button.width));
}

void PlaceButtons(const LayoutInput& in, Layout& out) {
    const BoxMetrics& m = out.metrics;
    const int count = static_cast<int>(in.buttonLabels.size());
    const int total = count * (m.buttonGap + out.button.width) - m.buttonGap;
    int x = (out.client.width - total) / 2;
    if (in.buttonAlign == Align::Left)
        x = m.buttonGap;
    else if (in.buttonAlign == Align::Right)
        x = out.client.width - m.buttonGap - total;
    int y = out.client.height - m.buttonGap - out.button.height;
    if (in.checkbox && in.checkboxBelow)
        y -= CheckboxRow(m);
    for (int i = 0; i < count; ++i, x += out.button.width + m.buttonGap)
        out.buttons.push_back({x, y});
}

void PlaceCheckbox(const LayoutInput& in, Layout& out) {
    if (!in.checkbox)
        return;
    const BoxMetrics& m = out.metrics;
    const int bottom = out.client.height;
    const int y = in.checkboxBelow
                      ? bottom - m.buttonGap - m.checkboxSize
                      : bottom - (2 * m.buttonGap + out.button.height) - m.checkboxSize;
    out.checkbox = {m.checkboxLeft, y, m.checkboxLeft + m.checkboxSize, y + m.checkboxSize};
    const int labelX = m.checkboxLeft + m.checkboxSize + m.checkboxSize / 2;
    const int labelRight =
        std::min(labelX + in.checkboxLabel.width, std::max(labelX, out.client.width));
    out.checkboxLabel = {labelX, y, labelRight, y + in.checkboxLabel.height};
}

Box Inset(int margin, int left, int top, int right, int bottom) {
    return {left + margin, top + margin, right - margin, bottom - margin};
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

BoxMetrics MetricsForDpi(int dpi) {
    const auto at = [dpi](int pixels) { return ScaleToDpi(pixels, dpi); };
    return {at(kTextMargin),       at(kButtonGap),  at(kCheckboxLeft),
            at(kCheckboxSize),     at(kCaptionGap), {at(kMinButtonWidth), at(kMinButtonHeight)},
            at(kCheckboxLabelRoom)};
}

Size ButtonSizeFor(Size label, Size least) {
    return {std::max(least.width, MulDivRound(label.width, 80, 45)),
            std::max(least.height, MulDivRound(label.height, 23, 13))};
}

Layout LayOutBox(const LayoutInput& in) {
    Layout out;
    out.metrics = MetricsForDpi(in.dpi);
    const BoxMetrics& m = out.metrics;
    // The header's least height is the caller's, in pixels of a 96-dpi screen.
    if (in.headerMinHeight > 0)
        out.headerHeight = std::max(ScaleToDpi(in.headerMinHeight, in.dpi),
                                    in.headerText.height + 2 * m.textMargin);
    out.messageHeight = in.messageText.height + 2 * m.textMargin;
    if (in.footer)
        out.footerHeight = in.footerText.height + 2 * m.textMargin;
    out.buttonAreaHeight = in.buttonBand ? 2 * m.buttonGap : m.buttonGap;
    if (in.checkbox)
        out.buttonAreaHeight += CheckboxRow(m);
    out.button = m.minButton;
    for (const Size& label : in.buttonLabels) {
        const Size size = ButtonSizeFor(label, m.minButton);
        out.button = {std::max(out.button.width, size.width),
                      std::max(out.button.height, size.height)};
    }
    int width = ContentWidth(in, out);
    if (in.maxWindowWidth > 0) {
        width = std::min(width, std::max(1, in.maxWindowWidth - in.nonClient.width));
        // Buttons too many or too wide for the row share what it has.
        const int count = static_cast<int>(in.buttonLabels.size());
        if (count > 0 && WidestButtonRow(m, count, out.button.width) > width)
            out.button.width = std::max(1, (width - m.buttonGap) / count - m.buttonGap);
    }
    out.client = {width,
                  out.headerHeight + out.messageHeight + out.button.height + out.buttonAreaHeight};
    out.window = {out.client.width + in.nonClient.width, out.client.height + in.nonClient.height};
    PlaceButtons(in, out);
    PlaceCheckbox(in, out);
    return out;
}

Box Layout::HeaderText() const {
    return Inset(metrics.textMargin, 0, 0, client.width, headerHeight);
}
Box Layout::MessageText() const {
    return Inset(metrics.textMargin, 0, MessageTop(), client.width, MessageTop() + messageHeight);
}
Box Layout::FooterText() const {
    return Inset(metrics.textMargin, 0, FooterTop(), client.width, FooterTop() + footerHeight);
}

SeparatorPlan PlanSeparator(int bandWidth, int captionWidth, Align align, int gap) {
    SeparatorPlan plan;
    if (captionWidth <= 0) {
        plan.lines.push_back({0, 0, bandWidth, 0});
        return plan;
    }
    switch (align) {
    case Align::Left:
        plan.captionX = gap;
        break;
    case Align::Right:
        plan.captionX = bandWidth - gap - captionWidth;
        break;
    case Align::Centre:
        plan.captionX = (bandWidth - captionWidth) / 2;
        break;
    }
    const int before = plan.captionX - gap;
    const int after = plan.captionX + captionWidth + gap;
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

int MaxTextWidth(int workAreaWidth, int dpi) {
    return std::max(1, workAreaWidth * 2 / 3 - 2 * ScaleToDpi(kTextMargin, dpi));
}

} // namespace dp::richbox
