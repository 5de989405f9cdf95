// The arithmetic of tables: which grid slots the cells take, and how column widths and row
// heights are found and shared out. Rows and columns are both "tracks" here.
#pragma once

#include <vector>

namespace dp::html {

struct CellSpan {
    int rowSpan = 1;
    int columnSpan = 1;
};

struct GridCell {
    int row = 0;
    int column = 0;
    int rowSpan = 0; // 0: the cell was dropped (beyond the row or column cap)
    int columnSpan = 0;
};

struct Grid {
    int rows = 0;
    int columns = 0;
    std::vector<GridCell> cells; // in the order the cells were given, row by row
};

// Places the cells of each row left to right into the first slots not taken by a cell from a
// row above. Spans are at least 1 and cut at the last row and at kMaxTableColumns; rows beyond
// kMaxTableRows and cells beyond the last column are dropped.
Grid PlaceCells(const std::vector<std::vector<CellSpan>>& rows);

// Makes the tracks [first, first + span) with the gaps between them at least `need` wide. The
// shortfall goes to the free tracks of the span (to all of them when none is free) in equal
// parts, the first ones taking one more until the remainder is used up.
void SpreadSpan(std::vector<int>& tracks, const std::vector<bool>& fixed, int first, int span,
                int gap, int need);

// Column widths summing to `target` where possible. With room for every preferred width, the
// spare goes to the columns without a fixed width, each in turn receiving what is left divided
// by the number still to serve (none free: the columns keep their preferred widths and the
// table stays narrower). With less room, each column gets its minimum, then fixed columns grow
// towards their preferred width, then free ones in proportion to what they still want. Never
// below the minimums.
std::vector<int> FitColumns(const std::vector<int>& minimum, const std::vector<int>& preferred,
                            const std::vector<bool>& fixed, int target);

} // namespace dp::html
