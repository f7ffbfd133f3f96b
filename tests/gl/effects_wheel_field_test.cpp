// The cube wheel and the cube field, traced through marker lists: which cubes flash with which
// envelope, wire or solid from the hashes, placements, branches and the depth pulse.
#include "clock.h"
#include "controls.h"
#include "cube_placement.h"
#include "cube_tables.h"
#include "effects.h"
#include "list_trace.h"
#include "music.h"
#include "platform.h"
#include "textures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <string>

namespace {
constexpr double pi = 3.14159265358979323846;

using CubeEffects = EffectTrace;

std::vector<ListCall> traceWheel(float t, int variant, int offset, int roll, int mode) {
    demoTime = t;
    return traceLists([&] { cubeWheel(variant, offset, roll, mode); });
}

std::vector<ListCall> traceField(float t, int mode) {
    demoTime = t;
    return traceLists([&] { cubeField(mode); });
}

bool near(double a, double b, double tolerance = 1e-3) {
    return std::fabs(a - b) <= tolerance;
}

// The flash colour at envelope 0.125: red 3*(0.25)^2 + 0.5, green 2/64 + 0.6, blue 0.45.
constexpr float flashRed = 0.6875f, flashGreen = 0.63125f, flashBlue = 0.45f, flashAlpha = 0.275f;

std::set<int> flashingCubes(const std::vector<ListCall>& calls) {
    std::set<int> cubes;
    for (size_t i = 0; i < calls.size(); ++i) {
        const auto& c = calls[i].colour;
        if (near(c[0], flashRed) && near(c[1], flashGreen) && near(c[2], flashBlue) &&
            near(c[3], flashAlpha))
            cubes.insert(static_cast<int>(i));
    }
    return cubes;
}

TEST_F(CubeEffects, WheelFlashesEachCubeWithItsEnvelope) {
    // SyncPoint 8 drives e4, 11 drives e3, 10 drives e13; each alone at its peak of 0.125.
    struct Case {
        int variant, offset;
        std::set<int> e4, e3, e13;
    };
    const Case cases[] = {
        {0, 0, {2, 10}, {4, 6, 9}, {}}, // cube 6 takes e3 first, never e13
        {1, -4, {3, 6}, {2, 5, 10}, {7}},
        {0, 15, {2}, {4, 9}, {6}}, // offsets of +-15 move their cubes off the wheel
        {1, -15, {3}, {5, 10}, {7}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.variant) + ", " + std::to_string(c.offset));
        const std::pair<int, const std::set<int>*> envelopes[] = {
            {8, &c.e4}, {11, &c.e3}, {10, &c.e13}};
        for (const auto& [sync, expected] : envelopes) {
            SCOPED_TRACE("SyncPoint " + std::to_string(sync));
            silenceAll();
            strike(sync, 0.0f);
            const auto calls = traceWheel(5.0f, c.variant, c.offset, 0, 4);
            ASSERT_EQ(calls.size(), 16u);
            EXPECT_EQ(flashingCubes(calls), *expected);
        }
        // In silence the flash cubes keep alpha 0.15, the others 0.195.
        silenceAll();
        const auto calls = traceWheel(5.0f, c.variant, c.offset, 0, 4);
        for (int i = 0; i < 16; ++i) {
            const bool flashes = c.e4.count(i) + c.e3.count(i) + c.e13.count(i) > 0;
            EXPECT_NEAR(calls[i].colour[3], flashes ? 0.15 : 0.195, 1e-4) << "cube " << i;
        }
    }
}

TEST_F(CubeEffects, WheelInstrument13RampsIn) {
    // e13 is scaled by 0.125 outside [9.5, 11.5) and by 0.125 * (t - 9.5) inside.
    const struct {
        float t;
        double alpha;
    } cases[] = {{9.49f, 0.275}, {9.5f, 0.15}, {10.0f, 0.2125}, {11.49f, 0.39875}, {11.5f, 0.275}};
    strike(10, 0.0f);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.t);
        const auto calls = traceWheel(c.t, 1, -4, 0, 4);
        EXPECT_NEAR(calls[7].colour[3], c.alpha, 1e-4);
    }
}

