#include "renderer/word_wrap.h"

#include <algorithm>

namespace dp::html {
namespace {

bool IsBreak(wchar_t c) {
    return kBreakCharacters.find(c) != std::wstring_view::npos;
}

bool IsHighSurrogate(wchar_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

} // namespace

int SpanWidth(std::span<const int> ends, std::size_t from, std::size_t to) {
    if (to <= from)
        return 0;
    return ends[to - 1] - (from == 0 ? 0 : ends[from - 1]);
}

std::size_t TrimRight(std::wstring_view text, std::size_t from, std::size_t to) {
    while (to > from && text[to - 1] == L' ')
        --to;
    return to;
}

std::size_t TrimLeft(std::wstring_view text, std::size_t from) {
    while (from < text.size() && text[from] == L' ')
        ++from;
    return from;
}

WrapDecision WrapRun(std::wstring_view text, std::span<const int> ends, std::size_t from,
                     int available, bool lineEmpty, std::size_t trimmedEnd) {
    WrapDecision decision;
    const std::size_t n = text.size();
    if (SpanWidth(ends, from, std::max(from, trimmedEnd)) <= available) {
        decision.fitsWhole = true;
        decision.placeEnd = decision.next = n;
        return decision;
    }
    // Widths never decrease and blanks do not count at a prefix's end: once a character other
    // than a blank overflows, no longer prefix fits either, and the scan stops there.
    std::size_t best = 0;
    for (std::size_t j = from; j < n; ++j) {
        if (text[j] != L' ' && SpanWidth(ends, from, j + 1) > available)
            break;
        if (IsBreak(text[j]))
            best = j + 1;
    }
    if (best == 0 && !lineEmpty) {
        decision.moveWhole = true;
        decision.placeEnd = decision.next = from;
        return decision;
    }
    if (best == 0) {
        best = from + 1;
        while (best < n && SpanWidth(ends, from, best + 1) <= available)
            ++best;
        if (best < n && IsHighSurrogate(text[best - 1]))
            best = best - from > 1 ? best - 1 : best + 1;
    }
    decision.placeEnd = TrimRight(text, from, best);
    decision.next = TrimLeft(text, best);
    return decision;
}

int WidestPiece(std::wstring_view text, std::span<const int> ends) {
    int widest = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!IsBreak(text[i]) && i + 1 < text.size())
            continue;
        const int width = SpanWidth(ends, start, TrimRight(text, start, i + 1));
        widest = width > widest ? width : widest;
        start = i + 1;
    }
    return widest;
}

int WidestCharacter(std::span<const int> ends) {
    int widest = 0, previous = 0;
    for (const int end : ends) {
        widest = std::max(widest, end - previous);
        previous = end;
    }
    return widest;
}

} // namespace dp::html
