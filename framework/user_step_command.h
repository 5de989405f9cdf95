// The hidden command line of the per-user step: the screen saver's choice, or the removal of the
// user's settings. The installer runs elevated, and when an administrator's password elevated
// it, that process is the administrator's account, not the desktop's user: the screen saver and
// the settings are the desktop user's, so the step is carried into that user's session and run
// there, unelevated.
//   "/~user-step <kind>"       the installer's form: finds whose desktop it is and runs the step
//                              there
//   "/~user-step <kind> here"  runs the step for the account that runs this process (the form
//                              started in the desktop user's session)
// The switch is no letter the screen-saver command line knows, so a mistyped form ends as an
// unknown switch does.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dp {

enum class UserStepKind {
    Install,        // make Duskpanel the screen saver, keeping the previous one for the uninstaller
    Update,         // the same, but only when Duskpanel still is the saver: a later choice stays
    Uninstall,      // put the previous saver back, only when Duskpanel still is the saver
    RemoveSettings, // remove the user's profile key and the files the saver wrote in the user's
                    // data folder (the uninstaller's "Remove my settings")
};

struct UserStepCommand {
    UserStepKind kind = UserStepKind::Install;
    bool here = false;

    friend bool operator==(const UserStepCommand&, const UserStepCommand&) = default;
};

// The exit codes; the installer prints a line for each.
enum class UserStepExit : std::uint32_t {
    Done = 0,             // Duskpanel selected, the previous screen saver put back, or the
                          // user's settings removed
    KeptUsersChoice = 1,  // the user's screen saver is another one and stays
    NoDesktopUser = 2,    // no desktop shell: nothing changed
    ShellRouteFailed = 3, // the step could not be started in the desktop user's session
    EndNotSeen = 4,       // started there, but its end was not seen in time
    StepFailed = 5,       // it ended there without completing (crashed, or the relay could not
                          // start or see the end of the saver), or not all of the user's
                          // settings could be removed
    EndedUnread = 6,      // it ended there, but its result could not be read
};

// The arguments after the program name, e.g. "/~user-step update here".
std::wstring FormatUserStepArguments(const UserStepCommand& command);
// The whole process command line; nothing unless it is the program name followed by exactly
// one of the forms above.
std::optional<UserStepCommand> ParseUserStepCommand(std::wstring_view commandLine);

} // namespace dp
