// The note a process leaves in the user's profile while it holds the panel at a brightness other
// than the user's: who it is, and what puts the brightness back. A process that ends in an
// orderly way clears its note; one that is killed leaves it, and the next start of the program
// puts the brightness back from it.
#pragma once

#include "brightness/display_brightness.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dp {

// A process, told apart from a later one that reuses its identifier by its creation time.
struct ProcessIdentity {
    std::uint32_t processId = 0;
    std::uint64_t creationTime = 0; // FILETIME units

    friend bool operator==(const ProcessIdentity&, const ProcessIdentity&) = default;
};

struct RestoreRecord {
    ProcessIdentity owner;
    // The brightness captured before the first change, to be set again for both power sources;
    // nothing: the capture failed, and re-applying the active power scheme puts it back.
    std::optional<DisplayBrightness> captured;

    friend bool operator==(const RestoreRecord&, const RestoreRecord&) = default;
};

// The stored form, one line: "process=<id> started=<time> restore=<ac>,<dc>" or
// "... restore=power-scheme".
std::wstring FormatRestoreRecord(const RestoreRecord& record);
// Nothing unless the text is exactly what FormatRestoreRecord writes.
std::optional<RestoreRecord> ParseRestoreRecord(std::wstring_view text);
// The name a process files its record under: one per process, so that a running process's
// record is never overwritten by another's.
std::wstring RestoreRecordName(const ProcessIdentity& owner);

// The records the profile holds, by name; text empty when the stored value is not text.
struct StoredRestoreRecord {
    std::wstring name;
    std::wstring text;
};

// What the start-up does with the records it finds.
struct LeftRecordPlan {
    // Records of processes that no longer run, in the order to put them back: the newest
    // first, so that the oldest, taken before any other process changed the panel, is set last.
    std::vector<RestoreRecord> restore;
    // Every record to delete: the ones above (once put back) and the unreadable ones.
    std::vector<std::wstring> remove;
};

// isRunning tells whether the process that wrote a record still runs; its records are left
// alone.
LeftRecordPlan PlanLeftRecords(const std::vector<StoredRestoreRecord>& stored,
                               const std::function<bool(const ProcessIdentity&)>& isRunning);

} // namespace dp
