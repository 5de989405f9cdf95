// Resume protection against Wine, which is an NT-family system without a lock screen: the
// in-process password check must not even load the Windows 95 library, and the lock request
// fails with 120 (so the saver must not wait for a locked desktop there). The password change
// without the system's entry is run end to end (Duskpanel.scr /a ends quietly).
#include "saver/win32/resume_protection.h"

#include <gtest/gtest.h>

namespace dp {
namespace {

TEST(ResumeProtectionTest, NtFamilyPassesWithoutLoadingThePasswordLibrary) {
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof(version);
    ASSERT_TRUE(::GetVersionExW(&version));
    ASSERT_EQ(version.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
    EXPECT_TRUE(VerifyPassword(nullptr));
    EXPECT_EQ(::GetModuleHandleW(L"PASSWORD.CPL"), nullptr);
}

TEST(ResumeProtectionTest, LockRequestFailsUnderWine) {
    ::SetLastError(0);
    EXPECT_FALSE(RequestWorkstationLock());
    EXPECT_EQ(::GetLastError(), 120u);
}

} // namespace
} // namespace dp
