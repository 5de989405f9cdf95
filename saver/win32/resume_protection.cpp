#include "saver/win32/resume_protection.h"

#include "framework/win32/handles.h"
#include "framework/win32/system_files.h"

namespace dp {

namespace {

using VerifyScreenSavePwdFn = BOOL(WINAPI*)(HWND);
using PwdChangePasswordAFn = DWORD(WINAPI*)(LPCSTR, HWND, DWORD, DWORD);

bool IsNtFamily() {
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof(version);
    // A failed query leaves platform 0, taken as the other family: the check then passes
    // anyway wherever PASSWORD.CPL is absent, as it is on every NT system.
    ::GetVersionExW(&version);
    return version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

} // namespace

bool VerifyPassword(HWND saverWindow) {
    if (IsNtFamily())
        return true;
    UniqueModule library(LoadSystemLibrary(L"PASSWORD.CPL"));
    if (!library)
        return true;
    auto verify = BindEntry<VerifyScreenSavePwdFn>(library.get(), "VerifyScreenSavePwd");
    return verify ? verify(saverWindow) != FALSE : true;
}

void ChangeSaverPassword(HWND owner) {
    UniqueModule library(LoadSystemLibrary(L"MPR.DLL"));
    auto change = BindEntry<PwdChangePasswordAFn>(library.get(), "PwdChangePasswordA");
    if (change)
        change("SCRSAVE", owner, 0, 0);
}

bool RequestWorkstationLock() {
    return ::LockWorkStation() != FALSE;
}

} // namespace dp
