// The cube floor: the blinking bars, the tiles' saddle heights, the wire block's checkerboard,
// the colours fading from the centre, and the placement.
#include "clock.h"
#include "effects.h"
#include "list_trace.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {
constexpr double pi = 3.14159265358979323846;

class CubeFloor : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { setUpListTrace(); }
};

// The calls of one frame split into its three layers.
struct FloorCalls {
    std::vector<ListCall> firstLine, secondLine, tiles, block;
};

FloorCalls traceFloor(float t, int pose = 4) {
    demoTime = t;
    const auto calls = traceLists([&] { cubeFloor(pose); });
    FloorCalls f;
    const size_t bars = calls.size() - 169 - 49;
    EXPECT_TRUE(bars == 0 || bars == 42) << calls.size() << " calls";
    for (size_t k = 0; k < calls.size(); ++k) {
        if (k < bars)
            (k < bars / 2 ? f.firstLine : f.secondLine).push_back(calls[k]);
        else if (k < bars + 169)
            f.tiles.push_back(calls[k]);
        else
            f.block.push_back(calls[k]);
    }
    for (const ListCall& c : f.block)
        EXPECT_EQ(c.id, 668);
    for (const auto* layer : {&f.firstLine, &f.secondLine, &f.tiles})
        for (const ListCall& c : *layer)
            EXPECT_EQ(c.id, 667);
    return f;
}

const ListCall& tile(const FloorCalls& f, int p, int q) {
    return f.tiles.at((p + 6) * 13 + q + 6);
}
const ListCall& cell(const FloorCalls& f, int p, int q) {
    return f.block.at((p + 3) * 7 + q + 3);
}

// The pipeline clamps the lit colour, so the outermost tiles' negative colours read as 0.
void expectColour(const ListCall& c, double r, double g, double b, double a) {
    ASSERT_TRUE(c.whole());
    EXPECT_NEAR(c.colour[0], std::clamp(r, 0.0, 1.0), 1e-4);
    EXPECT_NEAR(c.colour[1], std::clamp(g, 0.0, 1.0), 1e-4);
    EXPECT_NEAR(c.colour[2], std::clamp(b, 0.0, 1.0), 1e-4);
    EXPECT_NEAR(c.colour[3], std::clamp(a, 0.0, 1.0), 1e-4);
}

// Without the camera (pose 4) the floor stands at (3 sin t, 0, -13).
Vec3 freeFloor(double t, double x, double y, double z) {
    return {3 * std::sin(t) + x, y, z - 13};
}

TEST_F(CubeFloor, BarsBlinkEveryHalfUnit) {
    const struct {
        float t;
        bool bars;
    } cases[] = {{0.0f, true}, {0.25f, true}, {0.4999f, true}, {0.5f, false}, {0.75f, false},
                 {1.0f, true}, {1.3f, true},  {1.6f, false},   {12.2f, true}, {25.7f, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.t);
        const FloorCalls f = traceFloor(c.t);
        EXPECT_EQ(f.firstLine.size(), c.bars ? 21u : 0u);
        EXPECT_EQ(f.secondLine.size(), c.bars ? 21u : 0u);
        EXPECT_EQ(f.tiles.size(), 169u);
        EXPECT_EQ(f.block.size(), 49u);
    }
}

TEST_F(CubeFloor, ColoursFadeFromTheCentre) {
    const FloorCalls f = traceFloor(0.2f);
    for (int k : {-10, -3, 0, 4, 9}) {
        SCOPED_TRACE("bar " + std::to_string(k));
        const double m = std::abs(k);
        for (const auto* line : {&f.firstLine, &f.secondLine})
            expectColour(line->at(k + 10), 0.08 * m, 0.09 * m, 0.1 * m, 1 - 0.1 * m);
    }
    for (auto pq : {std::make_pair(0, 0), {-6, 6}, {2, -5}, {-1, 0}}) {
        SCOPED_TRACE("tile " + std::to_string(pq.first) + ", " + std::to_string(pq.second));
        const double d = std::abs(pq.first) + std::abs(pq.second);
        expectColour(tile(f, pq.first, pq.second), 0.8 - 0.08 * d, 0.9 - 0.09 * d, 1 - 0.1 * d,
                     0.25 - 0.025 * d);
    }
    for (auto pq : {std::make_pair(0, 0), {-3, 3}, {1, -2}}) {
        SCOPED_TRACE("cell " + std::to_string(pq.first) + ", " + std::to_string(pq.second));
        const double d = std::abs(pq.first) + std::abs(pq.second);
        expectColour(cell(f, pq.first, pq.second), 0.8 - 0.08 * d, 1 - 0.1 * d, 1 - 0.1 * d,
                     0.25 - 0.025 * d);
    }
}

// Where each bar stands and how it is stretched, both lines, even and odd indices.
TEST_F(CubeFloor, BarsSwingAndStretch) {
    const float t = 0.2f;
    const FloorCalls f = traceFloor(t);
    for (int k : {-3, -2, 0, 1, 4, 7}) {
        SCOPED_TRACE("bar " + std::to_string(k));
        const int m = std::abs(k);
        const double swing = 5.0 * t * std::sin(static_cast<double>(k));
        const double stretchX = std::tan((m + 0.2 * k) * pi * t);
        const double stretchZ = std::tan((0.4 * k - m) * pi * t);
        const double sideX = m % 2 == 0 ? 11 * std::cos(swing) : -14 * std::sin(swing);
        const double sideZ = m % 2 == 0 ? 13 * std::sin(swing) : -12 * std::cos(swing);
        const ListCall& first = f.firstLine.at(k + 10);
        const ListCall& second = f.secondLine.at(k + 10);
        ASSERT_TRUE(first.whole());
        ASSERT_TRUE(second.whole());
        EXPECT_LT(distance(first.origin(),
                           freeFloor(t, 2 * (sideX - 0.5 * stretchX), -0.05, 2 * (k - 0.5))),
                  1e-3);
        EXPECT_LT(distance(first.axis(0), {0.1 * stretchX, 0, 0}), 1e-3);
        EXPECT_LT(distance(first.axis(1), {0, 0.05, 0}), 1e-3);
        EXPECT_LT(distance(second.origin(),
                           freeFloor(t, 2 * (k - 0.5), -0.05, 2 * (sideZ - 0.5 * stretchZ))),
                  1e-3);
        EXPECT_LT(distance(second.axis(2), {0, 0, 0.1 * stretchZ}), 1e-3);
    }
}

