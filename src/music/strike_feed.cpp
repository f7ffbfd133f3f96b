// The strike feed: the offline strike list turned into SyncPoint stamps up to any demo time,
// so that a capture, a still or a jump puts the SyncPoints where the live music would have.
#include "music.h"

#include <algorithm>

float stampOfSample(int64_t sample) {
    return static_cast<float>(static_cast<double>(sample) / musicSampleRate * unitsPerSecond);
}

StrikeFeed makeStrikeFeed(const std::vector<Strike>& strikes,
                          const std::vector<ExtraStrike>& extra) {
    StrikeFeed feed;
    for (const Strike& strike : strikes) {
        const int syncPoint = syncPointOfInstrument(strike.instrument);
        if (syncPoint >= 0)
            feed.strikes.push_back({syncPoint, stampOfSample(strike.samplePosition)});
    }
    for (const ExtraStrike& strike : extra) {
        const int syncPoint = syncPointOfInstrument(strike.instrument);
        if (syncPoint >= 0)
            feed.strikes.push_back({syncPoint, static_cast<float>(strike.time)});
    }
    std::stable_sort(feed.strikes.begin(), feed.strikes.end(),
                     [](const TimedStrike& a, const TimedStrike& b) { return a.stamp < b.stamp; });
    return feed;
}

void rewindStrikeFeed(StrikeFeed& feed) {
    for (SyncPoint& sync : syncPoints) {
        sync.level.store(0.0f, std::memory_order_relaxed);
        sync.stamp.store(0.0f, std::memory_order_relaxed);
    }
    feed.next = 0;
}

void feedStrikesUpTo(StrikeFeed& feed, float time) {
    while (feed.next < feed.strikes.size() && feed.strikes[feed.next].stamp <= time) {
        const TimedStrike& strike = feed.strikes[feed.next++];
        syncPoints[strike.syncPoint].level.store(1.0f, std::memory_order_relaxed);
        syncPoints[strike.syncPoint].stamp.store(strike.stamp, std::memory_order_relaxed);
    }
}
