// The thirteen SyncPoints and the sync procedure that stamps them from the audio thread.
#include "music.h"

#include "clock.h"

SyncPoint syncPoints[syncPointCount];

const int syncInstrument[syncPointCount] = {10, 6, 7, 8, 9, 16, 14, 15, 4, 5, 13, 3, 2};

int syncPointOfInstrument(int instrument) {
    for (int i = 0; i < syncPointCount; ++i) {
        if (syncInstrument[i] == instrument)
            return i;
    }
    return -1;
}

void syncHit(uint32_t, uint32_t, uint32_t, void* user) {
    auto* sync = static_cast<SyncPoint*>(user);
    sync->level.store(1.0f, std::memory_order_relaxed);
    sync->stamp.store(demoClock(), std::memory_order_relaxed);
}
