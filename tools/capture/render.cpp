// Headless rendering of the show: a GLUT window on a private X server (Mesa renders it in
// software), the demo's one-time building, and frames drawn at exact demo times with the demo
// clock on the virtual counter, so that nothing depends on how fast the machine is.
#include "capture.h"

#include "director.h"
#include "platform.h"
#include "shell.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <dlfcn.h>
#include <link.h>

namespace {
int captureWidth = 0;
int captureHeight = 0;
int captureSupersample = 1;
std::vector<uint8_t> bottomUp;
std::vector<uint32_t> rowSums;

// Marks every loaded Mesa driver as never to be unloaded. The driver is otherwise unmapped
// when the display closes at exit, and a leak checker run afterwards can no longer tell which
// library the memory that the driver keeps until exit came from, so its suppressions miss it.
int keepDriverLoaded(dl_phdr_info* info, size_t, void*) {
    const char* name = info->dlpi_name;
    if (name && (std::strstr(name, "_dri.so") || std::strstr(name, "libgallium")))
        dlopen(name, RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
    return 0;
}

} // namespace

bool openCaptureContext(int width, int height, std::string& error, int supersample) {
    width *= supersample;
    height *= supersample;
    if (!openHeadlessWindow("parade-capture", width, height, error))
        return false;
    GLint maxViewport[2] = {0, 0};
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, maxViewport);
    if (maxViewport[0] < width || maxViewport[1] < height) {
        error = "the renderer cannot draw " + std::to_string(width) + "x" + std::to_string(height) +
                " pixels";
        return false;
    }
    glReadBuffer(GL_BACK);
    dl_iterate_phdr(keepDriverLoaded, nullptr);
    captureWidth = width;
    captureHeight = height;
    captureSupersample = supersample;
    return true;
}

StartupTimes prepareShow() {
    StartupTimes times;
    double start = wallSeconds();
    initOnce();
    glFinish();
    times.lists = wallSeconds() - start;
    start = wallSeconds();
    // The rest of the demo's graphics start-up: textures and the fixed state (lists are built).
    initGraphicsState();
    glFinish();
    times.textures = wallSeconds() - start;
    return times;
}

namespace {
// The capture's moment: the strikes heard up to it stamped, the clock there, the band placed.
MomentSetter captureMoment(StrikeFeed& feed) {
    return [&feed](float time) {
        feedStrikesUpTo(feed, time);
        setDemoClockTo(time);
        placeBand(captureWidth, captureHeight);
    };
}
} // namespace

void renderFrame(float time, StrikeFeed& feed) {
    drawNextFrame(time, captureMoment(feed));
}

void primeShowAt(double time, double step, StrikeFeed& feed) {
    rewindStrikeFeed(feed);
    primeFrameAt(time, step, captureMoment(feed));
}

void renderFrameAt(double time, double step, StrikeFeed& feed) {
    rewindStrikeFeed(feed);
    drawFrameAt(time, step, captureMoment(feed));
}

void readFrame(std::vector<uint8_t>& rgb) {
    const size_t row = static_cast<size_t>(captureWidth) * 3;
    bottomUp.resize(row * static_cast<size_t>(captureHeight));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, captureWidth, captureHeight, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
    const int n = captureSupersample;
    if (n == 1) {
        rgb.resize(bottomUp.size());
        for (int y = 0; y < captureHeight; ++y)
            std::memcpy(&rgb[static_cast<size_t>(y) * row],
                        &bottomUp[static_cast<size_t>(captureHeight - 1 - y) * row], row);
        return;
    }
    // Each output pixel is the rounded mean of its n x n block.
    const int width = captureWidth / n;
    const int height = captureHeight / n;
    const size_t outRow = static_cast<size_t>(width) * 3;
    const uint32_t cells = static_cast<uint32_t>(n * n);
    rgb.resize(outRow * static_cast<size_t>(height));
    rowSums.resize(outRow);
    for (int y = 0; y < height; ++y) {
        std::fill(rowSums.begin(), rowSums.end(), 0u);
        for (int dy = 0; dy < n; ++dy) {
            const uint8_t* source =
                &bottomUp[static_cast<size_t>(captureHeight - 1 - (y * n + dy)) * row];
            for (int x = 0; x < width; ++x)
                for (int dx = 0; dx < n; ++dx)
                    for (int c = 0; c < 3; ++c)
                        rowSums[static_cast<size_t>(x) * 3 + c] +=
                            source[(static_cast<size_t>(x) * n + dx) * 3 + c];
        }
        uint8_t* out = &rgb[static_cast<size_t>(y) * outRow];
        for (size_t i = 0; i < outRow; ++i)
            out[i] = static_cast<uint8_t>((rowSums[i] + cells / 2) / cells);
    }
}
