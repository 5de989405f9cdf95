#include "saver/virtual_screen.h"

#include <algorithm>
#include <limits>

namespace dp {

namespace {

bool HasVirtualScreen(const ScreenMetrics& metrics) {
    return metrics.virtualWidth > 0 && metrics.virtualHeight > 0;
}

// Far edge of a span, held to the coordinate range rather than wrapping.
std::int32_t FarEdge(std::int32_t start, std::int32_t size) {
    const std::int64_t edge = static_cast<std::int64_t>(start) + std::max(size, 0);
    return static_cast<std::int32_t>(
        std::min<std::int64_t>(edge, std::numeric_limits<std::int32_t>::max()));
}

} // namespace

ScreenRect SaverWindowRect(const ScreenMetrics& metrics) {
    if (!HasVirtualScreen(metrics))
        return {0, 0, std::max(metrics.primaryWidth, 0), std::max(metrics.primaryHeight, 0)};
    return {metrics.virtualX, metrics.virtualY, FarEdge(metrics.virtualX, metrics.virtualWidth),
            FarEdge(metrics.virtualY, metrics.virtualHeight)};
}

} // namespace dp
