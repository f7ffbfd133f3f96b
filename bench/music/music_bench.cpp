// parade-bench-music FILE [LIVE_SECONDS]: prints
//  1. the time to render FILE offline with its strikes, beside `openmpt123 --render` of the same
//     file (16-bit, 44100 Hz, written to a temporary folder), wall clock and CPU, and the ratio;
//  2. the distance between each live sync and the moment its note is heard on the output,
//     over the first LIVE_SECONDS (default 30) of live playback.
// Figures only: nothing is asserted.
#include "audio_layer.h"
#include "music.h"
#include "platform.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

struct Timing {
    double wall = 0.0;
    double cpu = 0.0;
};

double cpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

bool timeOfflineRender(const std::string& path, Timing& timing, OfflineRender& render) {
    std::string error;
    const double cpuBefore = cpuSeconds(RUSAGE_SELF);
    const auto start = Clock::now();
    if (!renderModuleOffline(path, render, error)) {
        std::fprintf(stderr, "parade-bench-music: %s: %s\n", path.c_str(), error.c_str());
        return false;
    }
    timing.wall = std::chrono::duration<double>(Clock::now() - start).count();
    timing.cpu = cpuSeconds(RUSAGE_SELF) - cpuBefore;
    return true;
}

bool timeOpenmpt123(const std::string& path, Timing& timing) {
    char folder[] = "/tmp/parade-bench-XXXXXX";
    if (mkdtemp(folder) == nullptr)
        return false;
    const std::string copy = std::string(folder) + "/module.it";
    const std::string copyCommand = "cp '" + path + "' '" + copy + "'";
    if (std::system(copyCommand.c_str()) != 0)
        return false;
    const double cpuBefore = cpuSeconds(RUSAGE_CHILDREN);
    const auto start = Clock::now();
    const pid_t child = fork();
    if (child == 0) {
        execlp("openmpt123", "openmpt123", "--quiet", "--render", "--force", "--samplerate",
               "44100", "--no-float", copy.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    const bool ran = child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
                     WEXITSTATUS(status) == 0;
    timing.wall = std::chrono::duration<double>(Clock::now() - start).count();
    timing.cpu = cpuSeconds(RUSAGE_CHILDREN) - cpuBefore;
    const std::string cleanup = std::string("rm -rf '") + folder + "'";
    std::system(cleanup.c_str());
    return ran;
}

// Live: each sync call records how far the output's heard position is past its strike.
std::vector<Strike> expectedStrikes;
std::atomic<size_t> syncsSeen{0};
std::vector<int64_t> distances; // frames, written by the audio thread only
int mismatches = 0;

void recordSync(uint32_t, uint32_t, uint32_t data, void*) {
    const size_t index = syncsSeen.fetch_add(1);
    if (index >= expectedStrikes.size())
        return;
    const Strike& strike = expectedStrikes[index];
    if (static_cast<int>(data & 0xFFFF) != strike.instrument)
        ++mismatches;
    distances.push_back(audioFramesHeard() - (audioModuleStartFrame() + strike.samplePosition));
}

double percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const size_t at = static_cast<size_t>(std::lround(p * (values.size() - 1)));
    return values[at];
}

void measureLive(const std::string& path, const OfflineRender& render, double seconds) {
    const int64_t endFrame = static_cast<int64_t>(seconds * musicSampleRate);
    std::vector<int> instruments;
    for (const Strike& strike : render.strikes) {
        if (strike.samplePosition >= endFrame)
            break;
        expectedStrikes.push_back(strike);
        if (std::find(instruments.begin(), instruments.end(), strike.instrument) ==
            instruments.end())
            instruments.push_back(strike.instrument);
    }
    distances.reserve(expectedStrikes.size());
    if (!audioOpenDevice(-1, musicSampleRate, 0)) {
        std::printf("live: the output cannot be opened (error %d)\n", audioErrorCode());
        return;
    }
    const uint32_t music = audioLoadModule(path.c_str(), 0, 0, audioModuleRamp);
    if (music == 0) {
        std::printf("live: the module cannot be loaded (error %d)\n", audioErrorCode());
        audioRelease();
        return;
    }
    // Syncs first, then play: every strike from the first row on is measured.
    for (int instrument : instruments)
        audioSetSync(music, audioSyncInstrument, static_cast<uint32_t>(instrument) | 0xFFFFu << 16,
                     recordSync, nullptr);
    audioStart();
    audioPlayModule(music, 0);
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds + 0.2));
    const bool silent = audioOutputIsSilent();
    audioRelease();

    std::vector<double> ms;
    for (int64_t d : distances)
        ms.push_back(d * 1000.0 / musicSampleRate);
    std::printf("\nlive syncs over %.0f s on the %s output: %zu of %zu strikes, %d on the wrong "
                "instrument\n",
                seconds, silent ? "silent" : "sound-card", distances.size(), expectedStrikes.size(),
                mismatches);
    if (ms.empty())
        return;
    double sum = 0.0;
    for (double v : ms)
        sum += v;
    std::printf("  sync after its note is heard, ms: min %.2f  median %.2f  mean %.2f  p95 %.2f  "
                "max %.2f\n",
                *std::min_element(ms.begin(), ms.end()), percentile(ms, 0.5), sum / ms.size(),
                percentile(ms, 0.95), *std::max_element(ms.begin(), ms.end()));
}
} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: parade-bench-music FILE [LIVE_SECONDS]\n");
        return 2;
    }
    const std::string path = argv[1];
    const double liveSeconds = argc == 3 ? std::atof(argv[2]) : 30.0;
    if (!(liveSeconds > 0.0 && liveSeconds <= 600.0)) {
        std::fprintf(stderr, "parade-bench-music: LIVE_SECONDS must be above 0 and at most 600\n");
        return 2;
    }

    OfflineRender render;
    Timing ours;
    if (!timeOfflineRender(path, ours, render))
        return 1;
    const double songSeconds = static_cast<double>(render.pcm.size() / 2) / musicSampleRate;
    std::printf("offline render of %s: %.2f s of sound, %zu strikes\n", path.c_str(), songSeconds,
                render.strikes.size());
    std::printf("  ours (in memory, with strikes): wall %.3f s  cpu %.3f s  (%.0fx real time)\n",
                ours.wall, ours.cpu, songSeconds / ours.cpu);
    Timing reference;
    if (timeOpenmpt123(path, reference)) {
        std::printf("  openmpt123 --render (to a file): wall %.3f s  cpu %.3f s\n", reference.wall,
                    reference.cpu);
        std::printf("  ratio ours / openmpt123: wall %.2f  cpu %.2f\n", ours.wall / reference.wall,
                    ours.cpu / reference.cpu);
    } else {
        std::printf("  openmpt123 --render could not run\n");
    }
    std::fflush(stdout);
    measureLive(path, render, liveSeconds);
    return 0;
}
