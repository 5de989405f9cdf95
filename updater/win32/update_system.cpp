#include "updater/win32/update_system.h"

#include <windows.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "framework/win32/handles.h"

namespace dp {

namespace {

// The folder "%temp%" names is read into a path-sized buffer: a longer one is not used.
constexpr DWORD kTempFolderChars = MAX_PATH;

// A read handle that shares reading only: while it is open no writer can open the file, and a
// writer that has it open already makes the guard fail.
class ReadOnlyShare final : public WriteGuard {
public:
    explicit ReadOnlyShare(UniqueFileHandle file) : file_(std::move(file)) {}

private:
    UniqueFileHandle file_;
};

} // namespace

std::optional<std::wstring> Win32UpdateSystem::ExpandTempFolder() {
    wchar_t folder[kTempFolderChars] = {};
    const DWORD needed = ::ExpandEnvironmentStringsW(L"%temp%", folder, kTempFolderChars);
    if (needed == 0 || needed > kTempFolderChars)
        return std::nullopt;
    return std::wstring(folder);
}

bool Win32UpdateSystem::StartProcess(std::wstring_view commandLine) {
    // CreateProcessW may write into the command line, so it gets a terminated copy of its own.
    std::vector<wchar_t> writable(commandLine.begin(), commandLine.end());
    writable.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    // The setup runs on its own; nobody waits for it, so both handles go at once.
    ProcessInformation process;
    return ::CreateProcessW(nullptr, writable.data(), nullptr, nullptr, FALSE,
                            NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup,
                            process.put()) != FALSE;
}

std::unique_ptr<WriteGuard> Win32UpdateSystem::GuardAgainstWriters(std::wstring_view path) {
    const std::wstring file(path);
    UniqueFileHandle handle(::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle)
        return nullptr;
    return std::make_unique<ReadOnlyShare>(std::move(handle));
}

void Win32UpdateSystem::RemoveFile(std::wstring_view path) {
    const std::wstring file(path);
    ::DeleteFileW(file.c_str());
}

std::wstring ProfileIniReader::ReadString(std::wstring_view file, std::wstring_view section,
                                          std::wstring_view key, std::wstring_view defaultValue,
                                          std::size_t bufferChars) {
    if (bufferChars == 0)
        return std::wstring();
    const std::wstring path(file), sectionName(section), keyName(key), fallback(defaultValue);
    std::vector<wchar_t> value(bufferChars, L'\0');
    const DWORD length =
        ::GetPrivateProfileStringW(sectionName.c_str(), keyName.c_str(), fallback.c_str(),
                                   value.data(), static_cast<DWORD>(value.size()), path.c_str());
    return std::wstring(value.data(), std::min<std::size_t>(length, value.size() - 1));
}

} // namespace dp
