// Private to the geometry subsystem: where each glyph lies in the glyph grid and how the word
// lists place their letters. Shared by the list builder and its tests.
#pragma once

#include <GL/gl.h>

// A glyph's columns in the grid: first column and width (15, or 4 for I and 1).
struct GlyphWindow {
    int firstColumn;
    int width;
};

constexpr int firstGlyphList = 33;
constexpr int lastGlyphList = 68;

// Glyph list of a character: A-Z is its code minus 32, digits 1-9 are 58 + digit, 0 is 68.
// Returns 0 for characters without a glyph (the blank between two words among them).
int glyphListId(char c);

// The window of glyph list `listId` (33 to 68).
GlyphWindow glyphWindow(int listId);

// Offset along +y of letter `k` of `word`, in cells: 16 per letter before it (a blank counts as
// a letter), 5 after a narrow glyph.
int letterOffset(const char* word, int k);

// One word list: its id, its word and the base that centres (or, for two spare lists,
// shifts) it along y.
struct WordList {
    GLuint id;
    const char* word;
    float base;
};

constexpr int spareWordListCount = 13;
constexpr int lyricWordListCount = 26;
extern const WordList spareWordLists[spareWordListCount];
extern const WordList lyricWordLists[lyricWordListCount];
