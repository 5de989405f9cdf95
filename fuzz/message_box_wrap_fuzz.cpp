// The message beside the icon: whatever table markup, entities and stray "<" the message holds,
// the icon table keeps one row of two cells and everything of the message stays in the second.
#include "fuzz/fuzz_text.h"
#include "renderer/html_layout.h"
#include "richmsg/message_box_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const dp::fuzz::CpuBudget budget(size);
    const std::wstring text = dp::fuzz::WideText(data, size);
    for (const bool right : {false, true}) {
        const dp::html::PreparedText prepared =
            dp::html::PrepareText(dp::richbox::WrapMessage(text, right, 0x1234, 32));
        // ... <td> message </td></tr></table></body>
        const int count = static_cast<int>(prepared.tokens.tokens.size());
        DP_FUZZ_CHECK(!prepared.tables.empty());
        const dp::html::TableShape& icon = prepared.tables.front();
        DP_FUZZ_CHECK(icon.end == count - 2);
        DP_FUZZ_CHECK(icon.rows.size() == 1 && icon.rows[0].cells.size() == 2);
        DP_FUZZ_CHECK(icon.rows[0].cells[1].end == count - 4);
    }
    budget.Check();
    return 0;
}
