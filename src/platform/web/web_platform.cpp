// The browser side of the platform: the heard clock the demo clock follows, the music buffer
// played through Web Audio, and the per-frame hook. The page creates the AudioContext when the
// viewer starts the show (browsers refuse sound before a gesture) and hands it over as
// Module.paradeAudioContext; without one, or while it cannot run, the show runs silent on the
// page's clock and the page is told (Module.paradeSoundChanged).
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

// The heard clock and the music, in one object on the module. The clock has three modes:
// "audio" follows the AudioContext's clock (carried on by the page's clock between its steps,
// at most a tenth of a second); "page" runs on the page's own clock, where the context cannot
// run (no output device, refused, suspended later, or its clock stalled for half a second);
// "wait" holds still for up to a second after the music is asked to play while the context
// starts. Whenever the context runs again, the music is started at the place the pictures
// have reached, and the clock follows it from there.
EM_JS(void, jsInstallSound, (), {
    var s = {
        mode: 'page', last: 0, anchorHeard: 0, anchorPerf: performance.now() / 1000,
        anchorCtx: 0, ctxSeen: -1, ctxSeenPerf: 0, ctxAtLeave: 0, waitUntil: 0, music: null,
        sounding: false,
    };
    Module.paradeSound = s;
    function tell(on) {
        if (Module.paradeSoundChanged)
            Module.paradeSoundChanged(on);
    }
    function latency(ctx) {
        return ctx.outputLatency || ctx.baseLatency || 0;
    }
    function stopSource(m) {
        if (m.source) {
            try { m.source.stop(); } catch (e) {}
            m.source.disconnect();
            m.source = null;
        }
    }
    // Plays the music from the place the clock says, each sample heard when the clock reads
    // its place in the song.
    function enterAudio(ctx, m, now) {
        var lat = latency(ctx);
        var anchor = s.last;
        // Before the song begins, its first sample is scheduled whole: the clock may wait.
        if (s.last < m.songStart)
            anchor = Math.min(s.last, m.songStart - lat - 0.02);
        s.mode = 'audio';
        s.anchorHeard = anchor;
        s.anchorCtx = ctx.currentTime;
        s.ctxSeen = ctx.currentTime;
        s.ctxSeenPerf = now;
        var when = s.anchorCtx + (m.songStart - anchor) - lat;
        var earliest = ctx.currentTime + 0.02;
        var offset = m.from;
        if (when < earliest) {
            offset += earliest - when;
            when = earliest;
        }
        // Past the lap the song goes round to its start.
        if (m.lap > 0 && offset >= m.lap)
            offset %= m.lap;
        if (m.lap > 0 || offset < m.buffer.duration) {
            var source = ctx.createBufferSource();
            source.buffer = m.buffer;
            if (m.lap > 0) {
                source.loop = true;
                source.loopStart = 0;
                source.loopEnd = m.lap;
            }
            source.connect(m.gain);
            source.start(when, offset);
            m.source = source;
        }
        s.sounding = true;
        tell(true);
    }
    function enterPage(now, silent) {
        var ctx = Module.paradeAudioContext;
        s.mode = 'page';
        s.anchorHeard = s.last;
        s.anchorPerf = now;
        s.ctxAtLeave = ctx ? ctx.currentTime : 0;
        if (s.music)
            stopSource(s.music);
        if (silent) {
            s.sounding = false;
            tell(false);
        }
    }
    s.read = function() {
        var now = performance.now() / 1000;
        var ctx = Module.paradeAudioContext;
        var m = s.music;
        var running = !!ctx && ctx.state === 'running';
        if (ctx && ctx.currentTime !== s.ctxSeen) {
            s.ctxSeen = ctx.currentTime;
            s.ctxSeenPerf = now;
        }
        if (s.mode === 'audio') {
            if (!m)
                enterPage(now, false);
            else if (!running || now - s.ctxSeenPerf > 0.5)
                enterPage(now, true);
        } else if (m && m.buffer && running && ctx.currentTime > s.ctxAtLeave + 0.02) {
            enterAudio(ctx, m, now);
        } else if (s.mode === 'wait' && now >= s.waitUntil) {
            enterPage(now, true);
        }
        var t = s.last;
        if (s.mode === 'audio')
            t = s.anchorHeard + (s.ctxSeen - s.anchorCtx) + Math.min(now - s.ctxSeenPerf, 0.1);
        else if (s.mode === 'page')
            t = s.anchorHeard + (now - s.anchorPerf);
        if (t > s.last)
            s.last = t;
        return s.last;
    };
    // The song's samples as an AudioBuffer, made once per song (while the page loads, or at
    // the first play): a jump only starts it again elsewhere.
    function songBuffer(ctx, samples, frames, rate) {
        var b = Module.paradeSongBuffer;
        if (b && b.samples === samples && b.frames === frames && b.rate === rate)
            return b.buffer;
        var buffer = ctx.createBuffer(2, Math.max(frames, 1), rate);
        s.fill(buffer, samples, frames);
        Module.paradeSongBuffer = { samples: samples, frames: frames, rate: rate, buffer: buffer };
        return buffer;
    }
    s.fill = function(buffer, samples, frames) {
        var left = buffer.getChannelData(0);
        var right = buffer.getChannelData(1);
        var base = samples >> 1;
        for (var i = 0; i < frames; ++i) {
            left[i] = HEAP16[base + 2 * i] / 32768;
            right[i] = HEAP16[base + 2 * i + 1] / 32768;
        }
    };
    s.play = function(samples, frames, rate, lapFrames, from) {
        var now = performance.now() / 1000;
        var ctx = Module.paradeAudioContext;
        s.read();
        // A short lead lets the first sample be scheduled, not played late. `songStart` is
        // where on the clock sample `from` is heard.
        var m = {
            songStart: s.last + 0.05, from: from / rate, lap: lapFrames > 0 ? lapFrames / rate : 0,
            buffer: null, gain: null, source: null,
        };
        s.music = m;
        Module.paradeMusic = m;
        if (!ctx) {
            enterPage(now, true);
            return m.songStart;
        }
        m.buffer = songBuffer(ctx, samples, frames, rate);
        m.gain = ctx.createGain();
        m.gain.connect(ctx.destination);
        // A jump while the sound runs plays on at once; a first start waits for the context.
        if (s.sounding && ctx.state === 'running') {
            enterAudio(ctx, m, now);
            return m.songStart;
        }
        s.mode = 'wait';
        s.waitUntil = now + 1.0;
        s.ctxAtLeave = ctx.currentTime;
        s.read();
        return m.songStart;
    };
    s.volume = function(volume) {
        var ctx = Module.paradeAudioContext;
        if (s.music && s.music.gain && ctx)
            s.music.gain.gain.setTargetAtTime(volume / 100, ctx.currentTime, 0.005);
    };
    s.stop = function() {
        var m = s.music;
        var ctx = Module.paradeAudioContext;
        s.music = null;
        Module.paradeMusic = null;
        if (!m || !ctx || !m.gain)
            return;
        // A few milliseconds of fade, so the cut does not click.
        var now = ctx.currentTime;
        m.gain.gain.cancelScheduledValues(now);
        m.gain.gain.setTargetAtTime(0, now, 0.005);
        if (m.source) {
            try { m.source.stop(now + 0.03); } catch (e) {}
        }
    };
});

