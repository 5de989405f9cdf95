// The layout engine against the deterministic measurer: a character of a 13-pixel font is 7
// pixels wide (8 when bold), so widths below count characters.
#include "renderer/html_document.h"
#include "renderer/html_layout.h"
#include "tests/support/html_fakes.h"

#include <gtest/gtest.h>

#include <string>
#include <variant>

namespace dp::html {
namespace {

struct Fixture {
    test::FakeTextMeasurer measurer;
    test::FakeImages images;
    test::FakeStrings strings;
    test::FakeSystemColours colours;

    DisplayList Render(std::wstring_view html, int width = 400, int hovered = -2) {
        LayoutServices services{measurer, &images, &strings, &colours};
        LayoutOptions options;
        options.width = width;
        options.hoveredLink = hovered;
        options.shadowOffset = 2;
        return LayOut(PrepareText(html), StyleSheet::Default(), services, options);
    }
};

template <typename Op> std::vector<Op> OpsOf(const DisplayList& list) {
    std::vector<Op> out;
    for (const DisplayOp& op : list.ops)
        if (const Op* o = std::get_if<Op>(&op))
            out.push_back(*o);
    return out;
}

std::wstring TextOf(const DisplayList& list, const TextOp& op) {
    return list.text.substr(op.start, op.length);
}

// The text of each line: a line starts where a run does not start further right.
std::vector<std::wstring> Lines(const DisplayList& list) {
    std::vector<std::wstring> lines;
    int lastX = 1 << 30;
    for (const TextOp& op : OpsOf<TextOp>(list)) {
        if (lines.empty() || op.x <= lastX)
            lines.emplace_back();
        lines.back() += TextOf(list, op);
        lastX = op.x;
    }
    return lines;
}

struct StyleRow {
    const char* name;
    std::wstring_view html;
    std::wstring_view text; // of the first run
    int size;
    int weight;
    bool italic;
    std::uint32_t colour;
};

class StyleTest : public testing::TestWithParam<StyleRow> {};

TEST_P(StyleTest, FirstRunHasTheStyle) {
    Fixture f;
    const StyleRow& row = GetParam();
    const DisplayList list = f.Render(row.html);
    const std::vector<TextOp> texts = OpsOf<TextOp>(list);
    ASSERT_FALSE(texts.empty());
    const FontSpec& font = list.fonts[static_cast<std::size_t>(texts[0].font)];
    EXPECT_EQ(TextOf(list, texts[0]), row.text);
    EXPECT_EQ(font.height, row.size);
    EXPECT_EQ(font.weight, row.weight);
    EXPECT_EQ(font.italic, row.italic);
    EXPECT_EQ(texts[0].colour, row.colour);
}

INSTANTIATE_TEST_SUITE_P(
    Styles, StyleTest,
    testing::Values(
        StyleRow{"BodyIsTenPoints", L"x", L"x", 13, 400, false, 0},
        StyleRow{"BoldDoubles", L"<b>x</b>", L"x", 13, 800, false, 0},
        StyleRow{"NestedBoldCapsAt900", L"<b><b>x</b></b>", L"x", 13, 900, false, 0},
        StyleRow{"NestedItalicIsUpright", L"<i><i>x</i></i>", L"x", 13, 400, false, 0},
        StyleRow{"EntitiesAreNoTags", L"&lt;b&gt;x", L"<b>x", 13, 400, false, 0},
        StyleRow{"ClosingAnotherTagIgnored", L"<b><i></b>x", L"x", 13, 800, true, 0},
        StyleRow{"BreakDoesNotBlockTheClosingTag", L"<b><br></b>x", L"x", 13, 400, false, 0},
        StyleRow{"SheetRuleH2", L"<h2>x</h2>", L"x", 17, 700, false, 0x0099FF},
        StyleRow{"SheetRuleParagraph", L"<p>x</p>", L"x", 13, 700, false, 0},
        StyleRow{"SpanClass", L"<span class=cpp-comment>x</span>", L"x", 13, 400, true, 0x008000},
        StyleRow{"FontAttributes", L"<font size=3 color=#102030 style='font-weight:bold'>x", L"x",
                 12, 700, false, 0x302010},
        StyleRow{"BigThenSmall", L"<big><small>x", L"x", 12, 400, false, 0},
        StyleRow{"FontSizeZeroIsOnePixel", L"<font size=0px>x", L"x", 1, 400, false, 0},
        StyleRow{"HugeFontSizeCapped", L"<font size=100000>x", L"x", 512, 400, false, 0},
        StyleRow{"Capitalised", L"<font style='text-transform:capitalize'>hELLO wORLD",
                 L"Hello World", 13, 400, false, 0},
        StyleRow{"UpperCaseLatin1", L"<font style='text-transform:uppercase'>\u00e9t\u00e9",
                 L"\u00c9T\u00c9", 13, 400, false, 0}),
    [](const auto& info) { return std::string(info.param.name); });

struct WrapRow {
    const char* name;
    std::wstring_view html;
    int width;
    std::vector<std::wstring> lines;
};

class WrapTest : public testing::TestWithParam<WrapRow> {};

TEST_P(WrapTest, BreaksLines) {
    Fixture f;
    EXPECT_EQ(Lines(f.Render(GetParam().html, GetParam().width)), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Wrapping, WrapTest,
    testing::Values(
        WrapRow{"AfterBlank", L"aaa bbb ccc", 50, {L"aaa bbb", L"ccc"}},
        WrapRow{"HyphenStays", L"well-known fact", 40, {L"well-", L"known", L"fact"}},
        WrapRow{"LongWordAtLineStartIsCut", L"abcdefghijkl", 50, {L"abcdefg", L"hijkl"}},
        WrapRow{
            "LongWordAfterTextMovesFirst", L"xy abcdefghijkl", 50, {L"xy", L"abcdefg", L"hijkl"}},
        WrapRow{"RunThatCannotBreakMovesWhole", L"abcd<b>efghij</b>", 50, {L"abcd", L"efghij"}},
        WrapRow{"TrailingBlankMayHang", L"abcdefg hi", 49, {L"abcdefg", L"hi"}},
        WrapRow{"BlankAfterAFullLineIsDropped", L"abcd <b> de</b>", 28, {L"abcd", L"de"}},
        WrapRow{"LineFeedsBreak", L"a\nb<br>c", 400, {L"a", L"b", L"c"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LayoutTest, EmptyLinesKeepTheirHeight) {
    Fixture f;
    EXPECT_EQ(f.Render(L"a\n\nb").height, 3 * 13);
}

TEST(LayoutTest, JustifiesWrappedLinesButNotTheLast) {
    Fixture f;
    const DisplayList list = f.Render(L"<justify>aaa bbb ccc ddd eee</justify>", 100);
    const std::vector<TextOp> texts = OpsOf<TextOp>(list);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(TextOf(list, texts[0]), L"aaa bbb ccc");
    EXPECT_EQ(texts[0].justifyExtra, 100 - 77);
    EXPECT_EQ(texts[0].justifyBreaks, 2);
    EXPECT_EQ(texts[0].x + texts[0].width, 100);
    EXPECT_EQ(texts[1].justifyExtra, 0);
}

TEST(LayoutTest, AlignsLines) {
    Fixture f;
    const std::vector<TextOp> texts =
        OpsOf<TextOp>(f.Render(L"<center>ab</center>\n<right>ab</right>", 100));
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].x, (100 - 14) / 2);
    EXPECT_EQ(texts[1].x, 100 - 14);
}

TEST(LayoutTest, DrawingAtTheMeasuredWidthKeepsTheLayout) {
    Fixture f;
    const std::wstring_view html =
        L"Some <b>bold words</b> and a <a href=x>link that runs on</a>, then more text to "
        L"wrap: supercalifragilistic words.\n<table border=1><tr><td>cell one</td><td>two</td>"
        L"</tr></table>";
    const DisplayList measured = f.Render(html, 200);
    const DisplayList drawn = f.Render(html, measured.width);
    EXPECT_EQ(drawn.height, measured.height);
    EXPECT_EQ(Lines(drawn), Lines(measured));
}

TEST(TableTest, SpareWidthGoesToTheFreeColumn) {
    Fixture f;
    const DisplayList list = f.Render(
        L"<table width=200 cellpadding=0 cellspacing=0><tr><td width=30>a</td><td>b</td></tr>"
        L"</table>");
    const std::vector<TextOp> texts = OpsOf<TextOp>(list);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[1].x, 30);
    EXPECT_EQ(list.width, 200);
}

TEST(TableTest, WithoutWidthTheTableIsAsWideAsItsContent) {
    Fixture f;
    const DisplayList list = f.Render(
        L"<table cellpadding=0 cellspacing=0 align=right><tr><td>ab</td></tr></table>", 300);
    EXPECT_EQ(list.width, 14);
    EXPECT_EQ(OpsOf<TextOp>(list)[0].x, 300 - 14);
}

TEST(TableTest, BlanksAndTheFirstLineFeedAfterATableMakeNoLine) {
    Fixture f;
    const std::wstring_view table = L"<table><tr><td>a</td></tr></table>";
    const int one = f.Render(table).height;
    EXPECT_EQ(one, 13 + 2 * 1 + 2 * 2);
    EXPECT_EQ(f.Render(std::wstring(table) + L" \n " + std::wstring(table)).height, 2 * one);
    EXPECT_EQ(f.Render(std::wstring(table) + L"\n\n" + std::wstring(table)).height, 2 * one + 13);
}

TEST(TableTest, SpansShareTheirNeedEvenly) {
    Fixture f;
    const DisplayList list = f.Render(
        L"<table cellpadding=0 cellspacing=0><tr><td colspan=2>abcdefghij</td></tr>"
        L"<tr><td valign=top>a</td><td rowspan=2>b<br>c<br>d<br>e</td></tr><tr><td>f</td></tr>"
        L"</table>");
    const std::vector<TextOp> texts = OpsOf<TextOp>(list);
    ASSERT_EQ(texts.size(), 7u);
    EXPECT_EQ(texts[2].x, 35); // 70 pixels over two columns of 7
    EXPECT_EQ(list.height, 13 + 4 * 13);
    EXPECT_EQ(texts[1].y, 13);          // "a" at the top of its 26-pixel row
    EXPECT_EQ(texts[6].y, 13 + 26 + 6); // "f" in the middle of the next one
}

TEST(TableTest, BordersAndBackgroundsAreDrawnUnderTheCells) {
    Fixture f;
    const DisplayList list =
        f.Render(L"<table border=2 bgcolor=#0000ff bgeffect=vgradient bgendcolor=white><tr>"
                 L"<td bgcolor=red>x</td></tr></table>");
    ASSERT_TRUE(std::holds_alternative<FillOp>(list.ops[0]));
    const FillOp table = std::get<FillOp>(list.ops[0]);
    EXPECT_EQ(table.effect, 2);
    EXPECT_EQ(table.colour1, 0xFF0000u);
    EXPECT_EQ(table.colour3, 0xFFFFFFu);
    EXPECT_EQ(table.amplitude, 5);
    EXPECT_EQ(OpsOf<LineOp>(list).size(), 2u * 4 + 4); // two solid table rings, one cell ring
    EXPECT_TRUE(std::holds_alternative<TextOp>(list.ops.back()));
}

// At 150 % the same message keeps its proportions: the text is measured at 144 dpi (10pt: 20
// pixels), and the pixels the markup names grow with it.
TEST(TableTest, PixelLengthsGrowWithTheResolution) {
    const std::wstring_view html =
        L"<table width=100 border=2 cellpadding=4 cellspacing=2><tr><td>ab</td></tr></table>"
        L"<hr size=4 width=50>";
    Fixture at96;
    Fixture at144;
    at144.measurer = test::FakeTextMeasurer(144);
    const DisplayList small = at96.Render(html);
    const DisplayList large = at144.Render(html);
    // Border 2, spacing 2, the cell's 1-pixel border, padding 4; at 144 dpi 3, 3, 1, 6.
    EXPECT_EQ(OpsOf<TextOp>(small)[0].x, 9);
    EXPECT_EQ(OpsOf<TextOp>(large)[0].x, 13);
    EXPECT_EQ(small.width, 100);
    EXPECT_EQ(large.width, 150);
    // Three rings of the table's border, one of the cell's, the rule's four edges.
    const std::vector<LineOp> lines = OpsOf<LineOp>(large);
    ASSERT_EQ(lines.size(), 3u * 4 + 4 + 4);
    const LineOp& ruleTop = lines[lines.size() - 4];
    const LineOp& ruleLeft = lines[lines.size() - 3];
    EXPECT_EQ(ruleTop.toX - ruleTop.fromX, 75);
    EXPECT_EQ(ruleLeft.toY - ruleLeft.fromY, 6);
}

TEST(LinkTest, LinksAreNumberedAndHoveredOneTakesItsStyle) {
    Fixture f;
    const std::wstring_view html = L"<a href=' http://x '>ab</a> <a msg=hello>cd</a> <a>ef</a>";
    const DisplayList plain = f.Render(html);
    ASSERT_EQ(plain.links.size(), 3u);
    EXPECT_EQ(plain.links[0].kind, LinkKind::Open);
    EXPECT_EQ(plain.links[0].target, L"http://x");
    EXPECT_EQ(plain.links[1].kind, LinkKind::Message);
    ASSERT_EQ(plain.linkAreas.size(), 2u); // a link without a target has no area
    EXPECT_EQ(plain.linkAreas[1].index, 1);
    EXPECT_TRUE(OpsOf<LineOp>(plain).empty());

    const DisplayList hovered = f.Render(html, 400, 1);
    ASSERT_EQ(OpsOf<LineOp>(hovered).size(), 1u); // "a:hover" underlines
    EXPECT_EQ(OpsOf<LineOp>(hovered)[0].fromX, plain.linkAreas[1].rect.left);

    DrawnLinks drawn;
    drawn.Record(plain, 100, 50);
    const Rect r = plain.linkAreas[1].rect;
    EXPECT_EQ(drawn.LinkAt(r.left + 100, r.top + 50), 1);
    EXPECT_EQ(drawn.LinkAt(r.right + 100, r.top + 50), -2);
    EXPECT_EQ(drawn.Find(2), nullptr);
}

TEST(ImageTest, SizesSourcesAndLooks) {
    Fixture f;
    const DisplayList list =
        f.Render(L"<bmp file=missing.bmp><bmp idres=5 width=50 height=8px style=g>"
                 L"<a href=x><icon file=a.ico hotstyle=ds style=l></a><ilst handle=0x1F>");
    const std::vector<ImageOp> images = OpsOf<ImageOp>(list);
    ASSERT_EQ(images.size(), 3u);
    EXPECT_EQ(images[0].rect, (Rect{0, 8, 16, 16}));
    EXPECT_EQ(images[0].style, ImageStyleFromLetters(L"g"));
    EXPECT_EQ(images[1].style, ImageStyleFromLetters(L"l"));
    EXPECT_EQ(list.images[static_cast<std::size_t>(images[2].image)].handle, 0x1Fu);

    // "style" sets the hovered look too, so "hotstyle" must come after it.
    const std::vector<ImageOp> hot =
        OpsOf<ImageOp>(f.Render(L"<a href=x><icon file=a.ico style=l hotstyle=ds></a>", 400, 0));
    ASSERT_EQ(hot.size(), 1u);
    EXPECT_EQ(hot[0].style, ImageStyleFromLetters(L"ds"));
}

TEST(LayoutTest, StringResourcesAreInsertedAsText) {
    Fixture f;
    f.strings.strings[{L"", 7}] = L"from <b>resource\nnext";
    f.strings.strings[{L"other.dll", 8}] = L"dll";
    EXPECT_EQ(Lines(f.Render(L"<string idres=7> <string iddll=8 srcdll=other.dll>")),
              (std::vector<std::wstring>{L"from <b>resource", L"next dll"}));
}

TEST(LayoutTest, RuleTakesAShareOfTheRoomButAsksForNone) {
    Fixture f;
    const DisplayList list = f.Render(L"ab<hr width=50% size=3 color=red>cd", 200);
    const std::vector<FillOp> fills = OpsOf<FillOp>(list);
    ASSERT_EQ(fills.size(), 1u);
    EXPECT_EQ(fills[0].rect, (Rect{0, 13 + 4, 100, 13 + 4 + 3}));
    EXPECT_EQ(list.width, 14);
    EXPECT_EQ(list.height, 13 + 11 + 13);
}

// Inputs that must lay out in bounded time with a defined result.
struct BoundRow {
    const char* name;
    std::wstring html;
    int lines; // text lines expected, -1: just finish
};

class BoundsTest : public testing::TestWithParam<BoundRow> {};

std::wstring Repeat(std::wstring_view piece, int times) {
    std::wstring out;
    for (int i = 0; i < times; ++i)
        out += piece;
    return out;
}

TEST_P(BoundsTest, Finishes) {
    Fixture f;
    const DisplayList list = f.Render(GetParam().html, 300);
    if (GetParam().lines >= 0) {
        EXPECT_EQ(static_cast<int>(Lines(list).size()), GetParam().lines);
    }
    EXPECT_LE(list.height, 1000000);
}

INSTANTIATE_TEST_SUITE_P(
    Bounds, BoundsTest,
    testing::Values(
        BoundRow{"TenThousandNestedTags", Repeat(L"<b><i>", 10000) + L"x", 1},
        BoundRow{"NestedTablesBeyondTheCap", Repeat(L"<table><tr><td>", 50) + L"x", 1},
        BoundRow{"TagWithoutEnd", L"a <b " + Repeat(L"x", 5000), -1},
        BoundRow{"TableWithoutRows", L"<table border=3></table>a", 1},
        BoundRow{"RowsWithoutCells", L"<table><tr><tr></table>a", 1},
        BoundRow{"HugeColspan",
                 L"<table><tr><td colspan=10000>a</td></tr><tr><td>b</td></tr></table>", 2},
        BoundRow{"HugeRowspan", L"<table><tr><td rowspan=99999>a</td><td>b</td></tr></table>", 1},
        BoundRow{"ManyColumns", L"<table><tr>" + Repeat(L"<td>a", 300) + L"</table>", -1},
        BoundRow{"HugeLengths",
                 L"<table width=99999999in height=99999999in border=9999 "
                 L"cellpadding=99999><tr><td>a</td></tr></table>",
                 1},
        BoundRow{"HugeMargin", L"<font style='margin:99999px'>" + Repeat(L"a", 2000), -1}),
    [](const auto& info) { return std::string(info.param.name); });

struct NestingRow {
    const char* name;
    std::wstring html;
    bool lastItalic; // the last run's font
};

class NestingTest : public testing::TestWithParam<NestingRow> {};

TEST_P(NestingTest, ClosingTagsPopWhatTheirTagPushed) {
    Fixture f;
    const DisplayList list = f.Render(GetParam().html);
    const std::vector<TextOp> texts = OpsOf<TextOp>(list);
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(list.fonts[static_cast<std::size_t>(texts.back().font)].italic,
              GetParam().lastItalic);
}

// The body's style and 255 "<i>" fill the style stack (italic after an odd number of them).
INSTANTIATE_TEST_SUITE_P(
    Nesting, NestingTest,
    testing::Values(
        NestingRow{"WithinTheCap", L"<i>x</i>y", false},
        NestingRow{"AtTheCap", Repeat(L"<i>", 255) + L"x</i>y", false},
        NestingRow{"ClosingAnIgnoredTagPopsNothing", Repeat(L"<i>", 256) + L"x</i>y", true},
        NestingRow{"ClosingTagsBeyondTheIgnoredOnesPop", Repeat(L"<i>", 257) + L"x</i></i></i>y",
                   false},
        NestingRow{"IgnoredTagAfterOthers", L"<b>" + Repeat(L"<i>", 254) + L"<i>x</i></i>y", true}),
    [](const auto& info) { return std::string(info.param.name); });

struct StringCapRow {
    const char* name;
    std::wstring html;
    std::size_t chars; // laid out
};

class StringCapTest : public testing::TestWithParam<StringCapRow> {};

TEST_P(StringCapTest, InsertedStringsAreCappedInAll) {
    Fixture f;
    f.strings.strings[{L"", 1}] = L"ab";
    f.strings.strings[{L"", 2}] = std::wstring(5000, L'x');
    EXPECT_EQ(f.Render(GetParam().html, 0).text.size(), GetParam().chars);
}

INSTANTIATE_TEST_SUITE_P(
    StringCaps, StringCapTest,
    testing::Values(
        StringCapRow{"FewTags", Repeat(L"<string idres=1>", 3), 6},
        StringCapRow{"EachStringIsCut", L"<string idres=2>", 4096},
        StringCapRow{"ShortStringsUpToTheCap", Repeat(L"<string idres=1>", 40000), 65536},
        StringCapRow{"LongStringsUpToTheCap", Repeat(L"<string idres=2>", 20), 65536},
        StringCapRow{"MissingStringsTakeNoShare",
                     Repeat(L"<string idres=3>", 20) + Repeat(L"<string idres=2>", 16), 65536},
        StringCapRow{"CellsMeasuredThenLaidOutInsertTheSame",
                     L"<table><tr><td>" + Repeat(L"<string idres=2>", 20) + L"</td></tr></table>",
                     65536}),
    [](const auto& info) { return std::string(info.param.name); });

// A measurer whose characters are 4 M pixels wide, as a broken font or driver may report.
class HugeMeasurer : public TextMeasurer {
public:
    int Resolution() override { return 96; }
    FontMetrics UseFont(const FontSpec& font) override {
        return {font.height, font.height * 4 / 5, font.height / 5, font.height / 2, 1 << 22};
    }
    void MeasurePrefixes(std::wstring_view text, std::vector<int>& ends) override {
        for (std::size_t i = 0; i < text.size(); ++i)
            ends[i] = static_cast<int>(std::min<long long>((i + 1LL) << 22, 1 << 30));
    }
};

// However wide the columns claim to be, their edges never wrap around to negative positions.
TEST(BoundsTest, WideColumnsKeepTheirEdgesInRange) {
    HugeMeasurer measurer;
    const LayoutServices services{measurer};
    for (const int width : {0, 400}) {
        LayoutOptions options;
        options.width = width;
        const DisplayList list = LayOut(
            PrepareText(L"<table><tr>" + Repeat(L"<td>" + Repeat(L"w", 200), 100) + L"</table>"),
            StyleSheet::Default(), services, options);
        const std::vector<TextOp> texts = OpsOf<TextOp>(list);
        ASSERT_FALSE(texts.empty());
        for (const TextOp& op : texts)
            EXPECT_GE(op.x, 0) << width;
        EXPECT_GE(list.width, 0);
    }
}

TEST(BoundsTest, FontsPerLayoutAreCapped) {
    Fixture f;
    std::wstring html;
    for (int i = 1; i < 300; ++i)
        html += L"<font size=" + std::to_wstring(i) + L"px>a</font>";
    EXPECT_EQ(f.Render(html).fonts.size(), 64u);
}

TEST(DocumentTest, LaysOutAgainOnlyWhenTheOptionsChange) {
    test::FakeTextMeasurer measurer;
    LayoutServices services{measurer};
    HtmlDocument document;
    document.SetText(L"a <b>b</b>");
    document.Layout(services, {200});
    const int fonts = measurer.fontsUsed;
    document.Layout(services, {200});
    EXPECT_EQ(measurer.fontsUsed, fonts);
    document.Layout(services, {200, 0});
    EXPECT_GT(measurer.fontsUsed, fonts);
}

} // namespace
} // namespace dp::html
