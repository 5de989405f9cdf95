// The note a process leaves in the user's profile while it holds the panel at a brightness other
// than the user's: who it is, and what puts the brightness back. A process that ends in an
// orderly way clears its note; one that is killed leaves it, and the next start of the program
// puts the brightness back from it.
#pragma once

#include "brightness/display_brightness.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
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

// An external monitor's brightness from before the first change, by the monitor's position.
struct MonitorRestore {
    std::uint32_t index = 0;
    std::uint32_t value = 0;

    friend bool operator==(const MonitorRestore&, const MonitorRestore&) = default;
};

// No desk has more monitors than this; a record lists no more.
inline constexpr std::size_t kMaxRecordMonitors = 16;

struct RestoreRecord {
    ProcessIdentity owner;
    // The brightness captured before the first change, to be set again for both power sources;
    // nothing: the capture failed, and re-applying the active power scheme puts it back.
    std::optional<DisplayBrightness> captured;
    // The external monitors changed so far, each listed once, in the order they were read.
    std::vector<MonitorRestore> monitors = {};

    friend bool operator==(const RestoreRecord&, const RestoreRecord&) = default;
};

// The stored form, one line: "process=<id> started=<time> restore=<ac>,<dc>" or
// "... restore=power-scheme", and with monitors " monitors=<index>:<value>,<index>:<value>"
// after it. At most kMaxRecordMonitors monitors are written.
std::wstring FormatRestoreRecord(const RestoreRecord& record);
// Nothing unless the text is exactly what FormatRestoreRecord writes (a monitor listed twice or
// too many monitors included).
std::optional<RestoreRecord> ParseRestoreRecord(std::wstring_view text);
// The name a process files its record under: one per process, so that a running process's
// record is never overwritten by another's.
std::wstring RestoreRecordName(const ProcessIdentity& owner);

// The brightness to set for both power sources from a record: only when both its levels are
// levels the panel lists (levels: its table). Nothing for a record that captured nothing, or one
// whose levels are not the panel's (the record lives in the user's profile and may have been
// damaged or edited): the active power scheme puts the brightness back then instead.
std::optional<DisplayBrightness> BrightnessFromRecord(const RestoreRecord& record,
                                                      std::span<const std::uint8_t> levels);

// What the system said when asked about the process that wrote a record.
enum class OwnerLookup {
    Opened,        // opened with the limited query right
    AccessDenied,  // exists, but runs at a level this process may not look at
    NoSuchProcess, // no process has that identifier
    Failed,        // any other answer
};
struct OwnerState {
    OwnerLookup lookup = OwnerLookup::Failed;
    bool ended = false;                        // opened, and it has ended
    std::optional<std::uint64_t> creationTime; // opened, and its times could be read
};
// Whether the writer of a record still runs. Only proof that it is gone (no such process, an
// ended one, or a newer process that reuses its identifier) counts as gone: restoring under a
// running saver would undo its dimming and delete the record it relies on.
bool OwnerRuns(const ProcessIdentity& owner, const OwnerState& state);

// The hidden copy of the program that watches a dimming process: waits on that process's handle
// and on an event its exception filter sets, then puts back the process's record if it is still
// there. Handles are inherited, so they are passed as numbers.
struct RestoreWatchCommand {
    std::uint64_t processHandle = 0;
    std::uint64_t crashEvent = 0;
    ProcessIdentity owner;

    friend bool operator==(const RestoreWatchCommand&, const RestoreWatchCommand&) = default;
};
// The arguments after the program name: "/~brightness-watch <process> <event> <id> <time>". The
// switch is no letter the screen-saver command line knows, so that a mistyped form ends as an
// unknown switch does.
std::wstring FormatRestoreWatchArguments(const RestoreWatchCommand& command);
// The whole process command line; nothing unless it is the program name followed by exactly
// what FormatRestoreWatchArguments writes.
std::optional<RestoreWatchCommand> ParseRestoreWatchCommand(std::wstring_view commandLine);

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
