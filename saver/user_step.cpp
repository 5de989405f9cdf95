#include "saver/user_step.h"

namespace dp {
namespace {

UserStepExit RunHere(UserStepKind kind, UserStepPlatform& platform) {
    switch (kind) {
    case UserStepKind::Install:
        platform.SelectDuskpanel();
        return UserStepExit::Done;
    case UserStepKind::Update:
        if (!platform.DuskpanelIsTheSaver())
            return UserStepExit::KeptUsersChoice;
        platform.SelectDuskpanel();
        return UserStepExit::Done;
    case UserStepKind::Uninstall:
        if (!platform.DuskpanelIsTheSaver())
            return UserStepExit::KeptUsersChoice;
        platform.PutPreviousSaverBack();
        return UserStepExit::Done;
    case UserStepKind::RemoveSettings:
        return platform.RemoveUserSettings() ? UserStepExit::Done : UserStepExit::StepFailed;
    }
    return UserStepExit::StepFailed;
}

UserStepExit FromShellRun(const ShellRun& run) {
    switch (run.outcome) {
    case ShellRun::Outcome::NotStarted:
        return UserStepExit::ShellRouteFailed;
    case ShellRun::Outcome::EndNotSeen:
        return UserStepExit::EndNotSeen;
    case ShellRun::Outcome::EndedUnread:
        return UserStepExit::EndedUnread;
    case ShellRun::Outcome::Ended:
        break;
    }
    // Only what the "here" form itself gives is passed on; anything else (a crash's code, the
    // relay's own failure) is a step that did not complete.
    if (run.exitCode == static_cast<std::uint32_t>(UserStepExit::Done))
        return UserStepExit::Done;
    if (run.exitCode == static_cast<std::uint32_t>(UserStepExit::KeptUsersChoice))
        return UserStepExit::KeptUsersChoice;
    return UserStepExit::StepFailed;
}

} // namespace

UserStepExit RunUserStep(const UserStepCommand& command, UserStepPlatform& platform) {
    if (command.here)
        return RunHere(command.kind, platform);
    switch (platform.FindShellUser()) {
    case ShellUser::None:
        return UserStepExit::NoDesktopUser;
    case ShellUser::Same:
        return RunHere(command.kind, platform);
    case ShellUser::Other:
    case ShellUser::Unknown:
        // An unreadable account may well be another one; the shell's session is right for
        // either.
        break;
    }
    return FromShellRun(platform.RunInShellSession({command.kind, true}));
}

} // namespace dp
