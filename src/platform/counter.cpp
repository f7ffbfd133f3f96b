// The performance counter: the monotonic clock in nanoseconds, held to what the audio output's
// listener has heard while the music plays (in the browser, always the heard position of the
// page's audio), or a virtual counter that the capture tool and the tests move by hand.
#include "platform.h"
#include "platform_internal.h"

#ifdef __EMSCRIPTEN__
#include "web/web.h"
#endif

#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>

namespace {
constexpr int64_t nanosecondsPerSecond = 1000000000;
std::atomic<bool> virtualCounter{false};
std::atomic<int64_t> virtualTicks{1};
std::atomic<int64_t> virtualFrequency{nanosecondsPerSecond};
thread_local bool threadHeld = false;
thread_local int64_t threadHeldTicks = 0;

#ifndef __EMSCRIPTEN__
// A sound card's heard position comes in steps of its buffer, so the counter runs on the
// monotonic clock and is pulled toward it: at most half a percent faster or slower, or at once
// when they are a frame at 60 Hz apart (a stall: the process or the machine stopped, the
// output ran dry). The silent output's position is exact and followed as it is.
constexpr double snapNanoseconds = 1e9 / 60.0;
constexpr double slewRate = 0.005;

std::mutex counterMutex;
bool following = false;
double monotonicOffset = 0.0; // reading = monotonic + offset
double heardBase = 0.0;       // reading at which output frame 0 is heard, while following
int64_t lastMonotonic = 0;
int64_t lastReading = 1;

double framesToNanoseconds(int64_t frames, int rate) {
    return static_cast<double>(frames) * nanosecondsPerSecond / rate;
}

// The reading now (lock held).
int64_t realReading() {
    const int64_t monotonic = monotonicNanoseconds();
    double reading = static_cast<double>(monotonic) + monotonicOffset;
    int64_t frames = 0;
    int rate = 0;
    bool exact = false;
    if (following && audioOutputHeardPosition(frames, rate, exact) && rate > 0) {
        const double heard = heardBase + framesToNanoseconds(frames, rate);
        const double ahead = reading - heard;
        if (exact || std::fabs(ahead) > snapNanoseconds) {
            monotonicOffset -= ahead;
        } else {
            const double most = slewRate * static_cast<double>(monotonic - lastMonotonic);
            monotonicOffset -= std::clamp(ahead, -most, most);
        }
        reading = static_cast<double>(monotonic) + monotonicOffset;
    }
    lastMonotonic = monotonic;
    lastReading = std::max(lastReading, static_cast<int64_t>(std::llround(reading)));
    return lastReading;
}
#endif
} // namespace

int64_t counterFrequency() {
    if (virtualCounter.load(std::memory_order_acquire))
        return virtualFrequency.load(std::memory_order_acquire);
    return nanosecondsPerSecond;
}

int64_t counterNow() {
    if (threadHeld)
        return threadHeldTicks;
    if (virtualCounter.load(std::memory_order_acquire))
        return virtualTicks.load(std::memory_order_acquire);
#ifdef __EMSCRIPTEN__
    return webCounterTicks();
#else
    std::lock_guard<std::mutex> lock(counterMutex);
    return realReading();
#endif
}

void followAudioOutput(bool on) {
#ifndef __EMSCRIPTEN__
    std::lock_guard<std::mutex> lock(counterMutex);
    const int64_t reading = realReading();
    if (on && !following) {
        int64_t frames = 0;
        int rate = 0;
        bool exact = false;
        if (!audioOutputHeardPosition(frames, rate, exact) || rate <= 0)
            return;
        heardBase = static_cast<double>(reading) - framesToNanoseconds(frames, rate);
    }
    following = on;
    // Either way the reading goes on from where it is.
    monotonicOffset = static_cast<double>(reading - lastMonotonic);
#else
    (void)on;
#endif
}

int64_t counterTicksWhenHeard(int64_t outputFrame) {
#ifndef __EMSCRIPTEN__
    if (!virtualCounter.load(std::memory_order_acquire)) {
        std::lock_guard<std::mutex> lock(counterMutex);
        int64_t frames = 0;
        int rate = 0;
        bool exact = false;
        if (following && audioOutputHeardPosition(frames, rate, exact) && rate > 0)
            return static_cast<int64_t>(
                std::llround(heardBase + framesToNanoseconds(outputFrame, rate)));
    }
#else
    (void)outputFrame;
#endif
    return counterNow();
}

void holdCounterOnThisThread(int64_t ticks) {
    threadHeld = true;
    threadHeldTicks = ticks;
}

void releaseCounterOnThisThread() {
    threadHeld = false;
}

void useVirtualCounter(int64_t start, int64_t frequency) {
    virtualTicks.store(start, std::memory_order_release);
    virtualFrequency.store(frequency, std::memory_order_release);
    virtualCounter.store(true, std::memory_order_release);
}

void setVirtualCounter(int64_t ticks) {
    virtualTicks.store(ticks, std::memory_order_release);
}

void advanceVirtualCounter(int64_t ticks) {
    virtualTicks.fetch_add(ticks, std::memory_order_acq_rel);
}

int64_t secondsToTicks(double seconds) {
    return static_cast<int64_t>(std::llround(seconds * static_cast<double>(counterFrequency())));
}
