// The per-user step the installer and the uninstaller run (see
// framework/user_step_command.h): where it runs, whether it changes anything, and the exit code
// the installer reports.
#pragma once

#include <cstdint>

#include "framework/user_step_command.h"

namespace dp {

// Whose desktop this is, compared with the account that runs this process.
enum class ShellUser {
    None,    // no desktop shell runs: no user to serve
    Same,    // the desktop's user runs this process (the usual elevation, and always under Wine)
    Other,   // another account: an administrator's password elevated the installer
    Unknown, // the shell's account could not be read
};

// How the start in the desktop user's session went.
struct ShellRun {
    // EndedUnread: seen to end, but its exit code could not be read.
    enum class Outcome { NotStarted, EndNotSeen, EndedUnread, Ended } outcome = Outcome::NotStarted;
    std::uint32_t exitCode = 0; // when it ended
};

class UserStepPlatform {
public:
    virtual ~UserStepPlatform() = default;
    virtual ShellUser FindShellUser() = 0;
    // In this process's own account.
    virtual bool DuskpanelIsTheSaver() = 0;
    virtual void SelectDuskpanel() = 0;
    virtual void PutPreviousSaverBack() = 0;
    // True when all of this account's settings are gone (see saver/user_settings_removal.h).
    virtual bool RemoveUserSettings() = 0;
    // Starts the "here" form in the desktop user's session, unelevated, and waits for its end.
    virtual ShellRun RunInShellSession(const UserStepCommand& here) = 0;
};

// Runs the step and gives its exit code. The settings of an account other than the desktop's
// user are never changed: when the desktop user's session cannot be reached, nothing is.
UserStepExit RunUserStep(const UserStepCommand& command, UserStepPlatform& platform);

} // namespace dp
