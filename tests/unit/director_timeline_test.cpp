// The director's per-frame decisions as functions of the demo time: scene ranges, the act
// schedule, overlay windows, the light flash, the beat level with its modifiers, the end.
#include "director.h"

#include "clock.h"
#include "music.h"
#include "platform.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using M = LayerMotion;
using B = BeatModifier;

float justBelow(float t) {
    return std::nextafter(t, -1000.0f);
}

TEST(SceneRanges, BoundsAreInclusiveBelowExclusiveAbove) {
    struct Case {
        float t;
        int backdrop;
        LayerMotion motion;
        int flicker;
        BeatModifier modifier;
    };
    const Case cases[] = {
        {0.0f, 3, M::zoomStack, 0, B::early},
        {justBelow(1.5f), 3, M::zoomStack, 0, B::early},
        {1.5f, 1, M::twist, 1, B::none},
        {1.75f, 1, M::quadrantZoom, 1, B::none},
        {3.375f, 2, M::quadrantZoom, 1, B::none},
        {justBelow(3.5f), 2, M::quadrantZoom, 1, B::none},
        {3.5f, 6, M::whirl, 1, B::none},
        {4.5f, 7, M::whirl, 1, B::none},
        {5.25f, 4, M::twist, 0, B::none},
        {5.5f, 5, M::zoomStack, 1, B::none},
        {5.75f, 5, M::quadrantZoom, 1, B::none},
        {7.5f, 6, M::whirl, 1, B::none},
        {9.5f, 4, M::zoomStack, 1, B::none},
        {9.75f, 6, M::whirl, 1, B::none},
        {10.5f, 6, M::twist, 1, B::none},
        {11.5f, 7, M::whirl, 1, B::none},
        {13.5f, 8, M::zoomStack, 1, B::none},
        {15.5f, 9, M::whirl, 1, B::none},
        {17.5f, 10, M::zoomStack, 1, B::none},
        {18.5f, 1, M::quadrantZoom, 1, B::none},
        {19.25f, 2, M::quadrantZoom, 1, B::none},
        // [19.5, 21) alternates on the parity of trunc(8t): 156 even, 157 odd, ...
        {19.5f, 11, M::whirl, 1, B::none},
        {justBelow(19.625f), 11, M::whirl, 1, B::none},
        {19.625f, 2, M::zoomStack, 1, B::none},
        {19.75f, 11, M::whirl, 1, B::none},
        {justBelow(21.0f), 2, M::zoomStack, 1, B::none},
        {21.0f, 9, M::flat, 1, B::quarter},
        {22.0f, 12, M::whirl, 1, B::none},
        {justBelow(23.0f), 12, M::whirl, 1, B::none},
        {23.0f, 14, M::whirl, 1, B::none},
        {23.5f, 11, M::whirl, 1, B::fadeOut},
        {justBelow(25.5f), 11, M::whirl, 1, B::fadeOut},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "t = " << c.t);
        const SceneRange range = sceneRangeAt(c.t);
        EXPECT_TRUE(range.matched);
        EXPECT_EQ(range.backdrop, c.backdrop);
        EXPECT_EQ(range.motion, c.motion);
        EXPECT_EQ(range.flicker, c.flicker);
        EXPECT_EQ(range.modifier, c.modifier);
    }
}

// The table must agree with the rules it was written from, everywhere in the show.
TEST(SceneRanges, AgreeWithTheirComputedRules) {
    for (int step = 0; step < 26 * 64; ++step) {
        const float t = step / 64.0f;
        SCOPED_TRACE(testing::Message() << "t = " << t);
        const SceneRange range = sceneRangeAt(t);
        if (t >= 3.5f && t < 5.25f) {
            EXPECT_EQ(range.backdrop, static_cast<int>(t - 3.5f) + 6);
        }
        if (t >= 9.75f && t < 11.5f) {
            EXPECT_EQ(range.motion, static_cast<int>(t - 8.5f) % 2 == 1 ? M::whirl : M::twist);
        }
        if (t >= 19.5f && t < 21.0f) {
            EXPECT_EQ(range.backdrop, static_cast<int>(8.0f * t) % 2 == 0 ? 11 : 2);
        }
        if (t >= 22.0f && t < 23.5f) {
            EXPECT_EQ(range.backdrop, 2 * static_cast<int>(t - 22.0f) + 12);
        }
    }
}

