// Measures the module as libopenmpt plays it and fits the global volume to a peak limit.
#include "composer.h"

#include <libopenmpt/libopenmpt.hpp>

#include <algorithm>
#include <cmath>
#include <sstream>

bool renderPeak(const ItModule& module, double& peak, std::string& error) {
    std::vector<uint8_t> bytes;
    if (!buildItModule(module, bytes, error)) {
        return false;
    }
    std::ostringstream log;
    try {
        openmpt::module player(bytes, log);
        if (!log.str().empty()) {
            error = "libopenmpt: " + log.str();
            return false;
        }
        std::vector<float> left(4096), right(4096);
        peak = 0.0;
        for (;;) {
            const size_t n = player.read(sampleRate, left.size(), left.data(), right.data());
            if (n == 0) {
                break;
            }
            for (size_t i = 0; i < n; ++i) {
                peak = std::max({peak, static_cast<double>(std::abs(left[i])),
                                 static_cast<double>(std::abs(right[i]))});
            }
        }
    } catch (const std::exception& e) {
        error = std::string("libopenmpt refused the module: ") + e.what();
        return false;
    }
    return true;
}

bool fitGlobalVolume(ItModule& module, double limitDb, double& peakDb, std::string& error) {
    const double limit = std::pow(10.0, limitDb / 20.0);
    double peak = 0.0;
    if (!renderPeak(module, peak, error)) {
        return false;
    }
    if (peak <= 0.0) {
        error = "the module renders silent";
        return false;
    }
    // The mix scales with the global volume; the loop corrects for rounding and ramping.
    int volume =
        std::min(module.globalVolume, static_cast<int>(module.globalVolume * limit / peak));
    for (; volume > 0; --volume) {
        module.globalVolume = volume;
        if (!renderPeak(module, peak, error)) {
            return false;
        }
        if (peak <= limit) {
            peakDb = 20.0 * std::log10(peak);
            return true;
        }
    }
    error = "no global volume keeps the peak below the limit";
    return false;
}
