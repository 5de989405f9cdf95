#include "renderer/open_url.h"

#include <gtest/gtest.h>

#include <utility>

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

TEST(OpenErrorMessageTest, NamesEveryShellFailure) {
    const std::wstring prefix = L"Unable to open hyperlink:\n\n";
    const std::pair<long long, const wchar_t*> rows[] = {
        {0, L"The operating system is out\nof memory or resources."},
        {2, L"The specified file was not found."},
        {3, L"The specified path was not found."},
        {5, L"The operating system denied\naccess to the specified file."},
        {8, L"There was not enough memory to complete the operation."},
        {11, L"The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image)."},
        {26, L"A sharing violation occurred. "},
        {27, L"The filename association is\nincomplete or invalid."},
        {28, L"The DDE transaction could not\nbe completed because the request timed out."},
        {29, L"The DDE transaction failed."},
        {30, L"The DDE transaction could not\nbe completed because other DDE transactions\n"
             L"were being processed."},
        {31, L"There is no application associated\nwith the given filename extension."},
        {32, L"The specified dynamic-link library was not found."},
        {4, L"Unknown Error (4) occurred."},
        {-1, L"Unknown Error (-1) occurred."},
    };
    for (const auto& [code, text] : rows)
        EXPECT_EQ(OpenErrorMessage(code), prefix + text) << code;
}

} // namespace
} // namespace dp
