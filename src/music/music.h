// Music and syncs: plays the module through our audio layer (libopenmpt rendering, SDL2 or a
// silent real-time output), stamps the demo clock into a SyncPoint each time a watched
// instrument is struck, and turns the rows since a stamp into flash and pulse envelopes.
// Also renders a whole module offline, with its list of strikes, and turns that list into the
// SyncPoints' state at any moment: the one schedule of strikes for captures, stills and jumps.
#pragma once

#include "clock.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One watched instrument's last hit: level is 1.0 once hit, stamp the demo clock at the hit.
// Written on the audio thread, read by the envelopes on the render thread.
struct SyncPoint {
    std::atomic<float> level{0.0f};
    std::atomic<float> stamp{0.0f};
};

constexpr int syncPointCount = 13;

// SyncPoints 0 to 12 belong to instruments 10, 6, 7, 8, 9, 16, 14, 15, 4, 5, 13, 3, 2.
extern SyncPoint syncPoints[syncPointCount];
extern const int syncInstrument[syncPointCount];

// The SyncPoint watching `instrument` (1-based), or -1 for an instrument that drives nothing.
int syncPointOfInstrument(int instrument);

// The sync procedure: level := 1, stamp := demoClock(), on the SyncPoint that `user` points to.
void syncHit(uint32_t handle, uint32_t channel, uint32_t data, void* user);

// Envelopes over rows = (demoClock() - stamp) * 64; lengths and gate in rows.
float linearDecay(const SyncPoint& sync, float length);
float expDecay(const SyncPoint& sync, float length);
float gatedDecay(const SyncPoint& sync, float length, float gate);

// Starts "mod2.it" from the working directory with the thirteen syncs and volume 99, printing
// the music line. Returns false when the audio layer's version does not match (after printing
// its message); device and file failures end the process through fatalAudioError.
bool startMusic();

// The fade-out: volume 100 down to 0 in 21 steps of 1 ms, then the audio layer is released.
void stopMusic();

// Stops playback and the audio thread at once, without a fade. Safe to call when the music
// never started and more than once; used before every exit from a callback.
void haltMusic();

// ---- Jumps and the heard position of the music that plays ----------------------------------

// Where the music is heard now, in seconds into the song (0 to the show's 199.68 s, and round
// again), or -1 when none has played.
double musicHeardSeconds();

// Makes the music play on from demo time `time` (time x 7.68 s into the song) at once, without
// the strikes up to `time`, which setSyncPointsAt(time) stamps. Returns the performance
// counter's reading at which that moment will be heard, from which the demo clock runs on (the
// counter now when no music plays).
int64_t seekMusic(float time);

// While held, no instrument sync is called: the strikes heard meanwhile wait and are called
// once released (as often as held). A jump holds them while it puts the SyncPoints in place
// and draws.
void holdMusicSyncs();
void releaseMusicSyncs();

// Puts the SyncPoints where the playing song's strikes put them by demo time `time`, as a
// capture's frame at `time` has them (every strike at or before it stamped, the rest never
// hit). Without a song, every SyncPoint is left never hit.
void setSyncPointsAt(float time);

// Prints "Error(%d): %s\n" with the audio layer's error code, releases it, ends the process.
[[noreturn]] void fatalAudioError(const char* message);

// ---- Offline rendering ----------------------------------------------------------------------

// One note-on of an instrument, as heard: sample frame of the tick that plays it.
struct Strike {
    int instrument = 0;         // 1-based
    int64_t samplePosition = 0; // sample frames from the start of the module at 44100 Hz
    int order = 0;
    int pattern = 0;
    int row = 0;
    int tick = 0;
    int channel = 0; // 0-based
    int note = 0;    // 1 (C-0) to 120 (B-9)
};

struct OfflineRender {
    std::string title;
    int orders = 0;
    int tempo = 0; // pace of the first row
    int speed = 0;
    int offPaceRows = 0;        // rows played at a pace other than tempo 125, speed 6
    int firstOffPaceOrder = -1; // where the first of them plays
    int firstOffPaceRow = -1;
    std::vector<int16_t> pcm;    // interleaved stereo, 44100 Hz
    std::vector<Strike> strikes; // in the order they are heard
    bool cut = false;            // the module plays on past the rendered limit
};

constexpr int musicSampleRate = 44100;

// The show's length in sample frames of the music.
constexpr int64_t showSampleFrames = static_cast<int64_t>(showSeconds * musicSampleRate + 0.5);

// As much of a module as the show plays: its patterns and the fade-out after them (21 volume
// steps 1 ms apart), so that a longer module costs no more than the show.
constexpr double offlineLimitSeconds = showSeconds + 0.021;

// Renders the module in `path` (played once, no loop) as fast as the CPU allows, as far as
// offlineLimitSeconds (`cut` says the module plays on). Returns false with `error` filled when
// the file cannot be read or is not a module.
bool renderModuleOffline(const std::string& path, OfflineRender& out, std::string& error);

// The same for a module held in memory, as far as `limitSeconds` of sound.
bool renderModuleBytesOffline(const void* data, size_t size, double limitSeconds,
                              OfflineRender& out, std::string& error);

// The same render in steps, for a caller that must stay responsive meanwhile (the page renders
// while it loads): beginModuleRender opens the module (false with `error` filled when it is
// not one), each stepModuleRender renders about `frames` sample frames more and returns true
// once `out` is whole. One stepwise render at a time; a new begin drops the one under way.
bool beginModuleRender(const void* data, size_t size, double limitSeconds, OfflineRender& out,
                       std::string& error);
bool stepModuleRender(OfflineRender& out, int64_t frames);
// The share of the stepwise render done, 0 to 1 (1 when none is under way).
double moduleRenderProgress();

// ---- In the browser: the music made ready while the page loads ------------------------------

// Begins rendering the module at `path` (false with `error` filled when it cannot be read or
// is not a module); each stepPreparedMusic renders for about `budgetSeconds` and returns the
// share done, 1 once whole. Loading the same module afterwards plays this render; until then
// preparedMusic() holds it (the stills draw from its strikes).
bool beginPreparedMusic(const char* path, std::string& error);
double stepPreparedMusic(double budgetSeconds);
const OfflineRender& preparedMusic();

// ---- The strike feed ------------------------------------------------------------------------

// The demo time at which the live music stamps a strike heard at sample `sample` of the song.
float stampOfSample(int64_t sample);

// A strike added by hand (the capture's --strike I@T), on top of the module's own.
struct ExtraStrike {
    int instrument = 0;
    double time = 0.0; // demo time in pattern units
};

struct TimedStrike {
    int syncPoint = 0; // 0 to 12
    float stamp = 0.0f;
};

// The strikes of the watched instruments in the order they are heard, and how many of them
// have been stamped into the SyncPoints so far.
struct StrikeFeed {
    std::vector<TimedStrike> strikes;
    size_t next = 0;
};

// Builds the feed from the offline strike list plus the hand-made strikes; strikes of
// instruments that drive no SyncPoint are left out. Strikes at the same time keep their order.
StrikeFeed makeStrikeFeed(const std::vector<Strike>& strikes,
                          const std::vector<ExtraStrike>& extra = {});

// Returns every SyncPoint to its start (never hit) and the feed to its first strike.
void rewindStrikeFeed(StrikeFeed& feed);

// Stamps, in order, every strike whose stamp is at or before `time` and not yet stamped:
// level 1 and the strike's stamp, as syncHit would have done when the strike was heard.
void feedStrikesUpTo(StrikeFeed& feed, float time);
