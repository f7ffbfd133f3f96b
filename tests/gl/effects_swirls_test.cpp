// The swirls: copy counts, colours, sizes and spins of every copy, and the shared placement.
#include "clock.h"
#include "effects.h"
#include "list_trace.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>

namespace {
constexpr double pi = 3.14159265358979323846;

using Mat3 = std::array<double, 9>; // row major

Mat3 multiply(const Mat3& a, const Mat3& b) {
    Mat3 m{};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            for (int k = 0; k < 3; ++k)
                m[r * 3 + c] += a[r * 3 + k] * b[k * 3 + c];
    return m;
}

// Rotation by `degrees` about `axis` (normalised here), right-handed as OpenGL turns.
Mat3 rotation(double degrees, Vec3 axis) {
    const double n = length(axis);
    const double x = axis[0] / n, y = axis[1] / n, z = axis[2] / n;
    const double c = std::cos(degrees * pi / 180.0), s = std::sin(degrees * pi / 180.0);
    return {c + x * x * (1 - c),     x * y * (1 - c) - z * s, x * z * (1 - c) + y * s,
            y * x * (1 - c) + z * s, c + y * y * (1 - c),     y * z * (1 - c) - x * s,
            z * x * (1 - c) - y * s, z * y * (1 - c) + x * s, c + z * z * (1 - c)};
}

const Mat3 identity{1, 0, 0, 0, 1, 0, 0, 0, 1};

class Swirls : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { setUpListTrace(); }
};

std::vector<ListCall> traceAt(float t, void (*effect)(int), int pose) {
    demoTime = t;
    return traceLists([&] { effect(pose); });
}

// The rotation of a copy, read from its matrix with the per-axis sizes divided out of the rows.
Mat3 copyRotation(const ListCall& call, const Vec3& rowSizes) {
    Mat3 m{};
    for (int c = 0; c < 3; ++c) {
        const Vec3 column = call.axis(c);
        for (int r = 0; r < 3; ++r)
            m[r * 3 + c] = column[r] / rowSizes[r];
    }
    return m;
}

double largestDifference(const Mat3& a, const Mat3& b) {
    double d = 0.0;
    for (int k = 0; k < 9; ++k)
        d = std::max(d, std::fabs(a[k] - b[k]));
    return d;
}

TEST_F(Swirls, CopyCountsListsAndColours) {
    struct Case {
        const char* name;
        void (*effect)(int);
        int copies;
        int list;
        double alpha0;
        double alphaStep;
    };
    const Case cases[] = {
        {"rings", swirlRings, 60, 668, 0.6, 0.01},
        {"cloud", swirlCloud, 100, 668, 1.0, 0.01},
        {"cloud cubes", swirlCloudCubes, 100, 667, 0.25, 0.0025},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto calls = traceAt(1.3f, c.effect, 4);
        ASSERT_EQ(calls.size(), static_cast<size_t>(c.copies));
        for (int i = 0; i < c.copies; ++i) {
            EXPECT_EQ(calls[i].id, c.list);
            if (!calls[i].whole())
                continue; // a copy stretched past the view keeps no colour to read
            EXPECT_NEAR(calls[i].colour[0], 1.0f, 1e-4);
            EXPECT_NEAR(calls[i].colour[1], 0.9002f, 1e-4);
            EXPECT_NEAR(calls[i].colour[2], 0.8009f, 1e-4);
            EXPECT_NEAR(calls[i].colour[3], c.alpha0 - c.alphaStep * i, 1e-4) << "copy " << i;
        }
    }
    EXPECT_NEAR(traceAt(1.3f, swirlCloudCubes, 4).back().colour[3], 0.0025f, 1e-5);
    EXPECT_NEAR(traceAt(1.3f, swirlRings, 4).back().colour[3], 0.01f, 1e-5);
}

