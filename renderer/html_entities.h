// Named character references of the dialect, replaced before the text is parsed.
#pragma once

#include <string>
#include <string_view>

namespace dp::html {

// Replaces "&amp;", "&lt;" (by "<<", which the tokenizer reads as one literal "<"), "&gt;",
// "&quot;", "&nbsp;" (a blank) and the eight named symbols. Anything else that starts with "&"
// stays as it is. Each entity is replaced once, left to right: "&amp;lt;" gives "&lt;".
std::wstring ReplaceEntities(std::wstring_view text);

} // namespace dp::html
