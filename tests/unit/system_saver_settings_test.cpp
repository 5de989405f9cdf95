#include "saver/system_saver_settings.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <map>
#include <optional>
#include <vector>

namespace dp {
namespace {

class FakeSaverEnvironment : public SystemSaverEnvironment {
public:
    bool OpenDesktopKey() override { return desktopExists; }
    std::wstring ReadDesktopValue(const std::wstring& n, const std::wstring& def) override {
        auto it = desktop.find(n);
        return it == desktop.end() ? def : it->second;
    }
    void WriteDesktopValue(const std::wstring& n, const std::wstring& v) override {
        desktop[n] = v;
        desktopWrites.push_back(n);
    }
    std::wstring ReadBackup(const std::wstring& n, const std::wstring& def) override {
        auto it = backup.find(n);
        return it == backup.end() ? def : it->second;
    }
    void WriteBackup(const std::wstring& n, const std::wstring& v) override {
        backup[n] = v;
        backupWrites.push_back(n);
    }
    std::wstring ProgramPath() override { return L"C:\\Program Files\\Dusk\\Duskpanel.scr"; }
    std::wstring ShortProgramPath() override { return L"C:\\PROGRA~1\\Dusk\\DUSKPA~1.SCR"; }
    std::wstring UpperCase(const std::wstring& t) override {
        std::wstring u = t;
        for (auto& c : u)
            c = static_cast<wchar_t>(std::towupper(c));
        return u;
    }
    void OpenScreenSaverControlPanel() override { ++panelLaunches; }

