// The demo clock on the virtual counter: start, rate, speed factor, float rounding, and two
// threads calling it at once.
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

TEST_F(DemoClock, IncrementsBelowHalfAnUlpAreLostForGood) {
    demoClock();
    advanceVirtualCounter(20 * 7680000000LL);
    const float atTwenty = demoClock();
    ASSERT_NEAR(atTwenty, 20.0f, 1e-5f);
    // 1 microsecond is about 1.3e-7 units; half an ulp at 20 is 2^-20 = 9.5e-7.
    for (int i = 0; i < 5; ++i) {
        advanceVirtualCounter(1000);
        EXPECT_EQ(demoClock(), atTwenty);
    }
    // A whole millisecond later counts only that millisecond, not the lost microseconds.
    advanceVirtualCounter(1000000);
    const double expected = atTwenty + 0.001 / 7.68;
    EXPECT_NEAR(demoClock(), expected, std::ldexp(1.0, -19));
    EXPECT_GT(demoClock(), atTwenty);
}

TEST_F(DemoClock, ConcurrentCallersNeverGoBackwardsNorCountAnIntervalTwice) {
    demoClock();
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
    // 20000 microseconds in all, whoever added them: 0.02 s / 7.68 s, to float rounding of
    // each small step at an accumulator below 0.003.
    EXPECT_NEAR(demoClock(), 0.02 / 7.68, 2e-6);
}
