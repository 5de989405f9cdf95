// Character classes as the C runtime's wide conversions (wcstol, _wtoi) see them in the "C"
// locale, for parsers that must accept exactly what those functions accept.
#pragma once

namespace dp {

// iswspace in the "C" locale: blank, tab, line feed, vertical tab, form feed, carriage return.
constexpr bool IsCrtSpace(wchar_t c) {
    return c == L' ' || (c >= L'\t' && c <= L'\r');
}

} // namespace dp
