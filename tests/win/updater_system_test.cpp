// The update worker's surroundings against the real API: the update INI read through
// GetPrivateProfileStringW, the temporary folder, and starting the setup process.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <cstdint>
#include <optional>
#include <string>

#include "updater/update_ini.h"
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

// The setup runs with its parameters in the download folder (never the install folder, which
// it may have to remove); the shell's failures come back as their error codes.
TEST(UpdateSystem, StartsTheSetupThroughTheShellInTheDownloadFolder) {
    const std::wstring folder = TestFile(L"run");
    ::CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring marker = folder + L"\\started.txt";
    ::DeleteFileW(marker.c_str());
    wchar_t system[MAX_PATH] = {};
    ::GetSystemDirectoryW(system, MAX_PATH);
    const SetupStartAnswer answer = Win32UpdateSystem().StartSetup(
        {std::wstring(system) + L"\\cmd.exe", L"/c echo started>started.txt", folder});
    ASSERT_TRUE(answer.process) << answer.error;
    bool appeared = false;
    for (int i = 0; i < 200 && !appeared; ++i) {
        appeared = ::GetFileAttributesW(marker.c_str()) != INVALID_FILE_ATTRIBUTES;
        ::Sleep(50);
    }
    EXPECT_TRUE(appeared) << "the setup did not run in its folder";
    ::Sleep(200);
    ::DeleteFileW(marker.c_str());
    ::RemoveDirectoryW(folder.c_str());
}

TEST(UpdateSystem, AMissingSetupAnswersFileNotFound) {
    const SetupStartAnswer answer =
        Win32UpdateSystem().StartSetup({TestFile(L"none.exe"), L"/S", TempPath()});
    EXPECT_FALSE(answer.process);
    EXPECT_EQ(answer.error, static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
}

std::wstring TempFolder() {
    std::wstring folder = TempPath();
    if (!folder.empty() && folder.back() == L'\\')
        folder.pop_back();
    return folder;
}

bool WaitForFile(const std::wstring& path) {
    for (int i = 0; i < 200; ++i) {
        if (::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES)
            return true;
        ::Sleep(50);
    }
    return false;
}

// Each update downloads into a folder made for it, never into one that was there before.
TEST(UpdateSystem, EachUpdateGetsANewDownloadFolder) {
    Win32UpdateSystem system;
    const auto first = system.CreateDownloadFolder(TempFolder());
    const auto second = system.CreateDownloadFolder(TempFolder());
    ASSERT_TRUE(first && second);
    EXPECT_NE(*first, *second);
    for (const std::wstring& folder : {*first, *second}) {
        EXPECT_EQ(folder.rfind(TempFolder() + L"\\Renewick-", 0), 0u) << folder;
        EXPECT_EQ(folder.size(), TempFolder().size() + 1 + 9 + 36) << folder;
        const DWORD attributes = ::GetFileAttributesW(folder.c_str());
        EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES &&
                    (attributes & FILE_ATTRIBUTE_DIRECTORY));
        ::RemoveDirectoryW(folder.c_str());
    }
}

// From the check until it has started, the setup cannot be written, renamed or deleted; its
// bytes are read through the hold, and the loader still starts it.
TEST(UpdateSystem, AHeldSetupCannotBeReplacedButStarts) {
    Win32UpdateSystem system;
    WinInetTransfer transfer;
    const auto folder = system.CreateDownloadFolder(TempFolder());
    ASSERT_TRUE(folder);
    wchar_t systemFolder[MAX_PATH] = {};
    ::GetSystemDirectoryW(systemFolder, MAX_PATH);
    const std::wstring setup = *folder + L"\\setup.exe";
    ASSERT_TRUE(
        ::CopyFileW((std::wstring(systemFolder) + L"\\cmd.exe").c_str(), setup.c_str(), TRUE));
    {
        const auto writer = transfer.CreateLocalFile(setup + L".part");
        ASSERT_TRUE(writer);
        EXPECT_FALSE(system.HoldFile(setup + L".part")) << "a writer has it open";
        writer->Close();
    }
    auto held = system.HoldFile(setup);
    ASSERT_TRUE(held);
    EXPECT_FALSE(transfer.CreateLocalFile(setup)) << "written while held";
    EXPECT_FALSE(::MoveFileW(setup.c_str(), (setup + L".old").c_str())) << "renamed while held";
    EXPECT_FALSE(::DeleteFileW(setup.c_str())) << "deleted while held";
    std::uint8_t head[2] = {};
    EXPECT_EQ(held->Read(head), std::optional<std::size_t>(2));
    EXPECT_EQ(head[0], 'M');
    EXPECT_EQ(head[1], 'Z');

    const SetupStartAnswer answer =
        system.StartSetup({setup, L"/c echo started>started.txt", *folder});
    EXPECT_TRUE(answer.process) << answer.error;
    EXPECT_TRUE(WaitForFile(*folder + L"\\started.txt")) << "the held setup did not run";
    ::Sleep(200);
    held.reset();
    for (const wchar_t* name : {L"\\started.txt", L"\\setup.exe", L"\\setup.exe.part"})
        ::DeleteFileW((*folder + name).c_str());
    ::RemoveDirectoryW(folder->c_str());
}

// A vendor may save the INI as UTF-8 with or without a mark: stored as the worker stores it,
// the platform's reader finds the first section both ways (and, with the mark, reads the text
// as UTF-8; without it, in the system's code page).
TEST(UpdateIniCopy, TheFirstSectionIsReadWithAndWithoutAUtf8Mark) {
    const std::string text = "[public]\r\nversion=2.\xC3\xA9\r\n";
    const std::wstring path = TestFile(L"utf8.ini");
    const auto readVersion = [&](const std::string& downloaded) {
        WriteBytes(path, Utf16IniFromMarkedUtf8(downloaded).value_or(downloaded));
        return ProfileIniReader().ReadString(path, L"public", L"version", L"0.0", kVersionChars);
    };
    EXPECT_EQ(readVersion("\xEF\xBB\xBF" + text), L"2.\u00e9");
    EXPECT_EQ(readVersion(text).substr(0, 2), L"2.");
    ::DeleteFileW(path.c_str());
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
