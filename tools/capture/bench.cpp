// The benchmark: start-up times, frames per second of every act (rendering and read-back, no
// encoding), peak memory, a whole-show capture at 60 fps 640x480 through ffmpeg against the
// show's own running time, with where that time went, and the cost of a frame at 640x480 and
// at 1920x1080 supersampled, with the whole show's time estimated from each.
#include "capture.h"

#include "controls.h"

#include <GL/gl.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sys/resource.h>
#include <unistd.h>

namespace {
// The act pass draws every fourth frame of the 60 fps show.
constexpr int actPassStride = 4;
// The frame cost by size draws every 240th frame (one every 4 s, 50 in all).
constexpr int64_t sizeStride = 240;

double cpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

// The machine's load over the last minute, as the kernel reports it.
double loadAverage() {
    double load = -1.0;
    if (FILE* file = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(file, "%lf", &load) != 1)
            load = -1.0;
        std::fclose(file);
    }
    return load;
}

double peakMegabytes(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

struct PhaseTimes {
    double render = 0.0;
    double readBack = 0.0;
    double encoderWait = 0.0;
    double finish = 0.0;
};

// Captures the whole show to a temporary mp4 as the video command does; false when stopped.
bool captureWholeShow(const CaptureOptions& show, const std::string& ffmpeg,
                      const std::vector<int16_t>& pcm, StrikeFeed& feed, PhaseTimes& phases,
                      int64_t& frames, double& bytes, std::string& error) {
    const char* tmp = std::getenv("TMPDIR");
    const std::string folder = tmp && *tmp ? tmp : "/tmp";
    const std::string video = folder + "/parade-bench-" + std::to_string(getpid()) + ".mp4";
    const std::string sound = folder + "/parade-bench-" + std::to_string(getpid()) + ".wav";
    const int64_t count = frameCount(show);
    removeAtExit(video);
    removeAtExit(sound);
    if (!writeWav(sound, soundForFrames(pcm, show, count), error))
        return false;
    VideoEncoder encoder;
    if (!startVideoEncoder(encoder, ffmpeg, video, sound, show, error)) {
        unlink(sound.c_str());
        return false;
    }
    Progress progress;
    startProgress(progress, "bench: whole show", count);
    std::vector<uint8_t> rgb;
    rewindStrikeFeed(feed);
    frames = 0;
    for (; frames < count && !interrupted(); ++frames) {
        double start = wallSeconds();
        renderFrame(static_cast<float>(frameTimeAt(show, frames)), feed);
        glFinish();
        double now = wallSeconds();
        phases.render += now - start;
        start = now;
        readFrame(rgb);
        now = wallSeconds();
        phases.readBack += now - start;
        start = now;
        if (!sendVideoFrame(encoder, rgb.data(), rgb.size()))
            break;
        phases.encoderWait += wallSeconds() - start;
        showProgress(progress, frames + 1);
    }
    endProgress(progress, frames);
    const double start = wallSeconds();
    const bool ok = finishVideoEncoder(encoder, error);
    phases.finish = wallSeconds() - start;
    FILE* written = std::fopen(video.c_str(), "rb");
    bytes = 0.0;
    if (written) {
        std::fseek(written, 0, SEEK_END);
        bytes = static_cast<double>(std::ftell(written));
        std::fclose(written);
    }
    unlink(video.c_str());
    unlink(sound.c_str());
    return ok && frames == count;
}
// What one frame costs at a size: rendered, read back and encoded as the video command does.
struct FrameCost {
    int64_t frames = 0;
    double wall = 0.0;    // seconds a frame
    double capture = 0.0; // processor seconds a frame: rendering, read-back, filtering
    double encoder = 0.0; // processor seconds a frame: ffmpeg
};

// Every `stride`-th frame of the show at the size of `show`, through a temporary video.
bool costOfFrames(const CaptureOptions& show, const std::string& ffmpeg,
                  const std::vector<int16_t>& pcm, StrikeFeed& feed, int64_t stride,
                  FrameCost& cost, std::string& error) {
    const char* tmp = std::getenv("TMPDIR");
    const std::string stem =
        std::string(tmp && *tmp ? tmp : "/tmp") + "/parade-bench-size-" + std::to_string(getpid());
    const std::string video = stem + ".mp4";
    const std::string sound = stem + ".wav";
    removeAtExit(video);
    removeAtExit(sound);
    const int64_t showFrames = frameCount(show);
    const int64_t sampled = (showFrames + stride - 1) / stride;
    bool ok = writeWav(sound, soundForFrames(pcm, show, sampled), error);
    VideoEncoder encoder;
    ok = ok && startVideoEncoder(encoder, ffmpeg, video, sound, show, error);
    const double childBefore = cpuSeconds(RUSAGE_CHILDREN);
    const double selfBefore = cpuSeconds(RUSAGE_SELF);
    const double start = wallSeconds();
    std::vector<uint8_t> rgb;
    rewindStrikeFeed(feed);
    cost = FrameCost{};
    for (int64_t k = 0; ok && k < showFrames && !interrupted(); k += stride) {
        renderFrame(static_cast<float>(frameTimeAt(show, k)), feed);
        readFrame(rgb);
        ok = sendVideoFrame(encoder, rgb.data(), rgb.size());
        cost.frames += ok ? 1 : 0;
    }
    const double selfCpu = cpuSeconds(RUSAGE_SELF) - selfBefore;
    ok = finishVideoEncoder(encoder, error) && ok && cost.frames == sampled;
    const double frames = static_cast<double>(std::max<int64_t>(cost.frames, 1));
    cost.wall = (wallSeconds() - start) / frames;
    cost.capture = selfCpu / frames;
    cost.encoder = (cpuSeconds(RUSAGE_CHILDREN) - childBefore) / frames;
    unlink(video.c_str());
    unlink(sound.c_str());
    return ok;
}
} // namespace

