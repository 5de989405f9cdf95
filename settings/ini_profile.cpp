#include "settings/ini_profile.h"

#include "settings/ini_text.h"

namespace dp {
namespace {

std::wstring TrimTrailing(std::wstring text, wchar_t c) {
    while (!text.empty() && text.back() == c)
        text.pop_back();
    return text;
}

std::wstring DefaultFile(const ProgramLocation& location, bool searchProgramFolder) {
    SplitPath program = SplitFilePath(location.programPath);
    std::wstring name = program.baseName + L".ini";
    if (searchProgramFolder)
        return program.drive + program.folder + name;
    std::wstring folder = TrimTrailing(TrimTrailing(location.currentDirectory, L'\\'), L'/');
    return folder + L"\\" + name;
}

} // namespace

IniProfile::IniProfile(IniStore& store, const ProgramLocation& location, bool searchProgramFolder)
    : store_(store), programPath_(location.programPath),
      file_(DefaultFile(location, searchProgramFolder)), section_(location.appName) {}

void IniProfile::SetFile(const std::wstring& path) {
    // An empty path is a file that could not be named: keep it empty so nothing is read or
    // written, instead of landing on "<program folder>\".
    if (path.empty() || !SplitFilePath(path).drive.empty()) {
        file_ = path;
        return;
    }
    SplitPath program = SplitFilePath(programPath_);
    file_ = program.drive + program.folder + path;
}

const std::wstring& IniProfile::GetString(const std::wstring& key, const std::wstring& section,
                                          const std::wstring& defaultValue) {
    if (!section.empty())
        section_ = section;
    value_ = store_.ReadString(file_, section_, key, defaultValue, kValueBufferChars);
    if (value_.size() > kValueBufferChars - 1)
        value_.resize(kValueBufferChars - 1);
    return value_;
}

std::int32_t IniProfile::GetInt(const std::wstring& key, std::int32_t defaultValue,
                                const std::wstring& section) {
    return ParseLeadingInt(GetString(key, section, FormatInt(defaultValue))).value_or(defaultValue);
}

void IniProfile::WriteInt(const std::wstring& key, std::int32_t value,
                          const std::wstring& section) {
    if (!section.empty())
        section_ = section;
    store_.WriteString(file_, section_, key, FormatInt(value)); // failures are not examined
}

} // namespace dp