TEST(SceneRanges, OutsideTheTableTheStackWhirlsOnWithFlicker) {
    for (float t : {-0.25f, 25.5f, 25.75f, 26.0f}) {
        const SceneRange range = sceneRangeAt(t);
        EXPECT_FALSE(range.matched) << t;
        EXPECT_EQ(range.motion, M::whirl) << t;
        EXPECT_EQ(range.flicker, 1) << t;
        EXPECT_EQ(range.modifier, B::none) << t;
    }
}

TEST(Schedule, SelectorAtItsBounds) {
    struct Case {
        float t;
        int current;
        int expected;
    };
    const Case cases[] = {
        {-0.5f, 7, 7},
        {0.0f, 7, 32},
        {justBelow(1.5f), 3, 32},
        {1.5f, 7, 30},
        {justBelow(3.5f), 7, 30},
        {3.5f, 7, 14},
        {3.75f, 7, 15},
        {justBelow(6.0f), 7, 23},
        {6.0f, 7, 0},
        {12.0f, 7, 0},
        {24.0f, 7, 0},
        {25.75f, 3, 7},
        {justBelow(26.0f), 3, 7},
        {26.0f, 5, 5},
        {26.0f, 31, 31},
    };
    for (const Case& c : cases)
        EXPECT_EQ(scheduledSelector(c.t, c.current), c.expected) << "t = " << c.t;
}

TEST(Schedule, TheShowEndsOnlyAbove26) {
    EXPECT_FALSE(showHasEnded(26.0f));
    EXPECT_FALSE(showHasEnded(0.0f));
    EXPECT_TRUE(showHasEnded(std::nextafter(26.0f, 27.0f)));
    EXPECT_TRUE(showHasEnded(1000.0f));
}

TEST(Schedule, OverlayAndExtraActWindows) {
    struct Case {
        float t;
        bool sponsor, closing, extraFlipbook;
    };
    const float after = 1.0f / 1024;
    const Case cases[] = {
        {justBelow(5.25f), false, false, false},
        {5.25f, true, false, false},
        {5.5f, false, false, false},
        {5.5f + after, false, false, true},
        {justBelow(7.5f), false, false, true},
        {7.5f, false, false, false},
        {9.5f, false, false, false},
        {10.0f, false, false, true},
        {11.5f, true, false, false},
        {justBelow(13.5f), true, false, false},
        {13.5f, false, false, false},
        {14.0f, false, false, true},
        {15.5f, false, false, false},
        {19.5f, true, false, false},
        {21.0f, false, false, false},
        {justBelow(24.5f), false, false, false},
        {24.5f, false, true, false},
        {25.5f, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "t = " << c.t);
        EXPECT_EQ(sponsorOverlayShown(c.t), c.sponsor);
        EXPECT_EQ(closingPicturesShown(c.t), c.closing);
        EXPECT_EQ(extraFlipbookShown(c.t), c.extraFlipbook);
    }
}

TEST(Light, RedFlashFromThreeAndAHalf) {
    struct Case {
        float t;
        float r, g, b;
    };
    const Case cases[] = {
        {justBelow(3.5f), 2, 2, 2}, {3.5f, 6, 5, 5}, {4.0f, 4, 3, 3},
        {justBelow(4.5f), 2, 1, 1}, {4.5f, 2, 2, 2}, {0.0f, 2, 2, 2},
    };
    for (const Case& c : cases) {
        const LightColour light = lightDiffuse(c.t);
        EXPECT_NEAR(light.r, c.r, 1e-5) << c.t;
        EXPECT_NEAR(light.g, c.g, 1e-5) << c.t;
        EXPECT_NEAR(light.b, c.b, 1e-5) << c.t;
    }
}

// Beat level from known stamps: the clock is frozen at 0, so a stamp of -rows/64 puts a
// SyncPoint `rows` rows in the past; -1000 leaves it quiet.
class BeatLevel : public testing::Test {
  protected:
    void SetUp() override {
        useVirtualCounter(1);
        resetDemoClock();
        demoClock();
        for (SyncPoint& sync : syncPoints)
            sync.stamp.store(-1000.0f);
        SyncPoint reference;
        reference.stamp.store(-1.0f / 64.0f);
        oneLength = expDecay(reference, 1.0f);
    }
    void strike(int syncPoint, float rowsAgo) {
        syncPoints[syncPoint].stamp.store(-rowsAgo / 64.0f);
    }

