#include "saver/updater_launch.h"

#include <gtest/gtest.h>

namespace dp {
namespace {

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
