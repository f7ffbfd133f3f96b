// The browser side of the platform: the audio clock the demo clock follows, the music buffer
// played through Web Audio, and the per-frame hook. The page creates the AudioContext when the
// viewer starts the show (browsers refuse sound before a gesture) and hands it over as
// Module.paradeAudioContext; without one the show runs silent on the page's clock.
#include "web.h"

#include <emscripten.h>

#include <algorithm>
#include <cmath>

namespace {
bool counterHeld = false;
int64_t heldTicks = 0;
bool counterFrozen = false;
int64_t frozenTicks = 0;
int64_t lastTicks = 0;
void (*frameHook)() = nullptr;

// One second of margin keeps the counter above 0, which the demo clock reads as "never".
constexpr double counterBaseSeconds = 1.0;
constexpr double ticksPerSecond = 1e9;

int64_t ticksOf(double heardSeconds) {
    return static_cast<int64_t>(std::llround((heardSeconds + counterBaseSeconds) * ticksPerSecond));
}
} // namespace

// clang-format off
EM_JS(double, jsHeardSeconds, (), {
    var a = Module.paradeAudio || (Module.paradeAudio = { last: 0, ctxTime: -1, perf: 0 });
    var ctx = Module.paradeAudioContext;
    var now = performance.now() / 1000;
    var t;
    if (!ctx) {
        t = now;
    } else {
        // The audio clock moves in steps of a render quantum or more; between steps it is
        // carried on by the page's clock, at most a tenth of a second (a stalled output stalls
        // the show with it).
        var c = ctx.currentTime;
        if (c !== a.ctxTime) {
            a.ctxTime = c;
            a.perf = now;
        }
        t = c + Math.min(now - a.perf, 0.1) - (ctx.outputLatency || ctx.baseLatency || 0);
    }
    if (t < a.last)
        t = a.last;
    a.last = t;
    return t;
});

EM_JS(double, jsPlayMusic, (const int16_t* samples, double frames, int rate, double loopFrames, double from), {
    var ctx = Module.paradeAudioContext;
    if (!ctx)
        return -1;
    var count = frames | 0;
    // The buffer is made once per song; a jump only starts it again elsewhere.
    var made = Module.paradeSongBuffer;
    if (!made || made.samples !== samples || made.frames !== count || made.rate !== rate) {
        var buffer = ctx.createBuffer(2, Math.max(count, 1), rate);
        var left = buffer.getChannelData(0);
        var right = buffer.getChannelData(1);
        var base = samples >> 1;
        for (var i = 0; i < count; ++i) {
            left[i] = HEAP16[base + 2 * i] / 32768;
            right[i] = HEAP16[base + 2 * i + 1] / 32768;
        }
        made = Module.paradeSongBuffer = { samples: samples, frames: count, rate: rate, buffer: buffer };
    }
    var gain = ctx.createGain();
    gain.connect(ctx.destination);
    var source = ctx.createBufferSource();
    source.buffer = made.buffer;
    if (loopFrames > 0) {
        source.loop = true;
        source.loopStart = 0;
        source.loopEnd = loopFrames / rate;
    }
    source.connect(gain);
    // A short lead lets the first frame be scheduled, not played late.
    var start = ctx.currentTime + 0.05;
    source.start(start, from / rate);
    Module.paradeMusic = { source: source, gain: gain };
    return start;
});

EM_JS(void, jsSetMusicVolume, (int volume), {
    var m = Module.paradeMusic;
    var ctx = Module.paradeAudioContext;
    if (m && ctx)
        m.gain.gain.setTargetAtTime(volume / 100, ctx.currentTime, 0.005);
});

EM_JS(void, jsStopMusic, (), {
    var m = Module.paradeMusic;
    var ctx = Module.paradeAudioContext;
    if (m) {
        // A few milliseconds of fade, so the cut does not click.
        var now = ctx.currentTime;
        m.gain.gain.cancelScheduledValues(now);
        m.gain.gain.setTargetAtTime(0, now, 0.005);
        try { m.source.stop(now + 0.03); } catch (e) {}
        Module.paradeMusic = null;
    }
});

EM_JS(void, jsSetFrameHook, (int on), {
    Module.preMainLoop = on ? function() { Module._webBeforeFrame(); } : undefined;
    // Between frames too, so strikes are taken while the pictures are paused.
    if (Module.paradeHookTimer)
        clearInterval(Module.paradeHookTimer);
    Module.paradeHookTimer = on ? setInterval(function() { Module._webBeforeFrame(); }, 10) : 0;
});

EM_JS(void, jsShowMessage, (const char* message), {
    if (Module.paradeShowMessage)
        Module.paradeShowMessage(UTF8ToString(message));
});
// clang-format on

double webHeardSeconds() {
    return jsHeardSeconds();
}

int64_t webCounterTicks() {
    int64_t ticks = heldTicks;
    if (!counterHeld)
        ticks = counterFrozen ? frozenTicks : ticksOf(jsHeardSeconds());
    lastTicks = std::max(lastTicks, ticks);
    return lastTicks;
}

void webHoldCounterAt(double heardSeconds) {
    counterHeld = true;
    heldTicks = ticksOf(heardSeconds);
}

void webReleaseCounter() {
    counterHeld = false;
}

void webFreezeCounterAt(double heardSeconds) {
    counterFrozen = true;
    frozenTicks = ticksOf(heardSeconds);
}

void webThawCounter() {
    counterFrozen = false;
}

int64_t webTicksOf(double heardSeconds) {
    return ticksOf(heardSeconds);
}

double webPlayMusic(const int16_t* samples, int64_t frames, int rate, int64_t loopFrames,
                    int64_t from) {
    const double start = jsPlayMusic(samples, static_cast<double>(frames), rate,
                                     static_cast<double>(loopFrames), static_cast<double>(from));
    // The heard clock is the context's clock less the output latency, so the frame that the
    // context renders at `start` is heard when the heard clock reads `start`.
    const double heardStart = start >= 0.0 ? start : webHeardSeconds() + 0.05;
    return heardStart;
}

void webSetMusicVolume(int volume) {
    jsSetMusicVolume(std::clamp(volume, 0, 100));
}

void webStopMusic() {
    jsStopMusic();
}

void webBeforeEachFrame(void (*hook)()) {
    frameHook = hook;
    jsSetFrameHook(hook != nullptr ? 1 : 0);
}

void webShowMessage(const char* message) {
    jsShowMessage(message);
}

extern "C" EMSCRIPTEN_KEEPALIVE void webBeforeFrame() {
    if (frameHook != nullptr)
        frameHook();
}
