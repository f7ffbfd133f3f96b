// The audio layer: one output, one module, and the audio thread that renders the module in
// blocks, queues them on the output and calls the instrument syncs as the output reaches each
// strike. Only the audio thread touches the module once it plays; the main thread hands it
// requests through atomics.
#include "audio_common.h"
#include "module_scan.h"
#include "platform.h"

#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {
// Frames kept queued ahead of the listener: enough to ride out scheduling hiccups.
constexpr int64_t queueAheadFrames = 2048;

openmpt_module* module = nullptr;

std::thread audioThread;
bool threadStarted = false;
std::atomic<bool> stopThread{false};
std::atomic<int> playRequest{-1}; // order to start from, taken by the audio thread
std::atomic<int64_t> heardFrame{0};
std::atomic<int64_t> startFrame{-1};

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

bool layerAcceptsRate(int rate) {
    return rate >= 8000 && rate <= 192000;
}

bool layerOpenOutput(int rate) {
    return openAudioOutput(rate);
}

bool layerLoadModule(const std::vector<char>& bytes, uint32_t flags) {
    int error = 0;
    module = openmpt_module_create_from_memory2(bytes.data(), bytes.size(), openmpt_log_func_silent,
                                                nullptr, openmpt_error_func_store, nullptr, &error,
                                                nullptr, nullptr);
    if (module == nullptr) {
        lastFileError = "not a module";
        return false;
    }
    const char* title = openmpt_module_get_metadata(module, "title");
    moduleTitle = title != nullptr ? title : "";
    openmpt_free_string(title);
    moduleOrders = openmpt_module_get_num_orders(module);
    openmpt_module_set_repeat_count(module, (flags & audioModuleLoop) != 0 ? -1 : 0);
    if ((flags & audioModuleRamp) == 0)
        openmpt_module_set_render_param(module, OPENMPT_MODULE_RENDER_VOLUMERAMPING_STRENGTH, 0);
    return true;
}

void layerSetVolume(int volume) {
    setAudioOutputVolume(volume);
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
    if (!checkModuleHandle(music))
        return false;
    if (order < 0 || order >= moduleOrders)
        return fail(audioErrorParameter);
    playRequest.store(order, std::memory_order_release);
    return succeed();
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
    forgetDeviceAndModule();
    if (module != nullptr)
        openmpt_module_destroy(module);
    module = nullptr;
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
