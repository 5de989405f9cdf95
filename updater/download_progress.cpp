#include "updater/download_progress.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace dp {

namespace {

constexpr double kBytesPerMB = 1048576.0;
constexpr double kShownMBOffset = 0.1;

} // namespace

bool DisplayRefreshDue(std::optional<std::uint32_t> lastShownMs, std::uint32_t nowMs) {
    return !lastShownMs || nowMs - *lastShownMs >= kDisplayRefreshMs;
}

int ProgressPosition(std::uint64_t received, std::uint32_t total) {
    if (total == 0)
        return 0;
    const std::uint64_t position = received * 100 / total;
    return static_cast<int>(std::min<std::uint64_t>(position, 100));
}

std::uint32_t ElapsedMs(std::uint32_t startMs, std::uint32_t nowMs) {
    const std::uint32_t elapsed = nowMs - startMs;
    return elapsed == 0 ? kFirstElapsedMs : elapsed;
}

float TransferRateKBps(std::uint64_t received, std::uint32_t elapsedMs) {
    const std::uint32_t interval = elapsedMs == 0 ? kFirstElapsedMs : elapsedMs;
    return static_cast<float>(static_cast<double>(received) / (interval * 0.001) * (1.0 / 1024));
}

std::wstring FormatTransferText(std::uint64_t received, std::uint32_t total, float rateKBps) {
    // Every argument is finite and below 2^64, so the longest text is far below the buffer.
    std::array<char, 128> text{};
    const int length = std::snprintf(text.data(), text.size(), "%.2fMB/%.2fMB   %.1fKB/s",
                                     static_cast<double>(received) / kBytesPerMB + kShownMBOffset,
                                     static_cast<double>(total) / kBytesPerMB + kShownMBOffset,
                                     static_cast<double>(rateKBps));
    const std::size_t used = length < 0 ? 0 : std::min<std::size_t>(length, text.size() - 1);
    return std::wstring(text.data(), text.data() + used);
}

bool IsCompleteBody(std::uint64_t received, std::uint32_t total) {
    return received == total;
}

} // namespace dp