    bool desktopExists = true;
    std::map<std::wstring, std::wstring> desktop, backup;
    std::vector<std::wstring> desktopWrites, backupWrites;
    int panelLaunches = 0;
};

const std::vector<std::wstring> kOrder = {L"SCRNSAVE.EXE", L"ScreenSaveActive",
                                          L"ScreenSaveTimeOut", L"ScreenSaverIsSecure"};

TEST(SystemSaverSettings, InstallBacksUpThenInstallsShortPath) {
    FakeSaverEnvironment env;
    env.desktop = {{L"SCRNSAVE.EXE", L"C:\\Windows\\ssText3d.scr"},
                   {L"ScreenSaveActive", L"0"},
                   {L"ScreenSaveTimeOut", L"600"},
                   {L"ScreenSaverIsSecure", L"0"}};
    EXPECT_TRUE(UpdateSystemSaverSettings(true, env));
    EXPECT_EQ(env.backupWrites, kOrder);
    EXPECT_EQ(env.backup[L"SCRNSAVE.EXE"], L"C:\\Windows\\ssText3d.scr");
    EXPECT_EQ(env.backup[L"ScreenSaveActive"], L"0");
    EXPECT_EQ(env.desktopWrites, kOrder);
    EXPECT_EQ(env.desktop[L"SCRNSAVE.EXE"], L"C:\\PROGRA~1\\Dusk\\DUSKPA~1.SCR");
    EXPECT_EQ(env.desktop[L"ScreenSaveActive"], L"1");
    EXPECT_EQ(env.desktop[L"ScreenSaveTimeOut"], L"600");
    EXPECT_EQ(env.desktop[L"ScreenSaverIsSecure"], L"0");
    EXPECT_EQ(env.panelLaunches, 0);
}

TEST(SystemSaverSettings, InstallingOverItselfKeepsTheFirstBackup) {
    const wchar_t* ownPaths[] = {
        L"C:\\PROGRA~1\\Dusk\\DUSKPA~1.SCR", L"c:\\progra~1\\dusk\\duskpa~1.scr",
        L"C:\\PROGRAM FILES\\DUSK\\DUSKPANEL.SCR", L"c:\\program files\\dusk\\Duskpanel.scr"};
    for (const wchar_t* own : ownPaths) {
        FakeSaverEnvironment env;
        env.desktop[L"SCRNSAVE.EXE"] = own;
        env.backup[L"SCRNSAVE.EXE"] = L"first";
        UpdateSystemSaverSettings(true, env);
        EXPECT_TRUE(env.backupWrites.empty());
        EXPECT_EQ(env.backup[L"SCRNSAVE.EXE"], L"first");
    }
}

TEST(SystemSaverSettings, InstallOverMissingValuesWritesEmptyStrings) {
    FakeSaverEnvironment env;
    UpdateSystemSaverSettings(true, env);
    EXPECT_EQ(env.desktop[L"ScreenSaveTimeOut"], L"");
    EXPECT_EQ(env.desktop[L"ScreenSaverIsSecure"], L"");
    EXPECT_EQ(env.backup[L"SCRNSAVE.EXE"], L"");
}

TEST(SystemSaverSettings, RestoreWritesBackupOrDefaultsAndOpensThePanel) {
    struct Case {
        const char* name;
        std::map<std::wstring, std::wstring> backup;
        std::vector<std::wstring> expected;
    };
    const Case cases[] = {
        {"only the saver path kept", {{L"SCRNSAVE.EXE", L""}}, {L"", L"1", L"60", L"1"}},
        {"backup",
         {{L"SCRNSAVE.EXE", L"old.scr"},
          {L"ScreenSaveActive", L"0"},
          {L"ScreenSaveTimeOut", L"900"},
          {L"ScreenSaverIsSecure", L"0"}},
         {L"old.scr", L"0", L"900", L"0"}},
    };
    for (const Case& c : cases) {
        FakeSaverEnvironment env;
        env.backup = c.backup;
        EXPECT_TRUE(UpdateSystemSaverSettings(false, env));
        EXPECT_EQ(env.desktopWrites, kOrder) << c.name;
        for (std::size_t i = 0; i < kOrder.size(); ++i)
            EXPECT_EQ(env.desktop[kOrder[i]], c.expected[i]) << c.name;
        EXPECT_EQ(env.panelLaunches, 1) << c.name;
        EXPECT_TRUE(env.backupWrites.empty()) << "restore keeps the backup: " << c.name;
    }
}

TEST(SystemSaverSettings, RestoreWithoutBackupChangesNothing) {
    struct Case {
        const char* name;
        std::map<std::wstring, std::wstring> backup;
    };
    const Case cases[] = {
        {"nothing kept", {}},
        {"saver path missing", {{L"ScreenSaveActive", L"0"}, {L"ScreenSaveTimeOut", L"900"}}},
    };
    for (const Case& c : cases) {
        FakeSaverEnvironment env;
        env.desktop = {{L"SCRNSAVE.EXE", L"mine.scr"}, {L"ScreenSaveTimeOut", L"300"}};
        const auto before = env.desktop;
        env.backup = c.backup;
        EXPECT_TRUE(UpdateSystemSaverSettings(false, env));
        EXPECT_TRUE(env.desktopWrites.empty()) << c.name;
        EXPECT_EQ(env.desktop, before) << c.name;
        EXPECT_EQ(env.panelLaunches, 0) << c.name;
    }
}

TEST(SystemSaverSettings, MissingDesktopKeyDoesNothingInEitherMode) {
    for (bool install : {true, false}) {
        FakeSaverEnvironment env;
        env.desktopExists = false;
        EXPECT_TRUE(UpdateSystemSaverSettings(install, env));
        EXPECT_TRUE(env.desktopWrites.empty());
        EXPECT_TRUE(env.backupWrites.empty());
        EXPECT_EQ(env.panelLaunches, 0);
    }
}

TEST(SystemSaverSettings, TellsWhetherThisProgramIsTheSaver) {
    struct Row {
        const char* name;
        bool desktopExists;
        std::optional<std::wstring> saver;
        bool ours;
    };
    const Row rows[] = {
        {"long path", true, L"C:\\Program Files\\Dusk\\Duskpanel.scr", true},
        {"short path, other case", true, L"c:\\progra~1\\dusk\\duskpa~1.scr", true},
        {"another saver", true, L"C:\\Windows\\ssText3d.scr", false},
        {"our name elsewhere", true, L"C:\\Temp\\Duskpanel.scr", false},
        {"path with more after it", true, L"C:\\PROGRA~1\\Dusk\\DUSKPA~1.SCR x", false},
        {"empty", true, L"", false},
        {"no value", true, std::nullopt, false},
        {"no desktop key", false, L"C:\\Program Files\\Dusk\\Duskpanel.scr", false},
    };
    for (const auto& row : rows) {
        FakeSaverEnvironment env;
        env.desktopExists = row.desktopExists;
        if (row.saver)
            env.desktop[L"SCRNSAVE.EXE"] = *row.saver;
        EXPECT_EQ(IsTheSystemSaver(env), row.ours) << row.name;
        EXPECT_TRUE(env.desktopWrites.empty()) << row.name;
    }
}

TEST(SystemSaverSettings, EmptySaverWithoutAShortPathIsBackedUpAsNoSaver) {
    // Without a short path (the call failed) an empty saver value is still someone else's
    // setting: the backup is taken, so that the uninstaller puts "no saver" back.
    class NoShortPath : public FakeSaverEnvironment {
        std::wstring ShortProgramPath() override { return L""; }
    } env;
    env.desktop = {{L"SCRNSAVE.EXE", L""}, {L"ScreenSaveActive", L"0"}};
    EXPECT_TRUE(UpdateSystemSaverSettings(true, env));
    EXPECT_EQ(env.backupWrites, kOrder);
    EXPECT_EQ(env.backup[L"SCRNSAVE.EXE"], L"");
    EXPECT_EQ(env.backup[L"ScreenSaveActive"], L"0");
}

} // namespace
} // namespace dp
