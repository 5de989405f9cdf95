#include "settings/localisation.h"

#include "settings/ini_text.h"
#include "settings/path_forming.h"

namespace dp {

std::wstring LookupMessage(IniStore& ini, const std::wstring& languageFile, const std::wstring& key,
                           const std::wstring& builtIn) {
    std::wstring text = languageFile.empty() ? builtIn
                                             : ini.ReadString(languageFile, L"message_string", key,
                                                              builtIn, kMessageBufferChars);
    return ExpandLineBreaks(TruncateText(std::move(text), kMessageBufferChars - 1));
}

} // namespace dp
