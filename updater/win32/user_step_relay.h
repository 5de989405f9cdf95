// Renewick's part in the per-user screen-saver step: the installer has the desktop's shell start
// Renewick (an ".exe", which the shell starts with the arguments it is given; a ".scr" it starts
// as a screen saver), and Renewick starts the saver's step beside it.
#pragma once

#include <cstdint>

#include "framework/user_step_command.h"

namespace dp {

// Runs "<this folder>\Duskpanel.scr <the same step>", waits for its end (bounded) and gives its
// exit code; UserStepExit::StepFailed when it could not be started or did not end in time.
std::uint32_t RelayUserStep(const UserStepCommand& command);

} // namespace dp