TEST_F(CubeEffects, WheelFadesInEveryCubeAlike) {
    strike(8, 1.0f); // e4 = 0.125 * 0.5
    const struct {
        float t;
        float r, g, b, a;
    } cases[] = {
        {3.5f, 0.03125f, 0.0625f, 0.0f, 0.0f},
        {3.75f, 0.03125f, 0.3625f, 0.35f, 0.075f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.t);
        for (const ListCall& call : traceWheel(c.t, 0, 0, 0, 4)) {
            EXPECT_NEAR(call.colour[0], c.r, 1e-4);
            EXPECT_NEAR(call.colour[1], c.g, 1e-4);
            EXPECT_NEAR(call.colour[2], c.b, 1e-4);
            EXPECT_NEAR(call.colour[3], c.a, 1e-4);
        }
    }
    // From 4 on the flash cubes are back: cube 2 takes F(e4) again.
    const auto calls = traceWheel(4.0f, 0, 0, 0, 4);
    EXPECT_NEAR(calls[2].colour[3], 0.0625 + 0.15, 1e-4);
    EXPECT_NEAR(calls[0].colour[3], 0.195, 1e-4);
}

std::string wirePattern(const std::vector<ListCall>& calls) {
    std::string pattern;
    for (const ListCall& call : calls)
        pattern += call.id == 668 ? 'w' : (call.id == 667 ? 's' : '?');
    return pattern;
}

TEST_F(CubeEffects, WheelWireCubesFollowTheHashInEveryFrame) {
    // Worked out by hand from the hash for the texture name 1 (and 7 for the last two).
    const struct {
        int variant, offset;
        unsigned texture;
        const char* pattern;
    } cases[] = {
        {1, -2, 1, "swsswsswsswwswws"},  {0, 0, 1, "wsswwsswwsswwsss"},
        {1, 2, 1, "swsswsswsswsswss"},   {0, 15, 1, "sswwsswwssswwssw"},
        {1, -15, 1, "swwswwsswsswssws"}, {0, -12, 7, "swwsswwsswsswwss"},
        {1, 12, 7, "sswwwsssswwwsssw"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.variant) + ", " + std::to_string(c.offset));
        texHappy2 = c.texture;
        EXPECT_EQ(wirePattern(traceWheel(5.0f, c.variant, c.offset, 0, 4)), c.pattern);
        EXPECT_EQ(wirePattern(traceWheel(20.3f, c.variant, c.offset, 90, 3)), c.pattern);
        strike(1, 0.0f);
        effectSelector = 12;
        EXPECT_EQ(wirePattern(traceWheel(11.1f, c.variant, c.offset, 1, 0)), c.pattern);
        effectSelector = 0;
        silenceAll();
    }
}

Vec3 wheelCentre(const std::vector<ListCall>& calls) {
    Vec3 sum{};
    for (const ListCall& call : calls)
        for (int k = 0; k < 3; ++k)
            sum[k] += call.origin()[k] / static_cast<double>(calls.size());
    return sum;
}

TEST_F(CubeEffects, WheelCubesStandAroundTheXAxis) {
    const auto calls = traceWheel(5.0f, 0, 3, 0, 4);
    ASSERT_EQ(calls.size(), 16u);
    for (int i = 0; i < 16; ++i) {
        SCOPED_TRACE(i);
        const double angle = 22.5 * i * pi / 180.0;
        const Vec3 o = calls[i].origin();
        EXPECT_NEAR(o[0], 3.0, 1e-3);
        EXPECT_NEAR(o[1], 4.25 * std::sin(angle), 1e-3);
        EXPECT_NEAR(o[2], -4.25 * std::cos(angle), 1e-3);
        // Each cube faces the axis: its own z axis points away from it.
        EXPECT_NEAR(calls[i].axis(2)[1], -std::sin(angle), 1e-3);
    }
}

TEST_F(CubeEffects, WheelCubeZeroStretchesOnlyWithInstrument6) {
    // tan(5 pi * 5.03) = tan(0.15 pi); with the envelope silent the scale is exactly 1.
    auto calls = traceWheel(5.03f, 0, 0, 0, 4);
    EXPECT_NEAR(length(calls[0].axis(2)), 1.0, 1e-4);
    strike(1, 0.0f);
    calls = traceWheel(5.03f, 0, 0, 0, 4);
    EXPECT_NEAR(length(calls[0].axis(2)), 1.0 + std::tan(5.0 * pi * 5.03f), 1e-3);
    EXPECT_NEAR(length(calls[1].axis(2)), 1.0, 1e-4);
    EXPECT_NEAR(length(calls[0].axis(0)), 1.0, 1e-4);
}

