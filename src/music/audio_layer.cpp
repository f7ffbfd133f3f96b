// The audio layer: one output, one module, and the audio thread that renders the module in
// blocks, queues them on the output and calls the instrument syncs as the output reaches each
// strike. Only the audio thread touches the module once it plays; the main thread hands it
// requests through atomics.
#include "audio_layer.h"

#include "module_file.h"
#include "module_scan.h"
#include "platform.h"

#include <libopenmpt/libopenmpt.h>
#include <libopenmpt/libopenmpt_version.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {
// Frames kept queued ahead of the listener: enough to ride out scheduling hiccups.
constexpr int64_t queueAheadFrames = 2048;
constexpr int maxSyncs = 64;

struct SyncSlot {
    std::atomic<bool> active{false};
    uint32_t param = 0;
    AudioSyncProc proc = nullptr;
    void* user = nullptr;
};

std::atomic<int> lastError{audioOk};
std::string lastFileError; // why the last file could not be read; main thread only
bool deviceOpen = false;
int deviceRate = musicSampleRate;

openmpt_module* module = nullptr;
uint32_t moduleHandle = 0;
uint32_t handlesIssued = 0;
std::string moduleTitle;
int moduleOrders = 0;
bool moduleLoops = false;

std::thread audioThread;
bool threadStarted = false;
std::atomic<bool> stopThread{false};
std::atomic<int> playRequest{-1}; // order to start from, taken by the audio thread
std::atomic<int64_t> heardFrame{0};
std::atomic<int64_t> startFrame{-1};

SyncSlot syncSlots[maxSyncs];
int syncsRegistered = 0;

bool fail(int code) {
    lastError.store(code, std::memory_order_relaxed);
    return false;
}

bool succeed() {
    lastError.store(audioOk, std::memory_order_relaxed);
    return true;
}

void fireSyncs(const Strike& strike) {
    const uint32_t data =
        static_cast<uint32_t>(strike.instrument) | (static_cast<uint32_t>(strike.note) << 16);
    for (int i = 0; i < maxSyncs; ++i) {
        SyncSlot& slot = syncSlots[i];
        if (!slot.active.load(std::memory_order_acquire))
            continue;
        const uint32_t instrument = slot.param & 0xFFFF;
        const uint32_t note = slot.param >> 16;
        if (instrument == static_cast<uint32_t>(strike.instrument) &&
            (note == 0xFFFF || note == static_cast<uint32_t>(strike.note)))
            slot.proc(static_cast<uint32_t>(i + 1), moduleHandle, data, slot.user);
    }
}

// The audio thread. Strikes wait in `pending`, ordered by position, until heard.
void runAudioThread() {
    ModuleScan scan;
    bool playing = false;
    int64_t queued = 0;
    int64_t moduleStart = 0;
    std::vector<Strike> pending;
    std::vector<Strike> fresh;
    std::vector<int16_t> block(static_cast<size_t>(scanBlockFrames) * 2);
    while (!stopThread.load(std::memory_order_acquire)) {
        const int order = playRequest.exchange(-1, std::memory_order_acq_rel);
        if (order >= 0) {
            openmpt_module_set_position_order_row(module, order, 0);
            beginModuleScan(scan, module, deviceRate, !moduleLoops);
            pending.clear();
            playing = true;
            moduleStart = queued;
            startFrame.store(moduleStart, std::memory_order_relaxed);
        }

        const int64_t heard = audioFramesHeard();
        heardFrame.store(heard, std::memory_order_relaxed);
        size_t due = 0;
        while (due < pending.size() && moduleStart + pending[due].samplePosition <= heard)
            fireSyncs(pending[due++]);
        pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(due));

        if (playing && queued - heard < queueAheadFrames) {
            fresh.clear();
            const int frames = renderScannedBlock(scan, block.data(), scanBlockFrames, fresh);
            if (frames == 0) {
                playing = false;
                continue;
            }
            queueAudioFrames(block.data(), frames);
            queued += frames;
            for (const Strike& strike : fresh) {
                const auto at = std::upper_bound(pending.begin(), pending.end(), strike,
                                                 [](const Strike& a, const Strike& b) {
                                                     return a.samplePosition < b.samplePosition;
                                                 });
                pending.insert(at, strike);
            }
            continue;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
}

} // namespace

uint32_t audioVersion() {
    // The layer needs the module library's interface it was built against, or a later one of
    // the same major version.
    const uint32_t library = openmpt_get_library_version();
    const bool compatible =
        (library >> 24) == OPENMPT_API_VERSION_MAJOR &&
        library >= static_cast<uint32_t>(OPENMPT_API_VERSION_MAKE(OPENMPT_API_VERSION_MAJOR,
                                                                  OPENMPT_API_VERSION_MINOR, 0));
    return compatible ? audioInterfaceVersion : 0;
}

bool audioOpenDevice(int device, int rate, uint32_t) {
    if (deviceOpen)
        return fail(audioErrorAlready);
    if (device != -1 || rate < 8000 || rate > 192000)
        return fail(audioErrorParameter);
    if (!openAudioOutput(rate))
        return fail(audioErrorAlready);
    deviceOpen = true;
    deviceRate = rate;
    return succeed();
}

