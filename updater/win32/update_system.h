// The process surroundings the update worker reads and starts: the temporary folder, the
// setup process and the downloaded update INI.
#pragma once

#include <windows.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "updater/update_ini.h"
#include "updater/update_worker.h"

namespace dp {

// The update dialog's window owns the elevation prompt and the shell's own boxes.
class Win32UpdateSystem : public UpdateSystem {
public:
    explicit Win32UpdateSystem(HWND owner = nullptr) : owner_(owner) {}
    std::optional<std::wstring> ExpandTempFolder() override;
    SetupStartAnswer StartSetup(const SetupRequest& request) override;
    bool WatchSetup(StartedSetup& setup, const SetupWatch& watch) override;
    std::unique_ptr<WriteGuard> GuardAgainstWriters(std::wstring_view path) override;
    void RemoveFile(std::wstring_view path) override;
    std::optional<std::wstring> CreateDownloadFolder(std::wstring_view tempFolder) override;
    std::unique_ptr<HeldFile> HoldFile(std::wstring_view path) override;

private:
    HWND owner_;
};

// The watcher's side (Renewick started with /x): waits for the inherited setup process and
// tells the user how it ended. Returns at once when the handle is not a process's.
void ReportSetupEnd(const UpdaterCommandLine& commandLine);

// INI values through GetPrivateProfileStringW.
class ProfileIniReader : public IniReader {
public:
    std::wstring ReadString(std::wstring_view file, std::wstring_view section,
                            std::wstring_view key, std::wstring_view defaultValue,
                            std::size_t bufferChars) override;
};

} // namespace dp
