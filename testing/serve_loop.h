// The "serve" mode of the tests' helper programs (dialog_driver): they stay
// resident in a prefix and run one command per line of standard input, its arguments separated
// by tabs, each followed by a line ".end <exit code>". A test that asks a helper hundreds of
// times then pays one Wine start (~0.1-0.2 s of CPU) instead of one per command;
// testing/wine_serve.py is the other end.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace dp::testing {

inline std::wstring WideFromUtf8(const std::string& text) {
    const int length =
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                          length);
    return wide;
}

// One line of standard input without its line break; false at the end of the input.
inline bool ReadCommandLine(std::string& line) {
    line.clear();
    int c;
    while ((c = std::fgetc(stdin)) != EOF && c != '\n')
        line += static_cast<char>(c);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return c != EOF || !line.empty();
}

// Runs each line as run(argc, argv) would run the program's own arguments (argv[0] is
// programName) until the input ends.
template <typename Run> int ServeCommands(const wchar_t* programName, Run run) {
    std::string line;
    while (ReadCommandLine(line)) {
        std::vector<std::wstring> words{programName};
        const std::wstring rest = WideFromUtf8(line);
        for (std::size_t start = 0;;) {
            const std::size_t tab = rest.find(L'\t', start);
            words.push_back(rest.substr(start, tab == std::wstring::npos ? tab : tab - start));
            if (tab == std::wstring::npos)
                break;
            start = tab + 1;
        }
        std::vector<wchar_t*> argv;
        for (std::wstring& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        const int code = run(static_cast<int>(words.size()), argv.data());
        std::printf(".end %d\n", code);
        std::fflush(stdout);
    }
    return 0;
}

} // namespace dp::testing
