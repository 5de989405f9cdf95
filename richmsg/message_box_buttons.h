// The rich message box's buttons: which ones a style asks for, in which order, which one is the
// default, whether the box may be cancelled, and the code the box returns.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dp::richbox {

// Style bits. The low 16 bits and the standard bits keep the system message box's meaning.
inline constexpr std::uint32_t kButtonSetMask = 0x0000000F;
inline constexpr std::uint32_t kIconMask = 0x000000F0;
inline constexpr std::uint32_t kDefaultButtonMask = 0x00000F00;
inline constexpr int kDefaultButtonShift = 8;
inline constexpr std::uint32_t kStyleHelp = 0x00004000;          // MB_HELP
inline constexpr std::uint32_t kStyleSetForeground = 0x00010000; // MB_SETFOREGROUND
inline constexpr std::uint32_t kStyleTopmost = 0x00040000;       // MB_TOPMOST
inline constexpr std::uint32_t kStyleRight = 0x00080000;         // MB_RIGHT
inline constexpr std::uint32_t RMB_CHECKBOX = 0x01000000;
inline constexpr std::uint32_t RMB_CHECKBOX_CHECKED = 0x02000000;
inline constexpr std::uint32_t RMB_CHECKBOX_BELOW = 0x04000000;
inline constexpr std::uint32_t RMB_YESTOALL = 0x08000000;
inline constexpr std::uint32_t RMB_NOTOALL = 0x10000000;
inline constexpr std::uint32_t RMB_NORESOURCE = 0x20000000;
inline constexpr std::uint32_t RMB_NOSOUND = 0x40000000;

// The bit added to the result when the check box is checked.
inline constexpr int kCheckedResultBit = 0x02000000;

// Button IDs (the system's where it has one).
enum ButtonId : int {
    kOk = 1,
    kCancel = 2,
    kAbort = 3,
    kRetry = 4,
    kIgnore = 5,
    kYes = 6,
    kNo = 7,
    kHelp = 9,
    kTryAgain = 10,
    kContinue = 11,
    kSkip = 14,
    kSkipAll = 15,
    kIgnoreAll = 16,
    kYesToAll = 19,
    kNoToAll = 20,
    kReport = 21,
    kCustom1 = 23,
    kCustom2 = 24,
    kCustom3 = 25,
    kCustom4 = 26,
    kLess = 30,
    kMore = 31,
};
inline constexpr int kMaxCustomButtons = 4;

struct PlannedButton {
    int id = 0;
    std::wstring customLabel; // the line of a custom button; empty for the others
    bool operator==(const PlannedButton&) const = default;
};

struct ButtonPlan {
    std::vector<PlannedButton> buttons; // creation order, left to right
    bool cancellable = false;           // Escape and the close box give IDCANCEL
    int defaultIndex = 0;               // into buttons
};

struct ButtonRequest {
    std::uint32_t style = 0;
    std::wstring_view customButtons; // one button per line; empty: the style's set
    bool report = false;             // a report message and an owner
    bool footer = false;             // a footer text to fold out
};

// Custom buttons replace the style's set and make the box not cancellable; then come Help,
// Report and More. A box none of whose buttons ends it (no buttons at all, or only Help, Report
// and More) stays cancellable, so that it can always be closed.
ButtonPlan PlanButtons(const ButtonRequest& request);

// The non-empty lines of a custom-buttons text, carriage returns removed, at most four.
std::vector<std::wstring> CustomButtonLines(std::wstring_view text);

// True for the buttons that act without ending the box.
bool KeepsBoxOpen(int id);

inline int ResultCode(int buttonId, bool checked) {
    return buttonId | (checked ? kCheckedResultBit : 0);
}

// The icon the icon bits choose; the same value picks the beep.
enum class BoxIcon { None, Hand, Question, Exclamation, Asterisk, User };
BoxIcon IconForStyle(std::uint32_t style);

} // namespace dp::richbox
