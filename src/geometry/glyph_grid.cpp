// The cube-bitmap font: block capitals A-Z, then the digits 1-9 and 0, one cell per cube
// (0 is ink, 1 is blank). Carried as run lengths per row and expanded at compile time.
#include "geometry.h"

#include <iterator>

namespace {

using GlyphCells = std::array<int32_t, glyphGridRows * glyphGridColumns>;

struct GridRow {
    int32_t firstValue; // value of the first run; runs alternate between 0 and 1
    const int* runs;    // run lengths, adding up to glyphGridColumns
    int runCount;
};

// One row of run lengths per line, as the grid is read.
// clang-format off
constexpr int row0Runs[] = {16, 3, 41, 3, 1, 15, 197, 3, 13, 3, 105, 3, 17, 3, 13, 3, 17, 3, 13, 3, 30, 13, 81};
constexpr int row1Runs[] = {1, 13, 2, 14, 3, 14, 2, 14, 1, 15, 2, 14, 2, 14, 1, 3, 9, 3, 1, 3, 13, 3, 1, 3, 5, 7, 1, 3, 14, 13, 3, 13, 3, 13, 3, 13, 3, 13, 3, 14, 1, 14, 2, 15, 1, 3, 9, 3, 1, 3, 9, 3, 1, 3, 3, 3, 3, 3, 1, 5, 6, 4, 1, 3, 9, 3, 2, 14, 1, 3, 2, 14, 1, 15, 1, 3, 9, 3, 1, 14, 2, 14, 2, 14, 2, 15, 2, 13, 3, 13, 6, 2, 41};
constexpr int row2Runs[] = {15, 1, 15, 1, 15, 1, 15, 1, 3, 13, 15, 1, 15, 1, 15, 1, 3, 13, 3, 1, 3, 5, 7, 1, 3, 13, 15, 1, 15, 1, 15, 1, 15, 1, 15, 1, 15, 2, 14, 1, 15, 1, 3, 9, 3, 2, 3, 7, 3, 2, 3, 3, 3, 3, 3, 1, 5, 6, 4, 1, 3, 9, 3, 1, 15, 1, 3, 1, 15, 1, 15, 1, 3, 9, 3, 2, 14, 1, 15, 1, 15, 1, 3, 9, 3, 1, 15, 1, 15, 4, 3, 41};
constexpr int row3Runs[] = {3, 9, 3, 1, 3, 9, 3, 1, 3, 13, 3, 13, 15, 1, 3, 13, 3, 13, 15, 1, 3, 13, 3, 1, 3, 4, 3, 6, 3, 13, 3, 3, 3, 3, 3, 1, 3, 9, 3, 1, 3, 9, 3, 1, 3, 9, 3, 1, 3, 9, 3, 1, 3, 25, 3, 1, 3, 13, 3, 9, 3, 3, 3, 5, 3, 3, 3, 3, 3, 3, 3, 17, 3, 9, 3, 1, 3, 13, 3, 1, 3, 25, 3, 1, 3, 9, 3, 13, 3, 1, 3, 9, 3, 13, 3, 1, 15, 1, 3, 9, 3, 1, 3, 9, 3, 4, 2, 42};
constexpr int row4Runs[] = {3, 9, 3, 1, 3, 9, 3, 1, 3, 13, 3, 13, 15, 1, 3, 13, 3, 13, 3, 9, 3, 1, 3, 13, 3, 1, 3, 3, 3, 7, 3, 13, 3, 3, 3, 3, 3, 1, 3, 9, 3, 1, 3, 9, 3, 1, 3, 9, 3, 1, 3, 9, 3, 1, 3, 25, 3, 1, 3, 13, 3, 9, 3, 4, 3, 3, 3, 4, 3, 3, 3, 3, 3, 1, 15, 1, 3, 9, 3, 1, 3, 13, 3, 1, 3, 25, 3, 1, 3, 9, 3, 13, 3, 1, 3, 9, 3, 13, 3, 1, 15, 1, 3, 9, 3, 1, 3, 9, 3, 3, 3, 42};
constexpr int row5Runs[] = {3, 9, 3, 1, 3, 9, 3, 1, 3, 13, 3, 13, 3, 13, 3, 13, 3, 9, 3, 1, 3, 9, 3, 1, 3, 13, 3, 1, 14, 2, 3, 13, 3, 3, 3, 3, 3, 1, 3, 9, 3, 1, 3, 9, 3, 1, 3, 9, 3, 1, 3, 9, 3, 1, 3, 25, 3, 1, 3, 13, 3, 9, 3, 5, 7, 5, 3, 3, 3, 3, 3, 1, 15, 1, 3, 9, 3, 1, 3, 13, 3, 1, 3, 25, 3, 1, 3, 9, 3, 13, 3, 1, 3, 9, 3, 13, 3, 1, 3, 9, 3, 1, 3, 9, 3, 1, 3, 9, 3, 3, 2, 43};
constexpr int row6Runs[] = {15, 1, 15, 1, 15, 1, 15, 1, 15, 1, 15, 1, 15, 1, 3, 9, 3, 1, 3, 1, 15, 1, 15, 1, 15, 1, 3, 3, 3, 3, 3, 1, 3, 9, 3, 1, 15, 1, 15, 1, 15, 1, 3, 13, 15, 1, 3, 13, 15, 6, 5, 6, 15, 1, 5, 6, 4, 1, 15, 1, 15, 1, 3, 1, 15, 1, 15, 1, 15, 1, 15, 1, 15, 13, 3, 1, 3, 9, 3, 1, 15, 1, 15, 2, 3, 43};
constexpr int row7Runs[] = {15, 2, 13, 3, 14, 2, 14, 2, 14, 1, 15, 2, 13, 2, 3, 9, 3, 1, 3, 1, 14, 2, 3, 9, 3, 1, 15, 1, 3, 3, 3, 3, 3, 1, 3, 9, 3, 2, 13, 2, 14, 3, 14, 1, 3, 13, 14, 2, 3, 14, 13, 8, 3, 8, 13, 2, 5, 6, 4, 2, 14, 2, 14, 1, 3, 2, 14, 1, 14, 3, 14, 1, 14, 3, 13, 14, 3, 1, 15, 2, 14, 2, 13, 3, 2, 44};
constexpr int row8Runs[] = {3, 9, 3, 65, 3, 145, 3, 25, 3, 125, 3, 65, 3, 50, 13, 14, 3, 64};
constexpr int row9Runs[] = {599};
// clang-format on

constexpr GridRow gridRows[glyphGridRows] = {
    {1, row0Runs, static_cast<int>(std::size(row0Runs))},
    {1, row1Runs, static_cast<int>(std::size(row1Runs))},
    {0, row2Runs, static_cast<int>(std::size(row2Runs))},
    {0, row3Runs, static_cast<int>(std::size(row3Runs))},
    {0, row4Runs, static_cast<int>(std::size(row4Runs))},
    {0, row5Runs, static_cast<int>(std::size(row5Runs))},
    {0, row6Runs, static_cast<int>(std::size(row6Runs))},
    {0, row7Runs, static_cast<int>(std::size(row7Runs))},
    {0, row8Runs, static_cast<int>(std::size(row8Runs))},
    {1, row9Runs, static_cast<int>(std::size(row9Runs))},
};

constexpr GlyphCells expandGrid() {
    GlyphCells cells{};
    for (int row = 0; row < glyphGridRows; ++row) {
        int column = 0;
        int32_t value = gridRows[row].firstValue;
        for (int run = 0; run < gridRows[row].runCount; ++run) {
            for (int n = 0; n < gridRows[row].runs[run]; ++n)
                cells[row * glyphGridColumns + column++] = value;
            value ^= 1;
        }
        // A row whose runs do not fill it exactly makes this fail to compile.
        if (column != glyphGridColumns)
            throw "glyph grid row does not add up to its width";
    }
    return cells;
}

} // namespace

// Declared extern in the header, so this constant-initialised definition is shared.
constexpr GlyphCells glyphGrid = expandGrid();
