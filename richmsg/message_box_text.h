// The rich message box's texts: text fields that are a string or a string-resource ID, the
// built-in button labels and the order in which a label is looked for, the countdown texts,
// and the markup the message is wrapped in.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace dp::richbox {

// A text field: nothing, a string-resource ID (1-0xFFFF), or a string.
struct TextRef {
    unsigned id = 0;
    std::wstring_view text;

    static TextRef Id(unsigned id) { return {id, {}}; }
    static TextRef Text(std::wstring_view text) { return {0, text}; }
};

// String resources of the box's resource module; Load gives "" for a missing string.
class StringSource {
public:
    virtual ~StringSource() = default;
    virtual std::wstring Load(unsigned id) = 0;
};

// A string resource is read into this many characters.
inline constexpr std::size_t kMaxResourceText = 260;

struct TextContext {
    StringSource* strings = nullptr;
    bool resourcesAllowed = true;                      // false with RMB_NORESOURCE
    const std::map<int, TextRef>* overrides = nullptr; // per-box labels by button ID
};

// Empty for nothing or an empty string; an ID is loaded unless resources are not allowed.
std::wstring ResolveText(const TextContext& context, TextRef text);

// The labels the box knows, by button ID, plus these two that belong to no button.
inline constexpr int kCheckboxLabel = -1;
inline constexpr int kCaptionCountdownLabel = -2;

struct BuiltInLabel {
    int key;
    const wchar_t* text;
    unsigned stringId;
};
// Null for an unknown key.
const BuiltInLabel* FindBuiltInLabel(int key);

// A label: the per-box label of that button, else the string resource of the table (when
// resources are allowed), else the built-in text.
std::wstring ResolveLabel(const TextContext& context, int key);

// The check box's label: the caller's text, else the label kCheckboxLabel.
std::wstring CheckboxLabel(const TextContext& context, TextRef callerText);

// "%s = %d" and the title's "%s (%d seconds remaining)" filled in. The format may come from a
// string resource, so it is never handed to printf: its first %s takes the text, its first %d
// the number, "%%" is a percent sign, and every other character stays as it is.
std::wstring FormatCountdown(std::wstring_view format, std::wstring_view text, int number);
inline constexpr std::wstring_view kButtonCountdownFormat = L"%s = %d";

// The window title: the caption, else the owner's title, else "Error".
std::wstring ChooseCaption(std::wstring caption, std::wstring ownerTitle);

// The message as the message renderer gets it: right-aligned with MB_RIGHT, and beside the icon
// in a two-cell table when there is one (iconHandle 0: none). Table tags of the message that
// would close or extend that table are left out and tables it leaves open are closed, so that
// all of its text stays in its cell.
std::wstring WrapMessage(std::wstring_view message, bool rightAligned, std::uintptr_t iconHandle,
                         int iconWidth);

// The message's own table markup kept inside it (see WrapMessage).
std::wstring ContainTableMarkup(std::wstring_view message);

// The program's file with its extension replaced by ".hlp".
std::wstring HelpFilePath(std::wstring_view programPath);

} // namespace dp::richbox
