// What every fuzz target shares: the fuzzer's bytes as the wide text the parsers take, and a
// check that turns a broken property into a crash libFuzzer records with its input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>

#include <time.h>

#define DP_FUZZ_CHECK(condition)                                                                   \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);     \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

namespace dp::fuzz {

namespace detail {

inline bool IsContinuation(std::uint8_t byte) {
    return (byte & 0xC0) == 0x80;
}

// The length of the sequence a lead byte announces, 0 for a byte that leads none.
inline std::size_t SequenceLength(std::uint8_t lead) {
    if (lead >= 0xC0 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

inline void AppendUtf16(std::wstring& text, std::uint32_t codePoint) {
    if (codePoint < 0x10000) {
        text.push_back(static_cast<wchar_t>(codePoint));
        return;
    }
    codePoint -= 0x10000;
    text.push_back(static_cast<wchar_t>(0xD800 + (codePoint >> 10)));
    text.push_back(static_cast<wchar_t>(0xDC00 + (codePoint & 0x3FF)));
}

} // namespace detail

// The bytes as text in UTF-16 code units, whatever the size of wchar_t, so that the parsers
// see what they see on Windows. Sequences of UTF-8 shape are decoded (seed files are readable
// text; overlong forms and encoded surrogates are taken too, so NUL and lone surrogates are
// reachable), every other byte is one character of its own value.
inline std::wstring WideText(const std::uint8_t* data, std::size_t size) {
    std::wstring text;
    text.reserve(size);
    for (std::size_t pos = 0; pos < size;) {
        const std::uint8_t lead = data[pos];
        const std::size_t length = detail::SequenceLength(lead);
        bool whole = length > 0 && pos + length <= size;
        for (std::size_t k = 1; whole && k < length; ++k)
            whole = detail::IsContinuation(data[pos + k]);
        if (!whole) {
            text.push_back(static_cast<wchar_t>(lead));
            ++pos;
            continue;
        }
        std::uint32_t codePoint = lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k)
            codePoint = (codePoint << 6) | (data[pos + k] & 0x3F);
        if (codePoint > 0x10FFFF) {
            text.push_back(static_cast<wchar_t>(lead));
            ++pos;
            continue;
        }
        detail::AppendUtf16(text, codePoint);
        pos += length;
    }
    return text;
}

// Two inputs from one: the text before the first line feed and the text after it.
inline std::pair<std::wstring_view, std::wstring_view> SplitAtLineFeed(std::wstring_view text) {
    const std::size_t lineFeed = text.find(L'\n');
    if (lineFeed == std::wstring_view::npos)
        return {text, {}};
    return {text.substr(0, lineFeed), text.substr(lineFeed + 1)};
}

// Fails an input whose handling takes more of the thread's CPU time than a linear pass over
// `characters` may: 200 ms and 4 microseconds a character. The sanitised build lays a megabyte
// out well within that; a pass that grows with the square of the length takes seconds already
// at 64K characters. (libFuzzer's -timeout catches only what takes ten seconds.)
class CpuBudget {
public:
    explicit CpuBudget(std::size_t characters)
        : start_(Now()), budget_(200000 + 4 * static_cast<long long>(characters)) {}
    void Check() const {
        const long long spent = Now() - start_;
        if (spent > budget_) {
            std::fprintf(stderr, "over budget: %lld us for %lld us allowed\n", spent, budget_);
            std::abort();
        }
    }

private:
    static long long Now() {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return static_cast<long long>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
    }
    long long start_;
    long long budget_;
};

inline bool IsAscii(std::wstring_view text) {
    for (wchar_t c : text) {
        if (c > 0x7F)
            return false;
    }
    return true;
}

} // namespace dp::fuzz
