// What the platform floor's files share among themselves, one definition per operating system:
// process.cpp and alsa_quiet.cpp on Linux, process_win.cpp on Windows.
#pragma once

#include <cstdint>

// A steady clock in nanoseconds (any start), for the performance counter.
int64_t monotonicNanoseconds();

// While on, the sound system's own error lines are kept off the console: SDL probing for a
// sound card that is not there makes ALSA print them, and the audio output's one line about
// the silent output says what happened instead.
void quietAudioLibrary(bool on);
