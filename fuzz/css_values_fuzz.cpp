// Lengths, colours, weights, declarations and style-sheet rules: whatever the text, results
// stay in their ranges and applying the declarations keeps every style field within its caps.
#include "fuzz/fuzz_text.h"
#include "renderer/css_values.h"
#include "renderer/html_limits.h"
#include "renderer/html_style.h"
#include "tests/support/html_fakes.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace dp::html;
    const std::wstring text = dp::fuzz::WideText(data, size);
    const auto [value, rest] = dp::fuzz::SplitAtLineFeed(text);
    const int current = rest.empty() ? 13 : static_cast<int>(rest[0]) * 97;
    for (const bool fontSize : {false, true}) {
        const LengthContext context{current, 96 + current % 300, current % 600, current % 300,
                                    fontSize};
        if (const std::optional<int> length = ParseLength(value, context))
            DP_FUZZ_CHECK(*length >= 0 && *length <= kMaxLength);
    }
    const dp::test::FakeSystemColours system;
    if (const std::optional<std::uint32_t> colour = ParseColour(value, &system))
        DP_FUZZ_CHECK(*colour <= 0x00FFFFFFu);
    if (const std::optional<int> weight = ParseFontWeight(value))
        DP_FUZZ_CHECK(*weight >= 100 && *weight <= 900);
    (void)ReadInteger(value);
    (void)MulDivRound(static_cast<int>(static_cast<unsigned>(current) * 2654435761u),
                      static_cast<int>(size) - 7, current % 11 - 5);

    FaceTable faces;
    StyleContext styleContext{faces, &system, 96, [](const TextStyle& s) {
                                  FontMetrics m;
                                  m.height = s.size;
                                  m.xHeight = s.size / 2;
                                  return m;
                              }};
    StyleSheet sheet = StyleSheet::Default();
    sheet.AddRules(text);
    TextStyle style;
    for (int round = 0; round < 3; ++round)
        ApplyDeclarations(style, ParseDeclarations(rest), styleContext);
    if (const std::vector<Declaration>* rule = sheet.Find(value))
        ApplyDeclarations(style, *rule, styleContext);
    DP_FUZZ_CHECK(style.size >= kMinFontSize && style.size <= kMaxFontSize);
    DP_FUZZ_CHECK(style.weight >= 100 && style.weight <= 900);
    DP_FUZZ_CHECK(style.borderWidth >= 0 && style.borderWidth <= kMaxBorderWidth);
    DP_FUZZ_CHECK(style.margin >= 0 && style.margin <= kMaxLength);
    DP_FUZZ_CHECK(style.padding >= 0 && style.padding <= kMaxLength);
    DP_FUZZ_CHECK(faces.Name(style.face).size() <= 31);
    for (const Declaration& d : ParseDeclarations(text))
        DP_FUZZ_CHECK(!d.name.empty() && d.name.find(L';') == std::wstring::npos);
    return 0;
}
