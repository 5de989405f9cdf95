// IniProfile: one INI file with a current section, read and written through an IniStore.
#pragma once

#include <cstdint>
#include <string>

#include "settings/key_value_store.h"

namespace dp {

// Where the program runs from; supplied by the platform layer.
struct ProgramLocation {
    std::wstring programPath;      // full path of the program file
    std::wstring currentDirectory; // the process's current directory
    std::wstring appName;          // the application name as the framework knows it
};

class IniProfile {
public:
    static constexpr std::size_t kValueBufferChars = 1024;

    // searchProgramFolder: the default file lies beside the program (true) or in the current
    // directory (false).
    IniProfile(IniStore& store, const ProgramLocation& location, bool searchProgramFolder);
    virtual ~IniProfile() = default;

    // A path without a drive is taken relative to the program's folder.
    void SetFile(const std::wstring& path);
    void SetSection(const std::wstring& section) { section_ = section; }
    const std::wstring& File() const { return file_; }
    const std::wstring& Section() const { return section_; }

    // A non-empty section becomes the current one.
    const std::wstring& GetString(const std::wstring& key, const std::wstring& section = {},
                                  const std::wstring& defaultValue = {});
    std::int32_t GetInt(const std::wstring& key, std::int32_t defaultValue,
                        const std::wstring& section = {});
    void WriteInt(const std::wstring& key, std::int32_t value, const std::wstring& section = {});

private:
    IniStore& store_;
    std::wstring programPath_;
    std::wstring value_;
    std::wstring file_;
    std::wstring section_;
};

} // namespace dp
