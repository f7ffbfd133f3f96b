// The demo clock: the performance counter turned into demo time in pattern units (64 rows,
// 7.68 s at speed 1), scaled by the viewer's speed factor. It sits below every other subsystem:
// the music stamps SyncPoints with it, the envelopes, director and effects read it.
#pragma once

#include <atomic>

// Demo time in pattern units; the idle handler's copy of the clock, constant while a frame is
// drawn. Main thread only.
extern float demoTime;

// Advances the clock by the counter ticks since the previous call (by any caller, any thread),
// scaled by exp(speedExponent), and returns the new accumulator rounded to a float. No
// elapsed time is lost however often it is called: the sum itself is kept in double.
float demoClock();

// Speed control in [-7, 7]; read by demoClock on any thread, written by the keyboard handler.
extern std::atomic<float> speedExponent;

// Returns the clock to its state at load (never called, accumulator 0). Tests and the capture
// tool only; not safe while another thread calls demoClock.
void resetDemoClock();

// Puts the clock on the platform's virtual counter and sets it so that its next readings start
// from exactly `time`: the demo time a capture or a still frame is drawn at. Not safe while
// another thread calls demoClock.
void setDemoClockTo(float time);
