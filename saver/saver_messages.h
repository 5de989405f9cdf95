// What the saver window does with each message that can end it: the decision, apart from the
// window procedure. The glue maps WM_* to SaverMessage, fills in the facts, and carries out the
// decision. WM_CLOSE and WM_TIMER have rules of their own (SaverCloseProtocol, LastInputPoll).
#pragma once

#include <cstdint>

namespace dp {

enum class SaverMessage {
    MouseMove,        // WM_MOUSEMOVE
    LeftButtonDown,   // WM_LBUTTONDOWN
    MiddleButtonDown, // WM_MBUTTONDOWN
    RightButtonDown,  // WM_RBUTTONDOWN
    KeyDown,          // WM_KEYDOWN
    SysKeyDown,       // WM_SYSKEYDOWN
    KeyUp,            // WM_KEYUP
    SysKeyUp,         // WM_SYSKEYUP
    Activate,         // WM_ACTIVATE
    ActivateApp,      // WM_ACTIVATEAPP
    NcActivate,       // WM_NCACTIVATE
    SysCommand,       // WM_SYSCOMMAND
    SetCursor,        // WM_SETCURSOR
    Other,
};

struct SaverMessageFacts {
    SaverMessage message = SaverMessage::Other;
    // A password check is running: input belongs to the prompt and must not end the saver.
    bool verifying = false;
    // MouseMove: the cursor, read now, is outside the threshold box.
    bool movedBeyondThreshold = false;
    // Activate: LOWORD(wParam) == WA_INACTIVE; ActivateApp and NcActivate: wParam == FALSE.
    bool deactivating = false;
    // SysCommand: wParam.
    std::uintptr_t sysCommand = 0;
};

enum class MessageDisposition {
    PassOn,            // before dispatch: let the framework translate and dispatch it
    Handled,           // consumed: not dispatched, no default processing
    DefaultProcessing, // in the handler: DefWindowProc (or the base class's handler)
    KeepFrameActive,   // WM_NCACTIVATE: return FALSE so that the frame stays active
    ArrowCursor,       // WM_SETCURSOR: SetCursor(IDC_ARROW), return TRUE
    NoCursor,          // WM_SETCURSOR: SetCursor(nullptr), return TRUE
};

struct MessageDecision {
    MessageDisposition disposition = MessageDisposition::PassOn;
    // Call BeginClose before carrying out the disposition.
    bool beginClose = false;
    // A key release: also remove one further queued message of the same kind for this window
    // (PeekMessage with PM_REMOVE), so that one key does not count twice.
    bool removeRepeatedRelease = false;
    // Input that reached the window and does not end the saver (a key held down, a mouse move
    // within the threshold, the move the system synthesises when the window appears): re-arm
    // the last-input poll (LastInputPoll::ArmAfterHandledInput), or the poll would end the
    // saver on that same input at its next tick and make the threshold and the key rule
    // pointless.
    bool rearmInputPoll = false;

    friend bool operator==(const MessageDecision&, const MessageDecision&) = default;
};

// PreTranslateMessage: a message for the saver window, taken from the queue.
MessageDecision DecideBeforeDispatch(const SaverMessageFacts& facts);

// The window procedure: a message that reached the saver window's handlers.
MessageDecision DecideInHandler(const SaverMessageFacts& facts);

} // namespace dp
