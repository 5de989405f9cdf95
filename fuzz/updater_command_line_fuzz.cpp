// Renewick's command line: the word splitter, the switches and the /w handle's hex reading.
#include "framework/command_words.h"
#include "fuzz/fuzz_text.h"
#include "updater/updater_command_line.h"

#include <algorithm>
#include <cwchar>
#include <limits>

namespace {

// A word quoted so that the C runtime's argv rules give it back unchanged: backslashes double
// only before a quote, which is itself escaped.
std::wstring Quoted(std::wstring_view word) {
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : word) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out.push_back(c);
    }
    out.append(backslashes * 2, L'\\');
    out.push_back(L'"');
    return out;
}

bool SameWords(const std::vector<dp::CommandWord>& a, const std::vector<dp::CommandWord>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
        return x.text == y.text && x.isSwitch == y.isSwitch && x.isLast == y.isLast;
    });
}

// The C library's reading, narrowed to a 32-bit long as Windows has it.
std::int32_t ReferenceHexLong(const std::wstring& text) {
    const long long value = std::wcstoll(text.c_str(), nullptr, 16);
    return static_cast<std::int32_t>(std::clamp<long long>(
        value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring text = dp::fuzz::WideText(data, size);
    const std::wstring line = L"Renewick.exe " + text;
    const std::vector<dp::CommandWord> words = dp::SplitCommandWords(line);

    // Every word, quoted again, splits back into itself.
    std::wstring requoted = L"Renewick.exe";
    for (const dp::CommandWord& word : words)
        requoted += L' ' + Quoted((word.isSwitch ? L"/" : L"") + word.text);
    DP_FUZZ_CHECK(SameWords(dp::SplitCommandWords(requoted), words));

    const dp::UpdaterCommandLine parsed = dp::ParseUpdaterCommandLine(line);
    DP_FUZZ_CHECK(parsed.hasId == 0 || parsed.hasId == 1);

    if (dp::fuzz::IsAscii(text))
        DP_FUZZ_CHECK(dp::ReadHexLong(text) == ReferenceHexLong(text));
    return 0;
}
