// Offline rendering: the whole module into memory in one pass, with its strikes found by the
// same scan that drives the live syncs.
#include "module_file.h"
#include "module_scan.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr int showTempo = 125;
constexpr int showSpeed = 6;

void notePace(const ModuleScan& scan, OfflineRender& out) {
    if (out.tempo == 0) {
        out.tempo = scan.tempo;
        out.speed = scan.speed;
    }
    if (scan.tempo == showTempo && scan.speed == showSpeed)
        return;
    if (out.offPaceRows++ == 0) {
        out.firstOffPaceOrder = scan.order;
        out.firstOffPaceRow = scan.row;
    }
}
} // namespace

bool renderModuleBytesOffline(const void* data, size_t size, double limitSeconds,
                              OfflineRender& out, std::string& error) {
    out = OfflineRender{};
    int code = 0;
    const char* message = nullptr;
    openmpt_module* module = openmpt_module_create_from_memory2(data, size, openmpt_log_func_silent,
                                                                nullptr, openmpt_error_func_store,
                                                                nullptr, &code, &message, nullptr);
    if (module == nullptr) {
        error =
            std::string("not a module") + (message != nullptr ? std::string(": ") + message : "");
        openmpt_free_string(message);
        return false;
    }
    openmpt_free_string(message);
    openmpt_module_set_repeat_count(module, 0);
    // Without dither the same module renders to the same samples on every run.
    openmpt_module_ctl_set_integer(module, "dither", 0);
    const char* title = openmpt_module_get_metadata(module, "title");
    out.title = title != nullptr ? title : "";
    openmpt_free_string(title);
    out.orders = openmpt_module_get_num_orders(module);

    const int64_t limitFrames = static_cast<int64_t>(limitSeconds * musicSampleRate);
    const double estimate = openmpt_module_get_duration_seconds(module);
    if (std::isfinite(estimate) && estimate > 0.0 && estimate < limitSeconds)
        out.pcm.reserve(static_cast<size_t>(estimate * musicSampleRate + scanBlockFrames) * 2);

    ModuleScan scan;
    beginModuleScan(scan, module, musicSampleRate, true);
    int16_t block[scanBlockFrames * 2];
    for (;;) {
        const int64_t rowsBefore = scan.rowsBegun;
        const int frames = renderScannedBlock(scan, block, scanBlockFrames, out.strikes);
        if (frames == 0)
            break;
        if (scan.rowsBegun != rowsBefore)
            notePace(scan, out);
        out.pcm.insert(out.pcm.end(), block, block + frames * 2);
        if (scan.framesRendered > limitFrames) {
            // What lies past the limit is never heard: the sound and strikes end there.
            out.cut = true;
            out.pcm.resize(static_cast<size_t>(limitFrames) * 2);
            out.strikes.erase(std::remove_if(out.strikes.begin(), out.strikes.end(),
                                             [&](const Strike& strike) {
                                                 return strike.samplePosition >= limitFrames;
                                             }),
                              out.strikes.end());
            break;
        }
    }
    openmpt_module_destroy(module);
    std::stable_sort(out.strikes.begin(), out.strikes.end(), [](const Strike& a, const Strike& b) {
        return a.samplePosition < b.samplePosition;
    });
    return true;
}

bool renderModuleOffline(const std::string& path, OfflineRender& out, std::string& error) {
    out = OfflineRender{};
    std::vector<char> bytes;
    if (!readModuleFile(path, bytes, error))
        return false;
    return renderModuleBytesOffline(bytes.data(), bytes.size(), offlineLimitSeconds, out, error);
}
