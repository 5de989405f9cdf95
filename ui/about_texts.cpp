#include "ui/about_texts.h"

#include <cwchar>

namespace dp {
namespace {

constexpr int kFirstYear = 2010;

} // namespace

std::wstring VersionStringPath(std::uint16_t language, std::uint16_t codePage, const wchar_t* key) {
    wchar_t block[9] = {};
    std::swprintf(block, 9, L"%04x%04x", static_cast<unsigned>(language),
                  static_cast<unsigned>(codePage));
    return std::wstring(L"\\StringFileInfo\\") + block + L"\\" + key;
}

std::wstring VersionLine(const std::wstring& appName, const std::wstring& version) {
    return appName + L"  Version " + version;
}

std::wstring CopyrightLine(int currentYear) {
    // A clock set before the first year would give a range that runs backwards.
    std::wstring years = std::to_wstring(kFirstYear);
    if (currentYear > kFirstYear)
        years += L"-" + std::to_wstring(currentYear);
    return L"Copyright (C) " + years + L" Nerovane";
}

std::wstring AboutCaption(const std::wstring& aboutWord, const std::wstring& appName) {
    return aboutWord + L" " + appName;
}

} // namespace dp
