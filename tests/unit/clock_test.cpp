// The demo clock on the virtual counter: start, rate, speed factor, no time lost to frequent
// calls, two threads calling it at once, and the hold, start and shift that jumps and the loop
// use.
#include "clock.h"
#include "platform.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

namespace {
constexpr int64_t frequency = 1000000000;

class DemoClock : public ::testing::Test {
  protected:
    void SetUp() override {
        useVirtualCounter(5000, frequency);
        resetDemoClock();
        speedExponent = 0.0f;
    }
    void TearDown() override { speedExponent = 0.0f; }
};
} // namespace

TEST_F(DemoClock, FirstCallStartsAtZeroAndReadsTheFrequencyOnce) {
    EXPECT_EQ(demoClock(), 0.0f);
    // A frequency changed after the first call must not change the rate.
    useVirtualCounter(5000, frequency / 2);
    advanceVirtualCounter(7680000000);
    EXPECT_NEAR(demoClock(), 1.0f, 1e-6f);
}

TEST_F(DemoClock, SevenPointSixEightSecondsAreOnePattern) {
    demoClock();
    for (int i = 0; i < 768; ++i) {
        advanceVirtualCounter(10000000);
        demoClock();
    }
    EXPECT_NEAR(demoClock(), 1.0f, 1e-5f);
}

TEST_F(DemoClock, SpeedFactorScalesTheWholeIntervalSinceThePreviousCall) {
    demoClock();
    advanceVirtualCounter(7680000000);
    speedExponent = 1.0f;
    EXPECT_NEAR(demoClock(), std::exp(1.0), 1e-5);
    speedExponent = -7.0f;
    advanceVirtualCounter(7680000000);
    EXPECT_NEAR(demoClock(), std::exp(1.0) + std::exp(-7.0), 1e-5);
}

TEST_F(DemoClock, CallsMicrosecondsApartLoseNothing) {
    demoClock();
    advanceVirtualCounter(20 * 7680000000LL);
    const float atTwenty = demoClock();
    ASSERT_NEAR(atTwenty, 20.0f, 1e-5f);
    // 1 us is about 1.3e-7 units, below half a unit in the last place of a float at 20
    // (2^-20): the returned value may stand still, but the time is not dropped.
    float previous = atTwenty;
    for (int i = 0; i < 1000; ++i) {
        advanceVirtualCounter(1000);
        const float now = demoClock();
        ASSERT_GE(now, previous);
        previous = now;
    }
    EXPECT_NEAR(previous, atTwenty + 0.001 / 7.68, std::ldexp(1.0, -19));
}

TEST_F(DemoClock, KeepsTimeUnderHundredsOfCallsAFrame) {
    // Frames of 16 ms from t = 16 for 20 s: 300 calls 5 us apart while a frame is drawn,
    // then the rest of the frame in one step, as the envelopes and the idle handler call it.
    demoClock();
    advanceVirtualCounter(16 * 7680000000LL);
    const double start = demoClock();
    const int64_t frameTicks = 16000000;
    const int frames = 1250;
    for (int frame = 0; frame < frames; ++frame) {
        for (int call = 0; call < 300; ++call) {
            advanceVirtualCounter(5000);
            demoClock();
        }
        advanceVirtualCounter(frameTicks - 300 * 5000);
    }
    const double elapsedUnits = frames * 0.016 / 7.68;
    const double driftSeconds = (demoClock() - start - elapsedUnits) * 7.68;
    EXPECT_LT(std::fabs(driftSeconds), 0.001);
}

TEST_F(DemoClock, ConcurrentCallersNeverGoBackwardsNorLoseOrRepeatAnInterval) {
    demoClock();
    advanceVirtualCounter(20 * 7680000000LL);
    const double atTwenty = demoClock();
    std::atomic<bool> running{true};
    std::atomic<int> backwards{0};
    auto caller = [&] {
        float last = 0.0f;
        while (running.load()) {
            const float now = demoClock();
            if (now < last)
                backwards.fetch_add(1);
            last = now;
        }
    };
    std::thread first(caller);
    std::thread second(caller);
    const int steps = 20000;
    for (int i = 0; i < steps; ++i) {
        advanceVirtualCounter(1000);
        if (i % 64 == 0)
            std::this_thread::yield();
    }
    running = false;
    first.join();
    second.join();
    EXPECT_EQ(backwards.load(), 0);
    // 20000 microseconds in all, whoever added them and however finely: 0.02 s / 7.68 s, to
    // the float's last place at 20.
    EXPECT_NEAR(demoClock(), atTwenty + 0.02 / 7.68, std::ldexp(1.0, -19));
}

TEST_F(DemoClock, SetToATimeReadsExactlyThatTimeWhileTheCounterStandsStill) {
    // Captures and stills draw at exact demo times, small and large, not only at round ones.
    for (const float time : {0.0f, 1e-7f, 0.5f, 3.3f, 16.25f, 19.9f, 25.999f}) {
        setDemoClockTo(time);
        EXPECT_EQ(demoClock(), time) << time;
        EXPECT_EQ(demoClock(), time) << time;
    }
}

TEST_F(DemoClock, HeldItReadsTheHeldTimeWhateverTheCounterDoes) {
    demoClock();
    advanceVirtualCounter(7680000000);
    ASSERT_NEAR(demoClock(), 1.0f, 1e-6f);
    holdDemoClock(12.25f);
    EXPECT_TRUE(demoClockHeld());
    advanceVirtualCounter(7680000000);
    EXPECT_EQ(demoClock(), 12.25f);
    holdDemoClock(3.0f);
    EXPECT_EQ(demoClock(), 3.0f);
}

TEST_F(DemoClock, RunFromATickAheadWaitsThereThenKeepsItsPace) {
    // A jump's music is heard from tick 5000 + 1 s: until then the clock stays at 4.0, and
    // nothing of the wait is counted afterwards.
    demoClock();
    holdDemoClock(4.0f);
    runDemoClockFrom(4.0f, 5000 + frequency);
    EXPECT_FALSE(demoClockHeld());
    EXPECT_EQ(demoClock(), 4.0f);
    advanceVirtualCounter(frequency / 2);
    EXPECT_EQ(demoClock(), 4.0f);
    advanceVirtualCounter(frequency / 2 + 7680000000 / 2);
    EXPECT_NEAR(demoClock(), 4.5f, 1e-6f);
    speedExponent = 1.0f;
    advanceVirtualCounter(7680000000);
    EXPECT_NEAR(demoClock(), 4.5 + std::exp(1.0), 1e-5);
}

TEST_F(DemoClock, RunFromATickPassedCountsTheTimeSinceAndStartsAnUncalledClock) {
    // Never called before: the frequency is read here.
    advanceVirtualCounter(7680000000);
    runDemoClockFrom(2.0f, 5000);
    EXPECT_NEAR(demoClock(), 3.0f, 1e-6f);
}

TEST_F(DemoClock, ShiftMovesTheTimeButNotThePace) {
    demoClock();
    advanceVirtualCounter(26 * 7680000000LL + 76800000);
    ASSERT_NEAR(demoClock(), 26.01f, 1e-5f);
    shiftDemoClock(-26.0);
    EXPECT_NEAR(demoClock(), 0.01f, 1e-6f);
    advanceVirtualCounter(7680000000);
    EXPECT_NEAR(demoClock(), 1.01f, 1e-6f);
}
