#include "updater/setup_start.h"
#include "updater/updater_command_line.h"

#include <gtest/gtest.h>

#include <string>

namespace dp {
namespace {

// The watcher reads its arguments back with Renewick's own parser: what the updater writes must
// arrive whole, whatever the name holds.
struct WatcherRow {
    const char* name;
    std::uintptr_t handle;
    std::wstring productName;
    std::wstring version;
    std::intptr_t handleRead;
    std::wstring nameRead;
};

const WatcherRow kWatcherRows[] = {
    {"plain", 0x1a4, L"Duskpanel", L"2.1", 0x1a4, L"Duskpanel"},
    {"name with blanks stays one word", 0x8, L"Dusk panel Pro", L"2.1", 0x8, L"Dusk panel Pro"},
    {"quote in the name cannot end the word", 0x10, L"Dusk\" /x99", L"2.1", 0x10, L"Dusk /x99"},
    {"largest 32-bit handle value", 0x7ffffffc, L"D", L"10.0.1", 0x7ffffffc, L"D"},
};

TEST(WatcherArguments, ReadBackByTheUpdatersParser) {
    for (const WatcherRow& row : kWatcherRows) {
        SCOPED_TRACE(row.name);
        const UpdaterCommandLine line =
            ParseUpdaterCommandLine(L"\"C:\\t\\Renewick-watch-1.exe\" " +
                                    WatcherArguments(row.handle, row.productName, row.version));
        EXPECT_EQ(line.watchedSetup, row.handleRead);
        EXPECT_EQ(line.productName, row.nameRead);
        EXPECT_EQ(line.installedVersion, row.version);
        EXPECT_EQ(line.hasId, 0) << "a watcher must not look like an update start";
        EXPECT_TRUE(line.updateIniUrl.empty());
    }
}

// Every way the setup can end is told, and only a clean end reads as installed.
struct EndRow {
    std::uint32_t exitCode;
    std::wstring expected;
};

TEST(SetupEndedMessage, EachExitCodeIsToldPlainly) {
    const std::wstring no = L"The update to version 2.1 was not installed: ";
    const EndRow rows[] = {
        {0, L"Duskpanel 2.1 is installed."},
        {1, no + L"the setup was cancelled."},
        {2, no + L"the setup ended with code 2."},
        {4, no + L"a newer version is installed already."},
        {6, no + L"Duskpanel for the other architecture is installed; uninstall it first."},
        {3, no + L"Duskpanel was still running, so its files could not be replaced. Close its "
                 L"settings and check for updates again."},
        {0xC0000005, no + L"the setup ended with code 3221225477."},
    };
    for (const EndRow& row : rows) {
        SCOPED_TRACE(row.exitCode);
        EXPECT_EQ(SetupEndedMessage(row.exitCode, L"Duskpanel", L"2.1"), row.expected);
    }
}

} // namespace
} // namespace dp
