// Sync envelopes: intensities from the rows since a SyncPoint's stamp, measured against the
// live clock. Intermediate values are doubles, rounded to float where the curve's steps
// compare or divide them.
#include "music.h"

#include "clock.h"

#include <cmath>

namespace {
double rowsSince(const SyncPoint& sync) {
    const double now = demoClock();
    return (now - sync.stamp.load(std::memory_order_relaxed)) * 64.0;
}

float decayCurve(float u) {
    return static_cast<float>(std::exp(-u / std::log(2.0)));
}
} // namespace

float linearDecay(const SyncPoint& sync, float length) {
    const float v = static_cast<float>(1.0 - rowsSince(sync) / length);
    if (v < 0.0f || std::isnan(v))
        return 0.0f;
    return v > 1.0f ? 1.0f : v;
}

float expDecay(const SyncPoint& sync, float length) {
    const float u = static_cast<float>(rowsSince(sync) / length);
    if (u < 0.0f || std::isnan(u))
        return 0.0f;
    return decayCurve(u);
}

float gatedDecay(const SyncPoint& sync, float length, float gate) {
    const float r = static_cast<float>(rowsSince(sync));
    if (r >= gate)
        return 1.0f;
    const float u = static_cast<float>(static_cast<double>(r) / length);
    if (u < 0.0f || std::isnan(u))
        return 1.0f;
    return decayCurve(u);
}
