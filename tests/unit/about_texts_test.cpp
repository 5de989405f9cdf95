#include "saver/updater_launch.h"
#include "ui/about_texts.h"

#include <gtest/gtest.h>

namespace dp {
namespace {

TEST(AboutTextsTest, CopyrightYearsRunFromTheFirstYearToNow) {
    EXPECT_EQ(CopyrightLine(2010), L"Copyright (C) 2010 Nerovane");
    EXPECT_EQ(CopyrightLine(2026), L"Copyright (C) 2010-2026 Nerovane");
    EXPECT_EQ(CopyrightLine(2009), L"Copyright (C) 2010 Nerovane") << "a clock set too early";
}

TEST(AboutTextsTest, VersionLineAndValuePath) {
    EXPECT_EQ(VersionLine(L"Duskpanel", L"2.0"), L"Duskpanel  Version 2.0");
    EXPECT_EQ(VersionLine(L"Duskpanel", L""), L"Duskpanel  Version ");
    EXPECT_EQ(VersionStringPath(0x0804, 0x04B0, L"ProductVersion"),
              L"\\StringFileInfo\\080404b0\\ProductVersion");
}

struct ParameterRow {
    const char* name;
    bool addH;
    bool addC;
    std::uintptr_t owner;
    const wchar_t* expected;
};

class UpdaterParametersTest : public testing::TestWithParam<ParameterRow> {};

TEST_P(UpdaterParametersTest, Formats) {
    UpdaterRequest request{L"A",
                           L"Duskpanel",
                           L"2.0",
                           L"http://h/u.ini",
                           GetParam().addH,
                           GetParam().addC,
                           GetParam().owner};
    EXPECT_EQ(UpdaterParameters(request), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Switches, UpdaterParametersTest,
    testing::Values(ParameterRow{"AboutDialog", true, false, 0,
                                 L"/iA /nDuskpanel /v2.0  /l\"http://h/u.ini\" /H"},
                    ParameterRow{"NothingAppended", false, false, 0,
                                 L"/iA /nDuskpanel /v2.0  /l\"http://h/u.ini\""},
                    ParameterRow{"EveryFlagAndOwner", true, true, 0x1A2B,
                                 L"/iA /nDuskpanel /v2.0  /l\"http://h/u.ini\" /H /C /W1a2b"},
                    ParameterRow{"OwnerAlone", false, false, 0x10,
                                 L"/iA /nDuskpanel /v2.0  /l\"http://h/u.ini\" /W10"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace dp
