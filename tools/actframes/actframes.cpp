// parade-actframes: renders one frame of each of the 26 acts at a time inside the act's own
// quarter of the timeline, with every sync struck one row before, into PNG files; or, with
// --bench N, renders N frames across each act's quarter and prints the frame times.
//
// Usage: parade-actframes DATADIR OUTDIR
//        parade-actframes --bench N DATADIR
#include "director.h"
#include "effects.h"
#include "music.h"
#include "platform.h"
#include "shell.h"

#include <GL/freeglut.h>
#include <png.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {
constexpr int frameWidth = 640;
constexpr int frameHeight = 480;

// Each act at the quarter unit (16 rows) where it runs: the first of its quarters outside the
// windows where the flip-book sections join every act, except act 16, whose own flip-book
// shows words only inside one.
struct ActTime {
    int act;
    int quarter; // the act runs for t in [quarter / 4, quarter / 4 + 0.25)
};

const ActTime actTimes[] = {
    {0, 48},
    {1, 49},
    {2, 50},
    {3, 51},
    {4, 52},
    {5, 53},
    {6, 30},
    {7, 31},
    {8, 32},
    {9, 33},
    {10, 34},
    {11, 35},
    {12, 36},
    {13, 37},
    {14, 14},
    {15, 15},
    {16, 40},
    {17, 17},
    {18, 18},
    {19, 19},
    {20, 20},
    {21, 21},
    {22, 46},
    {23, 47},
    // The opening: act 30 runs in [1.5, 3.5), act 32 in [0, 1.5), shown late in it, near the steady
    // logo.
    {30, 12},
    {32, 5},
};

int usage() {
    std::fprintf(stderr, "usage: parade-actframes DATADIR OUTDIR\n"
                         "       parade-actframes --bench FRAMES DATADIR\n");
    return 2;
}

// Every SyncPoint struck `rows` rows before the frozen clock, so the envelopes light up.
void strikeAllSyncs(double rows) {
    const float now = demoClock();
    for (SyncPoint& sync : syncPoints) {
        sync.level.store(1.0f);
        sync.stamp.store(static_cast<float>(now - rows / 64.0));
    }
}

void renderFrame(float t) {
    demoTime = t;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    drawFrame();
    glFinish();
}

bool writePng(const std::string& path, const std::vector<unsigned char>& rgba) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, info != nullptr ? &info : nullptr);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, frameWidth, frameHeight, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    // OpenGL reads rows bottom up; the file stores them top down, as RGB.
    std::vector<unsigned char> row(frameWidth * 3);
    for (int y = frameHeight - 1; y >= 0; --y) {
        const unsigned char* source = &rgba[static_cast<size_t>(y) * frameWidth * 4];
        for (int x = 0; x < frameWidth; ++x)
            std::copy(source + x * 4, source + x * 4 + 3, row.begin() + x * 3);
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}

int writeFrames(const std::string& outDir) {
    std::vector<unsigned char> rgba(static_cast<size_t>(frameWidth) * frameHeight * 4);
    for (const ActTime& at : actTimes) {
        const float t = at.quarter / 4.0f + 0.125f;
        strikeAllSyncs(1.0);
        renderFrame(t);
        if (effectSelector != at.act) {
            std::fprintf(stderr, "parade-actframes: t = %.4f ran act %d, not act %d\n", t,
                         effectSelector, at.act);
            return 1;
        }
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadBuffer(GL_BACK);
        glReadPixels(0, 0, frameWidth, frameHeight, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        char name[32];
        std::snprintf(name, sizeof name, "act%02d.png", at.act);
        const std::string path = outDir + "/" + name;
        if (!writePng(path, rgba)) {
            std::fprintf(stderr, "parade-actframes: cannot write %s\n", path.c_str());
            return 1;
        }
        std::printf("act %2d  t = %7.4f  %s\n", at.act, t, path.c_str());
    }
    return 0;
}

// Wall time and the process's CPU time (all threads, llvmpipe's rasterisers included): on a
// shared machine the CPU time shows the cost of a frame that waiting for a core hides.
struct FrameTimes {
    double median;
    double worst;
    double cpuMedian;
};

double cpuMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec * 1000.0 + now.tv_nsec / 1.0e6;
}

// Times `draw` (which must finish its frame) at `frames` times across [start, start + span),
// with the syncs struck every 4 rows.
FrameTimes timeFrames(int frames, float start, float span, const std::function<void(float)>& draw) {
    std::vector<double> times, cpuTimes;
    for (int k = 0; k < frames; ++k) {
        const float t = start + span * static_cast<float>(k) / static_cast<float>(frames);
        strikeAllSyncs(k % 4);
        const double cpuBegin = cpuMilliseconds();
        const auto begin = std::chrono::steady_clock::now();
        draw(t);
        const auto end = std::chrono::steady_clock::now();
        cpuTimes.push_back(cpuMilliseconds() - cpuBegin);
        times.push_back(std::chrono::duration<double, std::milli>(end - begin).count());
    }
    std::sort(times.begin(), times.end());
    std::sort(cpuTimes.begin(), cpuTimes.end());
    return {times[times.size() / 2], times.back(), cpuTimes[cpuTimes.size() / 2]};
}

void wholeFrame(float t) {
    renderFrame(t);
    glutSwapBuffers();
}

// One effect in the state a frame gives the effects: frustum, lighting, fog, culling and
// additive blending, without the layers.
void drawEffectAlone(const std::function<void()>& effect) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_CULL_FACE);
    glEnable(GL_FOG);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-1.0, 1.0, -0.5, 0.5, 1.0, 500.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    effect();
    glPopAttrib();
    glFinish();
}

