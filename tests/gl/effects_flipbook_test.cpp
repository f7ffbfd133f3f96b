// The lyric flip-book: which word each effect calls at which time, where its two copies stand
// and in which colours.
#include "clock.h"
#include "effects.h"
#include "list_trace.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>

namespace {
constexpr double pi = 3.14159265358979323846;

class Flipbook : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { setUpListTrace(); }
};

std::vector<ListCall> traceAt(float t, void (*effect)(int), int pose) {
    demoTime = t;
    return traceLists([&] { effect(pose); });
}

TEST_F(Flipbook, WordOfEachQuarterUnit) {
    struct Case {
        const char* effect;
        float t;
        int list; // 0: no word
    };
    const Case cases[] = {
        {"pair", 1.0f, 0},         {"pair", 1.25f, 0},       {"pair", 1.3f, 200},
        {"pair", 1.5f, 200},       {"pair", 1.75f, 201},     {"pair", 2.6f, 204},
        {"pair", 3.1f, 206},       {"pair", 3.25f, 207},     {"pair", 3.5f, 200},
        {"pair", 25.9f, 201},      {"sections", 5.5f, 0},    {"sections", 5.6f, 208},
        {"sections", 7.4f, 215},   {"sections", 7.5f, 0},    {"sections", 9.5f, 0},
        {"sections", 9.75f, 217},  {"sections", 10.0f, 218}, {"sections", 11.5f, 0},
        {"sections", 12.0f, 0},    {"sections", 13.5f, 0},   {"sections", 14.0f, 224},
        {"sections", 14.25f, 225}, {"sections", 14.5f, 220}, {"sections", 15.4f, 223},
        {"sections", 15.5f, 0},    {"sections", 2.0f, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.effect) + " at t = " + std::to_string(c.t));
        const bool pair = std::string(c.effect) == "pair";
        const auto calls = traceAt(c.t, pair ? flipbookPair : flipbookSections, 4);
        if (c.list == 0) {
            EXPECT_TRUE(calls.empty());
            continue;
        }
        // Both copies show the same word.
        ASSERT_EQ(calls.size(), 2u);
        EXPECT_EQ(calls[0].id, c.list);
        EXPECT_EQ(calls[1].id, c.list);
    }
}

// The back copy stands ten units deep in the caller's frame, squashed and rolled, whatever the
// pose and the camera schedule.
TEST_F(Flipbook, BackCopyIgnoresTheCamera) {
    for (float t : {2.3f, 10.3f, 14.1f}) {
        const double pulse = std::tan(2.0 * pi * t);
        for (int pose : {0, 1, 2, 3, 4, -1, 9}) {
            for (auto effect : {flipbookPair, flipbookSections}) {
                SCOPED_TRACE("t = " + std::to_string(t) + ", pose " + std::to_string(pose));
                const auto calls = traceAt(t, effect, pose);
                if (effect == flipbookSections && t < 5.0f) {
                    EXPECT_TRUE(calls.empty());
                    continue;
                }
                ASSERT_EQ(calls.size(), 2u);
                const ListCall& back = calls[1];
                ASSERT_TRUE(back.whole());
                EXPECT_LT(distance(back.origin(), {0, 0, -10}), 1e-3);
                // Rolled by -90 degrees: x turns to -y and y to x.
                EXPECT_LT(distance(back.axis(0), {0, -0.302 * 1.2, 0}), 1e-3);
                EXPECT_LT(distance(back.axis(1), {0.202 * 1.2, 0, 0}), 1e-3);
                EXPECT_LT(distance(back.axis(2), {0, 0, (pulse + 0.102) * 1.2}), 1e-3);
                EXPECT_NEAR(back.colour[0], 0.89f, 1e-4);
                EXPECT_NEAR(back.colour[1], 0.88f, 1e-4);
                EXPECT_NEAR(back.colour[2], 0.66f, 1e-4);
                EXPECT_NEAR(back.colour[3], 0.25f, 1e-4);
            }
        }
    }
}

// The front copy: the pose's placement, then the roll, the pulsing scale and the 0.2 shift.
TEST_F(Flipbook, FrontCopyFollowsThePose) {
    const float t = 10.3f;
    const double pulse = std::tan(2.0 * pi * t);
    const double depth = pulse + 0.402;
    struct Case {
        bool pair;
        int pose;
        int slot; // 0: no camera
        Vec3 offset;
    };
    const Case cases[] = {
        {true, 0, 1, {0, 0, 0}},
        {true, 1, 2, {0, 0, 0}},
        {true, 2, 3, {0, 0, 0}},
        {true, 3, 4, {20 * std::sin(2.0 * t), 0, -4}},
        {true, 4, 4, {0, 0, 0}},
        {true, -3, 4, {0, 0, 0}},
        {false, 0, 1, {0, 0, 0}},
        {false, 2, 3, {0, 0, 0}},
        {false, 3, 4, {20 * std::sin(2.0 * t), 0, 0}},
        {false, 4, 0, {3 * std::sin(static_cast<double>(t)), 0, -8}},
        {false, 7, 0, {3 * std::sin(static_cast<double>(t)), 0, -8}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.pair ? "pair" : "sections") + " pose " + std::to_string(c.pose));
        const auto calls = traceAt(t, c.pair ? flipbookPair : flipbookSections, c.pose);
        ASSERT_EQ(calls.size(), 2u);
        const ListCall& front = calls[0];
        ASSERT_TRUE(front.whole());
        std::array<double, 16> place{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        if (c.slot != 0)
            place = cameraMatrix(c.slot);
        // The word's frame in the pose's frame: origin, then the images of the three axes.
        const Vec3 o = {c.offset[0], c.offset[1], c.offset[2] + 0.2 * depth};
        const Vec3 local[4] = {o,
                               {o[0], o[1] - 0.402 * 1.2, o[2]},
                               {o[0] + 0.402 * 1.2, o[1], o[2]},
                               {o[0], o[1], o[2] + 1.2 * depth}};
        for (int k = 0; k < 4; ++k)
            EXPECT_LT(distance(front.points[k], transformPoint(place, local[k])), 2e-3) << k;
        EXPECT_NEAR(front.colour[0], 0.79f, 1e-4);
        EXPECT_NEAR(front.colour[1], 0.73f, 1e-4);
        EXPECT_NEAR(front.colour[2], 0.71f, 1e-4);
        EXPECT_NEAR(front.colour[3], 0.15f, 1e-4);
    }
}

TEST_F(Flipbook, LeavesBlendingOnDepthTestOffAndTheMatrixStackAsFound) {
    demoTime = 6.0f;
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    GLint depthBefore = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthBefore);
    flipbookSections(2);
    GLint depthAfter = 0, src = 0, dst = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthAfter);
    glGetIntegerv(GL_BLEND_SRC, &src);
    glGetIntegerv(GL_BLEND_DST, &dst);
    EXPECT_EQ(depthAfter, depthBefore);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_EQ(src, GL_SRC_ALPHA);
    EXPECT_EQ(dst, GL_ONE);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
} // namespace
