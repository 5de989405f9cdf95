#include "settings/parameter_store.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "tests/support/fake_stores.h"

namespace dp {
namespace {

using testing_support::FakeIniStore;
using testing_support::FakeProfileStore;

const ProgramLocation kLocation{L"C:\\Tools\\Duskpanel.scr", L"C:\\Work", L"Duskpanel"};
const std::wstring kFolder = L"C:\\ProgramData\\Nerovane\\Duskpanel";
const std::wstring kIni = L"C:\\ProgramData\\Nerovane\\Duskpanel\\Param.ini";

TEST(ParameterStore, FirstRunGivesDefaultsAndWritesAllFiveKeysInOrder) {
    FakeProfileStore profile;
    FakeIniStore ini;
    Parameters p;
    LoadParameters(p, profile, ini, kLocation, kFolder);
    EXPECT_EQ(p.acBrightness, 0);
    EXPECT_EQ(p.dcBrightness, 0);
    EXPECT_EQ(p.gammaLevel, 128);
    EXPECT_EQ(p.resumePasswordProtect, 1);
    EXPECT_EQ(p.dimExternalMonitors, 1);

    SaveParameters(p, profile, ini, kLocation, kFolder);
    const std::vector<std::wstring> order = {
        L"AC", L"DC", L"gamma", L"Enable_resume_password_protect", L"Dim_external_monitors"};
    EXPECT_EQ(profile.intWrites, order);
    ASSERT_EQ(ini.writes.size(), 5u);
    const wchar_t* values[] = {L"0", L"0", L"128", L"1", L"1"};
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(ini.writes[i].file, kIni);
        EXPECT_EQ(ini.writes[i].section, L"public");
        EXPECT_EQ(ini.writes[i].key, order[i]);
        EXPECT_EQ(ini.writes[i].value, values[i]);
    }
}

TEST(ParameterStore, FileValueBeatsRegistryAndIsWrittenBackToBoth) {
    FakeProfileStore profile;
    profile.ints[{L"", L"AC"}] = 70;
    profile.ints[{L"", L"DC"}] = 30;
    FakeIniStore ini;
    ini.Set(kIni, L"public", L"AC", L"40");
    Parameters p;
    LoadParameters(p, profile, ini, kLocation, kFolder);
    EXPECT_EQ(p.acBrightness, 40);
    // A key missing from the file gives the default, never the registry's value.
    EXPECT_EQ(p.dcBrightness, 0);
    SaveParameters(p, profile, ini, kLocation, kFolder);
    EXPECT_EQ((profile.ints[{L"", L"AC"}]), 40);
    EXPECT_EQ((profile.ints[{L"", L"DC"}]), 0);
}

struct IniValueCase {
    const char* name;
    const wchar_t* text;
    std::int32_t expected;
    const wchar_t* writtenBack;
};

const IniValueCase kIniValues[] = {
    {"LeadingBlank", L" 35", 35, L"35"},
    {"Negative", L"-7", -7, L"-7"},
    {"TrailingLetters", L"12abc", 12, L"12"},
    {"Letters", L"abc", 0, L"0"},
    {"Empty", L"", 0, L"0"},
    {"PlusSign", L"+9", 9, L"9"},
    {"Beyond 32 bits gives the default", L"4294967297", 0, L"0"},
    {"Below 32 bits gives the default", L"-2147483649", 0, L"0"},
    {"Most negative", L"-2147483648", -2147483647 - 1, L"-2147483648"},
};

class ParameterValueTest : public testing::TestWithParam<IniValueCase> {};

TEST_P(ParameterValueTest, ReadsLikeTheRuntimeAndWritesDecimal) {
    FakeProfileStore profile;
    FakeIniStore ini;
    ini.Set(kIni, L"public", L"AC", GetParam().text);
    Parameters p;
    LoadParameters(p, profile, ini, kLocation, kFolder);
    EXPECT_EQ(p.acBrightness, GetParam().expected);
    SaveParameters(p, profile, ini, kLocation, kFolder);
    EXPECT_EQ(ini.writes.front().value, GetParam().writtenBack);
}

INSTANTIATE_TEST_SUITE_P(Table, ParameterValueTest, testing::ValuesIn(kIniValues),
                         [](const auto& info) {
                             std::string n = info.param.name;
                             for (auto& c : n)
                                 if (!isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return n;
                         });

// The monitors' choice in both stores: a store written before the key existed means on, and
// whatever was loaded goes back to both.
struct DimMonitorsCase {
    const char* name;
    std::optional<std::int32_t> profileValue; // nothing: no such registry value
    const wchar_t* iniText;                   // nullptr: no such line in "Param.ini"
    std::int32_t expected;
};

const DimMonitorsCase kDimMonitorsCases[] = {
    {"NeitherStoreHasIt", std::nullopt, nullptr, 1},
    {"OldFileWithoutTheKeyMeansOn", 0, nullptr, 1},
    {"FileSaysOff", 1, L"0", 0},
    {"FileSaysOn", 0, L"1", 1},
    {"NonzeroCountsAsOn", std::nullopt, L"7", 7},
    {"EmptyValueIsOff", std::nullopt, L"", 0},
};

class DimMonitorsTest : public testing::TestWithParam<DimMonitorsCase> {};

TEST_P(DimMonitorsTest, LoadsWithOnForMissingAndSavesToBoth) {
    const DimMonitorsCase& c = GetParam();
    FakeProfileStore profile;
    if (c.profileValue)
        profile.ints[{L"", L"Dim_external_monitors"}] = *c.profileValue;
    FakeIniStore ini;
    ini.Set(kIni, L"public", L"AC", L"40");
    if (c.iniText)
        ini.Set(kIni, L"public", L"Dim_external_monitors", c.iniText);
    Parameters p;
    p.dimExternalMonitors = 99;
    LoadParameters(p, profile, ini, kLocation, kFolder);
    EXPECT_EQ(p.dimExternalMonitors, c.expected);
    EXPECT_EQ(p.acBrightness, 40) << "the other keys stay as they are";

    SaveParameters(p, profile, ini, kLocation, kFolder);
    EXPECT_EQ((profile.ints[{L"", L"Dim_external_monitors"}]), c.expected);
    ASSERT_EQ(ini.writes.size(), 5u);
    EXPECT_EQ(ini.writes.back().key, L"Dim_external_monitors");
    EXPECT_EQ(ini.writes.back().value, std::to_wstring(c.expected));

    Parameters again;
    LoadParameters(again, profile, ini, kLocation, kFolder);
    EXPECT_EQ(again.dimExternalMonitors, c.expected) << "the saved value reads back";
}

INSTANTIATE_TEST_SUITE_P(Table, DimMonitorsTest, testing::ValuesIn(kDimMonitorsCases),
                         [](const auto& info) { return std::string(info.param.name); });

// No "Param.ini" can be named (an unresolved or too long shared folder): the profile's values
// stand, and nothing is written to a file.
TEST(ParameterStore, MissingFolderKeepsTheProfileValuesAndWritesNoFile) {
    FakeProfileStore profile;
    profile.ints[{L"", L"gamma"}] = 5;
    profile.ints[{L"", L"AC"}] = 40;
    FakeIniStore ini;
    Parameters p;
    LoadParameters(p, profile, ini, kLocation, L"");
    EXPECT_EQ(p.gammaLevel, 5);
    EXPECT_EQ(p.acBrightness, 40);
    EXPECT_EQ(p.resumePasswordProtect, 1);
    EXPECT_TRUE(ini.reads.empty());
    SaveParameters(p, profile, ini, kLocation, L"");
    EXPECT_TRUE(ini.writes.empty());
    EXPECT_EQ((profile.ints[{L"", L"gamma"}]), 5);
}

} // namespace
} // namespace dp
