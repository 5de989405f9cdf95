#include "saver/user_step.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace dp {
namespace {

using Kind = UserStepKind;
using Exit = UserStepExit;
using Outcome = ShellRun::Outcome;

struct ParseRow {
    const char* name;
    std::wstring line;
    std::optional<UserStepCommand> command;
};

TEST(UserStepCommand, ParsesOnlyTheProgramsOwnForms) {
    const ParseRow rows[] = {
        {"install", L"D.scr /~user-step install", UserStepCommand{Kind::Install, false}},
        {"update", L"\"C:\\Program Files\\D.scr\" /~user-step update",
         UserStepCommand{Kind::Update, false}},
        {"uninstall here", L"D.scr /~user-step uninstall here",
         UserStepCommand{Kind::Uninstall, true}},
        {"no kind", L"D.scr /~user-step", std::nullopt},
        {"unknown kind", L"D.scr /~user-step remove", std::nullopt},
        {"kind in other case", L"D.scr /~user-step Install", std::nullopt},
        {"kind as a switch", L"D.scr /~user-step /install", std::nullopt},
        {"other third word", L"D.scr /~user-step install there", std::nullopt},
        {"here as a switch", L"D.scr /~user-step install /here", std::nullopt},
        {"extra word", L"D.scr /~user-step install here now", std::nullopt},
        {"no switch marker", L"D.scr ~user-step install", std::nullopt},
        {"a saver switch", L"D.scr /d", std::nullopt},
        {"program name only", L"\"D.scr\"", std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ParseUserStepCommand(row.line), row.command);
    }
}

TEST(UserStepCommand, EveryFormattedFormParsesBack) {
    for (Kind kind : {Kind::Install, Kind::Update, Kind::Uninstall}) {
        for (bool here : {false, true}) {
            const UserStepCommand command{kind, here};
            const std::wstring line =
                L"\"C:\\x y\\Duskpanel.scr\" " + FormatUserStepArguments(command);
            EXPECT_EQ(ParseUserStepCommand(line), command) << std::string(line.begin(), line.end());
        }
    }
    EXPECT_EQ(FormatUserStepArguments({Kind::Update, true}), L"/~user-step update here");
}

class FakePlatform : public UserStepPlatform {
public:
    ShellUser FindShellUser() override {
        calls.push_back("shell user");
        return shellUser;
    }
    bool DuskpanelIsTheSaver() override {
        calls.push_back("is ours");
        return ours;
    }
    void SelectDuskpanel() override { calls.push_back("/d"); }
    void PutPreviousSaverBack() override { calls.push_back("/r"); }
    ShellRun RunInShellSession(const UserStepCommand& here) override {
        calls.push_back(here.here ? "shell" : "shell without here");
        startedKind = here.kind;
        return shellRun;
    }

    ShellUser shellUser = ShellUser::Same;
    bool ours = true;
    ShellRun shellRun;
    std::optional<Kind> startedKind;
    std::vector<std::string> calls;
};

struct DecisionRow {
    const char* name;
    UserStepCommand command;
    ShellUser shellUser;
    bool ours;
    ShellRun shellRun;
    Exit exit;
    std::vector<std::string> calls;
};

TEST(UserStep, DecidesWhereAndWhetherToChangeTheSaver) {
    const ShellRun none{};
    const DecisionRow rows[] = {
        // The desktop's user runs the installer: the step runs right here.
        {"install, same user",
         {Kind::Install},
         ShellUser::Same,
         false,
         none,
         Exit::Done,
         {"shell user", "/d"}},
        {"update, ours",
         {Kind::Update},
         ShellUser::Same,
         true,
         none,
         Exit::Done,
         {"shell user", "is ours", "/d"}},
        {"update, user chose another",
         {Kind::Update},
         ShellUser::Same,
         false,
         none,
         Exit::KeptUsersChoice,
         {"shell user", "is ours"}},
        {"uninstall, ours",
         {Kind::Uninstall},
         ShellUser::Same,
         true,
         none,
         Exit::Done,
         {"shell user", "is ours", "/r"}},
        {"uninstall, user chose another",
         {Kind::Uninstall},
         ShellUser::Same,
         false,
         none,
         Exit::KeptUsersChoice,
         {"shell user", "is ours"}},
        // Another account elevated it: never this account's settings, only the shell's session.
        {"install, other user",
         {Kind::Install},
         ShellUser::Other,
         false,
         {Outcome::Ended, 0},
         Exit::Done,
         {"shell user", "shell"}},
        {"update, other user kept",
         {Kind::Update},
         ShellUser::Other,
         true,
         {Outcome::Ended, 1},
         Exit::KeptUsersChoice,
         {"shell user", "shell"}},
        {"uninstall, unreadable shell user",
         {Kind::Uninstall},
         ShellUser::Unknown,
         true,
         {Outcome::Ended, 0},
         Exit::Done,
         {"shell user", "shell"}},
        {"shell route fails",
         {Kind::Install},
         ShellUser::Other,
         true,
         {Outcome::NotStarted, 0},
         Exit::ShellRouteFailed,
         {"shell user", "shell"}},
        {"end not seen",
         {Kind::Uninstall},
         ShellUser::Other,
         true,
         {Outcome::EndNotSeen, 0},
         Exit::EndNotSeen,
         {"shell user", "shell"}},
        {"ended, code unread",
         {Kind::Install},
         ShellUser::Unknown,
         true,
         {Outcome::EndedUnread, 0},
         Exit::EndedUnread,
         {"shell user", "shell"}},
        {"crashed there",
         {Kind::Update},
         ShellUser::Other,
         true,
         {Outcome::Ended, 0xC0000005u},
         Exit::StepFailed,
         {"shell user", "shell"}},
        {"a code it never gives",
         {Kind::Update},
         ShellUser::Unknown,
         true,
         {Outcome::Ended, 3},
         Exit::StepFailed,
         {"shell user", "shell"}},
        // No desktop at all (a deployment from a service): nobody's saver changes.
        {"no shell",
         {Kind::Install},
         ShellUser::None,
         true,
         none,
         Exit::NoDesktopUser,
         {"shell user"}},
        // The form started in the user's session acts for its own account, asking nothing.
        {"here, install", {Kind::Install, true}, ShellUser::Other, false, none, Exit::Done, {"/d"}},
        {"here, update kept",
         {Kind::Update, true},
         ShellUser::None,
         false,
         none,
         Exit::KeptUsersChoice,
         {"is ours"}},
        {"here, uninstall",
         {Kind::Uninstall, true},
         ShellUser::Unknown,
         true,
         none,
         Exit::Done,
         {"is ours", "/r"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        FakePlatform platform;
        platform.shellUser = row.shellUser;
        platform.ours = row.ours;
        platform.shellRun = row.shellRun;
        EXPECT_EQ(RunUserStep(row.command, platform), row.exit);
        EXPECT_EQ(platform.calls, row.calls);
        if (platform.startedKind) {
            EXPECT_EQ(*platform.startedKind, row.command.kind) << "the same step, there";
        }
    }
}

} // namespace
} // namespace dp
