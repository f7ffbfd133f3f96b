// The demo clock: the performance counter turned into pattern units, scaled by the speed
// factor. The sum is kept in double precision and handed out as a 32-bit float: a float sum
// would drop every increment below half a unit in its last place (about 7.3 us of real time
// past t = 16), and the envelopes call the clock hundreds of times a frame. The update is
// kept whole by one mutex because the audio thread calls the clock too.
#include "clock.h"

#include "platform.h"

#include <algorithm>
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
double clockAccumulator = 0.0;
bool held = false;
float heldTime = 0.0f;
double startTime = 0.0; // where runDemoClockFrom last set the clock

// The first call's work: the frequency, read once, and the scale from it (lock held).
void startCounting() {
    counterFrequencyTicks = counterFrequency();
    tickScale = static_cast<float>(1.0 / static_cast<double>(counterFrequencyTicks));
    tickScale = static_cast<float>(unitsPerSecond * tickScale);
}
} // namespace

float demoClock() {
    std::lock_guard<std::mutex> hold(clockLock);
    if (held)
        return heldTime;
    if (previousCount == 0) {
        startCounting();
        currentCount = counterNow();
    }
    const int64_t reading = counterNow();
    const double speed =
        std::exp(static_cast<double>(speedExponent.load(std::memory_order_relaxed)));
    if (reading < currentCount) {
        // A reading behind the last one: a start set ahead (runDemoClockFrom), where the clock
        // waits, or a counter held at a moment just past (a strike heard a little before its
        // sync is called), which gets the clock's time of that moment. Nothing is counted.
        const double back = static_cast<double>(currentCount - reading) * tickScale * speed;
        return static_cast<float>(std::max(startTime, clockAccumulator - back));
    }
    previousCount = currentCount;
    currentCount = reading;
    const double elapsed = static_cast<double>(currentCount - previousCount) * tickScale;
    clockAccumulator += speed * elapsed;
    return static_cast<float>(clockAccumulator);
}

void resetDemoClock() {
    std::lock_guard<std::mutex> hold(clockLock);
    counterFrequencyTicks = 0;
    previousCount = 0;
    currentCount = 0;
    tickScale = 0.0f;
    clockAccumulator = 0.0;
    held = false;
    startTime = 0.0;
    demoTime = 0.0f;
}

void holdDemoClock(float time) {
    std::lock_guard<std::mutex> hold(clockLock);
    held = true;
    heldTime = time;
}

bool demoClockHeld() {
    std::lock_guard<std::mutex> hold(clockLock);
    return held;
}

void runDemoClockFrom(float time, int64_t tick) {
    std::lock_guard<std::mutex> hold(clockLock);
    if (counterFrequencyTicks == 0)
        startCounting();
    held = false;
    clockAccumulator = time;
    startTime = time;
    // Never 0, which reads as "never called".
    previousCount = currentCount = std::max<int64_t>(tick, 1);
}

void shiftDemoClock(double units) {
    std::lock_guard<std::mutex> hold(clockLock);
    clockAccumulator += units;
    startTime += units;
}

void setDemoClockTo(float time) {
    constexpr int64_t frequency = 1000000000000;
    constexpr int64_t base = 1;
    useVirtualCounter(base, frequency);
    // A fine counter (a tick is 1.3e-13 units) lets one clock step land on any float time;
    // the scale is the clock's own, rounded as it rounds it.
    const float scale = static_cast<float>(
        unitsPerSecond * static_cast<float>(1.0 / static_cast<double>(frequency)));
    int64_t ticks = std::llround(static_cast<double>(time) / scale);
    for (int attempt = 0; attempt < 8; ++attempt) {
        resetDemoClock();
        setVirtualCounter(base);
        demoClock();
        setVirtualCounter(base + ticks);
        const float reading = demoClock();
        if (reading == time)
            return;
        const double miss = static_cast<double>(time) - static_cast<double>(reading);
        ticks += std::llround(miss / scale) + (miss > 0.0 ? 1 : -1);
    }
}
