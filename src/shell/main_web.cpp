// The demo's entry point in the browser. The page calls main once the data files are in
// place (with "loop" the show starts again at its end), and main makes everything ready that takes
// time: the window (the canvas), the display lists and pictures, and the music, which the page then
// renders in steps (webPrepareStep) so it stays responsive and can show how far it is. The viewer's
// click then only starts the show (webStartShow). With "--still T [--size WxH]" (640x480 unless
// given), once ready, the one frame at demo time T is drawn from the module's strike list, as the
// capture tool does, and reported to the page.
#include "shell.h"

#include "director.h"
#include "jumps_web.h"
#include "music.h"
#include "platform.h"
#include "web/web.h"

#include <GL/freeglut.h>
#include <emscripten.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {
const char* const musicFile = "mod2.it";

bool stillWanted = false;
double stillTime = 0.0;
int stillWidth = 640;
int stillHeight = 480;
bool prepared = false;


// clang-format off
EM_JS(void, jsStillDone, (double time, int strikes), {
    if (Module.paradeStillDone)
        Module.paradeStillDone(time, strikes);
});
// clang-format on

void runStill() {
    const OfflineRender& music = preparedMusic();
    StrikeFeed feed = makeStrikeFeed(music.strikes, {});
    // The frame of the moment as the capture tool draws it at 60 frames a second: the strikes
    // heard up to each frame stamped, the clock there, the band on the page's canvas.
    drawFrameAt(stillTime, unitsPerSecond / 60.0, [&feed](float time) {
        feedStrikesUpTo(feed, time);
        setDemoClockTo(time);
        reshapeHandler(glutGet(GLUT_WINDOW_WIDTH), glutGet(GLUT_WINDOW_HEIGHT));
    });
    // The page reads the canvas without a buffer swap: the frame is sent to it first.
    glFlush();
    jsStillDone(stillTime, static_cast<int>(music.strikes.size()));
}

bool readStillTime(const char* text) {
    char* end = nullptr;
    stillTime = std::strtod(text, &end);
    if (end == text || *end != '\0' || !std::isfinite(stillTime) || stillTime < 0.0 ||
        stillTime > showLength) {
        const std::string message = std::string("The time \"") + text +
                                    "\" is not a demo time from 0 to 26 (pattern units).";
        webShowMessage(message.c_str());
        return false;
    }
    return true;
}

// "WxH", even sizes from 16 to 4096 as the capture tool takes them.
bool readStillSize(const char* text) {
    int width = 0;
    int height = 0;
    char rest = 0;
    if (std::sscanf(text, "%dx%d%c", &width, &height, &rest) != 2 || width < 16 || height < 16 ||
        width > 4096 || height > 4096 || width % 2 != 0 || height % 2 != 0) {
        const std::string message = std::string("The size \"") + text +
                                    "\" is not WIDTHxHEIGHT in even pixels from 16 to 4096.";
        webShowMessage(message.c_str());
        return false;
    }
    stillWidth = width;
    stillHeight = height;
    return true;
}
} // namespace

int main(int argc, char** argv) {
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_DEPTH);
    // --still T [--size WxH]
    stillWanted = (argc == 3 || (argc == 5 && std::strcmp(argv[3], "--size") == 0)) &&
                  std::strcmp(argv[1], "--still") == 0;
    if (stillWanted && (!readStillTime(argv[2]) || (argc == 5 && !readStillSize(argv[4]))))
        return 1;
    if (stillWanted) {
        glutInitWindowSize(stillWidth, stillHeight);
        glutCreateWindow("parade");
    } else {
        loopShow = loopRequested(argc, argv);
        printBanner();
        // The canvas is the window; the page sizes it and offers full screen itself.
        openDemoWindow(false, argv[0]);
    }
    std::string error;
    if (!beginPreparedMusic(musicFile, error)) {
        webShowMessage(
            ("The music " + std::string(musicFile) + " cannot be played: " + error).c_str());
        return 1;
    }
    // The page goes on with webPrepareStep and webPreparePictures.
    emscripten_exit_with_live_runtime();
}

// Renders the music for about `budgetMs` milliseconds; returns the share done, 1 once whole
// (and, for the show, its sound buffer made).
extern "C" EMSCRIPTEN_KEEPALIVE double webPrepareStep(double budgetMs) {
    const double done = stepPreparedMusic(budgetMs / 1000.0);
    if (done >= 1.0 && !prepared && !stillWanted) {
        const OfflineRender& music = preparedMusic();
        webPrepareMusic(music.pcm.data(), static_cast<int64_t>(music.pcm.size() / 2),
                        musicSampleRate);
    }
    prepared = prepared || done >= 1.0;
    return done;
}

// The display lists and the pictures, in one go. For the show, its first frame is drawn and
// wiped behind the start panel: the browser compiles the GL's shaders then, not after the
// click.
extern "C" EMSCRIPTEN_KEEPALIVE void webPreparePictures() {
    initGraphicsState();
    if (stillWanted)
        return;
    demoTime = 0.0f;
    reshapeHandler(glutGet(GLUT_WINDOW_WIDTH), glutGet(GLUT_WINDOW_HEIGHT));
    displayHandler();
    glFinish();
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    // The frame read the demo clock: it starts again with the music.
    resetDemoClock();
}

// The viewer's click (or, for a still, the end of the preparation): the music starts and the
// main loop draws the first frame at the next animation frame.
extern "C" EMSCRIPTEN_KEEPALIVE void webStartShow() {
    if (stillWanted) {
        runStill();
        return;
    }
    registerCallbacks();
    useWebCallbacks();
    if (!startMusic())
        std::exit(1);
    glutMainLoop();
}

// The page calls this when it has resized the canvas.
extern "C" EMSCRIPTEN_KEEPALIVE void webCanvasResized(int width, int height) {
    reshapeHandler(width, height);
    glutPostRedisplay();
}
