#include "richmsg/message_box_text.h"

#include "renderer/html_entities.h"
#include "renderer/html_tokenizer.h"
#include "richmsg/message_box_buttons.h"

#include <array>
#include <cstdio>
#include <vector>

namespace dp::richbox {
namespace {

constexpr std::array<BuiltInLabel, 19> kBuiltInLabels = {{
    {kOk, L"OK", 9001},
    {kCancel, L"Cancel", 9002},
    {kAbort, L"Abort", 9005},
    {kRetry, L"Retry", 9004},
    {kIgnore, L"Ignore", 9003},
    {kYes, L"Yes", 9007},
    {kNo, L"No", 9008},
    {kHelp, L"Help", 9006},
    {kTryAgain, L"Try again", 9015},
    {kContinue, L"Continue", 9009},
    {kSkip, L"Skip", 9018},
    {kSkipAll, L"Skip all", 9019},
    {kIgnoreAll, L"Ignore all", 9017},
    {kYesToAll, L"Yes to all", 9013},
    {kNoToAll, L"No to all", 9014},
    {kReport, L"Report", 9016},
    {kLess, L"<< More", 9011},
    {kMore, L"More >>", 9010},
    {kCheckboxLabel, L"Do not show again", 9012},
}};
constexpr BuiltInLabel kCaptionCountdown{kCaptionCountdownLabel, L"%s (%d seconds remaining)",
                                         9020};

constexpr int kIconCellPadding = 5;

// Replaces each table tag that would reach outside the message with an empty tag (which keeps
// the characters on either side from joining into a new tag) and returns how many of the
// message's own tables are still open at its end.
int DropEscapingTableTags(std::wstring& text) {
    const std::vector<html::TagSpan> spans = html::FindTagSpans(text);
    std::wstring kept;
    kept.reserve(text.size());
    std::size_t copied = 0;
    int open = 0;
    for (const html::TagSpan& span : spans) {
        bool escapes = false;
        if (span.tag == html::Tag::Table) {
            if (!span.closing)
                ++open;
            else if (open > 0)
                --open;
            else
                escapes = true;
        } else if (span.tag == html::Tag::Row || span.tag == html::Tag::Cell) {
            escapes = open == 0;
        }
        if (!escapes)
            continue;
        kept.append(text, copied, span.begin - copied);
        kept.append(L"<>");
        copied = span.end;
    }
    kept.append(std::wstring_view(text).substr(copied));
    text = std::move(kept);
    return open;
}

// A run of "<" at the very end is read in pairs; an odd one out would pair with the "<" of the
// markup that follows, so it gets its partner here.
void PairTrailingLessThan(std::wstring& text) {
    std::size_t run = 0;
    while (run < text.size() && text[text.size() - 1 - run] == L'<')
        ++run;
    if (run % 2 == 1)
        text.push_back(L'<');
}

// Text that ReplaceEntities turns back into `text`.
std::wstring EscapeAmpersands(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size());
    for (wchar_t c : text) {
        if (c == L'&')
            out.append(L"&amp;");
        else
            out.push_back(c);
    }
    return out;
}

} // namespace

std::wstring ResolveText(const TextContext& context, TextRef text) {
    if (text.id != 0)
        return context.resourcesAllowed && context.strings ? context.strings->Load(text.id)
                                                           : std::wstring();
    return std::wstring(text.text);
}

const BuiltInLabel* FindBuiltInLabel(int key) {
    if (key == kCaptionCountdownLabel)
        return &kCaptionCountdown;
    for (const BuiltInLabel& label : kBuiltInLabels)
        if (label.key == key)
            return &label;
    return nullptr;
}

std::wstring ResolveLabel(const TextContext& context, int key) {
    const BuiltInLabel* builtIn = FindBuiltInLabel(key);
    std::wstring label;
    if (key > 0 && context.overrides) {
        if (const auto found = context.overrides->find(key); found != context.overrides->end())
            label = ResolveText(context, found->second);
    }
    if (label.empty() && builtIn && context.resourcesAllowed && context.strings)
        label = context.strings->Load(builtIn->stringId);
    if (label.empty() && builtIn)
        label = builtIn->text;
    return label;
}

std::wstring CheckboxLabel(const TextContext& context, TextRef callerText) {
    std::wstring label = ResolveText(context, callerText);
    return label.empty() ? ResolveLabel(context, kCheckboxLabel) : label;
}

std::wstring FormatCountdown(std::wstring_view format, std::wstring_view text, int number) {
    std::wstring out;
    bool textUsed = false;
    bool numberUsed = false;
    for (std::size_t i = 0; i < format.size(); ++i) {
        const wchar_t next = i + 1 < format.size() ? format[i + 1] : L'\0';
        if (format[i] == L'%' && next == L'%') {
            out.push_back(L'%');
            ++i;
        } else if (format[i] == L'%' && next == L's' && !textUsed) {
            out.append(text);
            textUsed = true;
            ++i;
        } else if (format[i] == L'%' && next == L'd' && !numberUsed) {
            out.append(std::to_wstring(number));
            numberUsed = true;
            ++i;
        } else {
            out.push_back(format[i]);
        }
    }
    return out;
}

std::wstring ChooseCaption(std::wstring caption, std::wstring ownerTitle) {
    if (!caption.empty())
        return caption;
    if (!ownerTitle.empty())
        return ownerTitle;
    return L"Error";
}

std::wstring ContainTableMarkup(std::wstring_view message) {
    std::wstring text = html::ReplaceEntities(message);
    const int open = DropEscapingTableTags(text);
    PairTrailingLessThan(text);
    for (int i = 0; i < open; ++i)
        text.append(L"</table>");
    return EscapeAmpersands(text);
}

std::wstring WrapMessage(std::wstring_view message, bool rightAligned, std::uintptr_t iconHandle,
                         int iconWidth) {
    if (!rightAligned && iconHandle == 0)
        return std::wstring(message);
    std::wstring text = ContainTableMarkup(message);
    if (rightAligned)
        text = L"<right>" + text + L"</right>";
    if (iconHandle == 0)
        return text;
    wchar_t head[128];
    std::swprintf(head, 128,
                  L"<table cellpadding=%d><tr><td width=%d><icon handle=0x%llX></td><td>",
                  kIconCellPadding, iconWidth, static_cast<unsigned long long>(iconHandle));
    return head + text + L"</td></tr></table>";
}

std::wstring HelpFilePath(std::wstring_view programPath) {
    const std::size_t name = programPath.find_last_of(L"\\/");
    const std::size_t dot = programPath.rfind(L'.');
    const bool hasExtension =
        dot != std::wstring_view::npos && (name == std::wstring_view::npos || dot > name);
    return std::wstring(programPath.substr(0, hasExtension ? dot : programPath.size())) + L".hlp";
}

} // namespace dp::richbox
