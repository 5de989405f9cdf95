#include "updater/updater_command_line.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace dp {
namespace {

TEST(UpdaterCommandLine, StartsEmpty) {
    const UpdaterCommandLine line = ParseUpdaterCommandLine(L"Renewick.exe");
    EXPECT_EQ(line.hasId, 0);
    EXPECT_EQ(line.showSettings, 0);
    EXPECT_EQ(line.productId, L"");
    EXPECT_EQ(line.updateIniUrl, L"");
    EXPECT_EQ(line.parentWindow, 0);
}

TEST(UpdaterCommandLine, ReadsTheLineTheScreenSaverWrites) {
    const UpdaterCommandLine line =
        ParseUpdaterCommandLine(L"\"C:\\Program Files\\Renewick.exe\" /iABC /nDemo /v1.0.2  "
                                L"/l\"http://127.0.0.1:8080/update.ini\" /H");
    EXPECT_EQ(line.hasId, 1);
    EXPECT_EQ(line.productId, L"ABC");
    EXPECT_EQ(line.productName, L"Demo");
    EXPECT_EQ(line.installedVersion, L"1.0.2");
    EXPECT_EQ(line.updateIniUrl, L"http://127.0.0.1:8080/update.ini");
    EXPECT_EQ(line.showSettings, 0);
    EXPECT_EQ(line.parentWindow, 0);
    EXPECT_EQ(UpdateDialogCaption(line.productName), L"Renewick for Demo");
}

TEST(UpdaterCommandLine, SettingsSwitchesKeepTheOtherFields) {
    const UpdaterCommandLine line =
        ParseUpdaterCommandLine(L"R.exe /iA /nDuskpanel /v2.0  /l\"http://h/u.ini\" /H /C /W1a2b");
    EXPECT_EQ(line.showSettings, 1);
    EXPECT_EQ(line.parentWindow, 0x1A2B);
    EXPECT_EQ(line.installedVersion, L"2.0");
    EXPECT_EQ(line.productId, L"A");
}

struct SwitchRow {
    const char* name;
    std::wstring line;
    int hasId;
    std::wstring productId;
    std::wstring productName;
    int showSettings;
};

const SwitchRow kSwitchRows[] = {
    {"upper-case letter", L"R.exe /IABC", 1, L"ABC", L"", 0},
    {"dash marker", L"R.exe -iABC", 1, L"ABC", L"", 0},
    {"only the first letter selects", L"R.exe /install", 1, L"nstall", L"", 0},
    {"no text sets the flag only", L"R.exe /i", 1, L"", L"", 0},
    {"no text leaves the earlier text", L"R.exe /iABC /i", 1, L"ABC", L"", 0},
    {"the later text wins", L"R.exe /iABC /iXYZ", 1, L"XYZ", L"", 0},
    {"/H changes nothing", L"R.exe /H", 0, L"", L"", 0},
    {"unknown letters and stray words", L"R.exe /x1 /zzz nDemo iABC", 0, L"", L"", 0},
    {"/c ignores its text", L"R.exe /configure", 0, L"", L"", 1},
    {"a quoted name with a blank", L"R.exe \"/nMy Product\"", 0, L"", L"My Product", 0},
    {"an empty /n leaves the name", L"R.exe /nDemo /n", 0, L"", L"Demo", 0},
};

TEST(UpdaterCommandLine, SwitchRules) {
    for (const SwitchRow& row : kSwitchRows) {
        SCOPED_TRACE(row.name);
        const UpdaterCommandLine line = ParseUpdaterCommandLine(row.line);
        EXPECT_EQ(line.hasId, row.hasId);
        EXPECT_EQ(line.productId, row.productId);
        EXPECT_EQ(line.productName, row.productName);
        EXPECT_EQ(line.showSettings, row.showSettings);
    }
}

struct HexRow {
    const char* name;
    std::wstring text;
    std::int32_t value;
};

constexpr std::int32_t kLongMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kLongMin = std::numeric_limits<std::int32_t>::min();

const HexRow kHexRows[] = {
    {"lower-case digits", L"1a2b", 0x1A2B},
    {"upper-case digits", L"00C0FFEE", 0xC0FFEE},
    {"0x prefix", L"0x1A", 0x1A},
    {"0x without digits is the number 0", L"0xg", 0},
    {"leading white space", L" \tff", 0xFF},
    {"plus sign", L"+a", 10},
    {"minus sign", L"-10", -16},
    {"stops at the first other character", L"12zz", 0x12},
    {"no digits", L"zz", 0},
    {"largest long", L"7fffffff", kLongMax},
    {"beyond a long is clamped", L"FFFFFFFF", kLongMax},
    {"far beyond a long is clamped", L"123456789abcdef0123", kLongMax},
    {"below a long is clamped", L"-FFFFFFFF", kLongMin},
};

TEST(UpdaterCommandLine, ParentWindowReadsAsWcstolBase16) {
    for (const HexRow& row : kHexRows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ReadHexLong(row.text), row.value);
        UpdaterCommandLine line;
        line.ParseParam(L"w" + row.text, true, true);
        EXPECT_EQ(line.parentWindow, static_cast<std::intptr_t>(row.value));
    }
}

TEST(UpdaterCommandLine, EmptyParentWindowLeavesTheEarlierOne) {
    const UpdaterCommandLine line = ParseUpdaterCommandLine(L"R.exe /w1f /w");
    EXPECT_EQ(line.parentWindow, 0x1F);
}

TEST(UpdaterCommandLine, MutexNamePerProduct) {
    EXPECT_EQ(SingleInstanceMutexName(L"ABC"), L"nerovane_renewick_ABC");
    EXPECT_EQ(SingleInstanceMutexName(L""), L"nerovane_renewick_");
}

} // namespace
} // namespace dp
