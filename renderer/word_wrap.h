// Where a text run breaks when it does not fit the rest of a line.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

namespace dp::html {

// The characters after which a run may break.
inline constexpr std::wstring_view kBreakCharacters = L" -.,!:;)}]?";

struct WrapDecision {
    bool fitsWhole = false;   // text[from..] fits: place it all, the line goes on
    bool moveWhole = false;   // nothing fits here: end the line and try again on a fresh one
    std::size_t placeEnd = 0; // otherwise place text[from, placeEnd) (right-trimmed)...
    std::size_t next = 0;     // ...end the line and go on from here (left-trimmed)
};

// `ends[i]` is the width of text[0..i]. A piece fits when its width without trailing blanks is
// at most `available`. The longest prefix of text[from..] that ends with a break character
// and fits is placed; when none fits, a fresh line (`lineEmpty`) takes as many characters as
// fit (at least one, never half a surrogate pair), any other line takes nothing.
// `trimmedEnd` is TrimRight(text, 0, text.size()), found once per run: a decision then costs
// time in proportion to what it places (and the blanks after it), never to the rest of the
// run, so that a run of any length wraps in time linear in its length.
WrapDecision WrapRun(std::wstring_view text, std::span<const int> ends, std::size_t from,
                     int available, bool lineEmpty, std::size_t trimmedEnd);

// Widths of text[from, to) with and without its trailing blanks.
int SpanWidth(std::span<const int> ends, std::size_t from, std::size_t to);
std::size_t TrimRight(std::wstring_view text, std::size_t from, std::size_t to);
std::size_t TrimLeft(std::wstring_view text, std::size_t from);

// The widest piece of text that cannot be broken (up to and including a break character,
// trailing blanks not counted): the least width a run needs.
int WidestPiece(std::wstring_view text, std::span<const int> ends);

// The widest single character: the least width a run needs when it may break anywhere.
int WidestCharacter(std::span<const int> ends);

} // namespace dp::html
