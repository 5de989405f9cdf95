// The numbers shown while a file downloads: progress bar position and transfer text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace dp {

// Before the first block has been timed, the rate is computed over this many milliseconds;
// a measured interval of 0 ms is replaced by it too, so the rate never divides by zero.
inline constexpr std::uint32_t kFirstElapsedMs = 10;

// The display follows a transfer at most about 30 times a second: refreshing the dialog after
// every block costs its thread a repaint per block, which on a fast link takes many times longer
// than the transfer itself. The last block's figures are always shown.
inline constexpr std::uint32_t kDisplayRefreshMs = 33;

// True when figures ready at nowMs are due on the display: nothing shown yet (lastShownMs
// empty), or at least kDisplayRefreshMs since the last refresh (wrap-around included).
bool DisplayRefreshDue(std::optional<std::uint32_t> lastShownMs, std::uint32_t nowMs);

// received * 100 / total, in 64 bits (a 32-bit product overflows from about 42 MB on), and
// kept within the bar's 0..100 range when a server sends more than it announced. total must
// not be 0: without a total the bar is not moved at all.
int ProgressPosition(std::uint64_t received, std::uint32_t total);

// Milliseconds from start to now on a 32-bit millisecond clock (wrap-around included);
// kFirstElapsedMs when no time has passed.
std::uint32_t ElapsedMs(std::uint32_t startMs, std::uint32_t nowMs);

// KB/s, single precision: received / (elapsed * 0.001) * (1 / 1024).
float TransferRateKBps(std::uint64_t received, std::uint32_t elapsedMs);

// "%.2fMB/%.2fMB   %.1fKB/s" with received and total in MB, each plus 0.1 (so that a
// transfer of 0 bytes shows 0.10), and the rate.
std::wstring FormatTransferText(std::uint64_t received, std::uint32_t total, float rateKBps);

// A body is complete only when exactly the announced number of bytes arrived: a connection
// that closes early ends its last read just like a complete one.
bool IsCompleteBody(std::uint64_t received, std::uint32_t total);

} // namespace dp
