#include "updater/setup_start.h"

namespace dp {

namespace {

std::wstring NotInstalled(std::wstring_view offeredVersion) {
    return L"The update to version " + std::wstring(offeredVersion) + L" was not installed: ";
}

std::wstring Hex(std::uintptr_t value) {
    constexpr wchar_t kDigits[] = L"0123456789abcdef";
    std::wstring text;
    do {
        text.insert(text.begin(), kDigits[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    return text;
}

// A word the command-line splitter gives back as it was: quoted, with any quote inside
// dropped (names and versions never need one).
std::wstring Quoted(std::wstring_view text) {
    std::wstring word = L"\"";
    for (wchar_t c : text) {
        if (c != L'"')
            word.push_back(c);
    }
    return word + L"\"";
}

} // namespace

std::wstring SetupNotStartedMessage(std::uint32_t error, std::wstring_view offeredVersion) {
    switch (error) {
    case kErrorCancelled:
        return NotInstalled(offeredVersion) +
               L"the setup was not allowed to run with administrator rights.";
    case kErrorElevationRequired:
        return NotInstalled(offeredVersion) +
               L"the setup needs administrator rights, and Windows could not ask for them. "
               L"Sign in as an administrator and check for updates again.";
    default:
        return NotInstalled(offeredVersion) + L"the setup could not be started (error " +
               std::to_wstring(error) + L").";
    }
}

std::wstring SetupNotWatchedMessage(std::wstring_view offeredVersion) {
    return L"The setup of version " + std::wstring(offeredVersion) +
           L" has started. Renewick cannot follow it: the setup itself tells whether it "
           L"succeeded.";
}

std::wstring SetupEndedMessage(std::uint32_t exitCode, std::wstring_view productName,
                               std::wstring_view offeredVersion) {
    switch (exitCode) {
    case 0:
        return std::wstring(productName) + L" " + std::wstring(offeredVersion) + L" is installed.";
    case 1:
        return NotInstalled(offeredVersion) + L"the setup was cancelled.";
    case 4:
        return NotInstalled(offeredVersion) + L"a newer version is installed already.";
    case 6:
        return NotInstalled(offeredVersion) + std::wstring(productName) +
               L" for the other architecture is installed; uninstall it first.";
    case 3:
        return NotInstalled(offeredVersion) + std::wstring(productName) +
               L" was still running, so its files could not be replaced. Close its settings "
               L"and check for updates again.";
    default:
        return NotInstalled(offeredVersion) + L"the setup ended with code " +
               std::to_wstring(exitCode) + L".";
    }
}

std::wstring WatcherArguments(std::uintptr_t processHandle, std::wstring_view productName,
                              std::wstring_view offeredVersion) {
    return L"/x" + Hex(processHandle) + L" /n" + Quoted(productName) + L" /v" +
           Quoted(offeredVersion);
}

} // namespace dp
