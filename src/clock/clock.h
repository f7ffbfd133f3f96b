// The demo clock: the performance counter turned into demo time in pattern units (64 rows,
// 7.68 s at speed 1), scaled by the viewer's speed factor. It sits below every other subsystem:
// the music stamps SyncPoints with it, the envelopes, director and effects read it.
#pragma once

#include <atomic>
#include <cstdint>

// The pattern, the clock's unit: 64 rows of 6 ticks at tempo 125 (2.5 / 125 s a tick), 7.68 s
// of music at speed 1. The clock never asks the music for its pace.
constexpr double unitsPerSecond = 125.0 / 960.0;
constexpr double secondsPerUnit = 960.0 / 125.0;

// The show's length: 26 patterns, 199.68 s of music; the first frame past it ends the show.
constexpr double showLength = 26.0;
constexpr double showSeconds = showLength * secondsPerUnit;

// Demo time in pattern units; the idle handler's copy of the clock, constant while a frame is
// drawn. Main thread only.
extern float demoTime;

// Advances the clock by the counter ticks since the previous call (by any caller, any thread),
// scaled by exp(speedExponent), and returns the new accumulator rounded to a float. No
// elapsed time is lost however often it is called: the sum itself is kept in double. While
// the music plays, the platform's counter is its heard position, so time in which no music
// was heard (a stopped process, an underrun) is never counted. A counter reading behind the
// clock's last one (held by the audio thread at the moment a strike was heard) gets the
// clock's time of that moment and counts nothing.
float demoClock();

// Holds the clock at `time`: until runDemoClockFrom, every call returns exactly `time` and
// reads no counter. A jump draws its frames at exact times this way.
void holdDemoClock(float time);
bool demoClockHeld();

// Runs the clock on from `time` as of counter reading `tick`, ending a hold. A tick ahead of
// the counter (the moment a jump's music will be heard) keeps the clock at `time` until the
// counter reaches it; the pace afterwards is the usual one, speed factor included.
void runDemoClockFrom(float time, int64_t tick);

// Moves the clock by `units` without touching its pace or its counter reading: the show's
// loop takes 26 units off at its end.
void shiftDemoClock(double units);

// Speed control in [-7, 7]; read by demoClock on any thread, written by the keyboard handler.
extern std::atomic<float> speedExponent;

// Returns the clock to its state at load (never called, accumulator 0). Tests and the capture
// tool only; not safe while another thread calls demoClock.
void resetDemoClock();

// Puts the clock on the platform's virtual counter and sets it so that its next readings start
// from exactly `time`: the demo time a capture or a still frame is drawn at. Not safe while
// another thread calls demoClock.
void setDemoClockTo(float time);
