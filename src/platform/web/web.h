// Browser services of the web build: the heard position of the page's Web Audio output (the
// clock the show follows), one buffer of music played through it, a hook before every frame,
// and the page's side of the popup menu. Only the web build compiles and uses this.
#pragma once

#include <cstdint>

// Seconds of the page's audio clock that the listener has heard: AudioContext.currentTime less
// its output latency, carried on by the page's own clock between the audio clock's steps and
// never going back. Without Web Audio, the page's own clock.
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
// round), in place of what played before. Returns the heard-clock time of frame `from` (a
// moment from now when the page has no audio, so the show runs silent on the page's clock).
double webPlayMusic(const int16_t* samples, int64_t frames, int rate, int64_t loopFrames,
                    int64_t from);

// The performance counter's reading at heard-clock time `heardSeconds`.
int64_t webTicksOf(double heardSeconds);

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
