// The texts of the About dialog that the program forms itself, and the version record it reads
// from its own file.
#pragma once

#include <cstdint>
#include <string>

namespace dp {

// The string values of a version resource, named after their keys.
struct VersionInfo {
    std::wstring Comments;
    std::wstring InternalName;
    std::wstring ProductName;
    std::wstring CompanyName;
    std::wstring LegalCopyright;
    std::wstring FileDescription;
    std::wstring FileVersion;
    std::wstring PrivateBuild;
    std::wstring OriginalFilename;
    std::wstring ProductVersion;
};

// Each field with its key, in the order they are read.
struct VersionField {
    const wchar_t* key;
    std::wstring VersionInfo::*field;
};
inline constexpr VersionField kVersionFields[] = {
    {L"Comments", &VersionInfo::Comments},
    {L"InternalName", &VersionInfo::InternalName},
    {L"ProductName", &VersionInfo::ProductName},
    {L"CompanyName", &VersionInfo::CompanyName},
    {L"LegalCopyright", &VersionInfo::LegalCopyright},
    {L"ProductVersion", &VersionInfo::ProductVersion},
    {L"FileDescription", &VersionInfo::FileDescription},
    {L"FileVersion", &VersionInfo::FileVersion},
    {L"PrivateBuild", &VersionInfo::PrivateBuild},
    {L"OriginalFilename", &VersionInfo::OriginalFilename},
};

// "\StringFileInfo\<language><code page>\<key>", both numbers as four lower-case hex digits.
std::wstring VersionStringPath(std::uint16_t language, std::uint16_t codePage, const wchar_t* key);

// "<name>  Version <version>" (two blanks after the name).
std::wstring VersionLine(const std::wstring& appName, const std::wstring& version);

// The vendor's copyright line: "2010" alone up to the first year, "2010-<year>" after it.
std::wstring CopyrightLine(int currentYear);

// The localised word for "About", a blank, the application name.
std::wstring AboutCaption(const std::wstring& aboutWord, const std::wstring& appName);

} // namespace dp