    float oneLength = 0.0f; // an exponential envelope one length after its strike
};

TEST_F(BeatLevel, QuietMusicGivesZero) {
    demoTime = 10.0f;
    EXPECT_NEAR(beatLevel(), 0.0f, 1e-6);
}

TEST_F(BeatLevel, EachTermHasItsWeightAndLength) {
    struct Term {
        int syncPoint;
        float length;
        float weight;
    };
    const Term terms[] = {
        {7, 4, 8},     {12, 1.2f, 5}, {11, 4, 0.75f}, {1, 4, 0.5f}, {9, 8, 0.5f}, {10, 1, 0.45f},
        {6, 3, -2.5f}, {2, 2, -2},    {3, 2, -2},     {4, 2, -2},   {0, 2, -2},
    };
    demoTime = 2.0f;
    for (const Term& term : terms) {
        SCOPED_TRACE(testing::Message() << "SyncPoint " << term.syncPoint);
        strike(term.syncPoint, 0.0f);
        EXPECT_NEAR(beatLevel(), term.weight, 1e-5);
        strike(term.syncPoint, term.length);
        EXPECT_NEAR(beatLevel(), term.weight * oneLength, 1e-4);
        strike(term.syncPoint, 1000.0f * 64.0f);
    }
}

TEST_F(BeatLevel, SyncPoint8TurnsDarkeningAtThreeAndAHalf) {
    strike(8, 0.0f);
    demoTime = justBelow(3.5f);
    EXPECT_NEAR(beatLevel(), 2.25f, 1e-5);
    demoTime = 3.5f;
    EXPECT_NEAR(beatLevel(), -2.25f, 1e-5);
    strike(8, 1.25f);
    EXPECT_NEAR(beatLevel(), -2.25f * oneLength, 1e-4);
}

TEST_F(BeatLevel, SyncPoint5DipsForSixteenRows) {
    demoTime = 10.0f;
    strike(5, 0.0f);
    EXPECT_NEAR(beatLevel(), 0.0f, 1e-5);
    strike(5, 4.0f);
    EXPECT_NEAR(beatLevel(), 8.0f * (oneLength - 1.0f), 1e-4);
    strike(5, 15.9f);
    EXPECT_LT(beatLevel(), -7.9f);
    strike(5, 16.0f);
    EXPECT_NEAR(beatLevel(), 0.0f, 1e-5);
}

TEST_F(BeatLevel, RangeModifiersAndTheEarlyRule) {
    EXPECT_FLOAT_EQ(modifyBeatLevel(3.0f, B::none, 10.0f), 3.0f);
    EXPECT_FLOAT_EQ(modifyBeatLevel(3.0f, B::quarter, 21.5f), 0.75f);
    EXPECT_FLOAT_EQ(modifyBeatLevel(3.0f, B::fadeOut, 23.5f), 3.0f);
    EXPECT_FLOAT_EQ(modifyBeatLevel(3.0f, B::fadeOut, 24.5f), 1.0f);
    EXPECT_FLOAT_EQ(modifyBeatLevel(3.0f, B::fadeOut, 25.25f), -0.5f);

    // Early rule: held at 0 up to 0.2 (all never-struck SyncPoints read as just struck then),
    // after that SyncPoint 12's flash is added a second time.
    for (SyncPoint& sync : syncPoints)
        sync.stamp.store(0.0f);
    EXPECT_EQ(modifyBeatLevel(beatLevel(), B::early, 0.0f), 0.0f);
    EXPECT_EQ(modifyBeatLevel(7.0f, B::early, justBelow(0.2f)), 0.0f);
    EXPECT_NEAR(modifyBeatLevel(7.0f, B::early, 0.21f), 12.0f, 1e-5);
    strike(12, 1000.0f);
    EXPECT_NEAR(modifyBeatLevel(7.0f, B::early, 1.0f), 7.0f, 1e-5);
}

// The end of the show stops the music and exits with status 0 before drawing anything.
TEST(DrawFrameDeathTest, EndsTheProcessAbove26) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    demoTime = std::nextafter(26.0f, 27.0f);
    EXPECT_EXIT(drawFrame(), testing::ExitedWithCode(0), "");
}

} // namespace
