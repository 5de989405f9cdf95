#include "saver/saver_startup.h"

#include <gtest/gtest.h>

#include <vector>

namespace dp {
namespace {

class FakeStartupEnvironment : public StartupEnvironment {
public:
    ShellFolderResult GetShellFolder(ShellFolder folder) override {
        calls.push_back(L"folder");
        switch (folder) {
        case ShellFolder::AppData:
            return appData;
        case ShellFolder::CommonAppData:
            return commonAppData;
        case ShellFolder::Programs:
            return programs;
        }
        return {};
    }
    void ShowError(const std::wstring& text) override { errors.push_back(text); }
    bool CreateDirectoryPath(const std::wstring& path) override {
        calls.push_back(L"user:" + path);
        return true;
    }
    bool CreateSharedDirectory(const std::wstring& path) override {
        calls.push_back(L"shared:" + path);
        return true;
    }
    std::wstring ReadSetupPath(const std::wstring& keyPath) override {
        calls.push_back(L"setup:" + keyPath);
        return setupPath;
    }
    std::wstring LanguageAbbreviation() override { return abbreviation; }

    ShellFolderResult appData{true, L"C:\\Users\\me\\AppData\\Roaming", 0};
    ShellFolderResult commonAppData{true, L"C:\\ProgramData", 0};
    ShellFolderResult programs{true, L"C:\\Users\\me\\Start Menu\\Programs", 0};
    std::wstring setupPath;
    std::wstring abbreviation = L"ENU";
    std::vector<std::wstring> calls;
    std::vector<std::wstring> errors;
};

TEST(SaverStartup, FreshMachineFormsAndCreatesEveryFolderInOrder) {
    FakeStartupEnvironment env;
    SaverPaths p = FormSaverPaths(env, L"Duskpanel");
    EXPECT_EQ(p.userDataFolder, L"C:\\Users\\me\\AppData\\Roaming\\Nerovane\\Duskpanel");
    EXPECT_EQ(p.sharedDataFolder, L"C:\\ProgramData\\Nerovane\\Duskpanel");
    EXPECT_EQ(p.installFolder, L"C:\\Users\\me\\Start Menu\\Programs\\Nerovane\\Duskpanel");
    EXPECT_EQ(p.languageFolder,
              L"C:\\Users\\me\\Start Menu\\Programs\\Nerovane\\Duskpanel\\Languages\\ENU");
    EXPECT_EQ(p.languageFileBase,
              L"C:\\Users\\me\\Start Menu\\Programs\\Nerovane\\Duskpanel\\Languages\\ENU\\"
              L"Duskpanel.ini");
    const std::vector<std::wstring> expected = {L"folder", L"user:" + p.userDataFolder,
                                                L"folder", L"shared:" + p.sharedDataFolder,
                                                L"folder", L"setup:Software\\Nerovane\\Duskpanel"};
    EXPECT_EQ(env.calls, expected);
    EXPECT_TRUE(env.errors.empty());
}

TEST(SaverStartup, SetupPathReplacesTheStartMenuDefault) {
    FakeStartupEnvironment env;
    env.setupPath = L"D:\\Tools\\Dim";
    SaverPaths p = FormSaverPaths(env, L"Duskpanel");
    EXPECT_EQ(p.installFolder, L"D:\\Tools\\Dim");
    EXPECT_EQ(p.languageFolder, L"D:\\Tools\\Dim\\Languages\\ENU");
    EXPECT_EQ(p.languageFileBase, L"D:\\Tools\\Dim\\Languages\\ENU\\Duskpanel.ini");
}

TEST(SaverStartup, FailedLookupsSkipWhatFollows) {
    struct Case {
        const char* name;
        bool userFound, sharedFound;
        std::size_t errors;
        bool hasShared, hasInstall;
    };
    const Case cases[] = {
        {"user lookup fails: message, shared and install skipped", false, true, 1, false, false},
        {"shared lookup fails: silent, install skipped", true, false, 0, false, false},
    };
    for (const Case& c : cases) {
        FakeStartupEnvironment env;
        env.appData = {c.userFound, c.userFound ? L"C:\\U" : L"", 0x80070002ul};
        env.commonAppData.found = c.sharedFound;
        SaverPaths p = FormSaverPaths(env, L"Duskpanel");
        EXPECT_EQ(env.errors.size(), c.errors) << c.name;
        EXPECT_EQ(!p.sharedDataFolder.empty(), c.hasShared) << c.name;
        EXPECT_EQ(!p.installFolder.empty(), c.hasInstall) << c.name;
        EXPECT_EQ(p.languageFolder, L"\\Languages\\ENU") << c.name;
    }
}

TEST(SaverStartup, ErrorTextIsLowerCaseHex) {
    EXPECT_EQ(FormatShellFolderError(0x80070002ul), L"SHGetFolderPath, error code:80070002");
    EXPECT_EQ(FormatShellFolderError(0xABCul), L"SHGetFolderPath, error code:abc");
}

TEST(SaverStartup, MissingAbbreviationLeavesTheLanguageFolderOpen) {
    FakeStartupEnvironment env;
    env.abbreviation.clear();
    env.setupPath = L"C:\\I";
    EXPECT_EQ(FormSaverPaths(env, L"Duskpanel").languageFolder, L"C:\\I\\Languages\\");
}

} // namespace
} // namespace dp
