// Renewick's command line: which product to update, from where, and which window to show.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace dp {

struct UpdaterCommandLine {
    int hasId = 0;        // /i was given: the number in the INI copy's file name
    int showSettings = 0; // /c: the settings template instead of the update dialog
    std::wstring productId;
    std::wstring productName;
    std::wstring installedVersion;
    std::wstring updateIniUrl;
    // /w: the settings template's parent, a window handle value as wcstol read it (a 32-bit
    // long), sign-extended the way handles widen to pointers.
    std::intptr_t parentWindow = 0;
    // /x: the handle value (hexadecimal) of a setup process this copy inherited and waits for,
    // to tell the user how it ended. 0: an ordinary start.
    std::intptr_t watchedSetup = 0;

    // One parameter as the framework's parser hands it over (see SplitCommandWords).
    void ParseParam(std::wstring_view param, bool isSwitch, bool isLast);
};

UpdaterCommandLine ParseUpdaterCommandLine(std::wstring_view commandLine);

// The single-instance mutex of one product: "nerovane_renewick_<productId>".
std::wstring SingleInstanceMutexName(std::wstring_view productId);

// The update dialog's caption: "Renewick for <productName>".
std::wstring UpdateDialogCaption(std::wstring_view productName);

// Reads text as wcstol(text, nullptr, 16) does with a 32-bit long: leading white space, an
// optional sign, an optional 0x, hex digits up to the first other character; out-of-range
// values are clamped to the long's limits, and no digits give 0.
std::int32_t ReadHexLong(std::wstring_view text);

} // namespace dp
