// The bounds of the HTML renderer. Message texts come from the program, its language files and
// callers; whatever they contain, every stage stays within these caps, so that laying a text
// out takes time and memory roughly proportional to its length and never more than the caps
// allow. What happens at each cap is stated beside it.
#pragma once

namespace dp::html {

// Characters kept of a message after entity replacement; the rest is dropped.
inline constexpr int kMaxTextLength = 1 << 20;
// Tokens (text runs, tags, line breaks, tabs) kept; the rest of the message is dropped.
inline constexpr int kMaxTokens = 1 << 18;
// A "<" with no ">" within this many characters (or with another "<" first) is literal text.
inline constexpr int kMaxTagLength = 4096;
// Attributes read per tag; further ones are ignored.
inline constexpr int kMaxAttributes = 32;
// Open style tags; an opening tag beyond this depth is ignored (its text still shows).
inline constexpr int kMaxStyleDepth = 256;
// Tables nested in cells; a table tag deeper than this is ignored and its cells flow as text.
inline constexpr int kMaxTableDepth = 8;
// Rows and columns of one table; cells beyond them are dropped, spans are cut at them.
inline constexpr int kMaxTableRows = 1000;
inline constexpr int kMaxTableColumns = 100;
// Any length once resolved to pixels (widths, heights, margins, positions of one item).
inline constexpr int kMaxLength = 32767;
// Font heights in pixels.
inline constexpr int kMinFontSize = 1;
inline constexpr int kMaxFontSize = 512;
// Distinct fonts in one layout; further combinations are drawn with the last one admitted.
inline constexpr int kMaxFonts = 64;
// Distinct images in one layout; further ones are not drawn.
inline constexpr int kMaxImages = 256;
// Width or height of one drawn image in pixels.
inline constexpr int kMaxImageSide = 2048;
// The right edge of a table's last column, from the table's left edge.
inline constexpr int kMaxTableX = 100 * kMaxLength;
// Border width of a table (cells have at most 1), cell padding and cell spacing.
inline constexpr int kMaxBorderWidth = 32;
inline constexpr int kMaxCellPadding = 255;
inline constexpr int kMaxCellSpacing = 255;
// Thickness of a horizontal rule.
inline constexpr int kMaxRuleSize = 256;
// Characters of a string resource inserted by the "string" tag.
inline constexpr int kMaxStringResource = 4096;
// Characters all "string" tags of one message insert together; tags beyond insert nothing.
inline constexpr int kMaxInsertedStrings = 1 << 16;
// Layout stops at this depth in pixels; what follows is not laid out.
inline constexpr int kMaxLayoutHeight = 1000000;

} // namespace dp::html