// Each act timed as shown, then without the picture layers (space toggle off) to tell the
// act's own cost from the layers'; then every effect alone.
int benchmark(int frames) {
    std::printf("act  quarter   median ms   worst ms   cpu ms   median fps   "
                "without layers: median ms   cpu ms\n");
    for (const ActTime& at : actTimes) {
        const float start = at.quarter / 4.0f;
        spaceToggle = 1;
        const FrameTimes shown = timeFrames(frames, start, 0.25f, wholeFrame);
        spaceToggle = 0;
        const FrameTimes bare = timeFrames(frames, start, 0.25f, wholeFrame);
        std::printf("%3d  %7d  %10.2f  %9.2f  %7.2f  %11.1f  %26.2f  %7.2f\n", at.act, at.quarter,
                    shown.median, shown.worst, shown.cpuMedian, 1000.0 / shown.median, bare.median,
                    bare.cpuMedian);
    }
    spaceToggle = 1;

    const struct {
        const char* name;
        float start, span;
        std::function<void()> draw;
    } effects[] = {
        {"cubeWheel(1, -2, 90, 3)", 12.5f, 0.25f, [] { cubeWheel(1, -2, 90, 3); }},
        {"13 wheels of act 6", 7.5f, 0.25f,
         [] {
             for (int k = 0; k < 13; ++k)
                 cubeWheel(1 - k % 2, -12 + 2 * k, 0, 3);
         }},
        {"cubeField(4)", 12.5f, 0.25f, [] { cubeField(4); }},
        {"letterLayers(3)", 12.0f, 0.25f, [] { letterLayers(3); }},
        {"logoPicture(0), steady", 8.0f, 0.25f, [] { logoPicture(0); }},
        // The fly-in in parts: the wire ghost alone (t <= 0.1), both passes, the depth stretch.
        {"logoPicture(2), ghost only", 0.0f, 0.1f, [] { logoPicture(2); }},
        {"logoPicture(2), fly-in", 0.5f, 0.25f, [] { logoPicture(2); }},
        {"logoPicture(2), stretch", 1.375f, 0.125f, [] { logoPicture(2); }},
        {"flipbookPair(1)", 12.75f, 0.25f, [] { flipbookPair(1); }},
        {"flipbookSections(1)", 10.0f, 0.25f, [] { flipbookSections(1); }},
        {"swirlRings(1)", 12.25f, 0.25f, [] { swirlRings(1); }},
        {"swirlCloud(1)", 4.25f, 0.25f, [] { swirlCloud(1); }},
        {"swirlCloudCubes(1)", 12.75f, 0.25f, [] { swirlCloudCubes(1); }},
        {"swirlCloudCubes(3)", 4.75f, 0.25f, [] { swirlCloudCubes(3); }},
        {"cubeFloor(1)", 12.25f, 0.25f, [] { cubeFloor(1); }},
        {"cubeFloor(3)", 9.25f, 0.25f, [] { cubeFloor(3); }},
    };
    std::printf("\neffect alone                 median ms   worst ms   cpu ms\n");
    for (const auto& e : effects) {
        const FrameTimes f = timeFrames(frames, e.start, e.span, [&](float t) {
            demoTime = t;
            drawEffectAlone(e.draw);
        });
        std::printf("%-26s  %10.2f  %9.2f  %7.2f\n", e.name, f.median, f.worst, f.cpuMedian);
    }
    return 0;
}
} // namespace

int main(int argc, char** argv) {
    int frames = 0;
    std::string dataDir, outDir;
    if (argc == 4 && std::string(argv[1]) == "--bench") {
        frames = std::atoi(argv[2]);
        dataDir = argv[3];
        if (frames < 1 || frames > 100000)
            return usage();
    } else if (argc == 3) {
        dataDir = argv[1];
        outDir = argv[2];
    } else {
        return usage();
    }
    std::error_code error;
    if (!std::filesystem::is_directory(dataDir, error)) {
        std::fprintf(stderr, "parade-actframes: %s is not a directory\n", dataDir.c_str());
        return 1;
    }
    if (!outDir.empty()) {
        // Resolved before the change into the data directory.
        outDir = std::filesystem::absolute(outDir, error).string();
        std::filesystem::create_directories(outDir, error);
        if (error || !std::filesystem::is_directory(outDir)) {
            std::fprintf(stderr, "parade-actframes: cannot create %s\n", outDir.c_str());
            return 1;
        }
    }
    if (chdir(dataDir.c_str()) != 0) {
        std::perror(("parade-actframes: " + dataDir).c_str());
        return 1;
    }

    std::string windowError;
    if (!openHeadlessWindow("parade-actframes", frameWidth, frameHeight, windowError)) {
        std::fprintf(stderr, "parade-actframes: %s\n", windowError.c_str());
        return 1;
    }

    const auto start = std::chrono::steady_clock::now();
    initGraphicsState();
    reshapeHandler(frameWidth, frameHeight);
    const auto ready = std::chrono::steady_clock::now();
    if (frames > 0)
        std::printf("start-up (lists and textures): %.1f ms\n",
                    std::chrono::duration<double, std::milli>(ready - start).count());

    // A frozen counter keeps the clock, and so every envelope, where the stamps put it.
    useVirtualCounter();
    resetDemoClock();
    const int status = frames > 0 ? benchmark(frames) : writeFrames(outDir);
    // The toolkit closes its connection at exit, before the server's own exit handler (registered
    // first) stops it; stopping the server here would make Xlib end the process in error.
    return status;
}