TEST_F(CubeEffects, WheelPlacementPerMode) {
    struct Case {
        const char* name;
        float t;
        int offset, roll, mode;
        Vec3 centre;
    };
    const Case cases[] = {
        {"translated", 5.0f, -6, 0, 4, {-6, 0, 0}},
        {"unplaced", 5.0f, -6, 0, 2, {0, 0, 0}},
        {"unknown mode", 5.0f, -6, 0, 7, {0, 0, 0}},
        // Mode 3 turns a quarter per unit about y inside (4, 8): at t = 5 a right angle.
        {"mode 3 turning", 5.0f, 4, 0, 3, {0, 0, -13}},
        {"mode 3 still", 9.0f, 4, 0, 3, {4, 0, -9}},
        {"mode 3 rolled", 9.0f, 4, 90, 3, {0, 4, -9}},
        {"mode 3 at 8", 8.0f, 4, 0, 3, {4, 0, -9}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Vec3 centre = wheelCentre(traceWheel(c.t, 1, c.offset, c.roll, c.mode));
        EXPECT_LT(distance(centre, c.centre), 1e-3);
    }
    // Modes 0 and 1 take camera slots 1 and 2, then the offset.
    for (int mode : {0, 1}) {
        SCOPED_TRACE(mode);
        demoTime = 5.0f;
        const Vec3 expected = transformPoint(cameraMatrix(mode + 1), {2, 0, 0});
        EXPECT_LT(distance(wheelCentre(traceWheel(5.0f, 0, 2, 0, mode)), expected), 1e-3);
    }
}

TEST_F(CubeEffects, WheelMode3TwistsAndSwaysEachCube) {
    // The mode-3 wheels of acts 2, 6, 9, 10 and 12, inside and outside the quarter turns of
    // (4, 8) and (12, 16), both spin directions, rolls of 0, 1 and 90.
    const struct {
        float t;
        int variant, offset, roll;
    } cases[] = {
        {9.3f, 1, -2, 90}, {5.2f, 0, 6, 0}, {13.7f, 1, -15, 0}, {10.6f, 1, 2, 1},
        {20.9f, 0, 0, 0},  {9.5f, 0, 0, 0}, {9.5f, 1, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("t " + std::to_string(c.t) + " variant " + std::to_string(c.variant) +
                     " offset " + std::to_string(c.offset) + " roll " + std::to_string(c.roll));
        const double t = c.t;
        const auto calls = traceWheel(c.t, c.variant, c.offset, c.roll, 3);
        ASSERT_EQ(calls.size(), 16u);
        for (int i = 0; i < 16; ++i) {
            SCOPED_TRACE("cube " + std::to_string(i));
            expectPlacedBy(calls[i], matrixOf([&] {
                               glRotatef(float(c.roll), 0, 0, 1);
                               glTranslatef(0, 0, -9);
                               if ((t > 4 && t < 8) || (t > 12 && t < 16))
                                   glRotatef(float(90 * t), 0, 1, 0);
                               glTranslatef(float(c.offset), 0, 0);
                               glRotatef(float(32 * std::sin(t)), 1, 0, 0); // sway
                               glRotatef(float(18 * std::sin(t)), 0, 1, 0);
                               glRotatef(float(c.variant == 1 ? 90 * t : -90 * t), 1, 0, 0);
                               glRotatef(float(56 * c.offset * 0.48), 1, 0, 0); // twist
                               glRotatef(float(22.5 * i), 1, 0, 0);
                               glTranslatef(0, 0, -4.25f);
                           }));
        }
    }
}

TEST_F(CubeEffects, WheelsCollapseOntoOneSway) {
    // In [27.25, 27.5) and in acts 12, 13, 15 and 19 every wheel takes the same two rotations.
    const struct {
        int offset, roll, mode;
    } wheels[] = {{0, 0, 4}, {-7, 90, 3}, {5, 0, 0}, {12, 1, 1}, {3, 0, 2}};
    for (float t : {27.25f, 27.4f}) {
        const auto reference = traceWheel(t, 1, wheels[0].offset, wheels[0].roll, wheels[0].mode);
        for (const auto& w : wheels) {
            const auto calls = traceWheel(t, 1, w.offset, w.roll, w.mode);
            EXPECT_LT(distance(calls[4].origin(), reference[4].origin()), 1e-3);
            EXPECT_LT(distance(wheelCentre(calls), {0, 0, 0}), 1e-3);
        }
    }
    // The sway itself: cube 4 stands on y, rotated 36 sin t about z and 9 sin t about y.
    const float t = 27.3f;
    const auto calls = traceWheel(t, 0, 0, 0, 4);
    // A point on the y axis is not moved by the rotation about y.
    const double a = 36.0 * std::sin(t) * pi / 180.0;
    const Vec3 expected{-4.25 * std::sin(a), 4.25 * std::cos(a), 0.0};
    EXPECT_LT(distance(calls[4].origin(), expected), 1e-3);
    // Just outside the window the wheel follows its mode again.
    EXPECT_LT(distance(wheelCentre(traceWheel(27.5f, 0, 5, 0, 4)), {5, 0, 0}), 1e-3);
    EXPECT_LT(distance(wheelCentre(traceWheel(27.2f, 0, 5, 0, 4)), {5, 0, 0}), 1e-3);
    for (int act : {12, 13, 15, 19}) {
        effectSelector = act;
        EXPECT_LT(distance(wheelCentre(traceWheel(5.0f, 0, 5, 0, 4)), {0, 0, 0}), 1e-3) << act;
    }
    effectSelector = 14;
    EXPECT_LT(distance(wheelCentre(traceWheel(5.0f, 0, 5, 0, 4)), {5, 0, 0}), 1e-3);
}

// ---- The cube field --------------------------------------------------------------------------

TEST_F(CubeEffects, FieldRowsAreAllWireOrAllSolid) {
    for (float t : {0.7f, 2.3f, 7.7f, 13.1f, 20.6f}) {
        SCOPED_TRACE(t);
        const auto calls = traceField(t, 4);
        ASSERT_EQ(calls.size(), 91u);
        for (int b = 0; b < 7; ++b) {
            const int id = calls[b].id;
            for (int a = 0; a < 13; ++a)
                EXPECT_EQ(calls[7 * a + b].id, id) << "column " << a << " row " << b;
            EXPECT_EQ(id, fieldHash(t, b, 1) < 2000 ? 668 : 667) << "row " << b;
        }
    }
}

TEST_F(CubeEffects, FieldHashBoundariesTakeTheirBranches) {
    // Times found by hand where row `b` of the texture name 1 hashes to exactly `h`.
    const struct {
        float t;
        int b;
        int h;
        bool rowBranch; // depth from sin(b t) rather than sin(a t)
        int list;
    } cases[] = {
        {20.188941955566406f, 0, 1499, false, 668}, {20.1983642578125f, 0, 1500, true, 668},
        {11.117828369140625f, 1, 1999, true, 668},  {11.12789535522461f, 1, 2000, true, 667},
        {2.881394624710083f, 1, 3000, true, 667},   {2.8926830291748047f, 1, 3001, false, 667},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.h);
        ASSERT_EQ(fieldHash(c.t, c.b, 1), c.h);
        const auto calls = traceField(c.t, 4);
        const double pulse = std::tan(2.0 * pi * (c.t + 0.5));
        for (int a = 0; a < 13; ++a) {
            const ListCall& call = calls[7 * a + c.b];
            EXPECT_EQ(call.id, c.list);
            const double depth = std::sin((c.rowBranch ? c.b : a) * static_cast<double>(c.t));
            EXPECT_NEAR(length(call.axis(2)), 0.75 * std::fabs(pulse * depth), 1e-3)
                << "column " << a;
            EXPECT_NEAR(length(call.axis(0)), 0.75, 1e-4);
        }
    }
}

TEST_F(CubeEffects, FieldIsFlatInDepthAtTheStartAndAtOneAndAHalf) {
    for (float t : {0.0f, 1.5f}) {
        SCOPED_TRACE(t);
        for (const ListCall& call : traceField(t, 4))
            EXPECT_LT(length(call.axis(2)), 1e-4);
    }
    double deepest = 0.0;
    for (const ListCall& call : traceField(1.6f, 4))
        deepest = std::max(deepest, length(call.axis(2)));
    EXPECT_GT(deepest, 0.1);
}

TEST_F(CubeEffects, FieldAlphaFadesInThenFlashesOnInstrument14) {
    const struct {
        float t;
        float rowsAgo; // of SyncPoint 6; negative means silent
        double alpha;
    } cases[] = {
        {0.0f, 0.0f, 0.0},   {1.0f, 0.0f, 0.05}, {1.4f, -1.0f, 0.05 * 1.4 * 1.4 * 1.4},
        {1.5f, -1.0f, 0.05}, {1.5f, 0.0f, 0.15}, {7.0f, 1.5f, 0.1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.t);
        silenceAll();
        if (c.rowsAgo >= 0.0f)
            strike(6, c.rowsAgo);
        for (const ListCall& call : traceField(c.t, 4)) {
            EXPECT_NEAR(call.colour[3], c.alpha, 1e-4);
            EXPECT_NEAR(call.colour[0], 0.45, 1e-4);
            EXPECT_NEAR(call.colour[2], 0.6, 1e-4);
        }
    }
}

TEST_F(CubeEffects, FieldSitsFiveUnitsAwayAndSwaysByMode) {
    const float t = 2.2f;
    const auto gentle = traceField(t, 4);
    const auto standard = traceField(t, 0);
    // The centre cube (column 6, row 3) stays on the axis in both sways.
    // (Its only offset is the depth wobble of 0.01, times the depth pulse of about 3.)
    EXPECT_LT(distance(gentle[7 * 6 + 3].origin(), {0, 0, -5}), 0.05);
    EXPECT_LT(distance(standard[7 * 6 + 3].origin(), {0, 0, -5}), 0.05);
    // Corner cubes lie 6 columns and 3 rows from the centre, whatever the sway.
    const Vec3 corner = gentle[0].origin();
    EXPECT_NEAR(distance(corner, gentle[7 * 6 + 3].origin()), std::sqrt(45.0), 0.05);
    // Modes 3 and 4 sway gently, all others alike in the standard way; the two differ by
    // more than a unit somewhere in the field.
    const auto mode3 = traceField(t, 3);
    const auto mode1 = traceField(t, 1);
    double apart = 0.0;
    for (size_t n = 0; n < gentle.size(); ++n) {
        EXPECT_LT(distance(mode3[n].origin(), gentle[n].origin()), 1e-4);
        EXPECT_LT(distance(mode1[n].origin(), standard[n].origin()), 1e-4);
        apart = std::max(apart, distance(gentle[n].origin(), standard[n].origin()));
    }
    EXPECT_GT(apart, 1.0);
}

// ---- Both effects ----------------------------------------------------------------------------

TEST_F(CubeEffects, EffectsLeaveBlendingOnDepthOffAndTheStackAsFound) {
    const struct {
        const char* name;
        void (*draw)();
    } effects[] = {
        {"wheel", [] { cubeWheel(1, -2, 90, 3); }},
        {"field", [] { cubeField(4); }},
        {"letters", [] { letterLayers(2); }},
        {"logo", [] { logoPicture(3); }},
    };
    demoTime = 1.2f;
    for (const auto& e : effects) {
        SCOPED_TRACE(e.name);
        glDisable(GL_BLEND);
        glEnable(GL_DEPTH_TEST);
        glBlendFunc(GL_ONE, GL_ZERO);
        glPolygonMode(GL_FRONT, GL_LINE);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glTranslatef(1.0f, 2.0f, 3.0f);
        GLint depth = 0;
        glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
        e.draw();
        GLint after = 0, src = 0, dst = 0, polygon[2] = {};
        glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &after);
        glGetIntegerv(GL_BLEND_SRC, &src);
        glGetIntegerv(GL_BLEND_DST, &dst);
        glGetIntegerv(GL_POLYGON_MODE, polygon);
        EXPECT_EQ(after, depth);
        GLfloat m[16];
        glGetFloatv(GL_MODELVIEW_MATRIX, m);
        EXPECT_FLOAT_EQ(m[12], 1.0f);
        EXPECT_FLOAT_EQ(m[14], 3.0f);
        EXPECT_TRUE(glIsEnabled(GL_BLEND));
        EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
        EXPECT_EQ(src, GL_SRC_ALPHA);
        EXPECT_EQ(dst, GL_ONE);
        EXPECT_EQ(polygon[0], GL_FILL);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
}

} // namespace
