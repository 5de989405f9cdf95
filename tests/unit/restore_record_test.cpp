#include "brightness/restore_record.h"

#include <gtest/gtest.h>

#include <set>

namespace dp {
namespace {

const RestoreRecord kLevels{{4242, 133500000000000000}, DisplayBrightness{3, 80, 75}};
const RestoreRecord kScheme{{7, 18446744073709551615u}, std::nullopt};

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
    };
    for (const ParseRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ParseRestoreRecord(row.text), row.record);
    }
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

} // namespace
} // namespace dp
