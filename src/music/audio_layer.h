// Our audio layer: the calls the music start-up makes (version, device, stream and module
// loading, title and length, start and play, instrument syncs, volume, error code, release).
// Both render the module once into the song, its sound and strikes as the offline render lists
// them, and play the song from memory, so that the music jumps to any moment and goes round at
// the show's end without a gap. On the desktop the layer's audio thread renders the song a
// little ahead of playback, the platform's output plays it, and instrument syncs are called on
// that thread when the struck note is heard. In the browser the song is rendered whole when it
// is loaded, Web Audio plays it, and the syncs of the strikes heard so far are called before
// every frame.
// Private to the music subsystem.
#pragma once

#include <cstdint>

// The interface version this program is written against: 0.8.
constexpr uint32_t audioInterfaceVersion = 0x00080000;

// Error codes of the layer; audioErrorCode() reports the last failure.
enum AudioError : int {
    audioOk = 0,
    audioErrorFileOpen = 1,  // the file cannot be opened or read
    audioErrorFormat = 2,    // the file's format is not one this call plays
    audioErrorNotReady = 3,  // the device was not opened first
    audioErrorAlready = 4,   // already opened or loaded
    audioErrorHandle = 5,    // not a handle of this layer
    audioErrorParameter = 6, // an argument out of range
    audioErrorLibrary = 7,   // the module library's version cannot serve this layer
};

// Module loading flags.
constexpr uint32_t audioModuleLoop = 1; // play the song again from its restart position at its end
constexpr uint32_t audioModuleRamp = 2; // ramp volume changes to avoid clicks

// Sync types.
constexpr uint32_t audioSyncInstrument = 1; // param: instrument (low 16 bits), note or 0xFFFF

using AudioSyncProc = void (*)(uint32_t sync, uint32_t channel, uint32_t data, void* user);

// The layer's interface version, or 0 when the module library found at run time is not the
// one the layer was built for.
uint32_t audioVersion();

// Opens the output device (`device` -1 = default) at `rate` Hz. Returns false on failure.
bool audioOpenDevice(int device, int rate, uint32_t flags);

// Sampled streams: this layer decodes none, so every file is refused (0) with an error code
// saying why (file missing or format). Kept so callers try streams before modules.
uint32_t audioStreamFile(const char* path, uint64_t offset, uint64_t length, uint32_t flags);
uint64_t audioStreamBytes(uint32_t stream);
bool audioPlayStream(uint32_t stream, bool flush, uint32_t flags);

// Loads a tracker module from `path` (`length` 0 = to the end of the file). Returns its
// handle, or 0 with the error code set. One module at a time.
uint32_t audioLoadModule(const char* path, uint64_t offset, uint64_t length, uint32_t flags);
const char* audioModuleTitle(uint32_t music);
int audioModuleOrders(uint32_t music);

// Starts the output (silence until something plays).
bool audioStart();

// Plays the module from its start (`order` 0; the song is known only from there). With the
// loop flag the song goes round at its end, or at the show's end (26 patterns) when it plays on
// past it; without, it stops at its end.
bool audioPlayModule(uint32_t music, int order);

// The performance counter's reading at which the last play or jump is heard (the counter now
// when nothing plays): the demo clock starts from there.
int64_t audioPlayHeardTick();

// Registers `proc` to be called on the audio thread with `user` when the sync's event is heard.
// Returns the sync's handle, or 0.
uint32_t audioSetSync(uint32_t music, uint32_t type, uint32_t param, AudioSyncProc proc,
                      void* user);

// Output volume 0 to 100, applied where the frames leave for the device: heard at once.
bool audioSetVolume(int volume);

int audioErrorCode();

// Why the last stream or module file was refused ("not a regular file", "not a module", ...),
// or "" when the last one was read.
const char* audioFileError();

// Stops the audio thread, closes the output and frees the module and syncs. Safe at any time
// from any thread but the audio thread (a sync procedure), where it only asks the thread to stop.
void audioRelease();

// For measurements: the output frame heard now and the output frame where the module's
// first frame was queued (-1 before it plays).
int64_t audioHeardFrame();
int64_t audioModuleStartFrame();
