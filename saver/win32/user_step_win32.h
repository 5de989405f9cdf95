// The per-user step's platform side (see saver/user_step.h).
#pragma once

#include <memory>
#include <string>

#include "saver/user_step.h"

namespace dp {

// programFolder holds the relay, Renewick.exe, which the desktop's shell starts for the step.
std::unique_ptr<UserStepPlatform> MakeWin32UserStepPlatform(std::wstring programFolder);

} // namespace dp
