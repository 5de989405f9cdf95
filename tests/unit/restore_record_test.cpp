#include "brightness/restore_record.h"

#include <gtest/gtest.h>

#include <set>

namespace dp {
namespace {

const RestoreRecord kLevels{{4242, 133500000000000000}, DisplayBrightness{3, 80, 75}};
const RestoreRecord kScheme{{7, 18446744073709551615u}, std::nullopt};
const RestoreRecord kMonitors{{5, 9}, DisplayBrightness{3, 80, 75}, {{0, 70}, {3, 4294967295u}}};
const RestoreRecord kSchemeMonitor{{5, 9}, std::nullopt, {{1, 200}}};

struct ParseRow {
    const char* name;
    std::wstring text;
    std::optional<RestoreRecord> record;
};

TEST(RestoreRecord, StoredForm) {
    EXPECT_EQ(FormatRestoreRecord(kLevels),
              L"process=4242 started=133500000000000000 restore=80,75");
    EXPECT_EQ(FormatRestoreRecord(kScheme),
              L"process=7 started=18446744073709551615 restore=power-scheme");
    const ParseRow rows[] = {
        {"levels", L"process=4242 started=133500000000000000 restore=80,75", kLevels},
        {"power scheme, largest time",
         L"process=7 started=18446744073709551615 restore=power-scheme", kScheme},
        {"time beyond 64 bits", L"process=7 started=18446744073709551616 restore=power-scheme",
         std::nullopt},
        {"id beyond 32 bits", L"process=4294967296 started=1 restore=1,1", std::nullopt},
        {"level beyond a byte", L"process=1 started=1 restore=256,1", std::nullopt},
        {"leading zero", L"process=01 started=1 restore=1,1", std::nullopt},
        {"sign", L"process=+1 started=1 restore=1,1", std::nullopt},
        {"one level", L"process=1 started=1 restore=1", std::nullopt},
        {"trailing blank", L"process=1 started=1 restore=1,1 ", std::nullopt},
        {"fields swapped", L"started=1 process=1 restore=1,1", std::nullopt},
        {"empty (a value of another type)", L"", std::nullopt},
        {"monitors", L"process=5 started=9 restore=80,75 monitors=0:70,3:4294967295", kMonitors},
        {"power scheme and a monitor", L"process=5 started=9 restore=power-scheme monitors=1:200",
         kSchemeMonitor},
        {"monitor value beyond 32 bits", L"process=5 started=9 restore=1,1 monitors=0:4294967296",
         std::nullopt},
        {"a monitor twice", L"process=5 started=9 restore=1,1 monitors=0:1,0:2", std::nullopt},
        {"no monitor after the field", L"process=5 started=9 restore=1,1 monitors=", std::nullopt},
        {"monitor without value", L"process=5 started=9 restore=1,1 monitors=0", std::nullopt},
        {"trailing comma", L"process=5 started=9 restore=1,1 monitors=0:1,", std::nullopt},
        {"monitors before the levels", L"process=5 started=9 monitors=0:1 restore=1,1",
         std::nullopt},
        {"monitor with leading zero", L"process=5 started=9 restore=1,1 monitors=0:01",
         std::nullopt},
    };
    for (const ParseRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ParseRestoreRecord(row.text), row.record);
    }
}

TEST(RestoreRecord, MonitorListIsBounded) {
    RestoreRecord record{{1, 2}, std::nullopt, {}};
    for (std::uint32_t i = 0; i < kMaxRecordMonitors + 3; ++i)
        record.monitors.push_back({i, 50});
    const std::wstring text = FormatRestoreRecord(record);
    const std::optional<RestoreRecord> parsed = ParseRestoreRecord(text);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->monitors.size(), kMaxRecordMonitors);
    EXPECT_FALSE(ParseRestoreRecord(text + L",99:1")) << "one more than the bound";
}

