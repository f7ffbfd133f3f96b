// The demo's entry point: the start-up sequence, then the toolkit's main loop.
#include "shell.h"

#include "music.h"

#include <GL/freeglut.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
const char usage[] =
    "usage: parade [window | full] [loop] [GLUT options such as -display NAME, -geometry WxH+X+Y]\n"
    "\n"
    "Plays the demo Quiet Harbour Parade: 26 patterns of music (199.68 s) with pictures,\n"
    "then ends by itself. An argument containing \"window\" opens a 640x480 window; one\n"
    "containing \"full\" (the default) the 640x480 full-screen mode. The window may be\n"
    "resized: the picture keeps its shape. An argument containing \"loop\" (--loop) starts\n"
    "the show again at its end, without a gap in the music, until Esc or Quit.\n"
    "\n"
    "Keys: Esc quit, space picture layers off/on, q/a/z speed up/down/normal,\n"
    "      0-9 effect number, w s x / e d c / r f v / t g b tuning values, i o p mode,\n"
    "      Left/Right one pattern (7.68 s) back/forward, Home the start.\n"
    "Right mouse button: menu with (un)Pause, No effect, Effect1, Effect2, Quit.\n"
    "\n"
    "Reads mod2.it (an Impulse Tracker module) and the seventeen pictures deita/*.jpg\n"
    "from the working directory.\n"
    "\n"
    "Frames are shown in step with the screen's refresh where the graphics driver allows;\n"
    "PARADE_VSYNC=0 in the environment draws as fast as it can instead (for measuring).\n";
} // namespace

int main(int argc, char** argv) {
    // A reader that leaves a pipe we write to (the clock log's, the console's) must not end the
    // show: the write fails instead, and the clock log says why. A lost X connection is then
    // also always told by Xlib's I/O error handler, never by the signal.
#ifdef SIGPIPE
    std::signal(SIGPIPE, SIG_IGN);
#endif
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(usage, stdout);
            return 0;
        }
    }
    const bool fullScreen = fullScreenRequested(argc, argv);
    loopShow = loopRequested(argc, argv);
    bool nameMissing = false;
    const char* displayName = displayArgument(argc, argv, nameMissing);
    if (nameMissing) {
        std::fputs("parade: -display needs a display name, such as -display :0\n", stderr);
        return 1;
    }
    catchDisplayErrors(displayName);
    // The check's connection stays open until GLUT holds its own (see holdDisplay).
    if (!holdDisplay(displayName)) {
        std::fprintf(stderr,
                     "parade: cannot open the display \"%s\": run the demo inside an X session\n",
                     displayName ? displayName : "");
        return 1;
    }
    int givenWidth = 0, givenHeight = 0;
    geometryGivesSize(argc, argv, givenWidth, givenHeight);
    glutInit(&argc, argv);
    // Closing the window returns from the main loop, so the music fades out as after its end.
    glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_GLUTMAINLOOP_RETURNS);
    glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_DEPTH);
    printBanner();
    openDemoWindow(fullScreen, argv[0], givenWidth, givenHeight);
    watchDisplayConnection();
    releaseHeldDisplay();
    useSwapInterval();
    initGraphicsState();
    registerCallbacks();
    if (!startMusic())
        return 1;
    glutMainLoop();
    stopMusic();
    return 0;
}
