#include "brightness/restore_record.h"

#include <algorithm>
#include <limits>

namespace dp {

namespace {

constexpr std::wstring_view kProcessField = L"process=";
constexpr std::wstring_view kStartedField = L" started=";
constexpr std::wstring_view kRestoreField = L" restore=";
constexpr std::wstring_view kPowerScheme = L"power-scheme";
constexpr std::wstring_view kMonitorsField = L" monitors=";

// Takes `prefix` off the front of text; false when text does not start with it.
bool Consume(std::wstring_view& text, std::wstring_view prefix) {
    if (!text.starts_with(prefix))
        return false;
    text.remove_prefix(prefix.size());
    return true;
}

// Leading decimal digits of text, taken off it; nothing without digits or beyond max.
std::optional<std::uint64_t> ConsumeNumber(std::wstring_view& text, std::uint64_t max) {
    std::uint64_t value = 0;
    std::size_t digits = 0;
    for (; digits < text.size() && text[digits] >= L'0' && text[digits] <= L'9'; ++digits) {
        const auto digit = static_cast<std::uint64_t>(text[digits] - L'0');
        if (value > (max - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    if (digits == 0)
        return std::nullopt;
    text.remove_prefix(digits);
    return value;
}

std::optional<std::uint8_t> ConsumeLevel(std::wstring_view& text) {
    const auto level = ConsumeNumber(text, std::numeric_limits<std::uint8_t>::max());
    if (!level)
        return std::nullopt;
    return static_cast<std::uint8_t>(*level);
}

// What follows "restore=": the two levels, or the power scheme. Nothing for anything else.
std::optional<std::optional<DisplayBrightness>> ParseCaptured(std::wstring_view text) {
    if (text == kPowerScheme)
        return std::optional<DisplayBrightness>();
    const auto ac = ConsumeLevel(text);
    if (!ac || !Consume(text, L","))
        return std::nullopt;
    const auto dc = ConsumeLevel(text);
    if (!dc || !text.empty())
        return std::nullopt;
    return DisplayBrightness{kDisplayPolicyBoth, *ac, *dc};
}

constexpr std::wstring_view kWatchSwitch = L"/~brightness-watch";

// The command line after the program name, as the screen-saver switches are read: a quoted name
// runs to the next quote, any other to the first blank; then the one character after it.
std::wstring_view AfterProgramName(std::wstring_view line) {
    std::size_t at = 0;
    if (!line.empty() && line[0] == L'"') {
        at = line.find(L'"', 1);
        at = at == std::wstring_view::npos ? line.size() : at;
    } else {
        at = std::min(line.find(L' '), line.size());
    }
    if (at < line.size())
        ++at;
    line.remove_prefix(at);
    while (!line.empty() && line.front() == L' ')
        line.remove_prefix(1);
    return line;
}

} // namespace

std::optional<DisplayBrightness> BrightnessFromRecord(const RestoreRecord& record,
                                                      std::span<const std::uint8_t> levels) {
    if (!record.captured)
        return std::nullopt;
    const auto listed = [&](std::uint8_t level) {
        return std::find(levels.begin(), levels.end(), level) != levels.end();
    };
    if (!listed(record.captured->ucACBrightness) || !listed(record.captured->ucDCBrightness))
        return std::nullopt;
    return DisplayBrightness{kDisplayPolicyBoth, record.captured->ucACBrightness,
                             record.captured->ucDCBrightness};
}

bool OwnerRuns(const ProcessIdentity& owner, const OwnerState& state) {
    switch (state.lookup) {
    case OwnerLookup::NoSuchProcess:
        return false;
    case OwnerLookup::AccessDenied:
    case OwnerLookup::Failed:
        return true;
    case OwnerLookup::Opened:
        break;
    }
    if (state.ended)
        return false;
    return !state.creationTime || *state.creationTime == owner.creationTime;
}

std::wstring FormatRestoreWatchArguments(const RestoreWatchCommand& command) {
    return std::wstring(kWatchSwitch) + L" " + std::to_wstring(command.processHandle) + L" " +
           std::to_wstring(command.crashEvent) + L" " + std::to_wstring(command.owner.processId) +
           L" " + std::to_wstring(command.owner.creationTime);
}

std::optional<RestoreWatchCommand> ParseRestoreWatchCommand(std::wstring_view commandLine) {
    std::wstring_view text = AfterProgramName(commandLine);
    const std::wstring_view whole = text;
    constexpr auto kAny = std::numeric_limits<std::uint64_t>::max();
    if (!Consume(text, kWatchSwitch) || !Consume(text, L" "))
        return std::nullopt;
    const auto process = ConsumeNumber(text, kAny);
    if (!process || !Consume(text, L" "))
        return std::nullopt;
    const auto event = ConsumeNumber(text, kAny);
    if (!event || !Consume(text, L" "))
        return std::nullopt;
    const auto id = ConsumeNumber(text, std::numeric_limits<std::uint32_t>::max());
    if (!id || !Consume(text, L" "))
        return std::nullopt;
    const auto created = ConsumeNumber(text, kAny);
    if (!created || !text.empty())
        return std::nullopt;
    RestoreWatchCommand command{*process, *event, {static_cast<std::uint32_t>(*id), *created}};
    // Leading zeros and the like: only the program's own form is taken.
    if (FormatRestoreWatchArguments(command) != whole)
        return std::nullopt;
    return command;
}

std::wstring RestoreRecordName(const ProcessIdentity& owner) {
    return std::to_wstring(owner.processId) + L"-" + std::to_wstring(owner.creationTime);
}

std::wstring FormatRestoreRecord(const RestoreRecord& record) {
    std::wstring text = std::wstring(kProcessField) + std::to_wstring(record.owner.processId) +
                        std::wstring(kStartedField) + std::to_wstring(record.owner.creationTime) +
                        std::wstring(kRestoreField);
    if (!record.captured)
        text += kPowerScheme;
    else
        text += std::to_wstring(record.captured->ucACBrightness) + L"," +
                std::to_wstring(record.captured->ucDCBrightness);
    const std::size_t count = std::min(record.monitors.size(), kMaxRecordMonitors);
    for (std::size_t i = 0; i < count; ++i) {
        text += i == 0 ? kMonitorsField : std::wstring_view(L",");
        text += std::to_wstring(record.monitors[i].index) + L":" +
                std::to_wstring(record.monitors[i].value);
    }
    return text;
}

namespace {

// The monitors after the captured brightness: nothing when the list is malformed, too long or
// names a monitor twice; an empty list when there is none.
std::optional<std::vector<MonitorRestore>> ConsumeMonitors(std::wstring_view& text) {
    std::vector<MonitorRestore> monitors;
    if (text.empty())
        return monitors;
    if (!Consume(text, kMonitorsField))
        return std::nullopt;
    constexpr auto kAny = std::numeric_limits<std::uint32_t>::max();
    do {
        const auto index = ConsumeNumber(text, kAny);
        if (!index || !Consume(text, L":"))
            return std::nullopt;
        const auto value = ConsumeNumber(text, kAny);
        if (!value || monitors.size() == kMaxRecordMonitors)
            return std::nullopt;
        const MonitorRestore monitor{static_cast<std::uint32_t>(*index),
                                     static_cast<std::uint32_t>(*value)};
        for (const MonitorRestore& seen : monitors)
            if (seen.index == monitor.index)
                return std::nullopt;
        monitors.push_back(monitor);
    } while (Consume(text, L","));
    if (!text.empty())
        return std::nullopt;
    return monitors;
}

} // namespace

std::optional<RestoreRecord> ParseRestoreRecord(std::wstring_view text) {
    const std::wstring_view whole = text;
    RestoreRecord record;
    if (!Consume(text, kProcessField))
        return std::nullopt;
    const auto processId = ConsumeNumber(text, std::numeric_limits<std::uint32_t>::max());
    if (!processId || !Consume(text, kStartedField))
        return std::nullopt;
    const auto creationTime = ConsumeNumber(text, std::numeric_limits<std::uint64_t>::max());
    if (!creationTime || !Consume(text, kRestoreField))
        return std::nullopt;
    // The captured brightness ends where the monitors begin.
    const std::size_t monitorsAt = text.find(kMonitorsField);
    std::wstring_view captureText = text.substr(0, monitorsAt);
    std::wstring_view monitorText =
        monitorsAt == std::wstring_view::npos ? std::wstring_view() : text.substr(monitorsAt);
    const auto captured = ParseCaptured(captureText);
    if (!captured)
        return std::nullopt;
    auto monitors = ConsumeMonitors(monitorText);
    if (!monitors)
        return std::nullopt;
    record.owner = {static_cast<std::uint32_t>(*processId), *creationTime};
    record.captured = *captured;
    record.monitors = std::move(*monitors);
    // Leading zeros and the like: only the program's own form is taken.
    if (FormatRestoreRecord(record) != whole)
        return std::nullopt;
    return record;
}

LeftRecordPlan PlanLeftRecords(const std::vector<StoredRestoreRecord>& stored,
                               const std::function<bool(const ProcessIdentity&)>& isRunning) {
    LeftRecordPlan plan;
    for (const StoredRestoreRecord& entry : stored) {
        const std::optional<RestoreRecord> record = ParseRestoreRecord(entry.text);
        if (record && isRunning(record->owner))
            continue;
        if (record)
            plan.restore.push_back(*record);
        plan.remove.push_back(entry.name);
    }
    std::stable_sort(plan.restore.begin(), plan.restore.end(),
                     [](const RestoreRecord& a, const RestoreRecord& b) {
                         return a.owner.creationTime > b.owner.creationTime;
                     });
    return plan;
}

} // namespace dp
