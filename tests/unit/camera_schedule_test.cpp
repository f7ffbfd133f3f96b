// The camera schedule: rate by time range, phase, and which pose each slot receives.
#include "effects.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

using P = CameraPose;

float justBelow(float t) {
    return std::nextafter(t, -1000.0f);
}

TEST(CameraSchedule, RateByTimeRange) {
    struct Case {
        float t;
        int rate;
    };
    const Case cases[] = {
        {-1.0f, 0},
        {0.0f, 0},
        {justBelow(1.5f), 0},
        {1.5f, 4},
        {justBelow(11.5f), 4},
        {11.5f, 6},
        {17.5f, 8},
        {justBelow(21.0f), 8},
        {21.0f, 4}, // the instant between the two
                    // ranges joins the one after it
        {21.5f, 4},
        {22.0f, 8},
        {justBelow(23.5f), 8},
        {23.5f, 4},
        {26.0f, 4},
        {1e30f, 4},
    };
    for (const Case& c : cases)
        EXPECT_EQ(cameraRate(c.t), c.rate) << "t = " << c.t;
}

TEST(CameraSchedule, PhaseAndSlotAssignment) {
    struct Case {
        float t;
        int phase;
        CameraPose slots[4]; // poses of slots 1 to 4
    };
    const Case cases[] = {
        {0.0f, 0, {P::swing, P::sway, P::orbit, P::tumble}},
        {1.4f, 0, {P::swing, P::sway, P::orbit, P::tumble}},
        {2.0f, 0, {P::swing, P::sway, P::orbit, P::tumble}},
        {2.25f, 1, {P::tumble, P::swing, P::sway, P::orbit}},
        {12.0f, 0, {P::swing, P::sway, P::orbit, P::tumble}},
        {12.2f, 1, {P::tumble, P::swing, P::sway, P::orbit}},
        {3.0f, 4, {P::sway, P::tumble, P::swing, P::orbit}},
        {3.25f, 5, {P::swing, P::tumble, P::sway, P::orbit}},
        {3.5f, 6, {P::tumble, P::sway, P::orbit, P::swing}},
        {3.75f, 7, {P::swing, P::orbit, P::sway, P::tumble}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "t = " << c.t);
        EXPECT_EQ(cameraPhase(c.t), c.phase);
        for (int slot = 1; slot <= 4; ++slot)
            EXPECT_EQ(cameraPoseOfSlot(slot, c.t), c.slots[slot - 1]) << "slot " << slot;
    }
}

TEST(CameraSchedule, EveryPhaseGivesEachSlotOnePose) {
    for (int step = 0; step < 8; ++step) {
        const float t = 2.0f + step * 0.25f;
        ASSERT_EQ(cameraPhase(t), step);
        int seen[5] = {};
        for (int slot = 1; slot <= 4; ++slot)
            ++seen[static_cast<int>(cameraPoseOfSlot(slot, t))];
        EXPECT_TRUE(std::all_of(seen, seen + 4, [](int n) { return n == 1; })) << "phase " << step;
    }
}

TEST(CameraSchedule, SlotsOutsideOneToFourTakeTheFallback) {
    for (float t : {0.0f, 2.25f, 12.2f, 20.0f, 25.0f})
        for (int slot : {0, 5, -1, 100})
            EXPECT_EQ(cameraPoseOfSlot(slot, t), P::fallback) << t << " " << slot;
}

} // namespace
