// Runs the current test at another screen resolution. A process takes the system resolution
// when it starts (Wine reads "LogPixels" under HKCU\Control Panel\Desktop then; Windows fixes
// it at sign-in), so a test that wants 144 dpi in a 96-dpi prefix runs again in a child process
// started with LogPixels set to 144, and the value is put back once the child has ended:
//
//     TEST_P(DialogGoldenTest, About) {      // instantiated with 96 and 144
//         if (test::RunAtDpi(GetParam()))
//             return;                         // the child ran the body; its result is ours
//         ...                                 // here the process is at GetParam() dpi
//     }
//
// The child is this program with --gtest_filter naming the test; its output goes where ours
// goes, and it writes no XML report of its own (the parent's covers the test).
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cwchar>
#include <optional>
#include <string>
#include <vector>

#include "framework/win32/handles.h"

namespace dp::test {

inline constexpr wchar_t kDesktopKey[] = L"Control Panel\\Desktop";
inline constexpr wchar_t kLogPixels[] = L"LogPixels";
inline constexpr DWORD kChildTimeoutMs = 240000;
// Set in the child's environment: a child never starts another.
inline constexpr wchar_t kChildMarker[] = L"DP_TEST_DPI_CHILD=1";

inline int CurrentDpi() {
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    return dpi;
}

// Sets LogPixels for the processes started while it lives; the old value (or none) comes back.
class LogPixelsOverride {
public:
    explicit LogPixelsOverride(int dpi) {
        if (::RegCreateKeyExW(HKEY_CURRENT_USER, kDesktopKey, 0, nullptr, 0,
                              KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, key_.put(),
                              nullptr) != ERROR_SUCCESS)
            return;
        DWORD old = 0, size = sizeof(old), type = 0;
        if (::RegQueryValueExW(key_.get(), kLogPixels, nullptr, &type,
                               reinterpret_cast<BYTE*>(&old), &size) == ERROR_SUCCESS &&
            type == REG_DWORD)
            old_ = old;
        const DWORD value = static_cast<DWORD>(dpi);
        set_ =
            ::RegSetValueExW(key_.get(), kLogPixels, 0, REG_DWORD,
                             reinterpret_cast<const BYTE*>(&value), sizeof(value)) == ERROR_SUCCESS;
    }
    ~LogPixelsOverride() {
        if (!set_)
            return;
        if (old_)
            ::RegSetValueExW(key_.get(), kLogPixels, 0, REG_DWORD,
                             reinterpret_cast<const BYTE*>(&*old_), sizeof(*old_));
        else
            ::RegDeleteValueW(key_.get(), kLogPixels);
    }
    LogPixelsOverride(const LogPixelsOverride&) = delete;
    LogPixelsOverride& operator=(const LogPixelsOverride&) = delete;
    bool ok() const { return set_; }

private:
    UniqueRegKey key_;
    std::optional<DWORD> old_;
    bool set_ = false;
};

// Our environment without the XML report setting: the child must not overwrite our report.
inline std::vector<wchar_t> ChildEnvironment() {
    std::vector<wchar_t> block;
    wchar_t* strings = ::GetEnvironmentStringsW();
    if (!strings)
        return block;
    for (const wchar_t* entry = strings; *entry; entry += std::wcslen(entry) + 1) {
        if (_wcsnicmp(entry, L"GTEST_OUTPUT=", 13) == 0)
            continue;
        block.insert(block.end(), entry, entry + std::wcslen(entry) + 1);
    }
    ::FreeEnvironmentStringsW(strings);
    block.insert(block.end(), kChildMarker, kChildMarker + std::wcslen(kChildMarker) + 1);
    block.push_back(L'\0');
    return block;
}

inline std::string CurrentTestName() {
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    return std::string(info->test_suite_name()) + "." + info->name();
}

// True when the test ran in a child process (the caller returns at once); false when this
// process is at `dpi` already and the caller goes on with the test itself.
inline bool RunAtDpi(int dpi) {
    if (CurrentDpi() == dpi)
        return false;
    if (std::getenv("DP_TEST_DPI_CHILD")) {
        ADD_FAILURE() << "started for " << dpi << " dpi, running at " << CurrentDpi();
        return true;
    }
    LogPixelsOverride override(dpi);
    if (!override.ok()) {
        ADD_FAILURE() << "cannot set LogPixels to " << dpi;
        return true;
    }
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::string filter = CurrentTestName();
    std::wstring command = L"\"" + std::wstring(self) + L"\" --gtest_filter=" +
                           std::wstring(filter.begin(), filter.end());
    std::vector<wchar_t> environment = ChildEnvironment();
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    ProcessInformation process;
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE,
                          CREATE_UNICODE_ENVIRONMENT, environment.data(), nullptr, &startup,
                          process.put())) {
        ADD_FAILURE() << "cannot start the " << dpi << "-dpi run: " << ::GetLastError();
        return true;
    }
    if (::WaitForSingleObject(process.get().hProcess, kChildTimeoutMs) != WAIT_OBJECT_0) {
        ::TerminateProcess(process.get().hProcess, 3);
        ADD_FAILURE() << "the " << dpi << "-dpi run did not end";
        return true;
    }
    DWORD code = 1;
    ::GetExitCodeProcess(process.get().hProcess, &code);
    EXPECT_EQ(code, 0u) << "the " << dpi << "-dpi run failed (its output is above)";
    return true;
}

// A golden image's name at a resolution: today's name at 96 dpi, "<name>_<dpi>dpi" otherwise.
inline std::string GoldenName(const std::string& name, int dpi) {
    return dpi == 96 ? name : name + "_" + std::to_string(dpi) + "dpi";
}

} // namespace dp::test
