// Localised texts: section "message_string" of the user's language file, with built-in English.
#pragma once

#include <string>

#include "settings/key_value_store.h"

namespace dp {

inline constexpr std::size_t kMessageBufferChars = 1000;

// A text the dialogs look up: its key in the language file and its built-in English wording.
struct MessageText {
    const wchar_t* key;
    const wchar_t* builtIn;
};
inline constexpr MessageText kAboutText{L"About", L"About"};
inline constexpr MessageText kCheckForUpdatesText{L"Check_for_updates", L"Check for updates"};
inline constexpr MessageText kOkText{L"IDOK", L"OK"};
inline constexpr MessageText kNothingSupportText{
    L"nothing_support", L"Sorry! Your LCD monitor does not support control LCD backlight , this "
                        L"screensaver is not suitable for your computer!"};
inline constexpr MessageText kPrevBrightnessText{
    L"prev_brightness", L"Stop preview. Reverting to previous brightness."};
// Every text looked up: each shipped language file carries all of them.
inline constexpr MessageText kMessageTexts[] = {kAboutText, kCheckForUpdatesText, kOkText,
                                                kNothingSupportText, kPrevBrightnessText};

// Reads key (built-in text as the default, at most 999 characters) and turns every
// backslash-n into a line feed; the file is read again on every call.
std::wstring LookupMessage(IniStore& ini, const std::wstring& languageFile, const std::wstring& key,
                           const std::wstring& builtIn);
inline std::wstring LookupMessage(IniStore& ini, const std::wstring& languageFile,
                                  const MessageText& text) {
    return LookupMessage(ini, languageFile, text.key, text.builtIn);
}

} // namespace dp
