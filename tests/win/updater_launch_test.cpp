// Starting Renewick: the stand-in is fake_setup.exe copied as Renewick.exe, which writes the
// command line it got to "Renewick.exe.txt" beside itself and ends.
#include "saver/win32/updater_launch_win32.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "framework/win32/handles.h"
#include "framework/win32/registry.h"

namespace dp {
namespace {

constexpr wchar_t kUpdaterKey[] = L"Software\\Nerovane\\Renewick";

std::wstring TestFolder(const std::wstring& name) {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + L"DuskpanelTests-updater-" + name;
}

std::wstring StandIn() {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    folder.erase(folder.find_last_of(L'\\') + 1); // <build>\tests\ holds the test programs
    return folder + L"..\\bin\\fake_setup.exe";
}

std::string ReadFile(const std::wstring& path) {
    std::ifstream file(path.c_str(), std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return file ? text.str() : std::string();
}

std::string Narrow(const std::wstring& ascii) {
    return std::string(ascii.begin(), ascii.end());
}

// The command line the updater at path sees: its quoted path, a blank, the parameters.
std::string CommandLine(const std::wstring& path, const std::string& parameters) {
    std::string line = "\"";
    line += Narrow(path);
    line += "\" ";
    line += parameters;
    return line;
}

constexpr char kAboutParameters[] = "/iA /nDuskpanel /v2.0  /l\"http://127.0.0.1:9/update.ini\" /H";

// Waits for the stand-in's record (it is renamed into place whole).
std::string Record(const std::wstring& updater, DWORD timeoutMs = 20000) {
    const DWORD start = ::GetTickCount();
    while (::GetFileAttributesW((updater + L".txt").c_str()) == INVALID_FILE_ATTRIBUTES &&
           ::GetTickCount() - start < timeoutMs)
        ::Sleep(20);
    return ReadFile(updater + L".txt");
}

class UpdaterLaunchTest : public testing::Test {
protected:
    void SetUp() override {
        for (const wchar_t* name : {L"install", L"own", L"empty"})
            ::CreateDirectoryW(TestFolder(name).c_str(), nullptr);
        ClearRecords();
        ASSERT_TRUE(::CopyFileW(StandIn().c_str(), Updater(L"install").c_str(), FALSE));
        ASSERT_TRUE(::CopyFileW(StandIn().c_str(), Updater(L"own").c_str(), FALSE));
        request_ = UpdaterRequest{L"A", L"Duskpanel", L"2.0", L"http://127.0.0.1:9/update.ini",
                                  true, false,        0};
    }
    void TearDown() override { ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kUpdaterKey); }

    static void ClearRecords() {
        for (const wchar_t* name : {L"install", L"own"})
            ::DeleteFileW((Updater(name) + L".txt").c_str());
    }
    static std::wstring Updater(const wchar_t* folder) {
        return TestFolder(folder) + L"\\Renewick.exe";
    }
    static void RecordSetupPath(const std::wstring& folder) {
        UniqueRegKey key = OpenRegistryKey(HKEY_LOCAL_MACHINE, kUpdaterKey, KEY_SET_VALUE, true);
        ASSERT_TRUE(key);
        const DWORD bytes = static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t));
        ::RegSetValueExW(key.get(), L"Setup Path", 0, REG_SZ,
                         reinterpret_cast<const BYTE*>(folder.c_str()), bytes);
    }

    UpdaterRequest request_;
};

TEST_F(UpdaterLaunchTest, TheInstallFolderComesFirstThenRenewicksOwnInstallation) {
    struct Row {
        const char* name;
        const wchar_t* installFolder;
        const wchar_t* recordedFolder; // "Setup Path" of Renewick's key, none when null
        const wchar_t* started;        // the folder whose copy runs, none when null
    };
    const Row rows[] = {
        {"install folder first", L"install", L"own", L"install"},
        {"registry when the install folder lacks it", L"empty", L"own", L"own"},
        {"registry folder without it", L"empty", L"empty", nullptr},
        {"neither", L"empty", nullptr, nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ClearRecords();
        if (row.recordedFolder)
            RecordSetupPath(TestFolder(row.recordedFolder));
        EXPECT_EQ(StartUpdater(TestFolder(row.installFolder), request_, nullptr),
                  row.started != nullptr);
        if (row.started) {
            const std::wstring updater = Updater(row.started);
            EXPECT_EQ(Record(updater), CommandLine(updater, kAboutParameters));
        }
        for (const wchar_t* folder : {L"install", L"own"}) {
            if (row.started && std::wstring(folder) == row.started)
                continue;
            EXPECT_EQ(::GetFileAttributesW((Updater(folder) + L".txt").c_str()),
                      INVALID_FILE_ATTRIBUTES)
                << "nothing else started";
        }
        ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kUpdaterKey);
    }
}

TEST_F(UpdaterLaunchTest, WithAnOwnerItPassesTheHandleAndWaitsForTheEnd) {
    HWND owner = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                   nullptr, nullptr);
    ASSERT_TRUE(owner);
    request_.addC = true;
    ASSERT_TRUE(StartUpdater(TestFolder(L"install"), request_, owner));
    // Written just before the stand-in ended: there without any waiting of ours.
    wchar_t hex[32] = {};
    swprintf(hex, 32, L"%llx", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(owner)));
    std::string parameters = kAboutParameters;
    parameters += " /C /W";
    parameters += Narrow(hex);
    EXPECT_EQ(Record(Updater(L"install"), 0), CommandLine(Updater(L"install"), parameters));
    ::DestroyWindow(owner);
}

} // namespace
} // namespace dp
