#include "framework/win32/system_files.h"

namespace dp {

std::wstring SystemFilePath(std::wstring_view name) {
    wchar_t folder[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return {};
    return std::wstring(folder, length) + L"\\" + std::wstring(name);
}

HMODULE LoadSystemLibrary(std::wstring_view name) {
    const std::wstring path = SystemFilePath(name);
    return path.empty() ? nullptr : ::LoadLibraryW(path.c_str());
}

} // namespace dp
