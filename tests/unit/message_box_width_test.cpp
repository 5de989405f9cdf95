// The message of a rich message box beside its icon keeps to the width the box allows: long
// paths, CJK sentences, wide tables and cells break (by character where nothing else allows)
// instead of widening the box. The deterministic measurer: 7 pixels a character.
#include "renderer/html_layout.h"
#include "richmsg/message_box_text.h"
#include "tests/support/html_fakes.h"

#include <gtest/gtest.h>

#include <string>
#include <variant>

namespace dp::richbox {
namespace {

struct WidthRow {
    const char* name;
    std::wstring message;
    int maxWidth;
    int leastLines; // text lines at least (the message did wrap)
};

class MessageWidthTest : public testing::TestWithParam<WidthRow> {};

html::DisplayList LayOutAt(std::wstring_view html, int width) {
    test::FakeTextMeasurer measurer;
    test::FakeImages images;
    const html::LayoutServices services{measurer, &images};
    html::LayoutOptions options;
    options.width = width;
    return html::LayOut(html::PrepareText(html), html::StyleSheet::Default(), services, options);
}

int TextLines(const html::DisplayList& list) {
    int lines = 0, lastY = -1;
    for (const html::DisplayOp& op : list.ops) {
        if (const auto* t = std::get_if<html::TextOp>(&op); t && t->y != lastY) {
            ++lines;
            lastY = t->y;
        }
    }
    return lines;
}

TEST_P(MessageWidthTest, StaysWithinTheWidth) {
    const WidthRow& row = GetParam();
    const std::wstring html = WrapMessage(row.message, false, 0x1234, 32);
    const html::DisplayList list = LayOutAt(html, row.maxWidth);
    EXPECT_LE(list.width, row.maxWidth);
    EXPECT_GE(TextLines(list), row.leastLines);
    for (const html::DisplayOp& op : list.ops) {
        if (const auto* t = std::get_if<html::TextOp>(&op)) {
            EXPECT_GE(t->x, 0);
            EXPECT_LE(t->x + t->width, row.maxWidth);
        }
    }
    // Drawn at the width it measured, it keeps its lines.
    EXPECT_EQ(LayOutAt(html, list.width).height, list.height);
}

std::wstring Path(int folders) {
    std::wstring path = L"C:";
    for (int i = 0; i < folders; ++i)
        path += L"\\folder" + std::to_wstring(i);
    return path;
}

std::wstring Cjk(int count) {
    std::wstring text;
    for (int i = 0; i < count; ++i)
        text.push_back(static_cast<wchar_t>(0x4E00 + i));
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    Messages, MessageWidthTest,
    testing::Values(
        WidthRow{"ShortMessage", L"Saved.", 400, 1},
        WidthRow{"WordsWrap",
                 L"The panel's backlight goes back to the level read at opening "
                 L"once the preview ends.",
                 200, 3},
        WidthRow{"LongPath", L"Cannot open " + Path(20), 400, 3},
        WidthRow{"PathAfterWords", L"The file " + Path(20) + L" is missing.", 400, 3},
        WidthRow{"CjkSentence", Cjk(160), 400, 3},
        WidthRow{"WideTableInTheMessage", L"<table width=5000><tr><td>a</td></tr></table>", 400, 1},
        WidthRow{"WideCellInTheMessage",
                 L"<table><tr><td width=3000>a</td><td>" + Path(10) + L"</td></tr></table>", 400,
                 2},
        WidthRow{"NestedTablesWithLongWords",
                 L"<table><tr><td><table><tr><td>" + Path(30) + L"</td><td>" + Cjk(100) +
                     L"</td></tr></table></td></tr></table>",
                 300, 4},
        WidthRow{"NarrowBox", Path(5), 80, 4},
        WidthRow{"MegabyteWithoutBreaks", std::wstring(1 << 20, L'x'), 400, 1000}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace dp::richbox