TEST(RestoreRecord, LeftRecordsOfEndedProcessesArePutBackOldestLast) {
    const RestoreRecord older{{10, 100}, DisplayBrightness{3, 90, 90}};
    const RestoreRecord newer{{11, 200}, DisplayBrightness{3, 30, 30}};
    const RestoreRecord running{{12, 150}, std::nullopt};
    const RestoreRecord reused{{12, 50}, std::nullopt}; // same id, an earlier process
    const std::vector<StoredRestoreRecord> stored = {
        {L"11-200", FormatRestoreRecord(newer)},
        {L"12-150", FormatRestoreRecord(running)},
        {L"bad", L"process=1"},
        {L"10-100", FormatRestoreRecord(older)},
        {L"12-50", FormatRestoreRecord(reused)},
    };
    const std::set<std::pair<std::uint32_t, std::uint64_t>> runningNow = {{12, 150}};
    const LeftRecordPlan plan = PlanLeftRecords(stored, [&](const ProcessIdentity& owner) {
        return runningNow.count({owner.processId, owner.creationTime}) > 0;
    });
    EXPECT_EQ(plan.restore, (std::vector<RestoreRecord>{newer, older, reused}));
    EXPECT_EQ(plan.remove, (std::vector<std::wstring>{L"11-200", L"bad", L"10-100", L"12-50"}));
}

TEST(RestoreRecord, OnlyLevelsFromThePanelsTableAreSetAgain) {
    const std::vector<std::uint8_t> table = {0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100};
    const auto levels = [](int ac, int dc) {
        return RestoreRecord{{1, 1},
                             DisplayBrightness{kDisplayPolicyAc, static_cast<std::uint8_t>(ac),
                                               static_cast<std::uint8_t>(dc)}};
    };
    struct Row {
        const char* name;
        RestoreRecord record;
        std::vector<std::uint8_t> table;
        std::optional<DisplayBrightness> set;
    };
    const Row rows[] = {
        {"both listed, set for both sources", levels(80, 30), table, DisplayBrightness{3, 80, 30}},
        {"lowest listed level", levels(0, 0), table, DisplayBrightness{3, 0, 0}},
        {"mains level not listed", levels(255, 30), table, std::nullopt},
        {"battery level not listed", levels(80, 35), table, std::nullopt},
        {"0 from a panel that does not list it", levels(0, 0), {5, 50, 100}, std::nullopt},
        {"no table", levels(80, 80), {}, std::nullopt},
        {"nothing captured", {{1, 1}, std::nullopt}, table, std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(BrightnessFromRecord(row.record, row.table), row.set);
    }
}

TEST(RestoreRecord, OnlyProofOfAnEndCountsAsGone) {
    const ProcessIdentity owner{4242, 1000};
    struct Row {
        const char* name;
        OwnerState state;
        bool runs;
    };
    const Row rows[] = {
        {"running, same start", {OwnerLookup::Opened, false, 1000}, true},
        {"ended", {OwnerLookup::Opened, true, 1000}, false},
        {"identifier reused by a later process", {OwnerLookup::Opened, false, 2000}, false},
        {"times unreadable", {OwnerLookup::Opened, false, std::nullopt}, true},
        {"higher integrity level: access denied", {OwnerLookup::AccessDenied, false, {}}, true},
        {"no such process", {OwnerLookup::NoSuchProcess, false, {}}, false},
        {"other failure", {OwnerLookup::Failed, false, {}}, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(OwnerRuns(owner, row.state), row.runs);
    }
}

TEST(RestoreRecord, WatchCommandLine) {
    const RestoreWatchCommand command{0x1a4, 0x1b0, {4242, 133500000000000000}};
    const std::wstring arguments = FormatRestoreWatchArguments(command);
    EXPECT_EQ(arguments, L"/~brightness-watch 420 432 4242 133500000000000000");
    struct Row {
        const char* name;
        std::wstring line;
        bool parsed;
    };
    const Row rows[] = {
        {"quoted program with blanks", L"\"C:\\Program Files\\D\\Duskpanel.scr\" " + arguments,
         true},
        {"plain program, extra blanks before", L"Duskpanel.scr   " + arguments, true},
        {"saver switch", L"\"Duskpanel.scr\" /w", false},
        {"program name only", L"Duskpanel.scr", false},
        {"missing time", L"D.scr /~brightness-watch 420 432 4242", false},
        {"trailing text", L"D.scr " + arguments + L" /w", false},
        {"leading zero", L"D.scr /~brightness-watch 0420 432 4242 1", false},
        {"id beyond 32 bits", L"D.scr /~brightness-watch 1 2 4294967296 1", false},
        {"other prefix", L"D.scr -~brightness-watch 420 432 4242 1", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::optional<RestoreWatchCommand> parsed = ParseRestoreWatchCommand(row.line);
        EXPECT_EQ(parsed.has_value(), row.parsed);
        if (parsed && row.parsed) {
            EXPECT_EQ(*parsed, command);
        }
    }
}

} // namespace
} // namespace dp
