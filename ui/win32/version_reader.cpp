#include "ui/win32/version_reader.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "framework/win32/application.h"

namespace dp {
namespace {

struct Translation {
    WORD language;
    WORD codePage;
};

// The text of one value; nothing found gives false. The length VerQueryValueW reports counts
// characters, the terminator included when there is one; nothing past it is read.
bool QueryString(const std::vector<BYTE>& block, const std::wstring& path, std::wstring& text) {
    void* value = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(block.data(), path.c_str(), &value, &length) || !value)
        return false;
    const auto* chars = static_cast<const wchar_t*>(value);
    text.assign(chars, wcsnlen(chars, length));
    return true;
}

} // namespace

bool ReadVersionInfo(VersionInfo& info) {
    const std::wstring path = ProgramFilePath();
    return !path.empty() && ReadVersionInfoOf(path, info);
}

bool ReadVersionInfoOf(const std::wstring& path, VersionInfo& info) {
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0)
        return false;
    // Twice the size: the ANSI entries convert into the block's second half on old systems.
    std::vector<BYTE> block(static_cast<std::size_t>(size) * 2);
    if (!::GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(block.size()), block.data()))
        return false;
    void* value = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &value, &length) || !value ||
        length < sizeof(Translation))
        return false;
    Translation translation{};
    std::memcpy(&translation, value, sizeof(translation));
    for (const VersionField& field : kVersionFields) {
        const std::wstring valuePath =
            VersionStringPath(translation.language, translation.codePage, field.key);
        QueryString(block, valuePath, info.*field.field);
    }
    return true;
}

} // namespace dp
