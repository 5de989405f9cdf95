#include "saver/saver_messages.h"

namespace dp {

namespace {

// The low four bits of a WM_SYSCOMMAND code are the system's own; only the rest names the
// command.
constexpr std::uintptr_t kSysCommandMask = 0xFFF0;
constexpr std::uintptr_t kScClose = 0xF060;      // SC_CLOSE
constexpr std::uintptr_t kScScreenSave = 0xF140; // SC_SCREENSAVE

constexpr MessageDecision kPassOn{MessageDisposition::PassOn, false, false};
constexpr MessageDecision kHandled{MessageDisposition::Handled, false, false};
constexpr MessageDecision kDefault{MessageDisposition::DefaultProcessing, false, false};
// A key press: swallowed, and not counted as the user's return by the input poll either.
constexpr MessageDecision kKeyPress{MessageDisposition::Handled, false, false, true};

MessageDecision CloseAndConsume() {
    return {MessageDisposition::Handled, true, false};
}

MessageDecision CloseOnKeyRelease() {
    return {MessageDisposition::Handled, true, true};
}

// Default processing, starting the close first when the condition holds.
MessageDecision DefaultClosingIf(bool close) {
    return {MessageDisposition::DefaultProcessing, close, false};
}

// A mouse move that does not end the saver must not end it through the input poll either.
MessageDecision DecideMouseMove(bool close) {
    return {MessageDisposition::DefaultProcessing, close, false, !close};
}

bool IsDroppedSysCommand(std::uintptr_t command) {
    const std::uintptr_t name = command & kSysCommandMask;
    return name == kScClose || name == kScScreenSave;
}

MessageDecision DecideNcActivate(const SaverMessageFacts& facts) {
    if (facts.verifying || !facts.deactivating)
        return kDefault;
    return {MessageDisposition::KeepFrameActive, false, false};
}

MessageDecision DecideSetCursor(const SaverMessageFacts& facts) {
    return {facts.verifying ? MessageDisposition::ArrowCursor : MessageDisposition::NoCursor, false,
            false};
}

} // namespace

MessageDecision DecideBeforeDispatch(const SaverMessageFacts& facts) {
    switch (facts.message) {
    case SaverMessage::MouseMove:
        return facts.movedBeyondThreshold ? CloseAndConsume() : kPassOn;
    case SaverMessage::LeftButtonDown:
        return CloseAndConsume();
    case SaverMessage::KeyDown:
    case SaverMessage::SysKeyDown:
        // Holding a key does not end the saver; releasing it does.
        return kKeyPress;
    case SaverMessage::KeyUp:
    case SaverMessage::SysKeyUp:
        return CloseOnKeyRelease();
    default:
        return kPassOn;
    }
}

MessageDecision DecideInHandler(const SaverMessageFacts& facts) {
    const bool watching = !facts.verifying;
    switch (facts.message) {
    case SaverMessage::MouseMove:
        return DecideMouseMove(watching && facts.movedBeyondThreshold);
    case SaverMessage::LeftButtonDown:
    case SaverMessage::MiddleButtonDown:
    case SaverMessage::RightButtonDown:
        return DefaultClosingIf(watching);
    case SaverMessage::KeyDown:
    case SaverMessage::SysKeyDown:
        return kKeyPress;
    case SaverMessage::Activate:
    case SaverMessage::ActivateApp:
        return DefaultClosingIf(watching && facts.deactivating);
    case SaverMessage::NcActivate:
        return DecideNcActivate(facts);
    case SaverMessage::SysCommand:
        return IsDroppedSysCommand(facts.sysCommand) ? kHandled : kDefault;
    case SaverMessage::SetCursor:
        return DecideSetCursor(facts);
    default:
        return kDefault;
    }
}

} // namespace dp
