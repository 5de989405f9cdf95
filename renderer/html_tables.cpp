#include "effects/draw_effects.h"
#include "renderer/html_engine.h"
#include "renderer/table_grid.h"

#include <algorithm>

namespace dp::html::detail {

// ---- Engine: tables ------------------------------------------------------------------------

BoxSettings Engine::ReadBox(const Token& token, BoxSettings box) const {
    const auto colour = [&](std::wstring_view value) {
        return ParseColour(value, services_.colours);
    };
    for (const Attribute& attribute : text_.tokens.Attributes(token)) {
        const std::wstring_view name = text_.tokens.Name(attribute);
        const std::wstring_view value = text_.tokens.Value(attribute);
        if (name == L"cellpadding") {
            if (const auto padding = ReadInteger(value))
                box.padding = std::clamp(Pixels(std::max(0, *padding)), 0, kMaxCellPadding);
        } else if (name == L"cellspacing") {
            if (const auto spacing = ReadInteger(value))
                box.spacing = std::clamp(Pixels(std::max(0, *spacing)), 0, kMaxCellSpacing);
        } else if (name == L"background") {
            box.background = Trim(value);
        } else if (name == L"rowspan") {
            box.rowSpan = std::clamp(ReadInteger(value).value_or(1), 1, kMaxTableRows);
        } else if (name == L"colspan") {
            box.columnSpan = std::clamp(ReadInteger(value).value_or(1), 1, kMaxTableColumns);
        } else if (name == L"border") {
            box.border.width = std::clamp(
                ParseLength(value, {.current = box.border.width, .resolution = context_.resolution})
                    .value_or(0),
                0, kMaxBorderWidth);
            if (box.border.width > 0 && box.border.style == kBorderNone)
                box.border.style = kBorderSolid;
        } else if (name == L"borderstyle") {
            box.border.style = ParseBorderStyle(Trim(value)).value_or(box.border.style);
            if (box.border.style != kBorderNone && box.border.width == 0)
                box.border.width = 1;
        } else if (name == L"bordercolor") {
            box.border.light = box.border.dark = colour(value).value_or(box.border.light);
        } else if (name == L"bordercolorlight") {
            box.border.light = colour(value).value_or(box.border.light);
        } else if (name == L"bordercolordark") {
            box.border.dark = colour(value).value_or(box.border.dark);
        } else if (name == L"bgcolor") {
            if (const auto c = colour(value)) {
                box.colour1 = *c;
                box.effect = std::max(box.effect, 0);
            }
        } else if (name == L"bgmidcolor") {
            box.colour2 = colour(value).value_or(box.colour2.value_or(box.colour1));
        } else if (name == L"bgendcolor") {
            box.colour3 = colour(value).value_or(box.colour3.value_or(box.colour1));
        } else if (name == L"bgeffect") {
            // A name, else a number; an empty value keeps the effect.
            if (const auto effect = EffectNumberFromName(Trim(value)))
                box.effect = *effect;
            else if (const auto number = ParseLength(value, {}))
                box.effect = *number;
        } else if (name == L"align") {
            box.align = ParseHorizontalAlign(Trim(value));
        } else if (name == L"valign") {
            box.valign = ParseVerticalAlign(Trim(value));
        } else if (name == L"width") {
            box.width = ParseDimension(value, context_.resolution);
        } else if (name == L"height") {
            if (const auto d = ParseDimension(value, context_.resolution); d && !d->percent)
                box.height = d->value;
        }
    }
    box.effect = std::clamp(box.effect, -1, 1000);
    return box;
}

TextStyle Engine::CellStyle(const BoxSettings& cell, const TextStyle& tableStyle) const {
    TextStyle style = tableStyle;
    style.align = cell.align.value_or(HAlign::Left);
    style.valign = VAlign::Baseline;
    style.margin = 0;
    style.padding = 0;
    return style;
}

namespace {

// The three colours of a box's background; unset middle and end colours repeat colour 1.
FillOp Background(const BoxSettings& box, const Rect& rect) {
    return FillOp{rect,
                  box.effect,
                  box.colour1,
                  box.colour2.value_or(box.colour1),
                  box.colour3.value_or(box.colour1),
                  kTableAmplitude,
                  0};
}

// A three-dimensional frame just inside `r`: raised (light top and left) or sunken.
void Frame(Sink& sink, const Rect& r, const BorderSettings& border, bool raised) {
    if (border.style == kBorderNone || border.width <= 0)
        return;
    const std::uint32_t topLeft = raised ? border.light : border.dark;
    const std::uint32_t bottomRight = raised ? border.dark : border.light;
    if (border.style == kBorderSolid) {
        for (int i = 0; i < border.width; ++i) {
            sink.ops.push_back(LineOp{r.left + i, r.top + i, r.right - i, r.top + i, topLeft});
            sink.ops.push_back(LineOp{r.left + i, r.top + i, r.left + i, r.bottom - i, topLeft});
            sink.ops.push_back(
                LineOp{r.left + i, r.bottom - 1 - i, r.right - i, r.bottom - 1 - i, bottomRight});
            sink.ops.push_back(
                LineOp{r.right - 1 - i, r.top + i, r.right - 1 - i, r.bottom - i, bottomRight});
        }
        return;
    }
    const int far = border.style == kBorderDouble ? 3 : 1;
    const int s = border.style;
    sink.ops.push_back(LineOp{r.left, r.top, r.right, r.top, topLeft, s, 1});
    sink.ops.push_back(LineOp{r.left, r.top, r.left, r.bottom, topLeft, s, 1});
    sink.ops.push_back(LineOp{r.left, r.bottom - far, r.right, r.bottom - far, bottomRight, s, 1});
    sink.ops.push_back(LineOp{r.right - far, r.top, r.right - far, r.bottom, bottomRight, s, 1});
}

struct CellBox {
    BoxSettings settings;
    GridCell grid;
    const CellShape* shape = nullptr;
};

} // namespace

const std::vector<CellMeasure>& Engine::MeasureCells(int shapeIndex, const TextStyle& style) {
    auto& memo = measures_[static_cast<std::size_t>(shapeIndex)];
    if (memo)
        return *memo;
    const TableShape& shape = text_.tables[static_cast<std::size_t>(shapeIndex)];
    std::vector<CellMeasure> measures;
    for (const RowShape& row : shape.rows) {
        for (const CellShape& cell : row.cells) {
            const Token& tag = text_.tokens.tokens[static_cast<std::size_t>(cell.token)];
            Flow flow(*this, kMaxLength, false, nullptr);
            StyleStack stack(CellStyle(ReadBox(tag, {}), style));
            Walk(cell.begin, cell.end, flow, stack);
            flow.Finish(stack.current);
            measures.push_back({flow.least(), flow.contentWidth(), flow.hardLeast()});
        }
    }
    memo = std::move(measures);
    return *memo;
}

void Engine::LayTable(int shapeIndex, Flow& flow, const TextStyle& style) {
    const TableShape& shape = text_.tables[static_cast<std::size_t>(shapeIndex)];
    const Token& tableTag = text_.tokens.tokens[static_cast<std::size_t>(shape.token)];
    BoxSettings defaults;
    defaults.padding = Pixels(kDefaultCellPadding);
    defaults.spacing = Pixels(kDefaultCellSpacing);
    defaults.border.width = style.borderWidth;
    defaults.border.style = style.borderStyle;
    if (style.borderStyle != kBorderNone)
        defaults.border.light = defaults.border.dark = style.borderColour;
    BoxSettings table = ReadBox(tableTag, defaults);
    table.border.Normalise(kMaxBorderWidth);

    // Cells inherit the table's border, one pixel wide; they are drawn sunken.
    BoxSettings cellDefaults;
    if (table.border.width > 0)
        cellDefaults.border = {1, table.border.style, table.border.light, table.border.dark};
    cellDefaults.valign = table.valign;
    std::vector<CellBox> cells;
    std::vector<std::vector<CellSpan>> spans;
    for (const RowShape& row : shape.rows) {
        spans.emplace_back();
        BoxSettings rowDefaults = cellDefaults;
        if (row.token >= 0)
            rowDefaults =
                ReadBox(text_.tokens.tokens[static_cast<std::size_t>(row.token)], cellDefaults);
        for (const CellShape& cellShape : row.cells) {
            CellBox cell;
            cell.shape = &cellShape;
            cell.settings = ReadBox(text_.tokens.tokens[static_cast<std::size_t>(cellShape.token)],
                                    rowDefaults);
            cell.settings.border.Normalise(1);
            spans.back().push_back({cell.settings.rowSpan, cell.settings.columnSpan});
            cells.push_back(cell);
        }
    }
    const Grid grid = PlaceCells(spans);
    for (std::size_t i = 0; i < cells.size(); ++i)
        cells[i].grid = grid.cells[i];
    const std::vector<CellMeasure>& measures = MeasureCells(shapeIndex, style);

    const int inset = table.border.Inset();
    const int spacing = table.spacing;
    const int padding = table.padding;
    const int columns = grid.columns;
    const long long overhead = 2LL * inset + static_cast<long long>(spacing) * (columns + 1);
    const int room = flow.bounded() ? flow.width() : kMaxLength;

    // Column widths: single cells first, then spanning cells from the narrowest span up.
    std::vector<int> least(static_cast<std::size_t>(columns), 0);
    std::vector<int> preferred(least), fixedWidth(least), hard(least);
    std::vector<bool> fixed(static_cast<std::size_t>(columns), false);
    const auto extra = [&](const CellBox& cell) {
        return 2 * (cell.settings.border.Inset() + padding);
    };
    const auto cellWidth = [&](const CellBox& cell) -> std::optional<int> {
        const auto& w = cell.settings.width;
        if (!w || (w->percent && !flow.bounded()))
            return std::nullopt;
        return w->percent ? MulDivRound(room, std::min(w->value, 100), 100) : w->value;
    };
    std::vector<std::size_t> spanning;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const CellBox& cell = cells[i];
        if (cell.grid.columnSpan == 0)
            continue;
        if (cell.grid.columnSpan > 1) {
            spanning.push_back(i);
            continue;
        }
        const auto c = static_cast<std::size_t>(cell.grid.column);
        least[c] = std::max(least[c], measures[i].least + extra(cell));
        hard[c] = std::max(hard[c], measures[i].hard + extra(cell));
        preferred[c] = std::max(preferred[c], measures[i].preferred + extra(cell));
        if (const auto w = cellWidth(cell)) {
            fixed[c] = true;
            fixedWidth[c] = std::max(fixedWidth[c], std::min(*w, kMaxLength) + extra(cell));
        }
    }
    for (std::size_t c = 0; c < fixed.size(); ++c)
        if (fixed[c])
            preferred[c] = std::max(fixedWidth[c], least[c]);
    std::stable_sort(spanning.begin(), spanning.end(), [&](std::size_t a, std::size_t b) {
        return cells[a].grid.columnSpan < cells[b].grid.columnSpan;
    });
    for (std::size_t i : spanning) {
        const CellBox& cell = cells[i];
        const int need = measures[i].least + extra(cell);
        const int want = cellWidth(cell) ? std::max(need, *cellWidth(cell) + extra(cell))
                                         : measures[i].preferred + extra(cell);
        SpreadSpan(least, fixed, cell.grid.column, cell.grid.columnSpan, spacing, need);
        SpreadSpan(hard, fixed, cell.grid.column, cell.grid.columnSpan, spacing,
                   measures[i].hard + extra(cell));
        SpreadSpan(preferred, fixed, cell.grid.column, cell.grid.columnSpan, spacing, want);
    }
    long long sumLeast = overhead, sumHard = overhead, natural = overhead;
    for (std::size_t c = 0; c < least.size(); ++c) {
        hard[c] = std::min(hard[c], least[c]);
        sumLeast += least[c];
        sumHard += hard[c];
        natural += std::max(least[c], preferred[c]);
    }
    const int tableLeast = Clamp(sumLeast, 0, kMaxLength);
    const int tableHard = Clamp(sumHard, 0, kMaxLength);
    std::optional<int> asked;
    if (table.width && !table.width->percent)
        asked = table.width->value;
    else if (table.width && flow.bounded())
        asked = MulDivRound(room, std::min(table.width->value, 100), 100);
    if (flow.bounded() && flow.sink()) {
        // Within a width, the table keeps to it: a width asked for is cut to the room, and
        // columns whose text would not fit give up width down to what they need with their
        // text broken anywhere (their cells' flows then cut long words by character).
        if (asked)
            asked = std::min(*asked, room);
        if (sumLeast > room && sumLeast > sumHard) {
            const long long spare = std::max<long long>(0, room - sumHard);
            const long long wanted = sumLeast - sumHard;
            sumLeast = overhead;
            for (std::size_t c = 0; c < least.size(); ++c) {
                least[c] = hard[c] + static_cast<int>((least[c] - hard[c]) * spare / wanted);
                sumLeast += least[c];
            }
        }
    }