EM_JS(double, jsHeardSeconds, (), {
    return Module.paradeSound.read();
});

EM_JS(double, jsPlayMusic, (const int16_t* samples, double frames, int rate, double lapFrames, double from), {
    return Module.paradeSound.play(samples, frames | 0, rate, lapFrames, from);
});

EM_JS(void, jsPrepareSound, (const int16_t* samples, double frames, int rate), {
    // Made before the viewer's click, so the click only starts it; browsers without the
    // AudioBuffer constructor make it then.
    Module.paradeSongBuffer = null;
    try {
        var count = frames | 0;
        var b = new AudioBuffer({ numberOfChannels: 2, length: Math.max(count, 1), sampleRate: rate });
        Module.paradeSound.fill(b, samples, count);
        Module.paradeSongBuffer = { samples: samples, frames: count, rate: rate, buffer: b };
    } catch (e) {}
});

EM_JS(void, jsSetMusicVolume, (int volume), {
    Module.paradeSound.volume(volume);
});

EM_JS(void, jsStopMusic, (), {
    Module.paradeSound.stop();
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

namespace {
bool soundInstalled = false;

void installSound() {
    if (!soundInstalled) {
        soundInstalled = true;
        jsInstallSound();
    }
}

} // namespace

double webHeardSeconds() {
    installSound();
    return jsHeardSeconds();
}

int64_t webCounterTicks() {
    int64_t ticks = heldTicks;
    if (!counterHeld)
        ticks = counterFrozen ? frozenTicks : ticksOf(webHeardSeconds());
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
    installSound();
    return jsPlayMusic(samples, static_cast<double>(frames), rate, static_cast<double>(loopFrames),
                       static_cast<double>(from));
}

void webPrepareMusic(const int16_t* samples, int64_t frames, int rate) {
    installSound();
    jsPrepareSound(samples, static_cast<double>(frames), rate);
}

void webSetMusicVolume(int volume) {
    installSound();
    jsSetMusicVolume(std::clamp(volume, 0, 100));
}

void webStopMusic() {
    installSound();
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
