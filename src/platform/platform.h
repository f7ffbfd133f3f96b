// Platform services: the high-resolution performance counter (real or virtual), the one
// millisecond sleep, the immediate process exit, the console's character set, opening files,
// and a private X server for headless rendering (Linux). Everything above this layer reaches
// the operating system through here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Ticks per second of the performance counter.
int64_t counterFrequency();

// The performance counter now, in nanoseconds: CLOCK_MONOTONIC, or while followAudioOutput is
// on, the position the audio output's listener has heard (on the silent output exactly, on a
// sound card smoothed to within a frame at 60 Hz), so that time in which no sound was heard (a
// stopped process, a sleeping machine, an underrun) does not count; or the virtual counter
// once useVirtualCounter() has been called. It never goes back.
int64_t counterNow();

// Holds the counter, for the calling thread only, at `ticks` until released: the audio thread
// calls a strike's sync with the counter at the moment the strike was heard, so that the
// stamp is that moment however late the thread got to it.
void holdCounterOnThisThread(int64_t ticks);
void releaseCounterOnThisThread();

// While on (and the counter is not virtual), the counter follows the output's heard position,
// going on from its reading at the moment it is turned on or off. The music turns it on while
// it plays.
void followAudioOutput(bool on);

// The counter's reading at which the output frame `outputFrame` is heard (frames counted from
// the output's opening, as flushAudioOutput returns them), while the counter follows the
// output; otherwise the counter now.
int64_t counterTicksWhenHeard(int64_t outputFrame);

// Switches the counter to a virtual one that only moves when told to; it starts at `start`
// ticks (never 0, which the demo clock reads as "never called") and reports `frequency` ticks
// per second. Tests and the capture tool use it.
void useVirtualCounter(int64_t start = 1, int64_t frequency = 1000000000);
void setVirtualCounter(int64_t ticks);
void advanceVirtualCounter(int64_t ticks);

// Converts seconds to ticks of the counter's current frequency (rounded to the nearest tick).
int64_t secondsToTicks(double seconds);

void sleepOneMillisecond();

// True when the console shows UTF-8: the locale's character set on Linux, the console's output
// code page on Windows.
bool consoleSpeaksUtf8();

// Opens `path` for reading in binary mode, not handed to child processes, without waiting for
// a FIFO's writer (reads from it then block as usual). The descriptor, or -1 with errno set.
int openForReading(const char* path);

// Creates or empties `path` for writing in binary mode, not handed to child processes, and
// writes to it never wait: a full pipe fails with EAGAIN, and a FIFO that nobody reads yet
// fails to open with ENXIO. The descriptor, or -1 with errno set.
int openForWritingNow(const char* path);

// Ends the process at once with `status`: no atexit handlers, no static destructors.
[[noreturn]] void exitImmediately(int status);

// Starts a private Xvfb with a screen of width x height x 24 on a free display number and
// points DISPLAY at it. Returns the display name (":N"), or "" with `error` filled when Xvfb
// cannot be started. The server is stopped by stopPrivateXServer() or when the process ends,
// however it ends: it gets SIGTERM when the thread that started it dies, so start it from the
// main thread.
std::string startPrivateXServer(int width, int height, std::string& error);
void stopPrivateXServer();

// ---- Audio output -----------------------------------------------------------------------------

// Opens the default sound device for interleaved 16-bit stereo at `rate` Hz, played from a
// queue at volume 100. When no device can be opened (or only SDL's dummy driver, which plays
// nothing), a silent output takes its place that consumes the queue in real time; one line on
// standard error says so, and the audio library's own messages are kept off the console.
// Returns false only when an output is already open.
bool openAudioOutput(int rate);

// True when the open output is the silent one.
bool audioOutputIsSilent();

// Called often by the thread that feeds the output. When the device has gone away (its sound
// server ended, it was unplugged), says so in one line on standard error and lets the silent
// output go on from the heard position; from then on the default device is tried every half
// second, and once it opens (said in one line) it plays on from the heard position.
void keepAudioOutput();

// Appends `frames` stereo frames to the output's queue.
void queueAudioFrames(const int16_t* samples, int frames);

// Output volume 0 to 100, applied to frames as they leave the queue for the device (ramped
// over a few frames), so a change is heard within one device buffer.
void setAudioOutputVolume(int volume);

// Frames queued so far that the listener has heard (or, silent, that real time has consumed).
int64_t audioFramesHeard();

// Frames queued but not yet heard.
int64_t audioFramesPending();

// Drops the frames queued that the device has not taken yet, so that what is queued next is
// heard next, and returns the output frame at which it will be heard (frames counted from the
// output's opening). A jump in the music uses it.
int64_t flushAudioOutput();

// The heard position for the counter: frames heard, the output's rate, and whether the
// position is exact (the silent output) rather than estimated from the device's callbacks.
// False when no output is open.
bool audioOutputHeardPosition(int64_t& frames, int& rate, bool& exact);

// Stops and closes the output after the frames the device already holds have played (at most
// 50 ms); nothing happens when none is open.
void closeAudioOutput();

// Tests and measurements: with `on`, every frame the output plays from now on is kept, as
// heard (volume applied); turning it on or off forgets what was kept.
void recordAudioOutput(bool on);
std::vector<int16_t> recordedAudioOutput();