int runBenchmark(const CaptureOptions& options, const std::string& ffmpeg) {
    CaptureOptions show;
    show.preset = options.preset;
    show.crf = options.crf;
    std::string error;

    std::fprintf(stderr, "bench: rendering the music of mod2.it\n");
    double start = wallSeconds();
    OfflineRender music;
    if (!renderModuleOffline("mod2.it", music, error)) {
        std::fprintf(stderr, "parade-capture: cannot play mod2.it: %s\n", error.c_str());
        return 1;
    }
    const double musicSeconds = wallSeconds() - start;
    StrikeFeed feed = makeStrikeFeed(music.strikes, {});

    start = wallSeconds();
    if (!openCaptureContext(show.width, show.height, error, 1, options.softwareRenderer)) {
        std::fprintf(stderr, "parade-capture: %s\n", error.c_str());
        return 1;
    }
    const double contextSeconds = wallSeconds() - start;
    const StartupTimes startup = prepareShow();
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));

    // Every act, rendered and read back without encoding; wall time and processor time (the
    // renderer's threads included), which a busy machine does not inflate.
    const double loadBefore = loadAverage();
    std::map<int, std::vector<double>> actFrameSeconds;
    std::map<int, std::vector<double>> actCpuSeconds;
    const int64_t showFrames = frameCount(show);
    Progress progress;
    startProgress(progress, "bench: acts", (showFrames + actPassStride - 1) / actPassStride);
    std::vector<uint8_t> rgb;
    rewindStrikeFeed(feed);
    int64_t drawn = 0;
    for (int64_t k = 0; k < showFrames && !interrupted(); k += actPassStride) {
        const double begin = wallSeconds();
        const double cpuBegin = cpuSeconds(RUSAGE_SELF);
        renderFrame(static_cast<float>(frameTimeAt(show, k)), feed);
        readFrame(rgb);
        actFrameSeconds[effectSelector].push_back(wallSeconds() - begin);
        actCpuSeconds[effectSelector].push_back(cpuSeconds(RUSAGE_SELF) - cpuBegin);
        showProgress(progress, ++drawn);
    }
    endProgress(progress, drawn);

    // The same frames without the picture stack (the space key's view): what the ten
    // full-screen layers cost the renderer.
    std::vector<double> withoutLayersCpu;
    rewindStrikeFeed(feed);
    spaceToggle = 0;
    for (int64_t k = 0; k < showFrames && !interrupted(); k += actPassStride * 4) {
        const double cpuBegin = cpuSeconds(RUSAGE_SELF);
        renderFrame(static_cast<float>(frameTimeAt(show, k)), feed);
        readFrame(rgb);
        withoutLayersCpu.push_back(cpuSeconds(RUSAGE_SELF) - cpuBegin);
    }
    spaceToggle = 1;
    std::vector<double> withLayersCpu;
    for (const auto& entry : actCpuSeconds)
        withLayersCpu.insert(withLayersCpu.end(), entry.second.begin(), entry.second.end());

    PhaseTimes phases;
    int64_t captured = 0;
    double videoBytes = 0.0;
    const double childCpuBefore = cpuSeconds(RUSAGE_CHILDREN);
    const double selfCpuBefore = cpuSeconds(RUSAGE_SELF);
    start = wallSeconds();
    const bool whole = !interrupted() && captureWholeShow(show, ffmpeg, music.pcm, feed, phases,
                                                          captured, videoBytes, error);
    const double loopSeconds = wallSeconds() - start;
    const double captureSeconds =
        musicSeconds + contextSeconds + startup.lists + startup.textures + loopSeconds;

    // A frame at 640x480 and at 1920x1080 drawn twice as wide and high, for an upload.
    CaptureOptions upload = show;
    upload.width = 1920;
    upload.height = 1080;
    upload.supersample = 2;
    const CaptureOptions* sizes[] = {&show, &upload};
    FrameCost costs[2];
    bool costed[2] = {false, false};
    std::string costError;
    for (int i = 0; i < 2 && !interrupted(); ++i) {
        const CaptureOptions& size = *sizes[i];
        costed[i] = resizeCapture(size.width, size.height, size.supersample, costError) &&
                    costOfFrames(size, ffmpeg, music.pcm, feed, sizeStride, costs[i], costError);
    }

    const double loadAfter = loadAverage();
    const long processors = std::max(1L, sysconf(_SC_NPROCESSORS_ONLN));
    std::printf("renderer: %s, %ld processors online, load average %.1f at the start and "
                "%.1f at the end\n",
                renderer ? renderer : "?", sysconf(_SC_NPROCESSORS_ONLN), loadBefore, loadAfter);
    std::printf("\nframes per second per act at 640x480 (rendering and read-back, every %d. "
                "frame of the show)\n",
                actPassStride);
    std::printf("%5s %7s %12s %10s %14s\n", "act", "frames", "median fps", "worst fps",
                "cpu ms/frame");
    std::vector<double> all;
    std::vector<double> allCpu;
    for (const auto& [act, seconds] : actFrameSeconds) {
        const double worst = *std::max_element(seconds.begin(), seconds.end());
        const std::vector<double>& cpu = actCpuSeconds[act];
        std::printf("%5d %7zu %12.1f %10.1f %14.1f\n", act, seconds.size(), 1.0 / median(seconds),
                    1.0 / worst, 1000.0 * median(cpu));
        all.insert(all.end(), seconds.begin(), seconds.end());
        allCpu.insert(allCpu.end(), cpu.begin(), cpu.end());
    }
    if (!all.empty())
        std::printf("%5s %7zu %12.1f %10.1f %14.1f\n", "all", all.size(), 1.0 / median(all),
                    1.0 / *std::max_element(all.begin(), all.end()), 1000.0 * median(allCpu));
    if (!withoutLayersCpu.empty() && !withLayersCpu.empty())
        std::printf("  cpu ms/frame without the picture layers %.1f, with them %.1f\n",
                    1000.0 * median(withoutLayersCpu), 1000.0 * median(withLayersCpu));
    std::printf("\nstart-up: display lists and meshes %.3f s, textures and state %.3f s "
                "(X server and window %.3f s, offline music %.2f s)\n",
                startup.lists, startup.textures, contextSeconds, musicSeconds);
    if (!whole) {
        std::printf("\nwhole show: not measured (%s)\n",
                    interrupted() ? "interrupted" : error.c_str());
    } else {
        std::printf("\nwhole show at 60 fps 640x480 (preset %s, crf %d): %lld frames captured in "
                    "%.1f s = %.3f x the show's %.2f s (target below 0.5)\n",
                    show.preset.c_str(), show.crf, static_cast<long long>(captured), captureSeconds,
                    captureSeconds / showSeconds, showSeconds);
        std::printf("  frame loop %.1f s: rendering %.1f s, read-back %.1f s, waiting for the "
                    "encoder %.1f s; encoder finish %.1f s; start-up and music %.1f s\n",
                    loopSeconds, phases.render, phases.readBack, phases.encoderWait, phases.finish,
                    captureSeconds - loopSeconds);
        const double selfCpu = cpuSeconds(RUSAGE_SELF) - selfCpuBefore;
        const double childCpu = cpuSeconds(RUSAGE_CHILDREN) - childCpuBefore;
        // With the machine to itself the capture can at best keep every processor busy.
        const double idleBound = (selfCpu + childCpu) / static_cast<double>(processors) +
                                 captureSeconds - loopSeconds - phases.finish;
        std::printf("  processor time: capture %.1f s (%.1f ms a frame), ffmpeg %.1f s (%.1f ms a "
                    "frame); video %.1f MB\n",
                    selfCpu, 1000.0 * selfCpu / static_cast<double>(captured), childCpu,
                    1000.0 * childCpu / static_cast<double>(captured), videoBytes / 1e6);
        std::printf("  on %ld idle processors that work takes at least %.1f s = %.3f x the show\n",
                    processors, idleBound, idleBound / showSeconds);
    }
    std::printf("\nframe cost by size (every %d. frame of the show at 60 fps, rendered, read back "
                "and encoded; the whole show estimated from it on %ld processors)\n",
                static_cast<int>(sizeStride), processors);
    for (int i = 0; i < 2; ++i) {
        const CaptureOptions& size = *sizes[i];
        const std::string name =
            std::to_string(size.width) + "x" + std::to_string(size.height) +
            (size.supersample > 1 ? " --supersample " + std::to_string(size.supersample) : "");
        if (!costed[i]) {
            std::printf("  %-28s not measured (%s)\n", name.c_str(),
                        interrupted() ? "interrupted" : costError.c_str());
            continue;
        }
        const FrameCost& cost = costs[i];
        // The renderer and the encoder run side by side: a frame takes its wall time, or,
        // with the machine to itself, at least its processor time over the processors.
        const double perFrame =
            std::max(cost.wall, (cost.capture + cost.encoder) / static_cast<double>(processors));
        const double whole = perFrame * static_cast<double>(showFrames);
        std::printf("  %-28s %7.1f ms a frame (processor: capture %.1f ms, ffmpeg %.1f ms): "
                    "the whole show in about %s = %.2f x its %.2f s\n",
                    name.c_str(), 1000.0 * perFrame, 1000.0 * cost.capture, 1000.0 * cost.encoder,
                    formatDuration(whole).c_str(), whole / showSeconds, showSeconds);
    }
    std::printf("\npeak memory: capture %.1f MB, largest child (ffmpeg) %.1f MB\n",
                peakMegabytes(RUSAGE_SELF), peakMegabytes(RUSAGE_CHILDREN));
    return interrupted() ? 130 : 0;
}
