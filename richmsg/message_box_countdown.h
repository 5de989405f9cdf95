// The rich message box's countdowns and what they allow: a timeout that presses the default
// button when it runs out, or a wait during which buttons stay disabled (with the seconds on the
// default button or in the title); the title, the default button's label, which buttons and
// whether the system menu's Close item are enabled, and which commands the box accepts.
#pragma once

#include <string>
#include <vector>

namespace dp::richbox {

struct CountdownSetup {
    int timeoutSeconds = 0;
    int disabledSeconds = 0;
    bool inCaption = false; // with disabledSeconds: the seconds go into the title
    bool cancellable = false;
    std::vector<int> buttons; // IDs in creation order
    int defaultIndex = 0;
    std::wstring caption;
    std::wstring defaultLabel;
    std::wstring captionFormat; // "%s (%d seconds remaining)", resolved as a label
};

enum class TickResult {
    Nothing,      // no countdown running
    Updated,      // a second less; the texts changed
    Finished,     // the wait is over: buttons and Close enabled as they should be
    PressDefault, // the timeout ran out: press the default button
};

class BoxCountdown {
public:
    explicit BoxCountdown(CountdownSetup setup);

    int Remaining() const { return counter_; }
    bool Running() const { return counter_ > 0; }
    TickResult Tick();

    std::wstring Title() const;
    std::wstring DefaultLabel() const;
    int DefaultId() const; // 0 when the box has no buttons
    // The command the timeout gives: the default button's when it ends the box; else (Help,
    // Report, More as the default) the first button that ends the box, so that a timeout
    // always closes it; IDCANCEL for a box without such a button.
    int TimeoutCommand() const;
    bool ButtonEnabled(int index) const;
    // Whether the default button carries the default push-button look.
    bool DefaultLooksDefault() const;
    bool CloseEnabled() const;
    // The box acts on its enabled buttons, and on IDCANCEL (Escape, the close box) while the
    // Close item is enabled; anything else, such as the IDOK that the dialog manager sends for
    // Enter when there is no default button, is ignored.
    bool AcceptsCommand(int id) const;

private:
    bool Waiting() const { return setup_.disabledSeconds > 0 && counter_ > 0; }
    bool CaptionMode() const { return setup_.disabledSeconds > 0 && setup_.inCaption; }

    CountdownSetup setup_;
    int counter_ = 0;
};

} // namespace dp::richbox
