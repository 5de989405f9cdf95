// The process command line as the application's parameter parser sees it: one word per
// parameter, quotes removed, a leading switch marker taken off and reported separately.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace dp {

struct CommandWord {
    std::wstring text;     // without its quotes and without a leading "/" or "-"
    bool isSwitch = false; // the word began with "/" or "-"
    bool isLast = false;   // no word follows
};

// Splits a whole command line (as GetCommandLineW returns it, program name first) into the
// parameters that follow the program name. Words are separated by blanks and tabs outside
// double quotes; quotes group and are removed, following the C runtime's argv rules:
// 2n backslashes before a quote give n backslashes and the quote groups, 2n+1 give n
// backslashes and a literal quote, "" inside a quoted stretch gives one literal quote, and
// backslashes before anything else are kept as they are. The program name ends at the first
// blank outside quotes; backslashes mean nothing in it (it is a path).
std::vector<CommandWord> SplitCommandWords(std::wstring_view commandLine);

} // namespace dp
