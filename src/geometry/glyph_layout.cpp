// Glyph windows in the glyph grid and the letter layout of the word lists.
#include "glyph_layout.h"

namespace {

// Glyph windows by ranges of list ids: first column = 16 * (id - 33) + shift.
struct GlyphRange {
    int firstId;
    int lastId;
    int shift;
    int width;
};

constexpr GlyphRange glyphRanges[] = {
    {33, 40, 0, 15},   // A-H
    {41, 41, 0, 4},    // I
    {42, 58, -12, 15}, // J-Z
    {59, 59, -12, 4},  // 1
    {60, 68, -24, 15}, // 2-9, 0
};

bool isNarrow(char c) {
    return c == 'I' || c == '1';
}

} // namespace

int glyphListId(char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 32;
    if (c >= '1' && c <= '9')
        return 58 + (c - '0');
    if (c == '0')
        return 68;
    return 0;
}

GlyphWindow glyphWindow(int listId) {
    for (const GlyphRange& range : glyphRanges) {
        if (listId >= range.firstId && listId <= range.lastId)
            return {16 * (listId - 33) + range.shift, range.width};
    }
    return {0, 0};
}

int letterOffset(const char* word, int k) {
    int narrowBefore = 0;
    for (int i = 0; i < k && word[i] != '\0'; ++i) {
        if (isNarrow(word[i]))
            ++narrowBefore;
    }
    return 16 * k - 11 * narrowBefore;
}

// Bases are -y_last / 2 except for 108 and 109, which are shifted as they were laid out.
const WordList spareWordLists[spareWordListCount] = {
    {100, "QVH REVOLVER", -88.0f}, {101, "REVOLVER", -56.0f}, {102, "QVH", -16.0f},
    {103, "THERE", -32.0f},        {104, "ARE", -16.0f},      {105, "NO", -8.0f},
    {106, "EXCUSES", -48.0f},      {107, "ME", -8.0f},        {108, "WHILE", -32.0f},
    {109, "RELOADING", -69.5f},    {110, "HER", -16.0f},      {111, "AK 47", -32.0f},
    {112, "BLAST", -32.0f},
};

// The sentence the lyric flip-book shows, one word per list.
const WordList lyricWordLists[lyricWordListCount] = {
    {200, "WE", -8.0f},       {201, "ARE", -16.0f},      {202, "GOING", -26.5f},
    {203, "ON", -8.0f},       {204, "A", 0.0f},          {205, "QUIET", -26.5f},
    {206, "HARBOUR", -48.0f}, {207, "PARADE", -40.0f},   {208, "VERY", -24.0f},
    {209, "SOON", -24.0f},    {210, "WE", -8.0f},        {211, "WILL", -18.5f},
    {212, "BE", -8.0f},       {213, "LIKE", -18.5f},     {214, "OUR", -16.0f},
    {215, "PARADE", -40.0f},  {216, "WE", -8.0f},        {217, "HOPE", -24.0f},
    {218, "OUR", -16.0f},     {219, "CHILDREN", -50.5f}, {220, "WILL", -18.5f},
    {221, "BE", -8.0f},       {222, "LIKE", -18.5f},     {223, "PARADE", -40.0f},
    {224, "YOU", -16.0f},     {225, "TOO", -16.0f},
};
