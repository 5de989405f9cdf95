// The layout engine: from a prepared message, a style sheet and a text measurer to a display
// list. One pass serves both measuring (the list's size) and drawing (its operations).
//
// Text flows into lines left to right; a run that does not fit the rest of a line is broken at
// its break characters (word_wrap.h). Tables are laid out as blocks on lines of their own:
// each cell's least and preferred widths are found once per table, the columns fitted to the
// room (table_grid.h), the cells laid out at their final widths, the rows made as high as
// their tallest cells, and everything placed. Line feeds and "<br>" end lines; a line feed
// right after a table or rule ends no further line.
#pragma once

#include "renderer/display_list.h"
#include "renderer/html_style.h"
#include "renderer/html_tokenizer.h"

#include <string_view>
#include <vector>

namespace dp::html {

struct CellShape {
    int token = 0; // the "td" tag
    int begin = 0; // content tokens [begin, end)
    int end = 0;
};

struct RowShape {
    int token = -1; // the "tr" tag, -1 for a row opened by a cell
    std::vector<CellShape> cells;
};

struct TableShape {
    int token = 0; // the "table" tag
    int end = 0;   // its "</table>", or the end of the tokens
    std::vector<RowShape> rows;
};

// A message parsed once for all its layouts: "<body>" + text + "</body>" with the entities
// replaced, tokenized, with the tables' structure and the links' numbers.
struct PreparedText {
    TokenList tokens;
    std::vector<TableShape> tables;
    // Per token: for a table tag the index of its shape, for an "a" tag its link number; -1
    // otherwise (and for tables nested deeper than kMaxTableDepth).
    std::vector<int> ordinal;
    int linkCount = 0;
};

PreparedText PrepareText(std::wstring_view html);

struct LayoutOptions {
    int width = 0; // the width to lay out into; 0 or less: no limit
    int hoveredLink = -2;
    int shadowOffset = 0;
    std::uint32_t shadowColour = 0x808080;
};

DisplayList LayOut(const PreparedText& text, const StyleSheet& sheet,
                   const LayoutServices& services, const LayoutOptions& options);

} // namespace dp::html
