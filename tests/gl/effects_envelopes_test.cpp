// The envelope lengths inside the effects, probed mid-decay: each case strikes one SyncPoint
// some rows before the frame and reads the cube that the envelope drives, so a length changed
// inside an effect changes the value read.
#include "clock.h"
#include "controls.h"
#include "effects.h"
#include "list_trace.h"
#include "platform.h"
#include "textures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {
constexpr double pi = 3.14159265358979323846;

using EffectEnvelopes = EffectTrace;

// The two envelope forms, `rows` after the strike.
double linear(double rows, double length) {
    return std::max(0.0, 1.0 - rows / length);
}

double exponential(double rows, double length) {
    return std::exp(-(rows / length) / std::log(2.0));
}

using Calls = std::vector<ListCall>;

TEST_F(EffectEnvelopes, EachLengthShowsMidDecay) {
    // The frame's scale of the logo's cells (0.5 * 0.75) divides out of its axis lengths.
    constexpr double cell = 0.375;
    const struct {
        const char* name;
        int sync;
        float rowsAgo;
        float t;
        void (*draw)();
        double (*read)(const Calls&);
        double expected;
    } cases[] = {
        // Wheel flash cubes: alpha e + 0.15; cube 2 takes e4, cube 4 e3 (variant 0, offset 0),
        // cube 7 e13 (variant 1, offset -4); each e is 0.125 of its linear envelope.
        {"wheel e4 over 2 rows", 8, 1.0f, 5.0f, [] { cubeWheel(0, 0, 0, 4); },
         [](const Calls& c) { return double(c.at(2).colour[3]); }, 0.125 * linear(1.0, 2.0) + 0.15},
        {"wheel e3 over 3 rows", 11, 1.5f, 5.0f, [] { cubeWheel(0, 0, 0, 4); },
         [](const Calls& c) { return double(c.at(4).colour[3]); }, 0.125 * linear(1.5, 3.0) + 0.15},
        {"wheel e13 over 2 rows", 10, 1.0f, 5.0f, [] { cubeWheel(1, -4, 0, 4); },
         [](const Calls& c) { return double(c.at(7).colour[3]); }, 0.125 * linear(1.0, 2.0) + 0.15},
        // Cube 0's depth: 1 + tan(5 pi t) times the exponential envelope of instrument 6.
        {"wheel cube-0 stretch over 3 rows", 1, 1.5f, 5.03f, [] { cubeWheel(0, 0, 0, 4); },
         [](const Calls& c) { return length(c.at(0).axis(2)); },
         1.0 + std::tan(5.0 * pi * double(5.03f)) * exponential(1.5, 3.0)},
        // Steady logo cubes swell by 0.72 e along their x axis (eC) and y axis (eA); the
        // ghost after 1.5 by 0.2 eB; each e is 0.95 of its linear envelope.
        {"logo eA over 1.75 rows", 8, 0.875f, 3.0f, [] { logoPicture(7); },
         [](const Calls& c) { return length(c.at(0).axis(1)) / cell; },
         0.75 + 0.72 * 0.95 * linear(0.875, 1.75)},
        {"logo eC over 1.75 rows", 11, 0.875f, 3.0f, [] { logoPicture(7); },
         [](const Calls& c) { return length(c.at(0).axis(0)) / cell; },
         0.75 + 0.72 * 0.95 * linear(0.875, 1.75)},
        {"logo eB over 1.75 rows", 12, 0.875f, 1.75f, [] { logoPicture(7); },
         [](const Calls& c) { return length(c.back().axis(0)) / cell; },
         0.751 + 0.2 * 0.95 * linear(0.875, 1.75)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        silenceAll();
        strike(c.sync, c.rowsAgo);
        demoTime = c.t;
        const Calls calls = traceLists(c.draw);
        ASSERT_FALSE(calls.empty());
        EXPECT_NEAR(c.read(calls), c.expected, 1e-4);
    }
}

} // namespace
