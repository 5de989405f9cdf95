#include "settings/win32/win32_stores.h"

#include <vector>

namespace dp {

std::wstring Win32IniStore::ReadString(const std::wstring& file, const std::wstring& section,
                                       const std::wstring& key, const std::wstring& defaultValue,
                                       std::size_t bufferChars) {
    // An empty name would make the platform fall back to WIN.INI: it names no file here.
    if (file.empty() || bufferChars == 0)
        return defaultValue.substr(0, bufferChars ? bufferChars - 1 : 0);
    std::vector<wchar_t> buffer(bufferChars, L'\0');
    DWORD copied =
        ::GetPrivateProfileStringW(section.c_str(), key.c_str(), defaultValue.c_str(),
                                   buffer.data(), static_cast<DWORD>(buffer.size()), file.c_str());
    return std::wstring(buffer.data(), std::min<std::size_t>(copied, bufferChars - 1));
}

bool Win32IniStore::WriteString(const std::wstring& file, const std::wstring& section,
                                const std::wstring& key, const std::wstring& value) {
    if (file.empty())
        return false;
    return ::WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(),
                                        file.c_str()) != FALSE;
}

bool Win32IniStore::Exists(const std::wstring& path) {
    return !path.empty() && ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

ProgramLocation CurrentProgramLocation(const std::wstring& appName) {
    ProgramLocation location;
    location.programPath = ProgramFilePath();
    DWORD needed = ::GetCurrentDirectoryW(0, nullptr);
    if (needed > 0) {
        std::vector<wchar_t> directory(needed, L'\0');
        DWORD got = ::GetCurrentDirectoryW(needed, directory.data());
        if (got > 0 && got < needed)
            location.currentDirectory.assign(directory.data(), got);
    }
    location.appName = appName;
    return location;
}

} // namespace dp
