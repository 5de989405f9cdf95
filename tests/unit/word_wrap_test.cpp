// Word wrap decisions on runs of fixed-width characters (10 pixels each), and the time a long
// run of any shape takes to lay out.
#include "renderer/html_layout.h"
#include "renderer/word_wrap.h"
#include "tests/support/html_fakes.h"

#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

namespace dp::html {
namespace {

std::vector<int> Ends(std::wstring_view text) {
    std::vector<int> ends(text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
        ends[i] = 10 * static_cast<int>(i + 1);
    return ends;
}

struct DecisionRow {
    const char* name;
    std::wstring_view text;
    std::size_t from;
    int available;
    bool lineEmpty;
    bool fitsWhole;
    bool moveWhole;
    std::size_t placeEnd;
    std::size_t next;
};

class WrapDecisionTest : public testing::TestWithParam<DecisionRow> {};

TEST_P(WrapDecisionTest, Decides) {
    const DecisionRow& row = GetParam();
    const std::vector<int> ends = Ends(row.text);
    const WrapDecision d = WrapRun(row.text, ends, row.from, row.available, row.lineEmpty,
                                   TrimRight(row.text, 0, row.text.size()));
    EXPECT_EQ(d.fitsWhole, row.fitsWhole);
    EXPECT_EQ(d.moveWhole, row.moveWhole);
    EXPECT_EQ(d.placeEnd, row.placeEnd);
    EXPECT_EQ(d.next, row.next);
}

INSTANTIATE_TEST_SUITE_P(
    Decisions, WrapDecisionTest,
    testing::Values(
        DecisionRow{"TrailingBlanksDoNotCount", L"abc    ", 0, 30, false, true, false, 7, 7},
        DecisionRow{"FromTheMiddle", L"ab cd ef", 3, 50, false, true, false, 8, 8},
        DecisionRow{"LastBreakThatFits", L"ab cd ef", 0, 50, false, false, false, 5, 6},
        DecisionRow{"BlanksBeforeTheOverflowHang", L"ab      cdef", 0, 30, false, false, false, 2,
                    8},
        DecisionRow{"CutLeavesTheRestOfTheWord", L"abc     ", 0, 20, true, false, false, 2, 2},
        DecisionRow{"HyphenIsKept", L"ab-cdef", 0, 50, false, false, false, 3, 3},
        DecisionRow{"BreakCharacterThatOverflowsIsNoBreak", L"abcd-ef", 0, 40, false, false, true,
                    0, 0},
        DecisionRow{"NoBreakMovesTheRunToAFreshLine", L"abcdef", 0, 30, false, false, true, 0, 0},
        DecisionRow{"FreshLineCutsByCharacter", L"abcdef", 0, 30, true, false, false, 3, 3},
        DecisionRow{"FreshLineTakesOneCharacterAtLeast", L"abcdef", 2, 0, true, false, false, 3, 3},
        DecisionRow{"CutKeepsASurrogatePairWhole", L"ab\xD83D\xDE00z", 0, 30, true, false, false, 2,
                    2},
        DecisionRow{"LoneSurrogatePairTakenWhole", L"\xD83D\xDE00z", 0, 5, true, false, false, 2,
                    2}),
    [](const auto& info) { return std::string(info.param.name); });

long long CpuMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

std::wstring Repeat(std::wstring_view piece, std::size_t count) {
    std::wstring text;
    while (text.size() < count)
        text += piece;
    text.resize(count);
    return text;
}

struct ShapeRow {
    const char* name;
    std::wstring text;
};

class LongRunTest : public testing::TestWithParam<ShapeRow> {};

// A megabyte of text lays out (measured and drawn, 400 pixels wide) in well under a second; a
// wrap that rescans the rest of the run for every line takes tens of seconds here.
TEST_P(LongRunTest, LaysOutInLinearTime) {
    test::FakeTextMeasurer measurer;
    const LayoutServices services{measurer};
    const PreparedText prepared = PrepareText(GetParam().text);
    const long long start = CpuMilliseconds();
    LayoutOptions options;
    options.width = 400;
    const DisplayList list = LayOut(prepared, StyleSheet::Default(), services, options);
    EXPECT_LT(CpuMilliseconds() - start, 3000);
    EXPECT_GT(list.height, 0);
    for (const DisplayOp& op : list.ops) {
        if (const auto* t = std::get_if<TextOp>(&op)) {
            EXPECT_LE(t->x + t->width, 400);
        }
    }
}

std::wstring Cjk(std::size_t count) {
    std::wstring text;
    for (std::size_t i = 0; i < count; ++i)
        text.push_back(static_cast<wchar_t>(0x4E00 + i % 0x5000));
    return text;
}

constexpr std::size_t kMegabyte = 1 << 20;

INSTANTIATE_TEST_SUITE_P(
    Shapes, LongRunTest,
    testing::Values(ShapeRow{"Unbreakable", Repeat(L"x", kMegabyte)},
                    ShapeRow{"Cjk", Cjk(kMegabyte)}, ShapeRow{"LessThan", Repeat(L"<", kMegabyte)},
                    ShapeRow{"Ampersands", Repeat(L"&amp", kMegabyte)},
                    ShapeRow{"ShortWords", Repeat(L"a b ", kMegabyte)},
                    ShapeRow{"Blanks", L"x" + Repeat(L" ", kMegabyte) + L"x"},
                    ShapeRow{"BlanksBetweenWords", Repeat(L"x" + Repeat(L" ", 999), kMegabyte)}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace dp::html
