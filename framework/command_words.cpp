#include "framework/command_words.h"

namespace dp {

namespace {

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

bool IsSwitchMarker(wchar_t c) {
    return c == L'/' || c == L'-';
}

std::size_t SkipProgramName(std::wstring_view line) {
    bool quoted = false;
    std::size_t pos = 0;
    for (; pos < line.size(); ++pos) {
        if (line[pos] == L'"')
            quoted = !quoted;
        else if (!quoted && IsBlank(line[pos]))
            break;
    }
    return pos;
}

std::size_t SkipBlanks(std::wstring_view line, std::size_t pos) {
    while (pos < line.size() && IsBlank(line[pos]))
        ++pos;
    return pos;
}

// A run of backslashes only matters when a quote follows it.
void ReadBackslashes(std::wstring_view line, std::size_t& pos, std::wstring& word) {
    std::size_t run = 0;
    while (pos < line.size() && line[pos] == L'\\') {
        ++run;
        ++pos;
    }
    const bool quoteFollows = pos < line.size() && line[pos] == L'"';
    if (!quoteFollows) {
        word.append(run, L'\\');
        return;
    }
    word.append(run / 2, L'\\');
    if (run % 2 == 1) {
        word.push_back(L'"');
        ++pos;
    }
}

std::wstring ReadWord(std::wstring_view line, std::size_t& pos) {
    std::wstring word;
    bool quoted = false;
    while (pos < line.size()) {
        const wchar_t c = line[pos];
        if (!quoted && IsBlank(c))
            break;
        if (c == L'\\') {
            ReadBackslashes(line, pos, word);
        } else if (c == L'"' && quoted && pos + 1 < line.size() && line[pos + 1] == L'"') {
            word.push_back(L'"');
            pos += 2;
        } else if (c == L'"') {
            quoted = !quoted;
            ++pos;
        } else {
            word.push_back(c);
            ++pos;
        }
    }
    return word;
}

CommandWord ToCommandWord(std::wstring text) {
    CommandWord word;
    word.isSwitch = !text.empty() && IsSwitchMarker(text.front());
    word.text = word.isSwitch ? text.substr(1) : std::move(text);
    return word;
}

} // namespace

std::vector<CommandWord> SplitCommandWords(std::wstring_view commandLine) {
    std::vector<CommandWord> words;
    std::size_t pos = SkipBlanks(commandLine, SkipProgramName(commandLine));
    while (pos < commandLine.size()) {
        words.push_back(ToCommandWord(ReadWord(commandLine, pos)));
        pos = SkipBlanks(commandLine, pos);
    }
    if (!words.empty())
        words.back().isLast = true;
    return words;
}

} // namespace dp
