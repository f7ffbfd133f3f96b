// The performance counter: CLOCK_MONOTONIC in nanoseconds (in the browser, the heard position
// of the audio output), or a virtual counter that the capture tool and the tests move by hand.
#include "platform.h"

#ifdef __EMSCRIPTEN__
#include "web/web.h"
#endif

#include <atomic>
#include <cmath>
#include <ctime>

namespace {
constexpr int64_t nanosecondsPerSecond = 1000000000;
std::atomic<bool> virtualCounter{false};
std::atomic<int64_t> virtualTicks{1};
std::atomic<int64_t> virtualFrequency{nanosecondsPerSecond};
} // namespace

int64_t counterFrequency() {
    if (virtualCounter.load(std::memory_order_acquire))
        return virtualFrequency.load(std::memory_order_acquire);
    return nanosecondsPerSecond;
}

int64_t counterNow() {
    if (virtualCounter.load(std::memory_order_acquire))
        return virtualTicks.load(std::memory_order_acquire);
#ifdef __EMSCRIPTEN__
    return webCounterTicks();
#else
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * nanosecondsPerSecond + now.tv_nsec;
#endif
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
