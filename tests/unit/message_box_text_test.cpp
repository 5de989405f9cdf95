#include "richmsg/message_box_text.h"

#include "renderer/html_layout.h"
#include "richmsg/message_box_buttons.h"
#include "tests/support/html_fakes.h"

#include <gtest/gtest.h>

#include <variant>

namespace dp::richbox {
namespace {

class TableStrings : public StringSource {
public:
    std::wstring Load(unsigned id) override {
        const auto found = strings.find(id);
        return found == strings.end() ? std::wstring() : found->second;
    }
    std::map<unsigned, std::wstring> strings;
};

struct LabelRow {
    const char* name;
    std::map<unsigned, std::wstring> resources;
    std::map<int, TextRef> overrides;
    bool resourcesAllowed;
    int key;
    std::wstring_view expected;
};

class LabelTest : public testing::TestWithParam<LabelRow> {};

TEST_P(LabelTest, PerBoxLabelThenResourceThenBuiltIn) {
    TableStrings strings;
    strings.strings = GetParam().resources;
    const TextContext context{&strings, GetParam().resourcesAllowed, &GetParam().overrides};
    EXPECT_EQ(ResolveLabel(context, GetParam().key), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Order, LabelTest,
    testing::Values(
        LabelRow{"BuiltIn", {}, {}, true, kYesToAll, L"Yes to all"},
        LabelRow{"ResourceBeatsBuiltIn", {{9001, L"Okay"}}, {}, true, kOk, L"Okay"},
        LabelRow{"NoResourceFlag", {{9001, L"Okay"}}, {}, false, kOk, L"OK"},
        LabelRow{"PerBoxLabelBeatsResource",
                 {{9001, L"Okay"}},
                 {{kOk, TextRef::Text(L"Fine")}},
                 true,
                 kOk,
                 L"Fine"},
        LabelRow{"PerBoxLabelAsStringId",
                 {{500, L"Loaded"}},
                 {{kOk, TextRef::Id(500)}},
                 true,
                 kOk,
                 L"Loaded"},
        LabelRow{"PerBoxIdWithoutResourcesFallsBack",
                 {{500, L"Loaded"}},
                 {{kOk, TextRef::Id(500)}},
                 false,
                 kOk,
                 L"OK"},
        LabelRow{"EmptyPerBoxLabelFallsBack", {}, {{kNo, TextRef::Text(L"")}}, true, kNo, L"No"},
        LabelRow{"CaptionCountdown",
                 {},
                 {},
                 true,
                 kCaptionCountdownLabel,
                 L"%s (%d seconds remaining)"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LabelTest, CallersCheckboxTextBeatsTheProgramsResource) {
    TableStrings strings;
    strings.strings = {{9012, L"Never again"}};
    const TextContext context{&strings, true, nullptr};
    EXPECT_EQ(CheckboxLabel(context, TextRef::Text(L"Skip next time")), L"Skip next time");
    EXPECT_EQ(CheckboxLabel(context, {}), L"Never again");
}

struct FormatRow {
    const char* name;
    std::wstring_view format;
    std::wstring_view expected;
};

class CountdownFormatTest : public testing::TestWithParam<FormatRow> {};

TEST_P(CountdownFormatTest, FillsOnlyTheFirstTextAndNumber) {
    EXPECT_EQ(FormatCountdown(GetParam().format, L"OK", 9), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, CountdownFormatTest,
    testing::Values(FormatRow{"Button", kButtonCountdownFormat, L"OK = 9"},
                    FormatRow{"Title", L"%s (%d seconds remaining)", L"OK (9 seconds remaining)"},
                    FormatRow{"HostileResource", L"%n%s%s%d%d%%%", L"%nOK%s9%d%%"},
                    FormatRow{"NoPlaceholders", L"Wait", L"Wait"}),
    [](const auto& info) { return std::string(info.param.name); });

// The wrapped message laid out by the renderer's core: every word of the message must be drawn,
// and drawn in the cell beside the icon (the icon takes 32 pixels and the cell padding 5).
struct WrapRow {
    const char* name;
    std::wstring_view message;
    std::vector<std::wstring_view> words;
};

class WrapMessageTest : public testing::TestWithParam<WrapRow> {};

TEST_P(WrapMessageTest, UnbalancedTableTagsKeepTheTextBesideTheIcon) {
    test::FakeTextMeasurer measurer;
    test::FakeImages images;
    const html::LayoutServices services{measurer, &images, nullptr, nullptr};
    html::LayoutOptions options;
    options.width = 400;
    const html::DisplayList list =
        html::LayOut(html::PrepareText(WrapMessage(GetParam().message, false, 0x1234, 32)),
                     html::StyleSheet::Default(), services, options);
    std::wstring drawn;
    for (const html::DisplayOp& op : list.ops) {
        if (const auto* text = std::get_if<html::TextOp>(&op)) {
            EXPECT_GE(text->x, 32 + 2 * 5) << list.text.substr(text->start, text->length);
            drawn += list.text.substr(text->start, text->length);
        }
    }
    for (std::wstring_view word : GetParam().words)
        EXPECT_NE(drawn.find(word), std::wstring::npos)
            << "missing: " << testing::PrintToString(std::wstring(word));
    EXPECT_EQ(drawn.find(L"/td>"), std::wstring::npos) << "the wrapping shows";
}

INSTANTIATE_TEST_SUITE_P(
    Messages, WrapMessageTest,
    testing::Values(
        WrapRow{"ClosesTheIconTable", L"one</td></tr></table>two", {L"one", L"two"}},
        WrapRow{"TextBetweenCellsOfTheIconTable",
                L"one</td>two<td>three</tr>four",
                {L"one", L"two", L"three", L"four"}},
        WrapRow{"LeavesItsOwnTableOpen", L"<table><tr><td>one<td>two", {L"one", L"two"}},
        WrapRow{
            "OwnTableThenStrayCloser", L"<table><tr><td>one</table></table>two", {L"one", L"two"}},
        WrapRow{"DroppedTagDoesNotJoinItsNeighbours", L"a<b</td>c>d", {L"<bc>d"}},
        WrapRow{"TrailingLessThan", L"ends with <", {L"ends with <"}},
        WrapRow{"EntitiesStayText", L"&lt;b&gt; &amp;lt; &amp;", {L"<b> &lt; &"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WrapMessageTest, RightAlignmentWithoutIcon) {
    EXPECT_EQ(WrapMessage(L"a & b", true, 0, 32), L"<right>a &amp; b</right>");
    EXPECT_EQ(WrapMessage(L"a & b", false, 0, 32), L"a & b");
}

TEST(HelpFileTest, ExtensionOfTheFileNameIsReplaced) {
    EXPECT_EQ(HelpFilePath(L"C:\\Nerovane\\Duskpanel.scr"), L"C:\\Nerovane\\Duskpanel.hlp");
    EXPECT_EQ(HelpFilePath(L"C:\\v2.0\\Duskpanel"), L"C:\\v2.0\\Duskpanel.hlp");
}

} // namespace
} // namespace dp::richbox
