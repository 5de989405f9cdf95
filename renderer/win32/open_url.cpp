#include "renderer/win32/open_url.h"

#include "framework/win32/handles.h"
#include "renderer/open_url.h"

#include <shellapi.h>

#include <optional>
#include <string>

namespace dp {
namespace {

// The default value of a key under HKEY_CLASSES_ROOT; nothing when the key or value is missing,
// is not a string, or is longer than kMaxRegisteredCommand characters.
std::optional<std::wstring> ReadClassesRootDefault(const std::wstring& subKey) {
    UniqueRegKey key;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, subKey.c_str(), 0, KEY_QUERY_VALUE, key.put()) !=
        ERROR_SUCCESS)
        return std::nullopt;
    wchar_t buffer[kMaxRegisteredCommand + 1] = {};
    DWORD type = 0;
    DWORD bytes = sizeof(buffer);
    if (::RegQueryValueExW(key.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                           &bytes) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::nullopt;
    std::wstring value(buffer,
                       std::min<std::size_t>(bytes / sizeof(wchar_t), kMaxRegisteredCommand));
    value.resize(std::wcslen(value.c_str()));
    return value;
}

// The line in the system's ANSI code page; nothing when a character would not survive.
std::optional<std::string> ToAnsi(const std::wstring& line) {
    BOOL lossy = FALSE;
    const int size =
        ::WideCharToMultiByte(CP_ACP, 0, line.c_str(), -1, nullptr, 0, nullptr, &lossy);
    if (size <= 0 || lossy)
        return std::nullopt;
    std::string ansi(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, line.c_str(), -1, ansi.data(), size, nullptr, &lossy);
    ansi.resize(static_cast<std::size_t>(size) - 1);
    return ansi;
}

} // namespace

INT_PTR OpenUrl(const std::wstring& address, int showCommand) {
    const auto shell = reinterpret_cast<INT_PTR>(
        ::ShellExecuteW(nullptr, L"open", address.c_str(), nullptr, nullptr, showCommand));
    if (shell > 32)
        return shell;
    const std::optional<std::wstring> fileClass = ReadClassesRootDefault(L".htm");
    if (!fileClass || fileClass->empty())
        return shell;
    const std::optional<std::wstring> command =
        ReadClassesRootDefault(*fileClass + L"\\shell\\open\\command");
    if (!command)
        return shell;
    const std::optional<std::wstring> line = BrowserCommandLine(*command, address);
    const std::optional<std::string> ansi = line ? ToAnsi(*line) : std::nullopt;
    if (!ansi)
        return shell;
    return static_cast<INT_PTR>(::WinExec(ansi->c_str(), static_cast<UINT>(showCommand)));
}

} // namespace dp
