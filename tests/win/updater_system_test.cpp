// The update worker's surroundings against the real API: the update INI read through
// GetPrivateProfileStringW, the temporary folder, and starting the setup process.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "tests/support/updater_fakes.h"
#include "updater/update_ini.h"
#include "updater/update_worker.h"
#include "updater/win32/update_system.h"
#include "updater/win32/wininet_transfer.h"

namespace dp {
namespace {

std::wstring TempPath() {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    return temp;
}

std::wstring TestFile(const wchar_t* name) {
    return TempPath() + L"dp-updater-system-" + name;
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
    out << bytes;
}

const std::string kIni = "[public]\r\n"
                         "version=2.1\r\n"
                         "[A]\r\n"
                         "download_path=http://127.0.0.1/setup.exe\r\n"
                         "setup_param=" +
                         std::string(150, 'p') + "\r\n";

struct IniRow {
    const char* name;
    std::wstring section;
    std::wstring key;
    std::size_t bufferChars;
    std::wstring expected;
    bool missingFile = false;
};

TEST(UpdateIniReader, ValuesDefaultsAndCuts) {
    const std::wstring ini = TestFile(L"update.ini");
    WriteBytes(ini, kIni);
    const IniRow rows[] = {
        {"value", L"A", L"download_path", 1024, L"http://127.0.0.1/setup.exe"},
        {"section names ignore case", L"PUBLIC", L"version", 50, L"2.1"},
        {"missing key gives the default", L"public", L"missing", 50, L"0.0"},
        {"missing section gives the default", L"XYZ", L"download_path", 1024, L"0.0"},
        {"no product id finds no section", L"", L"download_path", 1024, L"0.0"},
        {"long value is cut to the buffer", L"A", L"setup_param", 100, std::wstring(99, L'p')},
        {"missing file gives the default", L"public", L"version", 50, L"0.0", true},
    };
    ProfileIniReader reader;
    for (const IniRow& row : rows) {
        SCOPED_TRACE(row.name);
        const std::wstring file = row.missingFile ? TestFile(L"missing.ini") : ini;
        EXPECT_EQ(reader.ReadString(file, row.section, row.key, L"0.0", row.bufferChars),
                  row.expected);
    }
    ::DeleteFileW(ini.c_str());
}

TEST(UpdateSystem, TempFolderIsTheUsersTemporaryFolder) {
    const auto folder = Win32UpdateSystem().ExpandTempFolder();
    ASSERT_TRUE(folder.has_value());
    std::wstring expected = TempPath();
    if (!expected.empty() && expected.back() == L'\\')
        expected.pop_back();
    EXPECT_EQ(::lstrcmpiW(folder->c_str(), expected.c_str()), 0);
}

TEST(UpdateSystem, StartsACommandLineWithItsArgumentsAndDoesNotWait) {
    const std::wstring marker = TestFile(L"started.txt");
    ::DeleteFileW(marker.c_str());
    wchar_t system[MAX_PATH] = {};
    ::GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring line =
        L"\"" + std::wstring(system) + L"\\cmd.exe\" /c echo started>\"" + marker + L"\"";
    ASSERT_TRUE(Win32UpdateSystem().StartProcess(line));
    bool appeared = false;
    for (int i = 0; i < 200 && !appeared; ++i) {
        appeared = ::GetFileAttributesW(marker.c_str()) != INVALID_FILE_ATTRIBUTES;
        ::Sleep(50);
    }
    EXPECT_TRUE(appeared) << "the started program did not run";
    ::Sleep(200);
    ::DeleteFileW(marker.c_str());
}

TEST(UpdateSystem, AProgramThatDoesNotExistIsNotStarted) {
    EXPECT_FALSE(Win32UpdateSystem().StartProcess(L"\"" + TestFile(L"none.exe") + L"\" /S"));
}

// Scripted answers over the network, but real files, the real write guard and the platform's
// INI reader.
struct RealFilesPlatform : fake::Platform {
    std::unique_ptr<LocalFile> CreateLocalFile(std::wstring_view path) override {
        return WinInetTransfer().CreateLocalFile(path);
    }
};

struct RecordingDialog : UpdateDialogPort {
    std::vector<std::wstring> said;
    void SetBusy(bool) override {}
    void ShowState(std::wstring_view) override {}
    void ShowMessage(std::wstring_view text) override { said.emplace_back(text); }
    bool AskYesNo(std::wstring_view question) override {
        said.emplace_back(question);
        return false;
    }
    void EndDialog() override {}
    void ShowProgress(int) override {}
    void ShowTransferText(std::wstring_view) override {}
    void Repaint() override {}
};

struct TempSystem : Win32UpdateSystem {
    std::optional<std::wstring> ExpandTempFolder() override {
        std::wstring folder = TempPath();
        folder.pop_back();
        return folder;
    }
};

// A vendor may save the INI as UTF-8 with or without a mark: the first section is found both
// ways.
TEST(UpdateIniCopy, TheFirstSectionIsReadWithAndWithoutAUtf8Mark) {
    const std::string body = "[public]\r\nversion=2.1\r\n[A]\r\ndownload_path=http://h/s.exe\r\n";
    for (const std::string& downloaded : {"\xEF\xBB\xBF" + body, body}) {
        SCOPED_TRACE(downloaded.size());
        RealFilesPlatform platform;
        platform.responses[L"http://h/update.ini"] = fake::Ok(downloaded);
        RecordingDialog dialog;
        TempSystem system;
        ProfileIniReader ini;
        UpdaterCommandLine commandLine;
        commandLine.hasId = 1;
        commandLine.productId = L"A";
        commandLine.installedVersion = L"2.0";
        commandLine.updateIniUrl = L"http://h/update.ini";
        UpdateWorker(commandLine, {dialog, system, ini, platform}).Run();
        EXPECT_EQ(dialog.said, std::vector<std::wstring>{L"New version is:2.1, update now?"});
    }
}

// While the values are read, no other updater may write the copy; one that writes it already
// keeps the guard from being taken.
TEST(UpdateIniCopy, TheGuardKeepsWritersOutAndReadersIn) {
    const std::wstring path = TestFile(L"guarded.ini");
    WriteBytes(path, kIni);
    Win32UpdateSystem system;
    WinInetTransfer transfer;
    {
        const auto guard = system.GuardAgainstWriters(path);
        ASSERT_TRUE(guard);
        EXPECT_FALSE(transfer.CreateLocalFile(path));
        EXPECT_EQ(ProfileIniReader().ReadString(path, L"public", L"version", L"", 50), L"2.1");
    }
    {
        const auto writer = transfer.CreateLocalFile(path);
        ASSERT_TRUE(writer);
        EXPECT_FALSE(system.GuardAgainstWriters(path));
    }
    EXPECT_FALSE(system.GuardAgainstWriters(TestFile(L"missing.ini")));
    ::DeleteFileW(path.c_str());
}

} // namespace
} // namespace dp
