// The command line that opens an address with the browser registered for ".htm", for when the
// shell cannot open the address itself. Shared by the HTML renderer's links and the hyperlink
// control; renderer/win32/open_url.h runs it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace dp {

// Bounds of the registry value read and of the command line formed.
inline constexpr std::size_t kMaxRegisteredCommand = 259;
inline constexpr std::size_t kMaxBrowserCommandLine = 519;

// From the registered open command: cut at the quoted placeholder "\"%1\"", else at "%1" (a
// command without a placeholder is kept whole), then one blank and the address. An address
// with a blank is quoted; nothing is returned for an empty address, one with a double quote or
// a control character (it could not be passed as one argument), or a result longer than
// kMaxBrowserCommandLine.
std::optional<std::wstring> BrowserCommandLine(std::wstring_view registeredCommand,
                                               std::wstring_view address);

// What the user is told when an address could not be opened: "Unable to open hyperlink:",
// an empty line, then the meaning of the failure code (ShellExecuteW's SE_ERR_* and the like,
// or WinExec's), "Unknown Error (<code>) occurred." for a code without one.
std::wstring OpenErrorMessage(long long code);

} // namespace dp
