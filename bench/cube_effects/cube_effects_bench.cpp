// parade-bench-cubes: renders the acts that use the cube wheel, cube field, letter layers and
// logo picture at 640x480 and prints median and worst frame times, with and without the
// picture layers, and the time of each effect alone (drawn and finished, no layers, no clear).
//
// Usage: parade-bench-cubes [FRAMES [DATADIR]]
#include "director.h"
#include "effects.h"
#include "music.h"
#include "platform.h"
#include "shell.h"

#include <GL/freeglut.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace {
constexpr int width = 640;
constexpr int height = 480;

struct Act {
    int act;
    float start; // a quarter of the timeline in which the act runs
};

// The acts that call the cube effects, at quarters outside the extra flip-book windows.
const Act acts[] = {{0, 12.0f},  {2, 12.5f}, {5, 13.25f}, {6, 7.5f},   {7, 7.75f},   {8, 8.0f},
                    {9, 8.25f},  {10, 8.5f}, {12, 9.0f},  {15, 3.75f}, {17, 4.25f},  {18, 4.5f},
                    {19, 4.75f}, {20, 5.0f}, {21, 5.25f}, {22, 11.5f}, {23, 11.75f}, {32, 1.0f}};

void strikeEvery(int k) {
    const float now = demoClock();
    for (SyncPoint& sync : syncPoints)
        sync.stamp.store(static_cast<float>(now - (k % 4) / 64.0));
}

// Wall time and the process's CPU time (all threads, llvmpipe's rasterisers included): on a
// shared machine the CPU time shows the cost of a frame that waiting for a core hides.
struct Figures {
    double median, worst, cpuMedian;
};

double cpuMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec * 1000.0 + now.tv_nsec / 1.0e6;
}

Figures timeFrames(int frames, float start, float span, const std::function<void()>& draw) {
    std::vector<double> times, cpuTimes;
    for (int k = 0; k < frames; ++k) {
        demoTime = start + span * static_cast<float>(k) / static_cast<float>(frames);
        strikeEvery(k);
        const double cpuBegin = cpuMilliseconds();
        const auto begin = std::chrono::steady_clock::now();
        draw();
        glFinish();
        const auto end = std::chrono::steady_clock::now();
        cpuTimes.push_back(cpuMilliseconds() - cpuBegin);
        times.push_back(std::chrono::duration<double, std::milli>(end - begin).count());
    }
    std::sort(times.begin(), times.end());
    std::sort(cpuTimes.begin(), cpuTimes.end());
    return {times[times.size() / 2], times.back(), cpuTimes[cpuTimes.size() / 2]};
}

void wholeFrame() {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    drawFrame();
    glutSwapBuffers();
}

// One effect in the state a frame leaves it: frustum, lighting, fog, additive blending.
void effectAlone(const std::function<void()>& effect) {
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_CULL_FACE);
    glEnable(GL_FOG);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-1.0, 1.0, -0.5, 0.5, 1.0, 500.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    effect();
    glPopAttrib();
}
} // namespace

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::atoi(argv[1]) : 40;
    if (frames < 1 || frames > 100000) {
        std::fprintf(stderr, "usage: parade-bench-cubes [FRAMES [DATADIR]]\n");
        return 2;
    }
    if (argc > 2 && chdir(argv[2]) != 0) {
        std::perror(argv[2]);
        return 1;
    }
    std::string error;
    if (!openHeadlessWindow("parade-bench-cubes", width, height, error)) {
        std::fprintf(stderr, "parade-bench-cubes: %s\n", error.c_str());
        return 1;
    }
    initGraphicsState();
    reshapeHandler(width, height);
    useVirtualCounter();
    resetDemoClock();

    std::printf(
        "act   with layers: median  worst  cpu   without layers: median  worst  cpu   (ms)\n");
    for (const Act& a : acts) {
        spaceToggle = 1;
        const Figures with = timeFrames(frames, a.start, 0.25f, wholeFrame);
        spaceToggle = 0;
        const Figures without = timeFrames(frames, a.start, 0.25f, wholeFrame);
        std::printf("%3d   %19.2f %6.2f %5.2f   %22.2f %6.2f %5.2f\n", a.act, with.median,
                    with.worst, with.cpuMedian, without.median, without.worst, without.cpuMedian);
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
    };
    std::printf("\neffect alone                 median  worst    cpu (ms)\n");
    for (const auto& e : effects) {
        const Figures f = timeFrames(frames, e.start, e.span, [&] {
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            effectAlone(e.draw);
        });
        std::printf("%-26s %8.2f %6.2f %6.2f\n", e.name, f.median, f.worst, f.cpuMedian);
    }
    return 0;
}
