#include "brightness/power_source.h"

namespace dp {

bool IsMainsPower(std::optional<std::uint8_t> acLineStatus) {
    return !acLineStatus || *acLineStatus != kAcLineOffline;
}

} // namespace dp
