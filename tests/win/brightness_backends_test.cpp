// The brightness back-ends against the platform as Wine provides it. A plain prefix has no LCD
// device, no WmiMonitorBrightness class and a power library whose scheme calls answer 120; with
// the simulated panel installed the device cases run instead.
#include "brightness/power_scheme.h"
#include "brightness/win32/power_scheme_win32.h"
#include "brightness/win32/system_brightness.h"
#include "brightness/win32/system_status.h"
#include "brightness/win32/video_ioctl.h"
#include "brightness/win32/wmi_levels.h"

#include <gtest/gtest.h>

#include <windows.h>

#include "framework/win32/handles.h"

namespace dp {
namespace {

bool PanelPresent() {
    VideoPortPanel panel;
    return panel.Open();
}

TEST(BrightnessWithoutPanel, DeviceIsAbsentAndEveryRequestFails) {
    if (PanelPresent())
        GTEST_SKIP() << "a panel device is installed in this prefix";
    VideoPortPanel panel;
    EXPECT_FALSE(panel.Open());
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(panel.IsOpen());
    LevelList levels{1, 2};
    DisplayBrightness record{kDisplayPolicyBoth, 7, 8};
    EXPECT_FALSE(panel.QuerySupportedLevels(levels));
    EXPECT_FALSE(panel.QueryDisplayBrightness(record));
    EXPECT_FALSE(panel.SetDisplayBrightness(record));
    EXPECT_EQ(levels, (LevelList{1, 2}));
    EXPECT_EQ(record, (DisplayBrightness{kDisplayPolicyBoth, 7, 8}));
}

TEST(BrightnessWithoutPanel, ControllerStaysInModeNoneAndDoesNothing) {
    if (PanelPresent())
        GTEST_SKIP() << "a panel device is installed in this prefix";
    std::unique_ptr<BrightnessController> controller = CreateSystemBrightnessController();
    EXPECT_EQ(controller->GetMode(), BrightnessMode::None);
    EXPECT_EQ(controller->GetLevelCount(), 0u);
    EXPECT_FALSE(controller->ApplyBrightness(50, 50, kDisplayPolicyBoth));
    EXPECT_FALSE(controller->SaveCurrentAsDefault());
    controller->RestoreBrightness();
    controller.reset();
}

// Wine has a "root\wmi" namespace but no brightness class: the query must fail, not hang or
// report an empty list as success. (Wine's CoInitializeSecurity accepts every call, so a second
// query gets as far as the first.)
TEST(BrightnessWmi, QueryFailsCleanlyAndLeavesLevelsAlone) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        WmiMonitorLevels wmi;
        LevelList levels{9, 9, 9};
        EXPECT_FALSE(wmi.QueryLevels(levels)) << "attempt " << attempt;
        EXPECT_EQ(levels, (LevelList{9, 9, 9}));
    }
}

// The property reader that a real monitor's instance would reach, with hand-built arrays.
struct LevelPropertyRow {
    const char* name;
    const wchar_t* property;
    VARTYPE type;        // of the VARIANT; VT_ARRAY | element type for arrays
    VARTYPE elementType; // of the SAFEARRAY
    LONG lowerBound;
    ULONG count;
    bool read;
};

