#include "brightness/win32/brightness_writes.h"

#include <atomic>

namespace dp {
namespace {

// Lock-free, so that the fault filter may set it whatever lock the faulting thread holds.
std::atomic<bool> g_stopped{false};
static_assert(std::atomic<bool>::is_always_lock_free);

} // namespace

void StopBrightnessWrites() noexcept {
    g_stopped.store(true);
}

bool BrightnessWritesStopped() noexcept {
    return g_stopped.load();
}

} // namespace dp
