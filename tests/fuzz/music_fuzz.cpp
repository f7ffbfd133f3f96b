// Feeds arbitrary bytes to module loading and offline rendering with strike detection, and
// checks what comes back: strikes in order, inside the song, on real instruments and channels.
#include "music.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {
// Long enough for a few rows at any pace, short enough for many inputs a second.
constexpr double limitSeconds = 0.5;
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    OfflineRender out;
    std::string error;
    if (!renderModuleBytesOffline(data, size, limitSeconds, out, error)) {
        if (error.empty() || !out.pcm.empty() || !out.strikes.empty())
            std::abort();
        return 0;
    }
    const int64_t frames = static_cast<int64_t>(out.pcm.size() / 2);
    int64_t previous = 0;
    for (const Strike& strike : out.strikes) {
        // A delayed note lies at most 15 ticks of 3445 frames (tempo 32) after its row.
        const bool sane = strike.samplePosition >= previous &&
                          strike.samplePosition < frames + 15 * 3445 && strike.instrument > 0 &&
                          strike.instrument < 256 && strike.channel >= 0 && strike.channel < 256 &&
                          strike.note >= 1 && strike.note <= 120 && strike.tick >= 0 &&
                          strike.tick < 16 && strike.order >= 0 && strike.row >= 0;
        if (!sane)
            std::abort();
        previous = strike.samplePosition;
    }
    return 0;
}
