// Localised texts: section "message_string" of the user's language file, with built-in English.
#pragma once

#include <string>

#include "settings/key_value_store.h"

namespace dp {

inline constexpr std::size_t kMessageBufferChars = 1000;

// Reads key (built-in text as the default, at most 999 characters) and turns every
// backslash-n into a line feed; the file is read again on every call.
std::wstring LookupMessage(IniStore& ini, const std::wstring& languageFile, const std::wstring& key,
                           const std::wstring& builtIn);

} // namespace dp
