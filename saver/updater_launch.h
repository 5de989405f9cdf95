// Starting Renewick, the updater: where its program is looked for and the command line it gets.
#pragma once

#include <cstdint>
#include <string>

namespace dp {

inline constexpr wchar_t kUpdaterProgram[] = L"Renewick";
inline constexpr wchar_t kUpdaterFileName[] = L"Renewick.exe";

struct UpdaterRequest {
    std::wstring productId;
    std::wstring productName;
    std::wstring installedVersion;
    std::wstring updateUrl;
    bool addH = false;              // " /H"
    bool addC = false;              // " /C": the updater's settings instead of the update check
    std::uintptr_t ownerWindow = 0; // " /W<hex>" when not 0
};

// "/i<id> /n<name> /v<version>  /l"<url>"" (two blanks before /l), then " /H", " /C" and
// " /W<handle in lower-case hex>" as requested.
std::wstring UpdaterParameters(const UpdaterRequest& request);

class UpdaterFiles {
public:
    virtual ~UpdaterFiles() = default;
    virtual bool Exists(const std::wstring& path) = 0;
    // The folder Renewick's own installation recorded; empty when there is none.
    virtual std::wstring UpdaterSetupPath() = 0;
};

// The updater to start: the one in the install folder, else the one in the folder its own
// installation recorded (looked up only when the first is missing); empty when neither exists.
std::wstring FindUpdater(const std::wstring& installFolder, UpdaterFiles& files);

} // namespace dp
