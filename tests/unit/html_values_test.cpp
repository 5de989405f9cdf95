// What the renderer reads before any layout: entities, tokens, lengths, colours, weights.
#include "renderer/css_values.h"
#include "renderer/html_entities.h"
#include "renderer/html_tokenizer.h"
#include "tests/support/html_fakes.h"

#include <gtest/gtest.h>

#include <string>

namespace dp::html {
namespace {

template <typename Row> std::string RowName(const testing::TestParamInfo<Row>& info) {
    return info.param.name;
}

struct EntityRow {
    const char* name;
    std::wstring_view in;
    std::wstring_view out;
};

class EntityTest : public testing::TestWithParam<EntityRow> {};

TEST_P(EntityTest, Replaces) {
    EXPECT_EQ(ReplaceEntities(GetParam().in), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(Entities, EntityTest,
                         testing::Values(EntityRow{"LessThanBecomesDoubled", L"&lt;b&gt;", L"<<b>"},
                                         EntityRow{"AmpersandOnlyOnce", L"&amp;lt;", L"&lt;"},
                                         EntityRow{"Symbols", L"&copy;&euro;&trade;&nbsp;&quot;",
                                                   L"\u00A9\u20AC\u2122 \""},
                                         EntityRow{"UnknownStays", L"&foo; & &amp",
                                                   L"&foo; & &amp"},
                                         EntityRow{"CaseMatters", L"&LT;", L"&LT;"}),
                         RowName<EntityRow>);

// Tokens written out: text as is, tags as [name attr=value], breaks as |, tabs as >.
std::wstring Describe(const TokenList& list) {
    std::wstring out;
    for (const Token& token : list.tokens) {
        if (token.kind == TokenKind::Text)
            out += L"'" + std::wstring(list.Text(token)) + L"'";
        else if (token.kind == TokenKind::LineBreak)
            out += L"|";
        else if (token.kind == TokenKind::Tab)
            out += L">";
        else {
            out += token.closing ? L"[/" : L"[";
            out += std::to_wstring(static_cast<int>(token.tag));
            for (const Attribute& a : list.Attributes(token))
                out += L" " + std::wstring(list.Name(a)) + L"=" + std::wstring(list.Value(a));
            out += L"]";
        }
    }
    return out;
}

struct TokenRow {
    const char* name;
    std::wstring_view in;
    std::wstring_view out;
};

class TokenizerTest : public testing::TestWithParam<TokenRow> {};

TEST_P(TokenizerTest, Splits) {
    EXPECT_EQ(Describe(Tokenize(GetParam().in)), GetParam().out);
}

// Tag numbers as declared in html_tokenizer.h: 0 unknown, 1 bold, 5 font, 34 anchor.
INSTANTIATE_TEST_SUITE_P(
    Tokens, TokenizerTest,
    testing::Values(TokenRow{"TwoLessThanAreOne", L"a<<b", L"'a<b'"},
                    TokenRow{"LessThanLast", L"a<", L"'a<'"},
                    TokenRow{"EntityLessThanIsNoTag", L"<<b>", L"'<b>'"},
                    TokenRow{"TagWithoutCloseIsText", L"a < b<b>c", L"'a < b'[1]'c'"},
                    TokenRow{"NamesIgnoreCase", L"<B></Bold>", L"[1][/1]"},
                    TokenRow{"Attributes", L"<font Color=\"red\" size='3' face=x>",
                             L"[5 color=red size=3 face=x]"},
                    TokenRow{"UnquotedValueEndsAtBlank", L"<a href=x y>", L"[34 href=x y=]"},
                    TokenRow{"BreaksAndTabs", L"a\r\nb<br>c\t<t>d", L"'a'|'b'|'c'>>'d'"},
                    TokenRow{"ClosingBreakIgnored", L"a</br>b", L"'ab'"},
                    TokenRow{"UnknownTagKept", L"<blink>", L"[0]"}),
    RowName<TokenRow>);

TEST(TokenizerTest, AttributeCountIsCapped) {
    std::wstring tag = L"<font";
    for (int i = 0; i < 100; ++i)
        tag += L" a" + std::to_wstring(i) + L"=1";
    const TokenList list = Tokenize(tag + L">");
    ASSERT_EQ(list.tokens.size(), 1u);
    EXPECT_EQ(list.tokens[0].attributeCount, 32u);
}

struct LengthRow {
    const char* name;
    std::wstring_view value;
    int current;
    bool fontSize;
    std::optional<int> pixels;
};

class LengthTest : public testing::TestWithParam<LengthRow> {};

TEST_P(LengthTest, ResolvesAt96Dpi) {
    const LengthRow& row = GetParam();
    LengthContext context{row.current, 96, 15, 7, row.fontSize};
    EXPECT_EQ(ParseLength(row.value, context), row.pixels);
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, LengthTest,
    testing::Values(
        LengthRow{"Points", L"12pt", 0, false, 16}, LengthRow{"Centimetres", L"3cm", 0, false, 113},
        LengthRow{"Millimetres", L"30mm", 0, false, 113},
        LengthRow{"Inches", L"2in", 0, false, 192}, LengthRow{"Picas", L"1pc", 0, false, 16},
        LengthRow{"Em", L"2em", 0, false, 30}, LengthRow{"Ex", L"2ex", 0, false, 14},
        LengthRow{"PercentRoundsLikeMulDiv", L"65%", 13, false, 8},
        LengthRow{"SignDropped", L"-5px", 0, false, 5},
        LengthRow{"FractionReadAsInteger", L"1.5em", 0, false, 15},
        LengthRow{"HexadecimalWithoutUnit", L"0x10", 0, false, 16},
        LengthRow{"FontSizeThree", L"3", 0, true, 12},
        LengthRow{"FontSizeSeven", L"7", 0, true, 36},
        LengthRow{"EightIsPixelsForFonts", L"8", 0, true, 8},
        LengthRow{"HugeClamped", L"99999999in", 0, false, 32767},
        LengthRow{"OverflowingDigitsClamped", L"99999999999999999999px", 0, false, 32767},
        LengthRow{"HugePercentClamped", L"99999999%", 30000, false, 32767},
        LengthRow{"NoDigitsLeavesUnchanged", L"large", 0, false, std::nullopt},
        LengthRow{"Empty", L"", 0, false, std::nullopt}),
    RowName<LengthRow>);

// At 150 % scaling every length keeps its share of the screen: the dialect's pixels are those of
// a 96-dpi screen, as in CSS.
class LengthAt144Test : public testing::TestWithParam<LengthRow> {};

TEST_P(LengthAt144Test, GrowsWithTheResolution) {
    const LengthRow& row = GetParam();
    LengthContext context{row.current, 144, 22, 11, row.fontSize};
    EXPECT_EQ(ParseLength(row.value, context), row.pixels);
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, LengthAt144Test,
    testing::Values(LengthRow{"Pixels", L"10px", 0, false, 15},
                    LengthRow{"PlainNumberIsPixels", L"5", 0, false, 8},
                    LengthRow{"FontSizeTwo", L"2", 0, true, 15},
                    LengthRow{"PointsAlreadyFollowTheResolution", L"12pt", 0, false, 24},
                    LengthRow{"EmFollowsTheFont", L"2em", 0, false, 44},
                    LengthRow{"PercentOfAScaledValue", L"50%", 15, false, 8},
                    LengthRow{"HugeStillClamped", L"99999999px", 0, false, 32767}),
    RowName<LengthRow>);

struct ColourRow {
    const char* name;
    std::wstring_view value;
    std::optional<std::uint32_t> colour;
};

class ColourTest : public testing::TestWithParam<ColourRow> {};

TEST_P(ColourTest, Reads) {
    const test::FakeSystemColours system;
    EXPECT_EQ(ParseColour(GetParam().value, &system), GetParam().colour);
}

INSTANTIATE_TEST_SUITE_P(Colours, ColourTest,
                         testing::Values(ColourRow{"HashIsRedGreenBlue", L"#ff9900", 0x000099FFu},
                                         ColourRow{"NumberIsColorref", L"255", 0x000000FFu},
                                         ColourRow{"HexadecimalNumber", L"0x00FF0000", 0x00FF0000u},
                                         ColourRow{"OctalNumber", L"010", 8u},
                                         ColourRow{"NumberAbove24BitsClamped", L"4294967296",
                                                   0x00FFFFFFu},
                                         ColourRow{"ShortHashIgnored", L"#fff", std::nullopt},
                                         ColourRow{"BadHexIgnored", L"#ff99zz", std::nullopt},
                                         ColourRow{"CssName", L"darkslategray", 0x004F4F2Fu},
                                         ColourRow{"NamesAreCaseSensitive", L"Red", std::nullopt},
                                         ColourRow{"SystemName", L"buttonface", 0x000F0F0Fu},
                                         ColourRow{"Unknown", L"rebeccapurple", std::nullopt},
                                         ColourRow{"Empty", L"", std::nullopt}),
                         RowName<ColourRow>);

TEST(FontWeightTest, KeywordsNumbersAndEmpty) {
    EXPECT_EQ(ParseFontWeight(L""), 400);
    EXPECT_EQ(ParseFontWeight(L"bold"), 700);
    EXPECT_EQ(ParseFontWeight(L"bolder"), 900);
    EXPECT_EQ(ParseFontWeight(L"lighter"), 100);
    EXPECT_EQ(ParseFontWeight(L"2000"), 900);
    EXPECT_EQ(ParseFontWeight(L"heavy"), std::nullopt);
}

TEST(MulDivTest, RoundsHalfAwayFromZeroAndNeverFails) {
    EXPECT_EQ(MulDivRound(10, 96, 72), 13);
    EXPECT_EQ(MulDivRound(-3, 1, 2), -2);
    EXPECT_EQ(MulDivRound(2000000000, 2000000000, 1), 2147483647);
    EXPECT_EQ(MulDivRound(5, 5, 0), 0);
}

} // namespace
} // namespace dp::html
