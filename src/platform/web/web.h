// Browser services of the web build: the heard position of the page's Web Audio output (the
// clock the show follows), one buffer of music played through it, a hook before every frame,
// and the page's side of the popup menu. Only the web build compiles and uses this.
#pragma once

#include <cstdint>

// Seconds of music the listener has heard on a clock that never goes back: the AudioContext's
// clock while it runs, the page's own clock where it cannot (no output, refused, suspended),
// so the show never freezes for want of sound.
double webHeardSeconds();

// The performance counter in nanoseconds of webHeardSeconds(), never going back. While held,
// it reads the held time (so a sync stamps the moment its strike is heard); while frozen, the
// time it was frozen at (so reads between two strike checks never pass a strike not yet
// fired, which would make its stamp late).
int64_t webCounterTicks();
void webHoldCounterAt(double heardSeconds);
void webReleaseCounter();
void webFreezeCounterAt(double heardSeconds);
void webThawCounter();

// Plays `frames` interleaved 16-bit stereo frames at `rate` Hz as one Web Audio buffer from
// frame `from` on, going round to the start after its first `loopFrames` frames (0: no going
// round), in place of what played before. Returns the heard-clock time of frame `from`, a
// moment from now. Where the page has no running audio the show goes on silent on the page's
// clock, and once the audio runs (again) the music starts at the place the clock has reached.
double webPlayMusic(const int16_t* samples, int64_t frames, int rate, int64_t loopFrames,
                    int64_t from);

// The performance counter's reading at heard-clock time `heardSeconds`.
int64_t webTicksOf(double heardSeconds);

// Makes the Web Audio buffer of those frames ahead of time (while the page loads), so that
// webPlayMusic with the same frames only starts it.
void webPrepareMusic(const int16_t* samples, int64_t frames, int rate);

// Output volume 0 to 100, ramped over a few milliseconds so a step does not click.
void webSetMusicVolume(int volume);

// Stops the music within a few milliseconds (a short fade, no click); nothing happens when
// none plays.
void webStopMusic();

// Calls `hook` before every frame the browser draws and every 10 ms between frames (nullptr:
// no hook).
void webBeforeEachFrame(void (*hook)());

// A full-screen-capable page reports problems it should show: `message` appears over the
// canvas. Used for failures the program finds itself (bad data, bad query).
void webShowMessage(const char* message);
