#include "saver/saver_command_line.h"

#include <gtest/gtest.h>

namespace dp {
namespace {

struct CommandLineCase {
    const char* name;
    const wchar_t* line;
    SaverMode mode;
    std::uint64_t handle;
    bool foreground;
};

const CommandLineCase kCases[] = {
    {"NoArgument", L"Duskpanel.scr", SaverMode::Configure, 0, false},
    {"OnlyBlanks", L"Duskpanel.scr    ", SaverMode::Configure, 0, false},
    {"ConfigureAlone", L"Duskpanel.scr /c", SaverMode::Configure, 0, true},
    {"ConfigureAloneUpper", L"Duskpanel.scr /C", SaverMode::Configure, 0, true},
    {"ConfigureColonHandle", L"Duskpanel.scr /c:1234", SaverMode::Configure, 1234, false},
    {"ConfigureBlankHandle", L"Duskpanel.scr /c 1234", SaverMode::Configure, 1234, false},
    {"ConfigureDashUpper", L"Duskpanel.scr -C1234", SaverMode::Configure, 1234, false},
    {"ConfigureTrailingBlanks", L"Duskpanel.scr /c  ", SaverMode::Configure, 0, true},
    {"ConfigureNotANumber", L"Duskpanel.scr /c x", SaverMode::Configure, 0, false},
    {"PreviewBlank", L"Duskpanel.scr /p 4242", SaverMode::Preview, 4242, false},
    {"PreviewListColon", L"Duskpanel.scr /l:4242", SaverMode::Preview, 4242, false},
    {"PreviewUpper", L"Duskpanel.scr /P 77", SaverMode::Preview, 77, false},
    {"PreviewNoHandle", L"Duskpanel.scr /p", SaverMode::Preview, 0, false},
    {"PasswordColon", L"Duskpanel.scr /a:120", SaverMode::ChangePassword, 120, false},
    {"PasswordAlone", L"Duskpanel.scr /a", SaverMode::ChangePassword, 0, false},
    {"PasswordUpperDigitsStop", L"Duskpanel.scr /A 12x3", SaverMode::ChangePassword, 12, false},
    {"SaverBare", L"Duskpanel.scr s", SaverMode::StartSaver, 0, false},
    {"SaverUpper", L"Duskpanel.scr /S", SaverMode::StartSaver, 0, false},
    {"SaverDash", L"Duskpanel.scr -s", SaverMode::StartSaver, 0, false},
    {"SaverWord", L"Duskpanel.scr /start", SaverMode::StartSaver, 0, false},
    {"DoubleDashInvalid", L"Duskpanel.scr --s", SaverMode::Invalid, 0, false},
    {"UnknownLetter", L"Duskpanel.scr /x", SaverMode::Invalid, 0, false},
    {"PrefixOnly", L"Duskpanel.scr /", SaverMode::Invalid, 0, false},
    {"Install", L"Duskpanel.scr /d", SaverMode::Install, 0, false},
    {"InstallUpper", L"Duskpanel.scr /D", SaverMode::Install, 0, false},
    {"Restore", L"Duskpanel.scr /r", SaverMode::Restore, 0, false},
    {"RestoreUpper", L"Duskpanel.scr -R", SaverMode::Restore, 0, false},
    {"RunSaver", L"Duskpanel.scr /w", SaverMode::RunSaver, 0, false},
    {"RunSaverUpper", L"Duskpanel.scr /W", SaverMode::RunSaver, 0, false},
    {"QuotedNameWithBlanks", L"\"C:\\Program Files\\Dusk panel\\Duskpanel.scr\" /s",
     SaverMode::StartSaver, 0, false},
    {"QuotedNameNoBlankAfter", L"\"C:\\A B\\Duskpanel.scr\"/s", SaverMode::StartSaver, 0, false},
    {"QuotedNameOnly", L"\"C:\\A B\\Duskpanel.scr\"", SaverMode::Configure, 0, false},
    {"UnterminatedQuote", L"\"C:\\A B\\Duskpanel.scr /s", SaverMode::Configure, 0, false},
    {"BlanksBeforeSwitch", L"Duskpanel.scr     /r", SaverMode::Restore, 0, false},
    {"TabIsNotABlank", L"Duskpanel.scr \t/s", SaverMode::Invalid, 0, false},
    {"EmptyLine", L"", SaverMode::Configure, 0, false},
};

class SaverCommandLineTest : public testing::TestWithParam<CommandLineCase> {};

TEST_P(SaverCommandLineTest, ParsesModeAndHandle) {
    const CommandLineCase& c = GetParam();
    SaverCommand command = ParseSaverCommandLine(c.line);
    EXPECT_EQ(command.mode, c.mode);
    EXPECT_EQ(command.handle, c.handle);
    EXPECT_EQ(command.ownerIsForegroundWindow, c.foreground);
}

INSTANTIATE_TEST_SUITE_P(Table, SaverCommandLineTest, testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace dp
