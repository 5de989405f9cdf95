// The process surroundings the update worker reads and starts: the temporary folder, the
// setup process and the downloaded update INI.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "updater/update_ini.h"
#include "updater/update_worker.h"

namespace dp {

class Win32UpdateSystem : public UpdateSystem {
public:
    std::optional<std::wstring> ExpandTempFolder() override;
    bool StartProcess(std::wstring_view commandLine) override;
    std::unique_ptr<WriteGuard> GuardAgainstWriters(std::wstring_view path) override;
    void RemoveFile(std::wstring_view path) override;
};

// INI values through GetPrivateProfileStringW.
class ProfileIniReader : public IniReader {
public:
    std::wstring ReadString(std::wstring_view file, std::wstring_view section,
                            std::wstring_view key, std::wstring_view defaultValue,
                            std::size_t bufferChars) override;
};

} // namespace dp
