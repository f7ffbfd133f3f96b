// Reading glyphs out of the cube-bitmap grid: the column window of a character and whether a
// cell of it is ink. Shared by the data generators, which letter only with this grid.
#pragma once

#include "geometry.h"

struct GlyphWindow {
    int firstColumn;
    int width; // 15, or 4 for the narrow I and 1; 0 when the character has no glyph
};

inline GlyphWindow glyphWindow(char c) {
    int id = 0;
    if (c >= 'A' && c <= 'Z')
        id = c - 32;
    else if (c >= '1' && c <= '9')
        id = 58 + (c - '0');
    else if (c == '0')
        id = 68;
    if (id == 0)
        return {0, 0};
    if (id <= 40)
        return {16 * (id - 33), 15};
    if (id == 41)
        return {128, 4};
    if (id <= 58)
        return {16 * (id - 33) - 12, 15};
    if (id == 59)
        return {404, 4};
    return {16 * (id - 33) - 24, 15};
}

// Row 0..9 top to bottom, column 0..width-1 left to right within the glyph's window.
inline bool glyphInk(const GlyphWindow& glyph, int row, int column) {
    if (row < 0 || row >= glyphGridRows || column < 0 || column >= glyph.width)
        return false;
    return glyphGrid[row * glyphGridColumns + glyph.firstColumn + column] == 0;
}
