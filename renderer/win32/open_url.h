// Opens an address in the user's browser: ShellExecuteW "open", and when that fails the command
// registered for ".htm" (HKEY_CLASSES_ROOT) run with WinExec. Used by the HTML renderer's links
// and by the hyperlink control.
#pragma once

#include <windows.h>

#include <string>

namespace dp {

// The result is ShellExecuteW's (above 32 on success); when the shell fails and the registered
// browser could be started, WinExec's; when the fallback stops before WinExec (no registered
// browser, a value too long, an address that cannot be passed), the shell's result.
INT_PTR OpenUrl(const std::wstring& address, int showCommand);

} // namespace dp
