// The standard screen-saver command line: one switch letter, sometimes a window handle.
#pragma once

#include <cstdint>
#include <string_view>

namespace dp {

enum class SaverMode : std::int32_t {
    Invalid = 0,
    Configure = 1,
    ChangePassword = 2,
    Preview = 3,
    StartSaver = 4,
    Install = 5,
    Restore = 6,
    RunSaver = 7,
};

struct SaverCommand {
    SaverMode mode = SaverMode::Configure;
    std::uint64_t handle = 0;             // window handle as a number; 0 when the mode takes none
    bool ownerIsForegroundWindow = false; // "/c" alone: the caller supplies the foreground window
};

// Parses the whole process command line, program name included.
SaverCommand ParseSaverCommandLine(std::wstring_view commandLine);

} // namespace dp
