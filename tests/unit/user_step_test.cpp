#include "saver/user_step.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

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
        {"remove settings", L"D.scr /~user-step remove-settings",
         UserStepCommand{Kind::RemoveSettings, false}},
        {"remove settings here", L"Renewick.exe /~user-step remove-settings here",
         UserStepCommand{Kind::RemoveSettings, true}},
        {"remove settings, other spelling", L"D.scr /~user-step remove_settings", std::nullopt},
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
    for (Kind kind : {Kind::Install, Kind::Update, Kind::Uninstall, Kind::RemoveSettings}) {
        for (bool here : {false, true}) {
            const UserStepCommand command{kind, here};
            const std::wstring line =
                L"\"C:\\x y\\Duskpanel.scr\" " + FormatUserStepArguments(command);
            EXPECT_EQ(ParseUserStepCommand(line), command) << std::string(line.begin(), line.end());
        }
    }
    EXPECT_EQ(FormatUserStepArguments({Kind::Update, true}), L"/~user-step update here");
    EXPECT_EQ(FormatUserStepArguments({Kind::RemoveSettings, false}),
              L"/~user-step remove-settings");
}

// Records the calls, joined: "shell user, is ours, /d".
class FakePlatform : public UserStepPlatform {
public:
    ShellUser FindShellUser() override {
        Call("shell user");
        return shellUser;
    }
    bool DuskpanelIsTheSaver() override {
        Call("is ours");
        return ours;
    }
    void SelectDuskpanel() override { Call("/d"); }
    void PutPreviousSaverBack() override { Call("/r"); }
    bool RemoveUserSettings() override {
        Call("remove");
        return removed;
    }
    ShellRun RunInShellSession(const UserStepCommand& here) override {
        Call(here.here ? "shell" : "shell without here");
        startedKind = here.kind;
        return shellRun;
    }

    ShellUser shellUser = ShellUser::Same;
    bool ours = true;
    bool removed = true;
    ShellRun shellRun;
    std::optional<Kind> startedKind;
    std::string calls;

private:
    void Call(const char* what) { calls += (calls.empty() ? "" : ", ") + std::string(what); }
};

struct DecisionRow {
    const char* name;
    Kind kind;
    bool here;
    ShellUser shellUser;
    bool ours;
    Outcome outcome; // of the shell route, when taken
    std::uint32_t code;
    Exit exit;
    const char* calls;
};

constexpr auto kSame = ShellUser::Same, kOther = ShellUser::Other, kUnknown = ShellUser::Unknown,
               kNone = ShellUser::None;
constexpr auto kEnded = Outcome::Ended, kUnread = Outcome::EndedUnread,
               kNotSeen = Outcome::EndNotSeen, kNotStarted = Outcome::NotStarted;

TEST(UserStep, DecidesWhereAndWhetherToChangeTheSaver) {
    const DecisionRow rows[] = {
        // The desktop's user runs the installer: the step runs right here.
        {"install, same user", Kind::Install, false, kSame, false, kNotStarted, 0, Exit::Done,
         "shell user, /d"},
        {"update, ours", Kind::Update, false, kSame, true, kNotStarted, 0, Exit::Done,
         "shell user, is ours, /d"},
        {"update, user chose another", Kind::Update, false, kSame, false, kNotStarted, 0,
         Exit::KeptUsersChoice, "shell user, is ours"},
        {"uninstall, ours", Kind::Uninstall, false, kSame, true, kNotStarted, 0, Exit::Done,
         "shell user, is ours, /r"},
        {"uninstall, user chose another", Kind::Uninstall, false, kSame, false, kNotStarted, 0,
         Exit::KeptUsersChoice, "shell user, is ours"},
        // Another account elevated it: never this account's settings, only the shell's session.
        {"install, other user", Kind::Install, false, kOther, false, kEnded, 0, Exit::Done,
         "shell user, shell"},
        {"update, other user kept", Kind::Update, false, kOther, true, kEnded, 1,
         Exit::KeptUsersChoice, "shell user, shell"},
        {"uninstall, unreadable shell user", Kind::Uninstall, false, kUnknown, true, kEnded, 0,
         Exit::Done, "shell user, shell"},
        {"shell route fails", Kind::Install, false, kOther, true, kNotStarted, 0,
         Exit::ShellRouteFailed, "shell user, shell"},
        {"end not seen", Kind::Uninstall, false, kOther, true, kNotSeen, 0, Exit::EndNotSeen,
         "shell user, shell"},
        {"ended, code unread", Kind::Install, false, kUnknown, true, kUnread, 0, Exit::EndedUnread,
         "shell user, shell"},
        {"crashed there", Kind::Update, false, kOther, true, kEnded, 0xC0000005u, Exit::StepFailed,
         "shell user, shell"},
        {"a code it never gives", Kind::Update, false, kUnknown, true, kEnded, 3, Exit::StepFailed,
         "shell user, shell"},
        // No desktop at all (a deployment from a service): nobody's saver changes.
        {"no shell", Kind::Install, false, kNone, true, kNotStarted, 0, Exit::NoDesktopUser,
         "shell user"},
        // The form started in the user's session acts for its own account, asking nothing.
        {"here, install", Kind::Install, true, kOther, false, kNotStarted, 0, Exit::Done, "/d"},
        {"here, update kept", Kind::Update, true, kNone, false, kNotStarted, 0,
         Exit::KeptUsersChoice, "is ours"},
        {"here, uninstall", Kind::Uninstall, true, kUnknown, true, kNotStarted, 0, Exit::Done,
         "is ours, /r"},
        // "Remove my settings": the desktop user's, never the account that elevated the
        // uninstaller; whether the saver is Duskpanel does not matter.
        {"remove settings, same user", Kind::RemoveSettings, false, kSame, false, kNotStarted, 0,
         Exit::Done, "shell user, remove"},
        {"remove settings, other user", Kind::RemoveSettings, false, kOther, true, kEnded, 0,
         Exit::Done, "shell user, shell"},
        {"remove settings, failed there", Kind::RemoveSettings, false, kUnknown, true, kEnded, 5,
         Exit::StepFailed, "shell user, shell"},
        {"remove settings, session unreachable", Kind::RemoveSettings, false, kOther, true,
         kNotStarted, 0, Exit::ShellRouteFailed, "shell user, shell"},
        {"remove settings, no shell", Kind::RemoveSettings, false, kNone, true, kNotStarted, 0,
         Exit::NoDesktopUser, "shell user"},
        {"here, remove settings", Kind::RemoveSettings, true, kOther, false, kNotStarted, 0,
         Exit::Done, "remove"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        FakePlatform platform;
        platform.shellUser = row.shellUser;
        platform.ours = row.ours;
        platform.shellRun = {row.outcome, row.code};
        EXPECT_EQ(RunUserStep({row.kind, row.here}, platform), row.exit);
        EXPECT_EQ(platform.calls, row.calls);
        if (platform.startedKind) {
            EXPECT_EQ(*platform.startedKind, row.kind) << "the same step, there";
        }
    }
}

TEST(UserStep, ARemovalThatLeftSomethingIsNoCompletedStep) {
    FakePlatform platform;
    platform.removed = false;
    EXPECT_EQ(RunUserStep({Kind::RemoveSettings, true}, platform), Exit::StepFailed);
    EXPECT_EQ(RunUserStep({Kind::RemoveSettings, false}, platform), Exit::StepFailed);
    EXPECT_EQ(platform.calls, "remove, shell user, remove");
}

} // namespace
} // namespace dp