uint32_t audioStreamFile(const char* path, uint64_t, uint64_t, uint32_t) {
    if (!deviceOpen)
        return fail(audioErrorNotReady);
    lastFileError.clear();
    if (path == nullptr || !moduleFileOpens(path, lastFileError))
        return fail(audioErrorFileOpen);
    return fail(audioErrorFormat);
}

uint64_t audioStreamBytes(uint32_t) {
    fail(audioErrorHandle);
    return 0;
}

bool audioPlayStream(uint32_t, bool, uint32_t) {
    return fail(audioErrorHandle);
}

uint32_t audioLoadModule(const char* path, uint64_t offset, uint64_t length, uint32_t flags) {
    if (!deviceOpen)
        return fail(audioErrorNotReady);
    if (module != nullptr)
        return fail(audioErrorAlready);
    std::vector<char> bytes;
    lastFileError.clear();
    if (path == nullptr || !readModuleFile(path, bytes, lastFileError))
        return fail(audioErrorFileOpen);
    if (offset > bytes.size()) {
        lastFileError = "shorter than the offset given";
        return fail(audioErrorFileOpen);
    }
    bytes.erase(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
    if (length != 0 && length < bytes.size())
        bytes.resize(static_cast<size_t>(length));
    int error = 0;
    module = openmpt_module_create_from_memory2(bytes.data(), bytes.size(), openmpt_log_func_silent,
                                                nullptr, openmpt_error_func_store, nullptr, &error,
                                                nullptr, nullptr);
    if (module == nullptr) {
        lastFileError = "not a module";
        return fail(audioErrorFormat);
    }
    const char* title = openmpt_module_get_metadata(module, "title");
    moduleTitle = title != nullptr ? title : "";
    openmpt_free_string(title);
    moduleOrders = openmpt_module_get_num_orders(module);
    moduleLoops = (flags & audioModuleLoop) != 0;
    openmpt_module_set_repeat_count(module, moduleLoops ? -1 : 0);
    if ((flags & audioModuleRamp) == 0)
        openmpt_module_set_render_param(module, OPENMPT_MODULE_RENDER_VOLUMERAMPING_STRENGTH, 0);
    moduleHandle = ++handlesIssued;
    if (moduleHandle == 0)
        moduleHandle = ++handlesIssued;
    succeed();
    return moduleHandle;
}

const char* audioModuleTitle(uint32_t music) {
    if (music == 0 || music != moduleHandle) {
        fail(audioErrorHandle);
        return "";
    }
    succeed();
    return moduleTitle.c_str();
}

int audioModuleOrders(uint32_t music) {
    if (music == 0 || music != moduleHandle) {
        fail(audioErrorHandle);
        return -1;
    }
    succeed();
    return moduleOrders;
}

bool audioStart() {
    if (!deviceOpen)
        return fail(audioErrorNotReady);
    if (!threadStarted) {
        stopThread.store(false, std::memory_order_release);
        audioThread = std::thread(runAudioThread);
        threadStarted = true;
    }
    return succeed();
}

bool audioPlayModule(uint32_t music, int order) {
    if (music == 0 || music != moduleHandle)
        return fail(audioErrorHandle);
    if (order < 0 || order >= moduleOrders)
        return fail(audioErrorParameter);
    playRequest.store(order, std::memory_order_release);
    return succeed();
}

uint32_t audioSetSync(uint32_t music, uint32_t type, uint32_t param, AudioSyncProc proc,
                      void* user) {
    if (music == 0 || music != moduleHandle)
        return fail(audioErrorHandle);
    if (type != audioSyncInstrument || proc == nullptr || syncsRegistered == maxSyncs)
        return fail(audioErrorParameter);
    SyncSlot& slot = syncSlots[syncsRegistered];
    slot.param = param;
    slot.proc = proc;
    slot.user = user;
    slot.active.store(true, std::memory_order_release);
    ++syncsRegistered;
    succeed();
    return static_cast<uint32_t>(syncsRegistered);
}

bool audioSetVolume(int volume) {
    if (!deviceOpen)
        return fail(audioErrorNotReady);
    if (volume < 0 || volume > 100)
        return fail(audioErrorParameter);
    setAudioOutputVolume(volume);
    return succeed();
}

int audioErrorCode() {
    return lastError.load(std::memory_order_relaxed);
}

const char* audioFileError() {
    return lastFileError.c_str();
}

void audioRelease() {
    if (threadStarted) {
        stopThread.store(true, std::memory_order_release);
        if (audioThread.get_id() == std::this_thread::get_id())
            return;
        audioThread.join();
        threadStarted = false;
    }
    closeAudioOutput();
    deviceOpen = false;
    for (SyncSlot& slot : syncSlots)
        slot.active.store(false, std::memory_order_relaxed);
    syncsRegistered = 0;
    if (module != nullptr)
        openmpt_module_destroy(module);
    module = nullptr;
    moduleHandle = 0;
    moduleTitle.clear();
    moduleOrders = 0;
    playRequest.store(-1, std::memory_order_relaxed);
    heardFrame.store(0, std::memory_order_relaxed);
    startFrame.store(-1, std::memory_order_relaxed);
}

int64_t audioHeardFrame() {
    return heardFrame.load(std::memory_order_relaxed);
}

int64_t audioModuleStartFrame() {
    return startFrame.load(std::memory_order_relaxed);
}
