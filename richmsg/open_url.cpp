#include "richmsg/open_url.h"

#include <algorithm>

namespace dp {

std::optional<std::wstring> BrowserCommandLine(std::wstring_view registeredCommand,
                                               std::wstring_view address) {
    const bool unsafe = std::any_of(address.begin(), address.end(),
                                    [](wchar_t c) { return c == L'"' || c < 0x20 || c == 0x7F; });
    if (address.empty() || unsafe || registeredCommand.size() > kMaxRegisteredCommand)
        return std::nullopt;
    std::size_t cut = registeredCommand.find(L"\"%1\"");
    if (cut == std::wstring_view::npos)
        cut = registeredCommand.find(L"%1");
    std::wstring line(registeredCommand.substr(0, cut));
    line += L' ';
    if (address.find(L' ') != std::wstring_view::npos)
        line.append(L"\"").append(address).append(L"\"");
    else
        line.append(address);
    if (line.size() > kMaxBrowserCommandLine)
        return std::nullopt;
    return line;
}

} // namespace dp
