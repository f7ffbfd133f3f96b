// The demo's entry point in the browser. The page calls main once the data files are in
// place: after the viewer's click or key, to run the show with its music (with "loop" to
// start it again at its end); with "--still T" to draw the one frame at demo time T from the
// module's strike list, as the capture tool does, and report it to the page.
#include "shell.h"

#include "director.h"
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
void drawStill(float time, StrikeFeed& feed) {
    feedStrikesUpTo(feed, time);
    setDemoClockTo(time);
    demoTime = time;
    reshapeHandler(glutGet(GLUT_WINDOW_WIDTH), glutGet(GLUT_WINDOW_HEIGHT));
    drawFrame();
}

// clang-format off
EM_JS(void, jsStillDone, (double time, int strikes), {
    if (Module.paradeStillDone)
        Module.paradeStillDone(time, strikes);
});
// clang-format on

int runStill(const char* timeText) {
    char* end = nullptr;
    const double time = std::strtod(timeText, &end);
    if (end == timeText || *end != '\0' || !std::isfinite(time) || time < 0.0 || time > 26.0) {
        const std::string message = std::string("The time \"") + timeText +
                                    "\" is not a demo time from 0 to 26 (pattern units).";
        webShowMessage(message.c_str());
        return 1;
    }
    glutInitWindowSize(640, 480);
    glutCreateWindow("parade");
    initGraphicsState();
    OfflineRender music;
    std::string error;
    if (!renderModuleOffline("mod2.it", music, error)) {
        webShowMessage(("The music mod2.it cannot be played: " + error).c_str());
        return 1;
    }
    StrikeFeed feed = makeStrikeFeed(music.strikes, {});
    // As the capture tool primes a frame: a unit earlier sets the backdrop, a frame earlier
    // the act and the bound texture.
    const double step = unitsPerSecond / 60.0;
    for (double t : {time - 1.0, time - step}) {
        if (t >= 0.0)
            drawStill(static_cast<float>(t), feed);
    }
    drawStill(static_cast<float>(time), feed);
    jsStillDone(time, static_cast<int>(music.strikes.size()));
    emscripten_exit_with_live_runtime();
}
} // namespace

int main(int argc, char** argv) {
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_DEPTH);
    if (argc == 3 && std::strcmp(argv[1], "--still") == 0)
        return runStill(argv[2]);
    loopShow = loopRequested(argc, argv);
    printBanner();
    // The canvas is the window; the page sizes it and offers full screen itself.
    openDemoWindow(false, argv[0]);
    initGraphicsState();
    registerCallbacks();
    if (!startMusic())
        return 1;
    glutMainLoop();
    return 0;
}

// The page calls this when it has resized the canvas.
extern "C" EMSCRIPTEN_KEEPALIVE void webCanvasResized(int width, int height) {
    reshapeHandler(width, height);
    glutPostRedisplay();
}
