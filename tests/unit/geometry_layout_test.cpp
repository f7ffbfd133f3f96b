// The glyph grid as expanded from its run lengths, the glyph windows over it, and the letter
// layout and bases of the word lists.
#include "geometry.h"
#include "glyph_layout.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

bool isInk(int row, int column) {
    return glyphGrid[row * glyphGridColumns + column] == 0;
}

int inkInWindow(int listId) {
    const GlyphWindow window = glyphWindow(listId);
    int count = 0;
    for (int r = 0; r < glyphGridRows; ++r) {
        for (int j = 0; j < window.width; ++j)
            count += isInk(r, window.firstColumn + j) ? 1 : 0;
    }
    return count;
}

// The grid as the font's drawing gives it: per row, the value of the first run and the
// lengths of the runs that alternate between ink (0) and blank (1).
struct GridRowRuns {
    int row;
    int32_t firstValue;
    const char* runs;
};

// clang-format off
const GridRowRuns gridRowRuns[glyphGridRows] = {
    {0, 1, "16 3 41 3 1 15 197 3 13 3 105 3 17 3 13 3 17 3 13 3 30 13 81"},
    {1, 1, "1 13 2 14 3 14 2 14 1 15 2 14 2 14 1 3 9 3 1 3 13 3 1 3 5 7 1 3 14 13 3 13 3 13 3 13 3 13 3 14 1 14 2 15 1 3 9 3 1 3 9 3 1 3 3 3 3 3 1 5 6 4 1 3 9 3 2 14 1 3 2 14 1 15 1 3 9 3 1 14 2 14 2 14 2 15 2 13 3 13 6 2 41"},
    {2, 0, "15 1 15 1 15 1 15 1 3 13 15 1 15 1 15 1 3 13 3 1 3 5 7 1 3 13 15 1 15 1 15 1 15 1 15 1 15 2 14 1 15 1 3 9 3 2 3 7 3 2 3 3 3 3 3 1 5 6 4 1 3 9 3 1 15 1 3 1 15 1 15 1 3 9 3 2 14 1 15 1 15 1 3 9 3 1 15 1 15 4 3 41"},
    {3, 0, "3 9 3 1 3 9 3 1 3 13 3 13 15 1 3 13 3 13 15 1 3 13 3 1 3 4 3 6 3 13 3 3 3 3 3 1 3 9 3 1 3 9 3 1 3 9 3 1 3 9 3 1 3 25 3 1 3 13 3 9 3 3 3 5 3 3 3 3 3 3 3 17 3 9 3 1 3 13 3 1 3 25 3 1 3 9 3 13 3 1 3 9 3 13 3 1 15 1 3 9 3 1 3 9 3 4 2 42"},
    {4, 0, "3 9 3 1 3 9 3 1 3 13 3 13 15 1 3 13 3 13 3 9 3 1 3 13 3 1 3 3 3 7 3 13 3 3 3 3 3 1 3 9 3 1 3 9 3 1 3 9 3 1 3 9 3 1 3 25 3 1 3 13 3 9 3 4 3 3 3 4 3 3 3 3 3 1 15 1 3 9 3 1 3 13 3 1 3 25 3 1 3 9 3 13 3 1 3 9 3 13 3 1 15 1 3 9 3 1 3 9 3 3 3 42"},
    {5, 0, "3 9 3 1 3 9 3 1 3 13 3 13 3 13 3 13 3 9 3 1 3 9 3 1 3 13 3 1 14 2 3 13 3 3 3 3 3 1 3 9 3 1 3 9 3 1 3 9 3 1 3 9 3 1 3 25 3 1 3 13 3 9 3 5 7 5 3 3 3 3 3 1 15 1 3 9 3 1 3 13 3 1 3 25 3 1 3 9 3 13 3 1 3 9 3 13 3 1 3 9 3 1 3 9 3 1 3 9 3 3 2 43"},
    {6, 0, "15 1 15 1 15 1 15 1 15 1 15 1 15 1 3 9 3 1 3 1 15 1 15 1 15 1 3 3 3 3 3 1 3 9 3 1 15 1 15 1 15 1 3 13 15 1 3 13 15 6 5 6 15 1 5 6 4 1 15 1 15 1 3 1 15 1 15 1 15 1 15 1 15 13 3 1 3 9 3 1 15 1 15 2 3 43"},
    {7, 0, "15 2 13 3 14 2 14 2 14 1 15 2 13 2 3 9 3 1 3 1 14 2 3 9 3 1 15 1 3 3 3 3 3 1 3 9 3 2 13 2 14 3 14 1 3 13 14 2 3 14 13 8 3 8 13 2 5 6 4 2 14 2 14 1 3 2 14 1 14 3 14 1 14 3 13 14 3 1 15 2 14 2 13 3 2 44"},
    {8, 0, "3 9 3 65 3 145 3 25 3 125 3 65 3 50 13 14 3 64"},
    {9, 1, "599"},
};
// clang-format on

// Run lengths of one grid row, read cell by cell; any value other than 0 and 1 starts a run.
std::string runsOfRow(int row, int32_t& firstValue) {
    const int32_t* cells = &glyphGrid[static_cast<size_t>(row) * glyphGridColumns];
    firstValue = cells[0];
    std::ostringstream out;
    int length = 1;
    for (int c = 1; c <= glyphGridColumns; ++c) {
        if (c < glyphGridColumns && cells[c] == cells[c - 1]) {
            ++length;
            continue;
        }
        out << (c == length ? "" : " ") << length;
        length = 1;
    }
    return out.str();
}

} // namespace

