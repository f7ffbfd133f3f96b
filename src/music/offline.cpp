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

namespace {
// The one stepwise render: its module, its scan and where it stops.
openmpt_module* stepModule = nullptr;
ModuleScan stepScan;
int64_t stepLimitFrames = 0;
int64_t stepExpectedFrames = 1;

void finishStepwise(OfflineRender& out) {
    openmpt_module_destroy(stepModule);
    stepModule = nullptr;
    stepScan = ModuleScan{};
    std::stable_sort(out.strikes.begin(), out.strikes.end(), [](const Strike& a, const Strike& b) {
        return a.samplePosition < b.samplePosition;
    });
}
} // namespace

bool beginModuleRender(const void* data, size_t size, double limitSeconds, OfflineRender& out,
                       std::string& error) {
    if (stepModule != nullptr) {
        openmpt_module_destroy(stepModule);
        stepModule = nullptr;
    }
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

    stepLimitFrames = static_cast<int64_t>(limitSeconds * musicSampleRate);
    stepExpectedFrames = stepLimitFrames;
    const double estimate = openmpt_module_get_duration_seconds(module);
    if (std::isfinite(estimate) && estimate > 0.0 && estimate < limitSeconds) {
        out.pcm.reserve(static_cast<size_t>(estimate * musicSampleRate + scanBlockFrames) * 2);
        stepExpectedFrames = static_cast<int64_t>(estimate * musicSampleRate);
    }
    stepExpectedFrames = std::max<int64_t>(stepExpectedFrames, 1);
    stepModule = module;
    beginModuleScan(stepScan, module, musicSampleRate, true);
    return true;
}

bool stepModuleRender(OfflineRender& out, int64_t frames) {
    if (stepModule == nullptr)
        return true;
    int16_t block[scanBlockFrames * 2];
    const int64_t stopAt = stepScan.framesRendered + frames;
    while (stepScan.framesRendered < stopAt) {
        const int64_t rowsBefore = stepScan.rowsBegun;
        const int rendered = renderScannedBlock(stepScan, block, scanBlockFrames, out.strikes);
        if (rendered == 0) {
            finishStepwise(out);
            return true;
        }
        if (stepScan.rowsBegun != rowsBefore)
            notePace(stepScan, out);
        out.pcm.insert(out.pcm.end(), block, block + rendered * 2);
        if (stepScan.framesRendered > stepLimitFrames) {
            // What lies past the limit is never heard: the sound and strikes end there.
            out.cut = true;
            out.pcm.resize(static_cast<size_t>(stepLimitFrames) * 2);
            out.strikes.erase(std::remove_if(out.strikes.begin(), out.strikes.end(),
                                             [](const Strike& strike) {
                                                 return strike.samplePosition >= stepLimitFrames;
                                             }),
                              out.strikes.end());
            finishStepwise(out);
            return true;
        }
    }
    return false;
}

double moduleRenderProgress() {
    if (stepModule == nullptr)
        return 1.0;
    return std::min(0.99, static_cast<double>(stepScan.framesRendered) /
                              static_cast<double>(stepExpectedFrames));
}

bool renderModuleBytesOffline(const void* data, size_t size, double limitSeconds,
                              OfflineRender& out, std::string& error) {
    if (!beginModuleRender(data, size, limitSeconds, out, error))
        return false;
    while (!stepModuleRender(out, INT64_MAX / 2)) {
    }
    return true;
}

bool renderModuleOffline(const std::string& path, OfflineRender& out, std::string& error) {
    out = OfflineRender{};
    std::vector<char> bytes;
    if (!readModuleFile(path, bytes, error))
        return false;
    return renderModuleBytesOffline(bytes.data(), bytes.size(), offlineLimitSeconds, out, error);
}
