// What the desktop and browser audio layers share: the error bookkeeping, the device and the
// loaded module's handle, title and orders, the sync slots, and every call whose rules do not
// depend on how the module plays. Each layer file supplies the few calls declared at the end.
// Private to the music subsystem.
#pragma once

#include "audio_layer.h"
#include "music.h"

#include <atomic>
#include <string>
#include <vector>

constexpr int maxSyncs = 64;

struct SyncSlot {
    std::atomic<bool> active{false};
    uint32_t param = 0;
    AudioSyncProc proc = nullptr;
    void* user = nullptr;
};

extern std::string lastFileError; // why the last file could not be read; main thread only
extern bool deviceOpen;
extern int deviceRate;

// The loaded module (handle 0 when none) and what audioModuleTitle and audioModuleOrders report.
extern uint32_t moduleHandle;
extern std::string moduleTitle;
extern int moduleOrders;
extern bool moduleLoops;

extern SyncSlot syncSlots[maxSyncs];

// Set the error code and return false (fail) or true (succeed).
bool fail(int code);
bool succeed();

// False, with the error code set, when `music` is not the loaded module's handle.
bool checkModuleHandle(uint32_t music);

// Calls every registered sync whose instrument and note match the strike.
void fireSyncs(const Strike& strike);

// Forgets the device, the module's handle, title and orders, and every sync.
void forgetDeviceAndModule();

// ---- Supplied by each layer -----------------------------------------------------------------

bool layerAcceptsRate(int rate);
// Opens the output at `rate`; false when it cannot be opened.
bool layerOpenOutput(int rate);
// Makes the module in `bytes` ready to play and fills moduleTitle and moduleOrders; false with
// lastFileError filled when it is not one the layer can play.
bool layerLoadModule(const std::vector<char>& bytes, uint32_t flags);
void layerSetVolume(int volume);