// Each copy's size and spins at times on both sides of the switches of the extra spins.
TEST_F(Swirls, SizesAndSpinsOfEveryCopy) {
    enum Effect { rings, cloud, cubes };
    struct Case {
        Effect effect;
        float t;
    };
    const Case cases[] = {
        {rings, 0.0f},  {rings, 1.3f}, {rings, 7.9f}, {cloud, 0.0f},  {cloud, 3.5f},
        {cloud, 3.75f}, {cloud, 5.5f}, {cloud, 6.2f}, {cubes, 0.0f},  {cubes, 2.0f},
        {cubes, 3.0f},  {cubes, 4.0f}, {cubes, 4.5f}, {cubes, 17.3f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("effect " + std::to_string(c.effect) + " at t = " + std::to_string(c.t));
        void (*effect)(int) = c.effect == rings   ? swirlRings
                              : c.effect == cloud ? swirlCloud
                                                  : swirlCloudCubes;
        const auto calls = traceAt(c.t, effect, 4);
        const double t = c.t;
        const double u = c.t + 5.5f;
        // Free standing, every copy is centred at depth 13 (the rings at 8, then 5 deeper).
        const Vec3 centre = {3 * std::sin(t), 0, -13.0};
        for (int i : {0, 1, 2, 10, 37, 59, 99}) {
            if (c.effect == rings && i >= 60)
                continue;
            SCOPED_TRACE("copy " + std::to_string(i));
            const ListCall& call = calls.at(i);
            ASSERT_TRUE(call.whole());
            EXPECT_LT(distance(call.origin(), centre), 1e-3);
            Vec3 sizes;
            Mat3 expected = identity;
            if (c.effect == rings) {
                const double size = 1.9 + 0.025 * i;
                sizes = {(std::tan(static_cast<double>(i)) + size) * 1.75, size * 1.75,
                         size * 1.75};
                expected = rotation((10 * std::sin(static_cast<double>(i)) + 360) * t,
                                    {0.01 * i + 0.01, 1, 0.1});
            } else if (c.effect == cloud) {
                const double s = 14 * (i * i * 0.0125 * 0.0035 + 0.01) * 1.75;
                sizes = {s, s, s};
                if (t > 3.5)
                    expected = rotation(0.5 * i * (u - 3.5), {0, 0.5, 0.15});
                if (t > 5.5)
                    expected =
                        multiply(expected, rotation(0.25 * i * (u - 5.5), {0.2 * u, -0.06, 0.2}));
                expected = multiply(expected, rotation((10 * std::sin(u) + 360) * (0.35 * u),
                                                       {0.0001 * i + 0.01, 1, 0.1}));
            } else {
                const double s = 14 * (i * i * 0.01 * 0.0035 + 0.01) * 1.75;
                sizes = {s, s, s};
                if (t > 2)
                    expected = rotation(0.5 * i * (t - 2), {0, 1, 0.3});
                if (t > 4)
                    expected =
                        multiply(expected, rotation(0.25 * i * (t - 4), {0.2 * t, -0.1, 0.3}));
                expected = multiply(
                    expected, rotation((10 * std::sin(t) + 360) * t, {0.0001 * i + 0.01, 1, 0.1}));
            }
            // Sizes are small for the inner copies, so allow for the feedback's rounding.
            EXPECT_LT(largestDifference(copyRotation(call, sizes), expected),
                      2e-3 / std::min(sizes[1], 1.0));
            if (t == 0.0 && c.effect != cloud) {
                EXPECT_LT(largestDifference(copyRotation(call, sizes), identity), 1e-3);
            }
        }
    }
}

// The cloud switches its extra spins strictly after 3.5 and 5.5, but turns them by u = t + 5.5,
// so the copies jump just after the switch.
TEST_F(Swirls, CloudSpinsSwitchOnStrictlyAfterTheirTimes) {
    for (float edge : {3.5f, 5.5f}) {
        SCOPED_TRACE(edge);
        const auto before = traceAt(std::nextafter(edge, 0.0f), swirlCloud, 4);
        const auto at = traceAt(edge, swirlCloud, 4);
        const auto after = traceAt(std::nextafter(edge, 100.0f), swirlCloud, 4);
        const ListCall& copyBefore = before.at(60);
        const ListCall& copyAt = at.at(60);
        const ListCall& copyAfter = after.at(60);
        EXPECT_LT(distance(copyBefore.points[1], copyAt.points[1]), 1e-3);
        EXPECT_GT(distance(copyAt.points[1], copyAfter.points[1]), 0.5);
    }
}

TEST_F(Swirls, PlacementByPose) {
    const float t = 2.3f;
    struct Case {
        int pose;
        int slot; // 0: no camera
        Vec3 offset;
        double freeDepthRings;
    };
    const Case cases[] = {
        {0, 1, {0, 0.75 * std::tan(0.5 * pi * t), 0}, 0},
        {1, 2, {0, 0, 0}, 0},
        {2, 3, {0, 0, 0}, 0},
        {3, 4, {20 * std::sin(2.0 * t), 0, 0}, 0},
        {4, 0, {3 * std::sin(static_cast<double>(t)), 0, -13}, -8},
        {-1, 0, {3 * std::sin(static_cast<double>(t)), 0, -13}, -8},
    };
    demoTime = t;
    for (const Case& c : cases) {
        SCOPED_TRACE("pose " + std::to_string(c.pose));
        std::array<double, 16> place{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        if (c.slot != 0)
            place = cameraMatrix(c.slot);
        Vec3 ringsOffset = c.offset;
        if (c.slot == 0)
            ringsOffset[2] = c.freeDepthRings;
        // Every copy of the rings stands 5 units deeper than the placement.
        ringsOffset[2] -= 5.0;
        EXPECT_LT(distance(traceAt(t, swirlRings, c.pose).at(7).origin(),
                           transformPoint(place, ringsOffset)),
                  1e-3);
        EXPECT_LT(distance(traceAt(t, swirlCloud, c.pose).at(7).origin(),
                           transformPoint(place, c.offset)),
                  1e-3);
        EXPECT_LT(distance(traceAt(t, swirlCloudCubes, c.pose).at(7).origin(),
                           transformPoint(place, c.offset)),
                  1e-3);
    }
}

TEST_F(Swirls, DepthTestOnlyTheCubesTurnOff) {
    demoTime = 5.0f;
    for (auto effect : {swirlRings, swirlCloud}) {
        glEnable(GL_DEPTH_TEST);
        effect(1);
        EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
        EXPECT_TRUE(glIsEnabled(GL_BLEND));
    }
    GLint depthBefore = 0, depthAfter = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthBefore);
    swirlCloudCubes(1);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthAfter);
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_EQ(depthAfter, depthBefore);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
} // namespace
