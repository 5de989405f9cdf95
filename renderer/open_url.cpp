#include "renderer/open_url.h"

#include <algorithm>
#include <iterator>

namespace dp {
namespace {

struct OpenErrorText {
    long long code;
    const wchar_t* text;
};

// The texts are the product's own wording, line breaks and the blank after "violation" included.
constexpr OpenErrorText kOpenErrorTexts[] = {
    {0, L"The operating system is out\nof memory or resources."},
    {2, L"The specified file was not found."},
    {3, L"The specified path was not found."},
    {5, L"The operating system denied\naccess to the specified file."},
    {8, L"There was not enough memory to complete the operation."},
    {11, L"The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image)."},
    {26, L"A sharing violation occurred. "},
    {27, L"The filename association is\nincomplete or invalid."},
    {28, L"The DDE transaction could not\nbe completed because the request timed out."},
    {29, L"The DDE transaction failed."},
    {30, L"The DDE transaction could not\nbe completed because other DDE transactions\nwere "
         L"being processed."},
    {31, L"There is no application associated\nwith the given filename extension."},
    {32, L"The specified dynamic-link library was not found."},
};

} // namespace

std::wstring OpenErrorMessage(long long code) {
    std::wstring message = L"Unable to open hyperlink:\n\n";
    const auto* found = std::find_if(std::begin(kOpenErrorTexts), std::end(kOpenErrorTexts),
                                     [code](const OpenErrorText& row) { return row.code == code; });
    if (found != std::end(kOpenErrorTexts))
        return message + found->text;
    return message + L"Unknown Error (" + std::to_wstring(code) + L") occurred.";
}

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
