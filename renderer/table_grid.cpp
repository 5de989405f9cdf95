#include "renderer/table_grid.h"

#include "renderer/html_limits.h"

#include <algorithm>
#include <numeric>

namespace dp::html {

Grid PlaceCells(const std::vector<std::vector<CellSpan>>& rows) {
    Grid grid;
    grid.rows = std::min(static_cast<int>(rows.size()), kMaxTableRows);
    // taken[r * kMaxTableColumns + c]: the slot belongs to a cell already placed.
    std::vector<bool> taken(static_cast<std::size_t>(grid.rows) * kMaxTableColumns, false);
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        int column = 0;
        for (const CellSpan& span : rows[static_cast<std::size_t>(r)]) {
            GridCell cell;
            if (r < grid.rows) {
                while (column < kMaxTableColumns &&
                       taken[static_cast<std::size_t>(r) * kMaxTableColumns + column])
                    ++column;
            }
            if (r >= grid.rows || column >= kMaxTableColumns) {
                grid.cells.push_back(cell);
                continue;
            }
            cell.row = r;
            cell.column = column;
            cell.rowSpan = std::clamp(span.rowSpan, 1, grid.rows - r);
            cell.columnSpan = std::clamp(span.columnSpan, 1, kMaxTableColumns - column);
            for (int y = r; y < r + cell.rowSpan; ++y)
                for (int x = column; x < column + cell.columnSpan; ++x)
                    taken[static_cast<std::size_t>(y) * kMaxTableColumns + x] = true;
            column += cell.columnSpan;
            grid.columns = std::max(grid.columns, column);
            grid.cells.push_back(cell);
        }
    }
    return grid;
}

void SpreadSpan(std::vector<int>& tracks, const std::vector<bool>& fixed, int first, int span,
                int gap, int need) {
    long long have = static_cast<long long>(gap) * (span - 1);
    int freeTracks = 0;
    for (int i = first; i < first + span; ++i) {
        have += tracks[static_cast<std::size_t>(i)];
        freeTracks += fixed[static_cast<std::size_t>(i)] ? 0 : 1;
    }
    if (have >= need)
        return;
    const long long shortfall = need - have;
    const bool useAll = freeTracks == 0;
    const int receivers = useAll ? span : freeTracks;
    const long long part = shortfall / receivers;
    long long extra = shortfall % receivers;
    for (int i = first; i < first + span; ++i) {
        if (!useAll && fixed[static_cast<std::size_t>(i)])
            continue;
        tracks[static_cast<std::size_t>(i)] += static_cast<int>(part + (extra > 0 ? 1 : 0));
        extra = extra > 0 ? extra - 1 : 0;
    }
}

namespace {

long long Sum(const std::vector<int>& v) {
    return std::accumulate(v.begin(), v.end(), 0LL);
}

void ShareSpare(std::vector<int>& widths, const std::vector<bool>& fixed, long long spare) {
    long long toServe = std::count(fixed.begin(), fixed.end(), false);
    for (std::size_t i = 0; i < widths.size() && toServe > 0; ++i) {
        if (fixed[i])
            continue;
        const long long share = spare / toServe--;
        widths[i] += static_cast<int>(share);
        spare -= share;
    }
}

void GrowTowardsPreferred(std::vector<int>& widths, const std::vector<int>& preferred,
                          const std::vector<bool>& fixed, long long room) {
    for (std::size_t i = 0; i < widths.size() && room > 0; ++i) {
        if (!fixed[i])
            continue;
        const long long grow = std::min<long long>(room, preferred[i] - widths[i]);
        widths[i] += static_cast<int>(grow);
        room -= grow;
    }
    long long wanted = 0;
    for (std::size_t i = 0; i < widths.size(); ++i)
        wanted += fixed[i] ? 0 : preferred[i] - widths[i];
    if (wanted <= 0 || room <= 0)
        return;
    const long long total = room;
    for (std::size_t i = 0; i < widths.size(); ++i) {
        if (fixed[i])
            continue;
        const long long grow =
            std::min<long long>(room, (preferred[i] - widths[i]) * total / wanted);
        widths[i] += static_cast<int>(grow);
        room -= grow;
    }
    // What the rounding left goes one pixel at a time to columns that still want more.
    for (std::size_t i = 0; i < widths.size() && room > 0; ++i) {
        if (!fixed[i] && widths[i] < preferred[i]) {
            ++widths[i];
            --room;
        }
    }
}

} // namespace

std::vector<int> FitColumns(const std::vector<int>& minimum, const std::vector<int>& preferred,
                            const std::vector<bool>& fixed, int target) {
    std::vector<int> wanted(preferred.size());
    for (std::size_t i = 0; i < wanted.size(); ++i)
        wanted[i] = std::max(minimum[i], preferred[i]);
    const long long natural = Sum(wanted);
    if (natural <= target) {
        ShareSpare(wanted, fixed, target - natural);
        return wanted;
    }
    std::vector<int> widths = minimum;
    const long long room = target - Sum(minimum);
    if (room > 0)
        GrowTowardsPreferred(widths, wanted, fixed, room);
    return widths;
}

} // namespace dp::html
