#include "richmsg/message_box_buttons.h"

#include <algorithm>
#include <array>

namespace dp::richbox {
namespace {

// A set's buttons; kYesToAll and kNoToAll appear only with their style bits.
struct ButtonSet {
    std::array<int, 5> ids;
    bool cancellable;
};

constexpr std::array<ButtonSet, 10> kButtonSets = {{
    {{kOk}, true},
    {{kOk, kCancel}, true},
    {{kAbort, kRetry, kIgnore}, false},
    {{kYes, kYesToAll, kNo, kNoToAll, kCancel}, true},
    {{kYes, kYesToAll, kNo, kNoToAll}, false},
    {{kRetry, kCancel}, true},
    {{kCancel, kRetry, kContinue}, true},
    {{kContinue, kAbort}, false},
    {{kSkip, kSkipAll, kCancel}, true},
    {{kIgnore, kIgnoreAll, kCancel}, true},
}};

bool Wanted(int id, std::uint32_t style) {
    if (id == kYesToAll)
        return (style & RMB_YESTOALL) != 0;
    if (id == kNoToAll)
        return (style & RMB_NOTOALL) != 0;
    return id != 0;
}

} // namespace

std::vector<std::wstring> CustomButtonLines(std::wstring_view text) {
    std::wstring plain;
    plain.reserve(text.size() + 1);
    for (wchar_t c : text)
        if (c != L'\r')
            plain.push_back(c);
    plain.push_back(L'\n');
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    for (std::size_t end = plain.find(L'\n'); end != std::wstring::npos;
         start = end + 1, end = plain.find(L'\n', start)) {
        if (end > start)
            lines.push_back(plain.substr(start, end - start));
        if (lines.size() == static_cast<std::size_t>(kMaxCustomButtons))
            break;
    }
    return lines;
}

bool KeepsBoxOpen(int id) {
    return id == kHelp || id == kReport || id == kMore || id == kLess;
}

ButtonPlan PlanButtons(const ButtonRequest& request) {
    ButtonPlan plan;
    const std::vector<std::wstring> custom = CustomButtonLines(request.customButtons);
    if (!custom.empty()) {
        for (std::size_t i = 0; i < custom.size(); ++i)
            plan.buttons.push_back({kCustom1 + static_cast<int>(i), custom[i]});
    } else if (const std::uint32_t set = request.style & kButtonSetMask; set < kButtonSets.size()) {
        for (int id : kButtonSets[set].ids)
            if (Wanted(id, request.style))
                plan.buttons.push_back({id, {}});
        plan.cancellable = kButtonSets[set].cancellable;
    }
    if (request.style & kStyleHelp)
        plan.buttons.push_back({kHelp, {}});
    if (request.report)
        plan.buttons.push_back({kReport, {}});
    if (request.footer)
        plan.buttons.push_back({kMore, {}});
    if (std::all_of(plan.buttons.begin(), plan.buttons.end(),
                    [](const PlannedButton& b) { return KeepsBoxOpen(b.id); }))
        plan.cancellable = true;
    const int index = static_cast<int>((request.style & kDefaultButtonMask) >> kDefaultButtonShift);
    plan.defaultIndex = index < static_cast<int>(plan.buttons.size()) ? index : 0;
    return plan;
}

BoxIcon IconForStyle(std::uint32_t style) {
    switch (style & kIconMask) {
    case 0x10:
        return BoxIcon::Hand;
    case 0x20:
        return BoxIcon::Question;
    case 0x30:
        return BoxIcon::Exclamation;
    case 0x40:
        return BoxIcon::Asterisk;
    case 0x80:
        return BoxIcon::User;
    default:
        return BoxIcon::None;
    }
}

} // namespace dp::richbox