// At t = 0 every tangent is 0: tiles and cells flat, first-line bars without width and
// second-line bars without depth.
TEST_F(CubeFloor, FlatAtTimeZero) {
    const FloorCalls f = traceFloor(0.0f);
    for (const ListCall& c : f.firstLine)
        EXPECT_LT(length(c.axis(0)), 1e-4);
    for (const ListCall& c : f.secondLine)
        EXPECT_LT(length(c.axis(2)), 1e-4);
    for (const auto* layer : {&f.tiles, &f.block})
        for (const ListCall& c : *layer) {
            ASSERT_TRUE(c.whole());
            EXPECT_LT(length(c.axis(1)), 1e-4);
        }
}

// The tiles' saddle: height tan(pi t) (p + q) 0.3 p, zero for p = 0 and p = -q at any time.
TEST_F(CubeFloor, TileHeights) {
    for (float t : {0.3f, 1.1f, 2.7f, 13.37f}) {
        SCOPED_TRACE(t);
        const FloorCalls f = traceFloor(t);
        for (int p = -6; p <= 6; ++p) {
            for (int q = -6; q <= 6; ++q) {
                const ListCall& c = tile(f, p, q);
                const double height = std::tan(pi * t) * (p + q) * (0.3 * p) * 0.1;
                if (!c.whole()) {
                    EXPECT_GT(std::fabs(height), 200.0) << p << ", " << q;
                    continue;
                }
                EXPECT_LT(distance(c.origin(), freeFloor(t, 2.0 * p, 0, 2.0 * q)), 1e-3);
                if (p == 0 || p == -q)
                    EXPECT_LT(length(c.axis(1)), 1e-4) << p << ", " << q;
                else
                    EXPECT_NEAR(c.axis(1)[1], height, 1e-3 + 1e-5 * std::fabs(height))
                        << p << ", " << q;
            }
        }
    }
}

// The wire cells bob by the checkerboard of |p + q| with the rounded phase of |p| 5t.
TEST_F(CubeFloor, WireCellsBobInACheckerboard) {
    const float t = 0.3f;
    const FloorCalls f = traceFloor(t);
    const float fiveT = static_cast<float>(5.0 * t);
    for (int p = -3; p <= 3; ++p) {
        for (int q = -3; q <= 3; ++q) {
            SCOPED_TRACE(std::to_string(p) + ", " + std::to_string(q));
            const ListCall& c = cell(f, p, q);
            ASSERT_TRUE(c.whole());
            const double heave = std::tan(2 * pi * t) * (1.3 * p - q) * (0.1 * p);
            const double bob = std::sin(fiveT) -
                               std::sin(std::abs(q) * static_cast<double>(
                                                          static_cast<float>(std::abs(p) * fiveT)));
            const double lift = std::abs(p + q) % 2 == 0 ? 0.125 : -0.125;
            EXPECT_LT(distance(c.origin(),
                               freeFloor(t, 4 * (p - 0.25), heave * bob * lift, 4 * (q - 0.25))),
                      1e-3);
            EXPECT_NEAR(c.axis(1)[1], heave * bob * 0.125, 1e-4);
            EXPECT_LT(distance(c.axis(0), {3, 0, 0}), 1e-3);
        }
    }
}

TEST_F(CubeFloor, PlacementByPose) {
    const float t = 2.3f;
    const struct {
        int pose;
        int slot;
        Vec3 offset;
    } cases[] = {
        {0, 1, {0, 0, 0}},
        {1, 2, {0, 0, 0}},
        {2, 3, {0, 0, 0}},
        {3, 4, {20 * std::sin(2.0 * t), 0, 0}},
        {4, 0, {3 * std::sin(static_cast<double>(t)), 0, -13}},
        {-2, 0, {3 * std::sin(static_cast<double>(t)), 0, -13}},
    };
    demoTime = t;
    for (const auto& c : cases) {
        SCOPED_TRACE("pose " + std::to_string(c.pose));
        std::array<double, 16> place{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        if (c.slot != 0)
            place = cameraMatrix(c.slot);
        // Tile (1, 1) stands at (2, 0, 2) in the floor's frame.
        const FloorCalls f = traceFloor(t, c.pose);
        const Vec3 local = {c.offset[0] + 2, c.offset[1], c.offset[2] + 2};
        EXPECT_LT(distance(tile(f, 1, 1).origin(), transformPoint(place, local)), 1e-3);
    }
}

TEST_F(CubeFloor, LeavesBlendingOnDepthTestOffAndTheMatrixStackAsFound) {
    demoTime = 1.2f;
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    GLint depthBefore = 0, depthAfter = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthBefore);
    cubeFloor(0);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthAfter);
    EXPECT_EQ(depthAfter, depthBefore);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
} // namespace
