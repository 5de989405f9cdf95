// The per-user step's platform side under Wine, which runs everything as one account but serves
// the desktop's shell objects: the route Windows needs for another account (the desktop's shell
// starts Renewick, which starts the saver's step) runs here for real.
#include "saver/win32/user_step_win32.h"

#include "framework/win32/registry.h"

#include <shlobj.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace dp {
namespace {

std::wstring Folder() {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + L"DuskpanelTests-user-step";
}

std::wstring StandIn() {
    wchar_t self[MAX_PATH] = {};
    std::wstring path(self, ::GetModuleFileNameW(nullptr, self, MAX_PATH));
    path.replace(path.find_last_of(L'\\'), std::wstring::npos, L"\\..\\bin\\fake_setup.exe");
    return path;
}

TEST(UserStepWin32, UnderOneAccountTheDesktopsUserIsThisProcesss) {
    // Wine registers no shell window: the desktop window's process stands in. Were it missed,
    // every install would change nobody's screen saver.
    EXPECT_EQ(MakeWin32UserStepPlatform(Folder())->FindShellUser(), ShellUser::Same);
}

TEST(UserStepWin32, TheShellStartsTheRelayWithTheStepsArgumentsAndItsEndIsSeen) {
    const std::wstring folder = Folder();
    ::CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring relay = folder + L"\\Renewick.exe";
    ASSERT_TRUE(::CopyFileW(StandIn().c_str(), relay.c_str(), FALSE));
    ::DeleteFileW((relay + L".txt").c_str());

    const DWORD start = ::GetTickCount();
    const ShellRun run =
        MakeWin32UserStepPlatform(folder)->RunInShellSession({UserStepKind::Update, true});
    const DWORD took = ::GetTickCount() - start;

    std::ostringstream record;
    record << std::ifstream((relay + L".txt").c_str(), std::ios::binary).rdbuf();
    EXPECT_LT(took, 30000u) << "the waits are bounded";
    // Wine's desktop serves the shell objects too: the shell started the relay with the step's
    // own arguments, and its end and exit code were seen.
    EXPECT_EQ(run.outcome, ShellRun::Outcome::Ended);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_NE(record.str().find("Renewick.exe\" /~user-step update here"), std::string::npos)
        << record.str();
    ::DeleteFileW((relay + L".txt").c_str());
    ::DeleteFileW(relay.c_str());
    ::RemoveDirectoryW(folder.c_str());
}

// The installer's side when another account runs it: that side never reads or writes its own
// screen saver, and asks the real shell route to run the step. Renewick and the saver of this
// build do the rest in the desktop user's session (here the same account, whose settings the
// test then reads).
class AnotherAccount : public UserStepPlatform {
public:
    explicit AnotherAccount(std::wstring folder) : real_(MakeWin32UserStepPlatform(folder)) {}
    ShellUser FindShellUser() override { return ShellUser::Other; }
    bool DuskpanelIsTheSaver() override {
        ADD_FAILURE() << "read the installer's own screen saver";
        return true;
    }
    void SelectDuskpanel() override { ADD_FAILURE() << "changed the installer's own saver"; }
    void PutPreviousSaverBack() override { ADD_FAILURE() << "changed the installer's own saver"; }
    bool RemoveUserSettings() override {
        ADD_FAILURE() << "removed the installer's own settings";
        return true;
    }
    ShellRun RunInShellSession(const UserStepCommand& here) override {
        return real_->RunInShellSession(here);
    }

private:
    std::unique_ptr<UserStepPlatform> real_;
};

std::wstring DesktopSaver() {
    UniqueRegKey key =
        OpenRegistryKey(HKEY_CURRENT_USER, L"Control Panel\\Desktop", KEY_QUERY_VALUE, false);
    wchar_t value[MAX_PATH] = {};
    DWORD size = sizeof(value) - sizeof(wchar_t);
    if (!key || ::RegQueryValueExW(key.get(), L"SCRNSAVE.EXE", nullptr, nullptr,
                                   reinterpret_cast<BYTE*>(value), &size) != ERROR_SUCCESS)
        return L"";
    return value;
}

void SetDesktopSaver(const std::wstring& path) {
    UniqueRegKey key =
        OpenRegistryKey(HKEY_CURRENT_USER, L"Control Panel\\Desktop", KEY_SET_VALUE, true);
    ASSERT_TRUE(key);
    ASSERT_EQ(::RegSetValueExW(key.get(), L"SCRNSAVE.EXE", 0, REG_SZ,
                               reinterpret_cast<const BYTE*>(path.c_str()),
                               static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
}

// The build's Renewick.exe and Duskpanel.scr.
std::wstring ProgramFolder() {
    wchar_t full[MAX_PATH] = {};
    const std::wstring bin = StandIn().substr(0, StandIn().find_last_of(L'\\'));
    if (::GetFullPathNameW(bin.c_str(), MAX_PATH, full, nullptr) == 0)
        return L"";
    return full;
}

bool Exists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

TEST(UserStepWin32, AnotherAccountsStepRunsInTheDesktopUsersSessionThroughRenewick) {
    const std::wstring folder = ProgramFolder();
    ASSERT_FALSE(folder.empty());
    wchar_t shortSaver[MAX_PATH] = {};
    ASSERT_GT(::GetShortPathNameW((folder + L"\\Duskpanel.scr").c_str(), shortSaver, MAX_PATH), 0u);
    const std::wstring before = DesktopSaver();
    const std::wstring other = L"C:\\windows\\system32\\other.scr";
    SetDesktopSaver(other);

    struct Row {
        const char* name;
        UserStepKind kind;
        UserStepExit exit;
        std::wstring saver;
    };
    const Row rows[] = {
        {"update keeps the user's saver", UserStepKind::Update, UserStepExit::KeptUsersChoice,
         other},
        {"uninstall keeps it too", UserStepKind::Uninstall, UserStepExit::KeptUsersChoice, other},
        {"install selects Duskpanel", UserStepKind::Install, UserStepExit::Done, shortSaver},
        {"update selects it again", UserStepKind::Update, UserStepExit::Done, shortSaver},
        {"uninstall gives the user's saver back", UserStepKind::Uninstall, UserStepExit::Done,
         other},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        AnotherAccount platform(folder);
        EXPECT_EQ(RunUserStep({row.kind, false}, platform), row.exit);
        EXPECT_EQ(::CompareStringOrdinal(DesktopSaver().c_str(), -1, row.saver.c_str(), -1, TRUE),
                  CSTR_EQUAL);
    }
    // The prefix is shared with other tests: as it was, but for the backup the steps wrote.
    SetDesktopSaver(before);
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Nerovane\\Duskpanel\\restore_param");
}

// "Remove my settings" by the same route: the desktop user's profile key and the saver's file
// in that user's data folder go, and a value of another program under the vendor key keeps that
// key.
TEST(UserStepWin32, AnotherAccountsSettingsAreRemovedInTheDesktopUsersSession) {
    const std::wstring folder = ProgramFolder();
    ASSERT_FALSE(folder.empty());
    {
        UniqueRegKey key =
            OpenRegistryKey(HKEY_CURRENT_USER, L"Software\\Nerovane\\Duskpanel\\restore_param",
                            KEY_SET_VALUE, true);
        ASSERT_TRUE(key);
        UniqueRegKey vendor =
            OpenRegistryKey(HKEY_CURRENT_USER, L"Software\\Nerovane", KEY_SET_VALUE, true);
        ASSERT_TRUE(vendor);
        const DWORD one = 1;
        ASSERT_EQ(::RegSetValueExW(vendor.get(), L"test-other", 0, REG_DWORD,
                                   reinterpret_cast<const BYTE*>(&one), sizeof(one)),
                  ERROR_SUCCESS);
    }
    wchar_t appData[MAX_PATH] = {};
    ASSERT_TRUE(SUCCEEDED(
        ::SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData)));
    const std::wstring data = std::wstring(appData) + L"\\Nerovane\\Duskpanel";
    ::CreateDirectoryW((std::wstring(appData) + L"\\Nerovane").c_str(), nullptr);
    ::CreateDirectoryW(data.c_str(), nullptr);
    {
        UniqueFileHandle file(::CreateFileW((data + L"\\Param.ini").c_str(), GENERIC_WRITE, 0,
                                            nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                            nullptr));
        ASSERT_TRUE(file);
    }
    ASSERT_TRUE(Exists(data + L"\\Param.ini"));

    AnotherAccount platform(folder);
    EXPECT_EQ(RunUserStep({UserStepKind::RemoveSettings, false}, platform), UserStepExit::Done);
    EXPECT_FALSE(OpenRegistryKey(HKEY_CURRENT_USER, L"Software\\Nerovane\\Duskpanel",
                                 KEY_QUERY_VALUE, false));
    EXPECT_TRUE(OpenRegistryKey(HKEY_CURRENT_USER, L"Software\\Nerovane", KEY_QUERY_VALUE, false))
        << "another program's value keeps the vendor key";
    EXPECT_FALSE(Exists(data + L"\\Param.ini"));
    EXPECT_FALSE(Exists(data)) << "the folder, emptied, went too";

    // A second run finds nothing left and still completes.
    EXPECT_EQ(RunUserStep({UserStepKind::RemoveSettings, false}, platform), UserStepExit::Done);
    UniqueRegKey vendor =
        OpenRegistryKey(HKEY_CURRENT_USER, L"Software\\Nerovane", KEY_SET_VALUE, false);
    if (vendor)
        ::RegDeleteValueW(vendor.get(), L"test-other");
}

} // namespace
} // namespace dp
