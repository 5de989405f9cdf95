#include "saver/win32/updater_launch_win32.h"

#include <shellapi.h>

#include "framework/win32/handles.h"
#include "settings/setup_path.h"
#include "settings/win32/setup_path_win32.h"

namespace dp {
namespace {

class Win32UpdaterFiles : public UpdaterFiles {
public:
    bool Exists(const std::wstring& path) override {
        return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    std::wstring UpdaterSetupPath() override {
        return ReadMachineSetupPath(VendorKeyPath(kUpdaterProgram));
    }
};

} // namespace

bool StartUpdater(const std::wstring& installFolder, UpdaterRequest request, HWND owner) {
    Win32UpdaterFiles files;
    const std::wstring updater = FindUpdater(installFolder, files);
    if (updater.empty())
        return false;
    request.ownerWindow = reinterpret_cast<std::uintptr_t>(owner);
    const std::wstring parameters = UpdaterParameters(request);
    SHELLEXECUTEINFOW execute{};
    execute.cbSize = sizeof(execute);
    execute.fMask = SEE_MASK_NOCLOSEPROCESS;
    execute.hwnd = owner;
    execute.lpFile = updater.c_str();
    execute.lpParameters = parameters.c_str();
    execute.nShow = SW_HIDE;
    // The updater reports its own troubles; a start that fails has nobody to tell.
    ::ShellExecuteExW(&execute);
    // Asked for so that the caller can wait; closed whether or not it waits.
    const UniqueHandle process(execute.hProcess);
    if (owner && process)
        ::WaitForSingleObject(process.get(), INFINITE);
    return true;
}

} // namespace dp
