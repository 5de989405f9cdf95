// The crash-safe record against the real registry: a record that cannot be written refuses the
// change it was to make safe, since a dim without it could outlive a killed process.
#include "brightness/win32/brightness_restore.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>

#include <functional>
#include <string>

#include "framework/win32/handles.h"
#include "tests/support/brightness_fakes.h"

namespace dp {
namespace {

const std::wstring kBase = L"Software\\DuskpanelTests\\BrightnessRestore";

// The record key exists and refuses every access (an empty access list).
bool LockRecordKey(const std::wstring& profile) {
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, (profile + L"\\restore_brightness").c_str(), 0,
                          nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    UniqueRegKey owned(key);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P", SDDL_REVISION_1,
                                                                &descriptor, nullptr))
        return false;
    UniqueLocal freed(descriptor);
    return ::RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor) == ERROR_SUCCESS;
}

struct RefusedRow {
    const char* name;
    std::wstring profile;
    std::function<bool(const std::wstring&)> prepare;
};

TEST(BrightnessRestore, AGuardWhoseRecordCannotBeWrittenRefusesTheChange) {
    const RefusedRow rows[] = {
        // Key names are limited to 255 characters: the record key cannot be made.
        {"name the registry refuses", kBase + L"\\" + std::wstring(300, L'x'),
         [](const std::wstring&) { return true; }},
        {"record key that refuses access", kBase + L"\\Locked", LockRecordKey},
    };
    for (const RefusedRow& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(row.prepare(row.profile));
        StartBrightnessRestore(row.profile);
        test::FakePlatform platform;
        platform.panel.levels = {0, 50, 100};
        BrightnessController controller(platform.Sources());
        ASSERT_TRUE(controller.IsBacklightMode());
        BrightnessChangeGuard guard(controller);
        EXPECT_FALSE(guard.AllowsChange());
        // A later guard of the same process tries again rather than relying on the first.
        BrightnessChangeGuard second(controller);
        EXPECT_FALSE(second.AllowsChange());
    }
}

TEST(BrightnessRestore, AControllerWithoutBacklightNeedsNoRecord) {
    StartBrightnessRestore(kBase + L"\\" + std::wstring(300, L'x'));
    test::FakePlatform platform;
    platform.panel.opens = false;
    BrightnessController controller(platform.Sources());
    ASSERT_FALSE(controller.IsBacklightMode());
    BrightnessChangeGuard guard(controller);
    EXPECT_TRUE(guard.AllowsChange());
}

} // namespace
} // namespace dp
