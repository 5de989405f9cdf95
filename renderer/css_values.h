// Values of the dialect's style declarations and attributes: numbers, lengths, colours and
// declaration lists. Every result is clamped to a sane range; nothing wraps.
#pragma once

#include "renderer/layout_services.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dp::html {

// number × numerator ÷ denominator rounded half away from zero, as the system's MulDiv does,
// but computed in 64 bits and clamped to the int range instead of failing with -1; a zero
// denominator gives 0.
int MulDivRound(int number, int numerator, int denominator);

// A leading integer with base detection ("0x" hexadecimal, a leading 0 octal, else decimal), a
// sign allowed; saturates at ±2^31-1. Nothing when the value does not start with a number.
std::optional<int> ReadInteger(std::wstring_view value);

struct LengthContext {
    int current = 0;       // what "%" is a percentage of
    int resolution = 96;   // pixels per inch; "px" and plain numbers are 96ths of an inch
    int emHeight = 0;      // text height of the current font
    int exHeight = 0;      // height of its letter x
    bool fontSize = false; // plain numbers 1-7 are the seven font sizes
};

// A length in pixels, clamped to 0..kMaxLength: "N%" of the current value, N with a unit
// ("px", "ex", "em", "in", "cm", "mm", "pt", "pc"; a leading sign is dropped, N is a decimal
// integer), or a plain number read with base detection. Nothing for a value without digits.
// Pixels ("px", plain numbers, the seven font sizes) are those of a 96-dpi screen, as in CSS:
// at another resolution they grow with it, so that a message keeps its proportions.
std::optional<int> ParseLength(std::wstring_view value, const LengthContext& context);

// A colour as 0x00BBGGRR: "#rrggbb", a number (base detection; above 0x00FFFFFF is clamped to
// it), one of the 140 CSS colour names or a system colour name (exact case). Nothing for an
// empty value, another "#" form or an unknown name: the caller keeps its colour.
std::optional<std::uint32_t> ParseColour(std::wstring_view value, const SystemColours* system);

// "normal" 400, "bold" 700, "bolder" 900, "lighter" 100, an empty value 400, or a number
// (clamped to 100..900). Nothing for anything else.
std::optional<int> ParseFontWeight(std::wstring_view value);

struct Declaration {
    std::wstring name; // lower case
    std::wstring value;
};

// "name: value; name: value". Entries without a colon are skipped.
std::vector<Declaration> ParseDeclarations(std::wstring_view text);

std::wstring_view Trim(std::wstring_view s);
bool EqualsNoCase(std::wstring_view a, std::wstring_view lowerB);

} // namespace dp::html
