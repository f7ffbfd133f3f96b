// The soundtrack composer: synthesizes the instruments and arranges the original piece as an
// Impulse Tracker module, then fits its global volume so libopenmpt's rendering keeps a
// safe peak.
#pragma once

#include "itwriter.h"

#include <string>
#include <vector>

constexpr int sampleRate = 44100;

// The sixteen instruments of the piece, in module order (instrument 1 first). Each sound is
// made here from oscillators, noise and filters; the same bytes on every run.
std::vector<ItInstrument> synthesizeInstruments();

// The whole piece at global volume 128: tempo 125, speed 6, 64-row patterns, one order per
// pattern (27 patterns: the 26 of the show and the ending).
ItModule composeSoundtrack();

// Renders the module with libopenmpt (44.1 kHz stereo, default settings, played once) and
// returns its sample peak as a linear value (1.0 = full scale). False with `error` when
// libopenmpt refuses the module or logs a warning.
bool renderPeak(const ItModule& module, double& peak, std::string& error);

// Lowers module.globalVolume until the rendered peak is at most `limitDb` dBFS. False with
// `error` when it cannot.
bool fitGlobalVolume(ItModule& module, double limitDb, double& peakDb, std::string& error);
