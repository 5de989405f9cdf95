// Starting Renewick: the stand-in is fake_setup.exe copied as Renewick.exe, which writes the
// command line it got to "Renewick.exe.txt" beside itself and ends.
#include "saver/win32/updater_launch_win32.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "framework/win32/registry.h"

namespace dp {
namespace {

constexpr wchar_t kUpdaterKey[] = L"Software\\Nerovane\\Renewick";
constexpr char kParameters[] = "/iA /nDuskpanel /v2.0  /l\"http://127.0.0.1:9/u.ini\" /H";

std::wstring Folder(const wchar_t* name) {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + L"DuskpanelTests-updater-" + name;
}

std::wstring Updater(const wchar_t* folder) {
    return Folder(folder) + L"\\Renewick.exe";
}

// What the stand-in in folder recorded, waiting for it at most timeoutMs; "" when nothing.
std::string Record(const wchar_t* folder, DWORD timeoutMs = 20000) {
    const std::wstring record = Updater(folder) + L".txt";
    for (const DWORD start = ::GetTickCount();
         ::GetFileAttributesW(record.c_str()) == INVALID_FILE_ATTRIBUTES &&
         ::GetTickCount() - start < timeoutMs;)
        ::Sleep(20);
    std::ostringstream text;
    text << std::ifstream(record.c_str(), std::ios::binary).rdbuf();
    return text.str();
}

// The command line the updater in folder sees: its quoted path, a blank, the parameters.
std::string CommandLine(const wchar_t* folder, const std::string& parameters) {
    const std::wstring path = Updater(folder);
    std::string line = "\"";
    line.append(path.begin(), path.end());
    line += "\" ";
    return line + parameters;
}

class UpdaterLaunchTest : public testing::Test {
protected:
    void SetUp() override {
        wchar_t self[MAX_PATH] = {};
        std::wstring standIn(self, ::GetModuleFileNameW(nullptr, self, MAX_PATH));
        standIn.replace(standIn.find_last_of(L'\\'), std::wstring::npos,
                        L"\\..\\bin\\fake_setup.exe");
        for (const wchar_t* name : {L"install", L"own", L"empty"})
            ::CreateDirectoryW(Folder(name).c_str(), nullptr);
        for (const wchar_t* name : {L"install", L"own"})
            ASSERT_TRUE(::CopyFileW(standIn.c_str(), Updater(name).c_str(), FALSE));
    }
    void TearDown() override { ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kUpdaterKey); }

    static void Prepare(const wchar_t* recordedFolder) {
        for (const wchar_t* name : {L"install", L"own"})
            ::DeleteFileW((Updater(name) + L".txt").c_str());
        ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kUpdaterKey);
        if (!recordedFolder)
            return;
        UniqueRegKey key = OpenRegistryKey(HKEY_LOCAL_MACHINE, kUpdaterKey, KEY_SET_VALUE, true);
        const std::wstring folder = Folder(recordedFolder);
        ::RegSetValueExW(key.get(), L"Setup Path", 0, REG_SZ,
                         reinterpret_cast<const BYTE*>(folder.c_str()),
                         static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
    }

    UpdaterRequest request_{L"A", L"Duskpanel", L"2.0", L"http://127.0.0.1:9/u.ini", true};
};

TEST_F(UpdaterLaunchTest, TheInstallFolderComesFirstThenRenewicksOwnInstallation) {
    struct Row {
        const char* name;
        const wchar_t* installFolder;
        const wchar_t* recordedFolder; // "Setup Path" of Renewick's key, none when null
        const wchar_t* started;        // the folder whose copy runs, none when null
    };
    for (const Row& row : {Row{"install folder first", L"install", L"own", L"install"},
                           Row{"then the registry", L"empty", L"own", L"own"},
                           Row{"registry folder without it", L"empty", L"empty", nullptr},
                           Row{"neither", L"empty", nullptr, nullptr}}) {
        SCOPED_TRACE(row.name);
        Prepare(row.recordedFolder);
        EXPECT_EQ(StartUpdater(Folder(row.installFolder), request_, nullptr),
                  row.started != nullptr);
        if (row.started) {
            EXPECT_EQ(Record(row.started), CommandLine(row.started, kParameters));
        }
        for (const wchar_t* other : {L"install", L"own"}) {
            if (!row.started || std::wstring(other) != row.started) {
                EXPECT_EQ(Record(other, 0), "") << "nothing else started";
            }
        }
    }
}

TEST_F(UpdaterLaunchTest, WithAnOwnerItPassesTheHandleAndWaitsForTheEnd) {
    HWND owner = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                   nullptr, nullptr);
    Prepare(nullptr);
    request_.addC = true;
    ASSERT_TRUE(StartUpdater(Folder(L"install"), request_, owner));
    char hex[32] = {};
    snprintf(hex, sizeof(hex), "%llx",
             static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(owner)));
    // Written just before the stand-in ended: there at once, without any waiting of ours.
    EXPECT_EQ(Record(L"install", 0),
              CommandLine(L"install", std::string(kParameters) + " /C /W" + hex));
    ::DestroyWindow(owner);
}

} // namespace
} // namespace dp