TEST(GlyphGrid, EveryRowHoldsItsRuns) {
    for (const GridRowRuns& expected : gridRowRuns) {
        int32_t firstValue = -1;
        const std::string runs = runsOfRow(expected.row, firstValue);
        EXPECT_EQ(firstValue, expected.firstValue) << "row " << expected.row;
        EXPECT_EQ(runs, expected.runs) << "row " << expected.row;
    }
}

TEST(GlyphGrid, GlyphsHoldTheirCubeCounts) {
    struct Case {
        char character;
        int cubes;
    };
    const Case cases[] = {{'A', 82}, {'E', 95}, {'I', 21}, {'V', 39}, {'1', 21}};
    for (const Case& c : cases)
        EXPECT_EQ(inkInWindow(glyphListId(c.character)), c.cubes) << c.character;
}

TEST(GlyphGrid, NarrowGlyphsAreBarsThreeWideAndSevenTall) {
    for (char c : {'I', '1'}) {
        const GlyphWindow window = glyphWindow(glyphListId(c));
        ASSERT_EQ(window.width, 4) << c;
        for (int r = 0; r < glyphGridRows; ++r) {
            for (int j = 0; j < 4; ++j) {
                const bool inBar = r >= 1 && r <= 7 && j < 3;
                EXPECT_EQ(isInk(r, window.firstColumn + j), inBar)
                    << c << " row " << r << " col " << j;
            }
        }
    }
}

// Windows and blank separators tile columns 0-550 in order (I and 1 bring their own blank
// column), and the slanted stroke beyond them (columns 553-557, rows 1-7) is the only ink no
// window reads.
TEST(GlyphGrid, WindowsTileTheGridAndSeparatorsAreBlank) {
    std::vector<int> separators;
    int nextColumn = 0;
    for (int id = firstGlyphList; id <= lastGlyphList; ++id) {
        const GlyphWindow window = glyphWindow(id);
        ASSERT_EQ(window.firstColumn, nextColumn) << "list " << id;
        nextColumn = window.firstColumn + window.width;
        if (window.width == 15 && id != lastGlyphList)
            separators.push_back(nextColumn++);
    }
    EXPECT_EQ(nextColumn, 551);

    std::vector<int> expected;
    for (int s = 15; s <= 127; s += 16)
        expected.push_back(s);
    for (int s = 147; s <= 403; s += 16)
        expected.push_back(s);
    for (int s = 423; s <= 535; s += 16)
        expected.push_back(s);
    EXPECT_EQ(separators, expected);
    for (int s : expected) {
        for (int r = 0; r < glyphGridRows; ++r)
            EXPECT_FALSE(isInk(r, s)) << "separator " << s << " row " << r;
    }

    int strokeInk = 0;
    for (int r = 0; r < glyphGridRows; ++r) {
        for (int c = 551; c < glyphGridColumns; ++c) {
            if (!isInk(r, c))
                continue;
            EXPECT_TRUE(r >= 1 && r <= 7 && c >= 553 && c <= 557) << r << ", " << c;
            ++strokeInk;
        }
    }
    EXPECT_GT(strokeInk, 0);
}

TEST(GlyphLayout, CharactersMapToTheirGlyphLists) {
    struct Case {
        char character;
        int list;
    };
    const Case cases[] = {{'A', 33}, {'I', 41}, {'Z', 58}, {'1', 59}, {'4', 62},
                          {'7', 65}, {'9', 67}, {'0', 68}, {' ', 0},  {'a', 0}};
    for (const Case& c : cases)
        EXPECT_EQ(glyphListId(c.character), c.list) << "'" << c.character << "'";
}

TEST(GlyphLayout, LettersAdvanceSixteenCellsOrFiveAfterANarrowGlyph) {
    struct Case {
        const char* word;
        std::vector<int> offsets;
    };
    const Case cases[] = {
        {"GOING", {0, 16, 32, 37, 53}},
        {"CHILDREN", {0, 16, 32, 37, 53, 69, 85, 101}},
        {"QVH REVOLVER", {0, 16, 32, 48, 64, 80, 96, 112, 128, 144, 160, 176}},
        {"AK 47", {0, 16, 32, 48, 64}},
        {"A1I1B", {0, 16, 21, 26, 31}},
    };
    for (const Case& c : cases) {
        for (size_t k = 0; k < c.offsets.size(); ++k)
            EXPECT_EQ(letterOffset(c.word, static_cast<int>(k)), c.offsets[k])
                << c.word << " " << k;
    }
}

// Every word is centred on its letter origins, except the two spare lists laid out shifted.
TEST(GlyphLayout, BasesCentreTheLetterOrigins) {
    std::set<GLuint> ids;
    auto check = [&](const WordList& list) {
        ids.insert(list.id);
        const int last = static_cast<int>(std::strlen(list.word)) - 1;
        const float centred = -letterOffset(list.word, last) / 2.0f;
        for (const char* c = list.word; *c != '\0'; ++c)
            EXPECT_TRUE(*c == ' ' || glyphListId(*c) != 0) << list.word;
        if (list.id == 108 || list.id == 109) {
            EXPECT_LT(list.base, centred) << list.word;
        } else {
            EXPECT_EQ(list.base, centred) << list.id << " " << list.word;
        }
    };
    for (const WordList& list : spareWordLists)
        check(list);
    for (const WordList& list : lyricWordLists)
        check(list);
    EXPECT_EQ(ids.size(), 39u);
    EXPECT_EQ(*ids.begin(), 100u);
    EXPECT_EQ(*ids.rbegin(), 225u);
}
