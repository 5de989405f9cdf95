// Starting the checked setup program and telling the user how that went. The setup is started
// through the shell, so that Windows can ask for the administrator rights its manifest
// requires; the setup replaces Renewick.exe itself, so the wait for its end is handed to a copy
// of Renewick in the download folder (a watcher), and this process ends at once.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace dp {

// Platform error codes the shell answers with.
inline constexpr std::uint32_t kErrorFileNotFound = 2;
inline constexpr std::uint32_t kErrorFilenameTooLong = 206; // ERROR_FILENAME_EXCED_RANGE
inline constexpr std::uint32_t kErrorElevationRequired = 740;
inline constexpr std::uint32_t kErrorCancelled = 1223; // the user said No at the prompt

// What the shell is asked to start: the program, its parameters, the folder it runs in.
struct SetupRequest {
    std::wstring program;
    std::wstring parameters;
    std::wstring folder;
};

// A setup process that runs; the platform keeps its handle.
class StartedSetup {
public:
    virtual ~StartedSetup() = default;
};

struct SetupStartAnswer {
    std::unique_ptr<StartedSetup> process; // null: not started, see error
    std::uint32_t error = 0;
};

// What the watcher needs to tell the user about the end of the setup.
struct SetupWatch {
    std::wstring productName;
    std::wstring offeredVersion;
    std::wstring folder; // where the watcher's copy of Renewick goes
};

// The box shown when the setup did not start; error is what the shell answered.
std::wstring SetupNotStartedMessage(std::uint32_t error, std::wstring_view offeredVersion);
// The box shown when the setup started but nobody can wait for its end.
std::wstring SetupNotWatchedMessage(std::wstring_view offeredVersion);
// The watcher's box once the setup has ended with exitCode.
std::wstring SetupEndedMessage(std::uint32_t exitCode, std::wstring_view productName,
                               std::wstring_view offeredVersion);

// The watcher's command line after its program path: the setup's process handle (inherited)
// in hexadecimal, the product name and the offered version.
std::wstring WatcherArguments(std::uintptr_t processHandle, std::wstring_view productName,
                              std::wstring_view offeredVersion);

} // namespace dp
