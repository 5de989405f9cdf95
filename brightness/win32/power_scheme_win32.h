// The power-scheme entries of "powrprof.dll", bound at run time so that the program also starts
// on systems without them.
#pragma once

#include "brightness/power_scheme.h"

namespace dp {

class PowrProfLibrary final : public PowerSchemeLibrary {
public:
    // The library stays loaded as long as the returned object lives.
    std::unique_ptr<PowerSchemeApi> Load() override;
};

} // namespace dp
