#include "updater/download_progress.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace dp {
namespace {

constexpr std::uint64_t kMB = 1048576;

struct PositionRow {
    const char* name;
    std::uint64_t received;
    std::uint32_t total;
    int position;
};

const PositionRow kPositionRows[] = {
    {"nothing yet", 0, 1000, 0},
    {"rounds down", 999, 1000, 99},
    {"complete", 1000, 1000, 100},
    {"45 MB of 100 MB: received * 100 is beyond 32 bits", 45 * kMB, 100 * kMB, 45},
    {"largest 32-bit total", 0xFFFFFFFEu, 0xFFFFFFFFu, 99},
    {"more than announced stays at the end", 3000, 1000, 100},
    {"no total leaves the bar at 0", 500, 0, 0},
};

TEST(ProgressPosition, Table) {
    for (const PositionRow& row : kPositionRows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ProgressPosition(row.received, row.total), row.position);
    }
}

struct ElapsedRow {
    const char* name;
    std::uint32_t start;
    std::uint32_t now;
    std::uint32_t elapsed;
};

const ElapsedRow kElapsedRows[] = {
    {"no time passed counts as the first 10 ms", 5000, 5000, 10},
    {"measured", 5000, 5250, 250},
    {"clock wraps around", 0xFFFFFFF0u, 0x10, 0x20},
};

TEST(ElapsedMs, Table) {
    for (const ElapsedRow& row : kElapsedRows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ElapsedMs(row.start, row.now), row.elapsed);
    }
}

struct TextRow {
    const char* name;
    std::uint64_t received;
    std::uint32_t total;
    std::uint32_t elapsedMs;
    std::wstring text;
};

const TextRow kTextRows[] = {
    {"0 bytes", 0, 0, 10, L"0.10MB/0.10MB   0.0KB/s"},
    {"first block of a 100 MB file over the first 10 ms", 102400, 100 * kMB, 10,
     L"0.20MB/100.10MB   10000.0KB/s"},
    {"100 MB file complete after 10 s", 100 * kMB, 100 * kMB, 10000,
     L"100.10MB/100.10MB   10240.0KB/s"},
    {"Content-Length 0 with data", 8192, 0, 10, L"0.11MB/0.10MB   800.0KB/s"},
    {"4 GB", 0xFFFFFFFFu, 0xFFFFFFFFu, 1000, L"4096.10MB/4096.10MB   4194304.0KB/s"},
    {"beyond 4 GB received", 5 * 1024 * kMB, 0xFFFFFFFFu, 0xFFFFFFFFu,
     L"5120.10MB/4096.10MB   1.2KB/s"},
};

TEST(FormatTransferText, Table) {
    for (const TextRow& row : kTextRows) {
        SCOPED_TRACE(row.name);
        const float rate = TransferRateKBps(row.received, row.elapsedMs);
        EXPECT_EQ(FormatTransferText(row.received, row.total, rate), row.text);
    }
}

TEST(TransferRateKBps, ZeroIntervalCountsAsTheFirst10Ms) {
    EXPECT_FLOAT_EQ(TransferRateKBps(102400, 0), TransferRateKBps(102400, 10));
}

struct CompleteRow {
    const char* name;
    std::uint64_t received;
    std::uint32_t total;
    bool complete;
};

const CompleteRow kCompleteRows[] = {
    {"all announced bytes", 100000, 100000, true},
    {"empty body, Content-Length 0", 0, 0, true},
    {"cut short", 50000, 100000, false},
    {"data despite Content-Length 0", 8192, 0, false},
    {"more than announced", 100001, 100000, false},
    {"4 GB more than a 32-bit count", 0x100000000ull + 5, 5, false},
};

TEST(IsCompleteBody, Table) {
    for (const CompleteRow& row : kCompleteRows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(IsCompleteBody(row.received, row.total), row.complete);
    }
}

} // namespace
} // namespace dp
