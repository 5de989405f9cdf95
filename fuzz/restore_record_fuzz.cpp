// The record a dimming process leaves in the profile, as read back at the next start (the
// profile is the user's to edit, so any text may come back).
#include "brightness/restore_record.h"
#include "fuzz/fuzz_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring text = dp::fuzz::WideText(data, size);
    const auto record = dp::ParseRestoreRecord(text);
    if (!record)
        return 0;
    // Only the program's own form is taken, and it reads back as the same record.
    DP_FUZZ_CHECK(dp::FormatRestoreRecord(*record) == text);
    DP_FUZZ_CHECK(dp::ParseRestoreRecord(dp::FormatRestoreRecord(*record)) == record);
    if (record->captured)
        DP_FUZZ_CHECK(record->captured->ucDisplayPolicy == dp::kDisplayPolicyBoth);
    return 0;
}
