#include "brightness/restore_record.h"

#include <algorithm>
#include <limits>

namespace dp {

namespace {

constexpr std::wstring_view kProcessField = L"process=";
constexpr std::wstring_view kStartedField = L" started=";
constexpr std::wstring_view kRestoreField = L" restore=";
constexpr std::wstring_view kPowerScheme = L"power-scheme";

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

} // namespace

std::wstring RestoreRecordName(const ProcessIdentity& owner) {
    return std::to_wstring(owner.processId) + L"-" + std::to_wstring(owner.creationTime);
}

std::wstring FormatRestoreRecord(const RestoreRecord& record) {
    std::wstring text = std::wstring(kProcessField) + std::to_wstring(record.owner.processId) +
                        std::wstring(kStartedField) + std::to_wstring(record.owner.creationTime) +
                        std::wstring(kRestoreField);
    if (!record.captured)
        return text + std::wstring(kPowerScheme);
    return text + std::to_wstring(record.captured->ucACBrightness) + L"," +
           std::to_wstring(record.captured->ucDCBrightness);
}

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
    const auto captured = ParseCaptured(text);
    if (!captured)
        return std::nullopt;
    record.owner = {static_cast<std::uint32_t>(*processId), *creationTime};
    record.captured = *captured;
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
