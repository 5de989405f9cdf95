#include "richmsg/message_box_countdown.h"

#include "richmsg/message_box_buttons.h"
#include "richmsg/message_box_text.h"

#include <algorithm>

namespace dp::richbox {

BoxCountdown::BoxCountdown(CountdownSetup setup) : setup_(std::move(setup)) {
    if (setup_.disabledSeconds > 0)
        counter_ = setup_.disabledSeconds;
    if (setup_.timeoutSeconds > 0)
        counter_ = setup_.timeoutSeconds;
}

TickResult BoxCountdown::Tick() {
    if (counter_ <= 0)
        return TickResult::Nothing;
    if (--counter_ > 0)
        return TickResult::Updated;
    return setup_.disabledSeconds > 0 ? TickResult::Finished : TickResult::PressDefault;
}

std::wstring BoxCountdown::Title() const {
    if (CaptionMode() && counter_ > 0)
        return FormatCountdown(setup_.captionFormat, setup_.caption, counter_);
    return setup_.caption;
}

std::wstring BoxCountdown::DefaultLabel() const {
    if (counter_ > 0 && !CaptionMode())
        return FormatCountdown(kButtonCountdownFormat, setup_.defaultLabel, counter_);
    return setup_.defaultLabel;
}

int BoxCountdown::DefaultId() const {
    const auto index = static_cast<std::size_t>(setup_.defaultIndex);
    return index < setup_.buttons.size() ? setup_.buttons[index] : 0;
}

int BoxCountdown::TimeoutCommand() const {
    const int id = DefaultId();
    if (id != 0 && !KeepsBoxOpen(id))
        return id;
    for (const int button : setup_.buttons)
        if (!KeepsBoxOpen(button))
            return button;
    return kCancel;
}

bool BoxCountdown::ButtonEnabled(int index) const {
    if (!Waiting() || index < 0 || static_cast<std::size_t>(index) >= setup_.buttons.size())
        return true;
    if (setup_.buttons[static_cast<std::size_t>(index)] == kHelp)
        return true;
    return !CaptionMode() && index != setup_.defaultIndex;
}

bool BoxCountdown::DefaultLooksDefault() const {
    return !Waiting();
}

bool BoxCountdown::CloseEnabled() const {
    if (Waiting())
        return !setup_.inCaption && setup_.cancellable && DefaultId() != kCancel;
    return setup_.cancellable;
}

bool BoxCountdown::AcceptsCommand(int id) const {
    if (id == 0)
        return false;
    if (id == kCancel)
        return CloseEnabled();
    const auto found = std::find(setup_.buttons.begin(), setup_.buttons.end(), id);
    return found != setup_.buttons.end() &&
           ButtonEnabled(static_cast<int>(found - setup_.buttons.begin()));
}

} // namespace dp::richbox
