// Renders a module block by block and finds its strikes (note-ons per instrument) on the way:
// the same code serves live playback and offline rendering. Private to the music subsystem.
#pragma once

#include "music.h"

#include <libopenmpt/libopenmpt.h>

#include <cstdint>
#include <vector>

// At most this many frames per rendered block, so a row change is seen within ~6 ms.
constexpr int scanBlockFrames = 256;

struct ModuleScan {
    openmpt_module* module = nullptr;
    int rate = musicSampleRate;
    int64_t framesRendered = 0;
    int order = -1; // the row playing; -1 before the first block
    int row = -1;
    int pattern = -1;
    int tempo = 0;
    int speed = 0;
    int64_t tickFrames = 0; // predicted length of the current tick
    int64_t nextTick = 0;   // predicted first frame of the next tick
    int64_t rowsBegun = 0;  // rows begun so far, replays included
    int64_t endFrame = -1;  // the song's end when played once: rows seen from here on are the
                            // library's wrap-around during its closing fade; -1 = looping
    int ticksOnRow = 0;     // ticks of the current row already begun, minus one
    int replayTicks = 0;    // ticks after which an unchanged row has replayed; 0: never
    std::vector<int> lastInstrument; // per channel, 0 = none yet
    std::vector<int> lastSParam;     // per channel, the S command's parameter memory
};

// Starts following `module` from its current position (the start of the song). With
// `playedOnce`, no row is begun past the song's length.
void beginModuleScan(ModuleScan& scan, openmpt_module* module, int rate, bool playedOnce);

// Renders up to `maxFrames` (never more than scanBlockFrames) interleaved stereo frames into
// `out` and returns how many; 0 at the end of the song. Appends the strikes of every row that
// begins in this block; a delayed note's strike may lie after the block's end.
int renderScannedBlock(ModuleScan& scan, int16_t* out, int maxFrames, std::vector<Strike>& strikes);