TEST(BrightnessWmi, LevelPropertyIsReadOnlyAsAWholeByteArray) {
    const LevelPropertyRow rows[] = {
        {"eleven levels", L"Level", VT_ARRAY | VT_UI1, VT_UI1, 0, 11, true},
        {"empty list", L"Level", VT_ARRAY | VT_UI1, VT_UI1, 0, 0, true},
        {"more than 256 kept whole", L"Level", VT_ARRAY | VT_UI1, VT_UI1, 0, 300, true},
        {"lower bound 1", L"Level", VT_ARRAY | VT_UI1, VT_UI1, 1, 3, true},
        {"wrong element type", L"Level", VT_ARRAY | VT_I4, VT_I4, 0, 11, false},
        {"other property", L"Levels", VT_ARRAY | VT_UI1, VT_UI1, 0, 11, false},
        {"no array at all", L"Level", VT_ARRAY | VT_UI1, VT_EMPTY, 0, 0, false},
    };
    for (const LevelPropertyRow& row : rows) {
        SCOPED_TRACE(row.name);
        SAFEARRAYBOUND bound{row.count, row.lowerBound};
        UniqueSafeArray array(
            row.elementType == VT_EMPTY ? nullptr : ::SafeArrayCreate(row.elementType, 1, &bound));
        LevelList expected;
        for (LONG i = 0; i < static_cast<LONG>(row.count); ++i) {
            const auto level = static_cast<std::uint8_t>(i * 7);
            expected.push_back(level);
            LONG index = row.lowerBound + i;
            LONG element = level;
            ASSERT_EQ(::SafeArrayPutElement(array.get(), &index, &element), S_OK);
        }
        VARIANT value{};
        value.vt = row.type;
        value.parray = array.get();
        LevelList levels{9, 9};
        EXPECT_EQ(ReadLevelProperty(row.property, value, levels), row.read);
        EXPECT_EQ(levels, (row.read ? expected : LevelList{9, 9}));
    }
}

// Wine's powrprof exports the three entries but answers 120 (not implemented): no active scheme,
// so nothing is compared, switched or freed.
TEST(BrightnessPowerScheme, WinePowrprofNamesNoSchemeAndTheSwitchIsSkipped) {
    PowrProfLibrary library;
    std::unique_ptr<PowerSchemeApi> api = library.Load();
    ASSERT_TRUE(api) << "powrprof.dll or one of its scheme entries is missing";
    if (api->GetActiveScheme())
        GTEST_SKIP() << "a power library that knows schemes is installed in this prefix";
    EXPECT_FALSE(api->EnumerateScheme(0));
}

// The version the system's controller decides with (read through the 284-byte extended record)
// against the platform's other answer, the version GetVersion packs into one number.
TEST(BrightnessSystemStatus, ControllerSeesThePlatformsVersion) {
    const DWORD packed = ::GetVersion();
    const OsVersion expected{LOBYTE(LOWORD(packed)), HIBYTE(LOWORD(packed))};
    const std::unique_ptr<BrightnessController> controller = CreateSystemBrightnessController();
    EXPECT_EQ(controller->GetOsVersion().major, expected.major);
    EXPECT_EQ(controller->GetOsVersion().minor, expected.minor);
}

// ---- With the simulated panel ----------------------------------------------------------------

class BrightnessWithPanel : public ::testing::Test {
protected:
    void SetUp() override {
        if (!panel_.Open())
            GTEST_SKIP() << "no panel device in this prefix";
    }
    VideoPortPanel panel_;
};

TEST_F(BrightnessWithPanel, SetThenQueryRoundTrip) {
    ::SetLastError(ERROR_SUCCESS);
    ASSERT_TRUE(panel_.SetDisplayBrightness({kDisplayPolicyBoth, 33, 44}));
    DisplayBrightness record{};
    ASSERT_TRUE(panel_.QueryDisplayBrightness(record));
    EXPECT_EQ(record.ucACBrightness, 33);
    EXPECT_EQ(record.ucDCBrightness, 44);
}

TEST_F(BrightnessWithPanel, AnswerWithStaleLastErrorCountsAsFailure) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_FALSE(panel_.SetDisplayBrightness({kDisplayPolicyBoth, 20, 20}));
    ::SetLastError(ERROR_ACCESS_DENIED);
    LevelList levels;
    EXPECT_FALSE(panel_.QuerySupportedLevels(levels));
    ::SetLastError(ERROR_SUCCESS);
    EXPECT_TRUE(panel_.QuerySupportedLevels(levels));
}

} // namespace
} // namespace dp
