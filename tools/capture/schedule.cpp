// The frame schedule: which demo time each frame shows, and the sound that goes with the frames.
#include "capture.h"

#include <algorithm>
#include <cmath>

int64_t frameCount(const CaptureOptions& options) {
    // The slack keeps a last frame that lies exactly on `to`, whatever the rounding.
    const double frames = (options.to - options.from) / unitsPerSecond *
                          static_cast<double>(options.fpsNumerator) /
                          static_cast<double>(options.fpsDenominator);
    return static_cast<int64_t>(std::floor(frames + 1e-6)) + 1;
}

double frameTimeAt(const CaptureOptions& options, int64_t k) {
    // k x denominator x 125 is exact in a double; one rounding for the division.
    const double time = options.from + static_cast<double>(k) *
                                           static_cast<double>(options.fpsDenominator) * 125.0 /
                                           (static_cast<double>(options.fpsNumerator) * 960.0);
    // Never past `to`: a frame past the show's end would end the process inside drawFrame.
    return k < frameCount(options) ? std::min(time, options.to) : time;
}

std::vector<int16_t> soundSlice(const std::vector<int16_t>& pcm, double startSeconds,
                                double seconds) {
    const int64_t first = std::llround(startSeconds * musicSampleRate);
    const int64_t frames = std::max<int64_t>(0, std::llround(seconds * musicSampleRate));
    std::vector<int16_t> sound(static_cast<size_t>(frames) * 2, 0);
    const int64_t available = static_cast<int64_t>(pcm.size() / 2);
    const int64_t copied = std::max<int64_t>(0, std::min(frames, available - first));
    if (copied > 0)
        std::copy(pcm.begin() + first * 2, pcm.begin() + (first + copied) * 2, sound.begin());
    return sound;
}

std::vector<int16_t> soundForFrames(const std::vector<int16_t>& pcm, const CaptureOptions& options,
                                    int64_t count) {
    const double seconds = static_cast<double>(count) *
                           static_cast<double>(options.fpsDenominator) /
                           static_cast<double>(options.fpsNumerator);
    return soundSlice(pcm, options.from / unitsPerSecond, seconds);
}
