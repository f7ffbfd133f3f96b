// The demo clock: the performance counter turned into pattern units, scaled by the speed
// factor, accumulated in a 32-bit float. The update is kept whole by one mutex because the
// audio thread calls the clock too.
#include "clock.h"

#include "platform.h"

#include <cmath>
#include <mutex>

float demoTime = 0.0f;
std::atomic<float> speedExponent{0.0f};

namespace {
std::mutex clockLock;
int64_t counterFrequencyTicks = 0;
int64_t previousCount = 0;
int64_t currentCount = 0;
float tickScale = 0.0f;
float clockAccumulator = 0.0f;
} // namespace

float demoClock() {
    std::lock_guard<std::mutex> hold(clockLock);
    if (previousCount == 0) {
        counterFrequencyTicks = counterFrequency();
        currentCount = counterNow();
        tickScale = static_cast<float>(1.0 / static_cast<double>(counterFrequencyTicks));
        tickScale = static_cast<float>((125.0 / 960.0) * tickScale);
    }
    previousCount = currentCount;
    currentCount = counterNow();
    const double elapsed = static_cast<double>(currentCount - previousCount) * tickScale;
    const double speed =
        std::exp(static_cast<double>(speedExponent.load(std::memory_order_relaxed)));
    clockAccumulator = static_cast<float>(clockAccumulator + speed * elapsed);
    return clockAccumulator;
}

void resetDemoClock() {
    std::lock_guard<std::mutex> hold(clockLock);
    counterFrequencyTicks = 0;
    previousCount = 0;
    currentCount = 0;
    tickScale = 0.0f;
    clockAccumulator = 0.0f;
    demoTime = 0.0f;
}
