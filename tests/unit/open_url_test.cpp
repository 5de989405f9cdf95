#include "richmsg/open_url.h"

#include <gtest/gtest.h>

namespace dp {
namespace {

struct CommandRow {
    const char* name;
    std::wstring_view registered;
    std::wstring_view address;
    std::optional<std::wstring> line;
};

class BrowserCommandLineTest : public testing::TestWithParam<CommandRow> {};

TEST_P(BrowserCommandLineTest, Assembles) {
    EXPECT_EQ(BrowserCommandLine(GetParam().registered, GetParam().address), GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, BrowserCommandLineTest,
    testing::Values(CommandRow{"QuotedPlaceholderKeepsItsBlank", LR"("C:\b\b.exe" "%1")",
                               L"http://x", LR"("C:\b\b.exe"  http://x)"},
                    CommandRow{"BarePlaceholder", LR"(b.exe -url %1 -new)", L"http://x",
                               L"b.exe -url  http://x"},
                    CommandRow{"NoPlaceholderAppends", L"b.exe", L"http://x", L"b.exe http://x"},
                    CommandRow{"AddressWithBlankIsQuoted", L"b.exe %1", L"C:\\my page.htm",
                               L"b.exe  \"C:\\my page.htm\""},
                    CommandRow{"AddressWithQuoteRefused", L"b.exe %1", L"x\" -evil", std::nullopt},
                    CommandRow{"ControlCharacterRefused", L"b.exe %1", L"x\ny", std::nullopt},
                    CommandRow{"EmptyAddressRefused", L"b.exe %1", L"", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BrowserCommandLineTest, RefusesARegisteredCommandBeyondItsBuffer) {
    EXPECT_EQ(BrowserCommandLine(std::wstring(260, L'b'), L"x"), std::nullopt);
    EXPECT_TRUE(BrowserCommandLine(std::wstring(259, L'b'), L"x"));
    EXPECT_EQ(BrowserCommandLine(L"b.exe", std::wstring(600, L'a')), std::nullopt);
}

} // namespace
} // namespace dp
