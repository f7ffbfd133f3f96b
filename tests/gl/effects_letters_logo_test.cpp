// The letter layers and the logo picture, traced through marker lists: which glyph each
// instrument lights, the stacked scales of a cell, the fly-in, the steady picture and the poses.
#include "clock.h"
#include "controls.h"
#include "cube_placement.h"
#include "cube_tables.h"
#include "effects.h"
#include "list_trace.h"
#include "music.h"
#include "platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>

namespace {

using LettersAndLogo = EffectTrace;

std::vector<ListCall> traceLetters(float t, int pose) {
    demoTime = t;
    return traceLists([&] { letterLayers(pose); });
}

std::vector<ListCall> traceLogo(float t, int pose) {
    demoTime = t;
    return traceLists([&] { logoPicture(pose); });
}

int countList(const std::vector<ListCall>& calls, int id) {
    int n = 0;
    for (const ListCall& call : calls)
        n += call.id == id;
    return n;
}

// ---- Letter layers ---------------------------------------------------------------------------

// A cell (j, i) drawn without a camera lands at (i - 7.5, 4 - j, 0).
std::pair<int, int> letterCell(const Vec3& origin) {
    return {static_cast<int>(std::lround(4.0 - origin[1])),
            static_cast<int>(std::lround(origin[0] + 7.5))};
}

TEST_F(LettersAndLogo, EachInstrumentLightsItsOwnGlyph) {
    const struct {
        const char* name;
        int sync;
        const char* rows[8];
    } glyphs[] = {
        {"A (instrument 7)",
         2,
         {".#############.", "###############", "###############", "###.........###",
          "###.........###", "###############", "###############", "###.........###"}},
        {"K (instrument 8)",
         3,
         {"###.....#######", "###.....#######", "###....###.....", "###...###......",
          "##############.", "###############", "###.........###", "..............."}},
        {"4 (instrument 9)",
         4,
         {"###.........###", "###.........###", "###.........###", "###.........###",
          "###.........###", "###############", ".##############", "............###"}},
        {"7 (instrument 10)",
         0,
         {"##############.", "###############", "............###", "............###",
          "............###", "............###", "............###", "..............."}},
    };
    for (const auto& g : glyphs) {
        SCOPED_TRACE(g.name);
        silenceAll();
        strike(g.sync, 0.0f);
        std::string lit[8];
        for (auto& row : lit)
            row.assign(15, '.');
        for (const ListCall& call : traceLetters(5.0f, 4)) {
            EXPECT_EQ(call.id, 667);
            if (call.colour[3] < 0.5f)
                continue;
            EXPECT_NEAR(call.colour[0], 0.77 * 0.95, 1e-4);
            EXPECT_NEAR(call.colour[1], 0.78 * 0.95, 1e-4);
            EXPECT_NEAR(call.colour[2], 0.83 * 0.95, 1e-4);
            EXPECT_NEAR(call.colour[3], 0.95, 1e-4);
            const auto [j, i] = letterCell(call.origin());
            ASSERT_TRUE(j >= 0 && j < 8 && i >= 0 && i < 15);
            lit[j][i] = '#';
        }
        for (int j = 0; j < 8; ++j)
            EXPECT_EQ(lit[j], g.rows[j]) << "row " << j;
    }
}

TEST_F(LettersAndLogo, NothingIsLitOnceTheStrikesAreOlderThanOneAndThreeQuarterRows) {
    int setCells = 0;
    for (int32_t cell : letterTable)
        setCells += cell;
    for (int sync : {2, 3, 4, 0})
        strike(sync, 1.76f);
    auto calls = traceLetters(5.0f, 4);
    ASSERT_EQ(static_cast<int>(calls.size()), setCells); // every set cell still issues its cube
    for (const ListCall& call : calls)
        EXPECT_EQ(call.colour[3], 0.0f);
    strike(4, 1.4f); // instrument 9 only: 0.95 * 0.2
    calls = traceLetters(5.0f, 4);
    int lit = 0;
    for (const ListCall& call : calls) {
        if (call.colour[3] > 0.0f) {
            EXPECT_NEAR(call.colour[3], 0.19, 1e-4);
            ++lit;
        }
    }
    int fourCells = 0;
    for (int cell = 240; cell < 360; ++cell)
        fourCells += letterTable[cell];
    EXPECT_EQ(lit, fourCells);
}

TEST_F(LettersAndLogo, LayersOfOneCellMultiplyTheirScales) {
    // Depth levels: e10 = 0.95 (layer 0), e9 = 0.475 (layer 1), e8 = 0.2375 (layer 2), e7 = 0.
    strike(0, 0.0f);
    strike(4, 0.875f);
    strike(3, 1.3125f);
    const float scale[4] = {0.72f, 0.715f, 0.71f, 0.705f};
    const double depth[4] = {0.95, 0.475, 0.2375, 0.0};
    std::map<std::pair<int, int>, std::vector<const ListCall*>> cells;
    const auto calls = traceLetters(5.0f, 4);
    for (const ListCall& call : calls)
        cells[letterCell(call.origin())].push_back(&call);
    int twoLayerCells = 0;
    for (const auto& [cell, cubes] : cells) {
        const auto [j, i] = cell;
        double width = 1.0, deep = 1.0;
        size_t n = 0;
        for (int layer = 0; layer < 4; ++layer) {
            if (letterTable[120 * layer + 15 * j + i] == 0)
                continue;
            width *= scale[layer];
            deep *= scale[layer] + depth[layer];
            ASSERT_LT(n, cubes.size());
            EXPECT_NEAR(length(cubes[n]->axis(0)), width, 1e-4) << j << ", " << i;
            EXPECT_NEAR(length(cubes[n]->axis(1)), width, 1e-4) << j << ", " << i;
            EXPECT_NEAR(length(cubes[n]->axis(2)), deep, 1e-4) << j << ", " << i;
            ++n;
        }
        EXPECT_EQ(n, cubes.size());
        // The case that shows it plainly: layers 0 and 1 only, the second cube at the product.
        if (cubes.size() == 2 && letterTable[15 * j + i] == 1 &&
            letterTable[120 + 15 * j + i] == 1) {
            ++twoLayerCells;
            EXPECT_NEAR(length(cubes[1]->axis(0)), 0.72 * 0.715, 1e-4);
            EXPECT_NEAR(length(cubes[1]->axis(2)), (0.72 + 0.95) * (0.715 + 0.475), 1e-4);
        }
    }
    EXPECT_GT(twoLayerCells, 0);
}

TEST_F(LettersAndLogo, LetterPosesUseTheirCameraSlot) {
    const float t = 5.3f;
    for (int pose : {-1, 0, 1, 2, 3, 4}) {
        SCOPED_TRACE(pose);
        demoTime = t;
        std::array<double, 16> camera{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        if (pose >= 0 && pose <= 3)
            camera = cameraMatrix(pose + 1);
        const auto calls = traceLetters(t, pose);
        // Cubes come column by column, rows inside; the first cube of cell (j, i) is
        // the camera's image of (i - 7.5, 4 - j, 0).
        size_t n = 0;
        for (int i = 0; i < 15; ++i) {
            for (int j = 0; j < 8; ++j) {
                int layers = 0;
                for (int layer = 0; layer < 4; ++layer)
                    layers += letterTable[120 * layer + 15 * j + i];
                if (layers == 0)
                    continue;
                ASSERT_LT(n, calls.size());
                const Vec3 expected = transformPoint(camera, {i - 7.5, 4.0 - j, 0.0});
                EXPECT_LT(distance(calls[n].origin(), expected), 1e-3) << j << ", " << i;
                n += layers;
            }
        }
        EXPECT_EQ(n, calls.size());
    }
}

// ---- Logo picture ----------------------------------------------------------------------------

int filledLogoCells() {
    int n = 0;
    for (int32_t cell : logoCells)
        n += cell == 0;
    return n;
}

// Without a camera (pose 7) cell (j, i) lands at (3 sin t + 0.375 (i - 24), 0.375 (10 - j), -13).
std::pair<int, int> logoCell(const Vec3& origin, float t) {
    return {static_cast<int>(std::lround(10.0 - origin[1] / 0.375)),
            static_cast<int>(std::lround((origin[0] - 3.0 * std::sin(t)) / 0.375 + 24.0))};
}

TEST_F(LettersAndLogo, LogoGridSpellsLowerCaseLettersWithinItsRules) {
    // Rows 0 and 9 are empty, only one descender reaches row 8, and the letters occupy three
    // separate runs of columns (empty columns between them).
    for (int i = 0; i < logoColumns; ++i) {
        EXPECT_EQ(logoCells[i], 1);
        EXPECT_EQ(logoCells[9 * logoColumns + i], 1);
    }
    int letters = 0;
    bool inLetter = false;
    for (int i = 0; i < logoColumns; ++i) {
        bool filled = false;
        for (int j = 0; j < logoRows; ++j)
            filled = filled || logoCells[logoColumns * j + i] == 0;
        letters += filled && !inLetter;
        inLetter = filled;
    }
    EXPECT_EQ(letters, 3);
    int descender = 0;
    for (int i = 0; i < logoColumns; ++i)
        descender += logoCells[8 * logoColumns + i] == 0;
    EXPECT_EQ(descender, 3); // the q's tail, three cells wide
}

TEST_F(LettersAndLogo, LogoSolidPassStartsAfterOneTenth) {
    const int filled = filledLogoCells();
    const struct {
        float t;
        int solid, wire;
    } cases[] = {{0.0f, 0, 0}, {0.05f, 0, filled}, {0.0999f, 0, filled}, {0.2f, filled, filled}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.t);
        const auto calls = traceLogo(c.t, 7);
        EXPECT_EQ(countList(calls, 667), c.solid);
        EXPECT_EQ(countList(calls, 668), c.wire);
    }
    // Every filled cell, and nothing else, carries a solid cube at 0.2.
    std::string cells(logoCells.size(), '.');
    for (const ListCall& call : traceLogo(0.2f, 7)) {
        if (call.id != 667)
            continue;
        const auto [j, i] = logoCell(call.origin(), 0.2f);
        ASSERT_TRUE(j >= 0 && j < logoRows && i >= 0 && i < logoColumns);
        EXPECT_EQ(logoCells[logoColumns * j + i], 0) << j << ", " << i;
        cells[logoColumns * j + i] = '#';
        EXPECT_NEAR(call.origin()[2], -13.0, 1e-3);
    }
    EXPECT_EQ(static_cast<int>(std::count(cells.begin(), cells.end(), '#')), filled);
}

TEST_F(LettersAndLogo, LogoSettlesAtOneAndAHalf) {
    const int filled = filledLogoCells();
    const float t = 1.5f;
    const auto calls = traceLogo(t, 7);
    EXPECT_EQ(countList(calls, 668), 0);
    ASSERT_EQ(countList(calls, 667), filled);
    const double pulse = std::sin(4.0 * t);
    for (const ListCall& call : calls) {
        EXPECT_NEAR(call.colour[0], 0.64 + 0.15 * pulse, 1e-4);
        EXPECT_NEAR(call.colour[1], 0.7 + 0.1 * pulse, 1e-4);
        EXPECT_NEAR(call.colour[2], 0.75 + 0.1 * pulse, 1e-4);
        EXPECT_NEAR(call.colour[3], 0.25, 1e-4);
        EXPECT_NEAR(length(call.axis(2)), 0.375 * 0.75, 1e-4); // no stretch, no tumble
    }
    // The ghost returns just after 1.5 and is gone from 2.5.
    EXPECT_EQ(countList(traceLogo(1.51f, 7), 668), filled);
    EXPECT_EQ(countList(traceLogo(2.49f, 7), 668), filled);
    EXPECT_EQ(countList(traceLogo(2.5f, 7), 668), 0);
}

TEST_F(LettersAndLogo, LogoSteadyCubesSwellOnInstruments3And4) {
    const struct {
        const char* name;
        bool instrument3, instrument4;
        double x, y;
    } cases[] = {
        {"silent", false, false, 0.75, 0.75},
        {"both at peak", true, true, 1.434, 1.434},
        {"instrument 3", true, false, 1.434, 0.75},
        {"instrument 4", false, true, 0.75, 1.434},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        silenceAll();
        if (c.instrument3)
            strike(11, 0.0f);
        if (c.instrument4)
            strike(8, 0.0f);
        for (const ListCall& call : traceLogo(3.0f, 7)) {
            ASSERT_EQ(call.id, 667);
            EXPECT_NEAR(length(call.axis(0)) / 0.375, c.x, 1e-4);
            EXPECT_NEAR(length(call.axis(1)) / 0.375, c.y, 1e-4);
            EXPECT_NEAR(length(call.axis(2)) / 0.375, 0.75, 1e-4);
            // The cell's x axis is vertical on screen, its y axis horizontal.
            EXPECT_NEAR(std::fabs(call.axis(0)[1]) / 0.375, c.x, 1e-4);
            EXPECT_NEAR(std::fabs(call.axis(1)[0]) / 0.375, c.y, 1e-4);
        }
    }
}

TEST_F(LettersAndLogo, LogoFliesInStretchedAndTumbling) {
    // Each cube of both passes, traced without a camera (pose 7): the solid cube stretched and
    // tumbling about (1, -0.3, 0.5), the wire ghost stretched far more and tumbling about
    // (0.1, 0.3, -0.5); from 1.375 the whole solid picture is stretched in depth too.
    for (float time : {0.4f, 1.3f, 1.45f}) {
        SCOPED_TRACE(time);
        const double t = time, u = 1.5 - t, k = 0.666 * t;
        const auto calls = traceLogo(time, 7);
        ASSERT_EQ(static_cast<int>(calls.size()), 2 * filledLogoCells());
        const auto frame = [&] {
            glTranslatef(float(3 * std::sin(t)), 0, -13);
            glScalef(0.5f, 0.5f, 0.5f);
            glScalef(0.75f, 0.75f, 0.75f);
            glTranslatef(0, 5, 0);
            glRotatef(-90, 0, 0, 1);
        };
        size_t n = 0;
        for (int list : {667, 668}) {
            const bool solid = list == 667;
            for (int i = 0; i < logoColumns; ++i) {
                for (int j = 0; j < logoRows; ++j) {
                    if (logoCells[logoColumns * j + i] != 0)
                        continue;
                    SCOPED_TRACE(std::to_string(list) + " cell " + std::to_string(j) + ", " +
                                 std::to_string(i));
                    const ListCall& call = calls[n++];
                    ASSERT_EQ(call.id, list);
                    const float tumble = float(50 * (std::sin(i) + j) * std::sin(u));
                    expectPlacedBy(
                        call, matrixOf([&] {
                            frame();
                            if (solid && t > 1.375) {
                                const double s = std::tan(8 * (t - 1.375));
                                glScalef(1, 1, float(50 * s * s));
                            }
                            glTranslatef(float(j - 5), float(i - 24), 0);
                            if (solid) {
                                glScalef(float(1 + 2 * u), float(1 + 3 * u), float(1 + 15 * u));
                                glRotatef(tumble, 1, -0.3f, 0.5f);
                                glScalef(0.75f, 0.75f, 0.75f);
                            } else {
                                glScalef(float(1 + 26 * u), float(1 + 130 * u), float(1 + 26 * u));
                                glRotatef(tumble, 0.1f, 0.3f, -0.5f);
                                glScalef(0.751f, 0.751f, 0.751f);
                            }
                        }));
                    EXPECT_NEAR(call.colour[0], 0.79 * k, 1e-4);
                    EXPECT_NEAR(call.colour[1], 0.8 * k, 1e-4);
                    EXPECT_NEAR(call.colour[2], 0.85 * k, 1e-4);
                    EXPECT_NEAR(call.colour[3], (solid ? 0.25 : 0.125) * k, 1e-4);
                }
            }
        }
    }
}

TEST_F(LettersAndLogo, LogoGhostFadesAndSwellsOnInstrument2) {
    strike(12, 0.0f);
    for (const ListCall& call : traceLogo(1.75f, 7)) {
        if (call.id != 668)
            continue;
        EXPECT_NEAR(call.colour[0], 0.79, 1e-4);
        EXPECT_NEAR(call.colour[3], 0.0625, 1e-4);
        EXPECT_NEAR(length(call.axis(0)) / 0.375, 0.751 + 0.19, 1e-4);
        EXPECT_NEAR(length(call.axis(2)) / 0.375, 0.751 + 0.19, 1e-4);
    }
    // Past 2.0 its alpha is negative and the lighting clamps it to nothing.
    for (const ListCall& call : traceLogo(2.2f, 7)) {
        if (call.id == 668) {
            EXPECT_EQ(call.colour[3], 0.0f);
        }
    }
}

TEST_F(LettersAndLogo, LogoPosesPlaceThePicture) {
    const float t = 6.4f;
    const struct {
        int pose;
        int slot; // 0: no camera
        double depth;
    } cases[] = {{0, 1, 0.0}, {1, 2, 0.0}, {2, 3, 0.0}, {3, 4, 10.0 * std::sin(0.5 * t)},
                 {7, 0, 0.0}, {-1, 0, 0.0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pose);
        demoTime = t;
        std::array<double, 16> camera{1, 0,   0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 3.0 * std::sin(t),
                                      0, -13, 1};
        if (c.slot != 0)
            camera = cameraMatrix(c.slot);
        const auto calls = traceLogo(t, c.pose);
        ASSERT_EQ(static_cast<int>(calls.size()), filledLogoCells());
        size_t n = 0;
        for (int i = 0; i < logoColumns; ++i) {
            for (int j = 0; j < logoRows; ++j) {
                if (logoCells[logoColumns * j + i] != 0)
                    continue;
                const Vec3 local{0.375 * (i - 24), 0.375 * (10 - j), c.depth};
                EXPECT_LT(distance(calls[n].origin(), transformPoint(camera, local)), 1e-3)
                    << j << ", " << i;
                ++n;
            }
        }
    }
}

} // namespace