    if (!flow.sink()) { // only the widths are wanted
        const int width = asked ? std::max(*asked, tableLeast) : Clamp(natural, 0, kMaxLength);
        flow.BeginBlock(0, HAlign::Left, style);
        flow.EndBlock(table.width && table.width->percent ? tableLeast : width, tableLeast,
                      tableHard, 0);
        return;
    }
    const long long target =
        std::max<long long>(asked ? *asked : std::min<long long>(natural, room), sumLeast);
    const std::vector<int> widths =
        FitColumns(least, preferred, fixed, Clamp(target - overhead, 0, kMaxTableX));

    // Lay each cell out at its width; contents go to a sink of the table's own, cell by cell.
    Sink contents;
    struct Placed {
        std::size_t ops = 0, opsEnd = 0, links = 0, linksEnd = 0;
        int height = 0;
    };
    std::vector<Placed> placed(cells.size());
    // Column edges stay within what an int holds after the table's left edge is added, however
    // wide the columns are asked to be.
    std::vector<long long> columnX(static_cast<std::size_t>(columns) + 1, inset + spacing);
    for (std::size_t c = 0; c < widths.size(); ++c)
        columnX[c + 1] = std::min<long long>(columnX[c] + widths[c] + spacing, kMaxTableX);
    const auto spanWidth = [&](const GridCell& g) {
        return Clamp(
            columnX[static_cast<std::size_t>(g.column) + static_cast<std::size_t>(g.columnSpan)] -
                columnX[static_cast<std::size_t>(g.column)] - spacing,
            0, kMaxTableX);
    };
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const CellBox& cell = cells[i];
        if (cell.grid.columnSpan == 0)
            continue;
        const int contentWidth = std::max(0, spanWidth(cell.grid) - extra(cell));
        Flow cellFlow(*this, contentWidth, true, &contents);
        StyleStack stack(CellStyle(cell.settings, style));
        placed[i].ops = contents.ops.size();
        placed[i].links = contents.links.size();
        Walk(cell.shape->begin, cell.shape->end, cellFlow, stack);
        cellFlow.Finish(stack.current);
        placed[i].opsEnd = contents.ops.size();
        placed[i].linksEnd = contents.links.size();
        placed[i].height = std::max(cellFlow.y(), cell.settings.height.value_or(0));
    }

    // Row heights: single-row cells first, then spanning cells from the shortest span up.
    std::vector<int> heights(static_cast<std::size_t>(grid.rows), 0);
    const std::vector<bool> noneFixed(heights.size(), false);
    std::vector<std::size_t> tall;
    const auto need = [&](std::size_t i) {
        return Clamp(static_cast<long long>(placed[i].height) + extra(cells[i]), 0,
                     kMaxLayoutHeight);
    };
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const GridCell& g = cells[i].grid;
        if (g.rowSpan == 1)
            heights[static_cast<std::size_t>(g.row)] =
                std::max(heights[static_cast<std::size_t>(g.row)], need(i));
        else if (g.rowSpan > 1)
            tall.push_back(i);
    }
    std::stable_sort(tall.begin(), tall.end(), [&](std::size_t a, std::size_t b) {
        return cells[a].grid.rowSpan < cells[b].grid.rowSpan;
    });
    for (std::size_t i : tall)
        SpreadSpan(heights, noneFixed, cells[i].grid.row, cells[i].grid.rowSpan, spacing, need(i));
    if (table.height && grid.rows > 0)
        SpreadSpan(heights, noneFixed, 0, grid.rows, spacing,
                   std::max(0, *table.height - 2 * inset - 2 * spacing));
    std::vector<long long> rowY(heights.size() + 1, inset + spacing);
    for (std::size_t r = 0; r < heights.size(); ++r)
        rowY[r + 1] = std::min<long long>(rowY[r] + heights[r] + spacing, kMaxLayoutHeight);

    const int tableWidth = Clamp(columnX.back() + inset, 0, kMaxTableX);
    const int tableHeight = Clamp(rowY.back() + inset, 0, kMaxLayoutHeight);
    const int left = flow.BeginBlock(tableWidth, table.align.value_or(HAlign::Left), style);
    const int top = flow.y();
    Sink& sink = *flow.sink();
    const Rect tableRect{left, top, left + tableWidth, top + tableHeight};
    if (table.effect < 0 && !table.background.empty()) {
        ImageRequest image;
        image.kind = ImageKind::Bitmap;
        const std::optional<int> id = ReadInteger(table.background);
        if (id && *id > 0 && *id <= 0xFFFF) {
            image.id = static_cast<unsigned>(*id);
        } else {
            image.source = ImageSource::File;
            image.file = table.background;
        }
        const int index = InternImage(image);
        if (index >= 0 && imageSizes_[static_cast<std::size_t>(index)])
            sink.ops.push_back(ImageOp{tableRect, index, {}, kNoMask});
    } else if (table.effect >= 0) {
        sink.ops.push_back(Background(table, tableRect));
    }
    Frame(sink, tableRect, table.border, true);
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const CellBox& cell = cells[i];
        const GridCell& g = cell.grid;
        if (g.columnSpan == 0)
            continue;
        const int x = left + static_cast<int>(columnX[static_cast<std::size_t>(g.column)]);
        const int y = top + static_cast<int>(rowY[static_cast<std::size_t>(g.row)]);
        const int h =
            Clamp(rowY[static_cast<std::size_t>(g.row) + static_cast<std::size_t>(g.rowSpan)] -
                      rowY[static_cast<std::size_t>(g.row)] - spacing,
                  0, kMaxLayoutHeight);
        const Rect cellRect{x, y, x + spanWidth(g), y + h};
        if (cell.settings.effect >= 0)
            sink.ops.push_back(Background(cell.settings, cellRect));
        Frame(sink, cellRect, cell.settings.border, false);
        const int inner = h - extra(cell);
        const VAlign valign = cell.settings.valign.value_or(VAlign::Middle);
        int dy = 0;
        if (valign == VAlign::Middle)
            dy = std::max(0, (inner - placed[i].height) / 2);
        else if (valign == VAlign::Bottom)
            dy = std::max(0, inner - placed[i].height);
        const int dx = x + extra(cell) / 2;
        dy += y + extra(cell) / 2;
        for (std::size_t k = placed[i].ops; k < placed[i].opsEnd; ++k) {
            Translate(contents.ops[k], dx, dy);
            sink.ops.push_back(contents.ops[k]);
        }
        for (std::size_t k = placed[i].links; k < placed[i].linksEnd; ++k) {
            LinkArea area = contents.links[k];
            area.rect = {area.rect.left + dx, area.rect.top + dy, area.rect.right + dx,
                         area.rect.bottom + dy};
            sink.links.push_back(area);
        }
    }
    flow.EndBlock(tableWidth, tableLeast, tableHard, tableHeight);
}

} // namespace dp::html::detail
