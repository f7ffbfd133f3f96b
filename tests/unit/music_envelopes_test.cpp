// The sync envelopes over known rows, and the sync procedure's stamps. The clock is frozen at
// 0 (virtual counter, fresh clock), so rows = -stamp * 64.
#include "clock.h"
#include "music.h"
#include "platform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {
enum class Curve { linear, exponential, gated };

struct EnvelopeCase {
    const char* name;
    float rows;
    Curve curve;
    float length;
    float gate;
    float expected;
};

const float ln2 = static_cast<float>(std::log(2.0));
const float nan = std::numeric_limits<float>::quiet_NaN();

const EnvelopeCase envelopeCases[] = {
    {"never hit, 128 rows on", 128.0f, Curve::linear, 2.0f, 0.0f, 0.0f},
    {"never hit, 128 rows on", 128.0f, Curve::exponential, 4.0f, 0.0f,
     static_cast<float>(std::exp(-32.0 / std::log(2.0)))},
    {"never hit, 128 rows on", 128.0f, Curve::gated, 4.0f, 16.0f, 1.0f},
    {"at the hit", 0.0f, Curve::linear, 3.0f, 0.0f, 1.0f},
    {"at the hit", 0.0f, Curve::exponential, 4.0f, 0.0f, 1.0f},
    {"at the hit", 0.0f, Curve::gated, 4.0f, 16.0f, 1.0f},
    {"halfway", 1.0f, Curve::linear, 2.0f, 0.0f, 0.5f},
    {"at length", 2.0f, Curve::linear, 2.0f, 0.0f, 0.0f},
    {"at length", 2.0f, Curve::exponential, 2.0f, 0.0f, 0.23629f},
    {"half of the exponential", 4.0f * ln2* ln2, Curve::exponential, 4.0f, 0.0f, 0.5f},
    {"inside the gate", 2.0f, Curve::gated, 4.0f, 16.0f, 0.48610f},
    {"just inside the gate", 15.9f, Curve::gated, 4.0f, 16.0f, 0.0032f},
    {"at the gate", 16.0f, Curve::gated, 4.0f, 16.0f, 1.0f},
    {"stamp ahead of the clock", -3.0f, Curve::linear, 2.0f, 0.0f, 1.0f},
    {"stamp ahead of the clock", -3.0f, Curve::exponential, 2.0f, 0.0f, 0.0f},
    {"stamp ahead of the clock", -3.0f, Curve::gated, 4.0f, 16.0f, 1.0f},
    {"not a number", nan, Curve::linear, 2.0f, 0.0f, 0.0f},
    {"not a number", nan, Curve::exponential, 2.0f, 0.0f, 0.0f},
    {"not a number", nan, Curve::gated, 4.0f, 16.0f, 1.0f},
};

void freezeClockAtZero() {
    useVirtualCounter(1);
    resetDemoClock();
    ASSERT_EQ(demoClock(), 0.0f);
}

TEST(Envelopes, TableOfCases) {
    freezeClockAtZero();
    SyncPoint sync;
    for (const EnvelopeCase& c : envelopeCases) {
        SCOPED_TRACE(std::string(c.name) + ", rows " + std::to_string(c.rows));
        sync.stamp.store(-c.rows / 64.0f);
        float value = 0.0f;
        switch (c.curve) {
        case Curve::linear:
            value = linearDecay(sync, c.length);
            break;
        case Curve::exponential:
            value = expDecay(sync, c.length);
            break;
        case Curve::gated:
            value = gatedDecay(sync, c.length, c.gate);
            break;
        }
        EXPECT_NEAR(value, c.expected, 5e-5f);
    }
}

TEST(SyncHit, StampsTheClockAndKeepsTheLaterHit) {
    freezeClockAtZero();
    SyncPoint& sync = syncPoints[syncPointOfInstrument(3)];
    EXPECT_EQ(&sync, &syncPoints[11]);
    advanceVirtualCounter(secondsToTicks(7.68 * 0.5));
    const float first = demoClock();
    syncHit(0, 0, 0, &sync);
    EXPECT_EQ(sync.level.load(), 1.0f);
    EXPECT_EQ(sync.stamp.load(), first);
    advanceVirtualCounter(secondsToTicks(7.68 * 0.25));
    syncHit(0, 0, 0, &sync);
    EXPECT_NEAR(sync.stamp.load(), 0.75f, 1e-5f);
    EXPECT_GT(sync.stamp.load(), first);
    for (int other = 0; other < syncPointCount; ++other) {
        if (other != 11) {
            EXPECT_EQ(syncPoints[other].stamp.load(), 0.0f) << other;
        }
    }
    for (int unwatched : {0, 1, 11, 12, 17, 99})
        EXPECT_EQ(syncPointOfInstrument(unwatched), -1) << unwatched;
}
} // namespace
