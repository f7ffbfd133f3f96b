// The demo's entry point: the start-up sequence, then the toolkit's main loop.
#include "shell.h"

#include "music.h"

#include <GL/freeglut.h>
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
const char usage[] =
    "usage: parade [window | full]\n"
    "\n"
    "Plays the demo Quiet Harbour Parade: 26 patterns of music (199.68 s) with pictures,\n"
    "then ends by itself. An argument containing \"window\" opens a 640x480 window; one\n"
    "containing \"full\" (the default) the 640x480 full-screen mode.\n"
    "\n"
    "Keys: Esc quit, space picture layers off/on, q/a/z speed up/down/normal,\n"
    "      0-9 effect number, w s x / e d c / r f v / t g b tuning values, i o p mode.\n"
    "Right mouse button: menu with (un)Pause, No effect, Effect1, Effect2, Quit.\n"
    "\n"
    "Reads mod2.it (an Impulse Tracker module) and the seventeen pictures deita/*.jpg\n"
    "from the working directory.\n";

bool displayReachable() {
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    XCloseDisplay(display);
    return true;
}
} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(usage, stdout);
            return 0;
        }
    }
    const bool fullScreen = fullScreenRequested(argc, argv);
    if (!displayReachable()) {
        const char* name = std::getenv("DISPLAY");
        std::fprintf(stderr,
                     "parade: cannot open the display \"%s\": run the demo inside an X session\n",
                     name ? name : "");
        return 1;
    }
    glutInit(&argc, argv);
    // Closing the window returns from the main loop, so the music fades out as after its end.
    glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_GLUTMAINLOOP_RETURNS);
    glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_DEPTH);
    printBanner();
    openDemoWindow(fullScreen, argv[0]);
    initGraphicsState();
    registerCallbacks();
    if (!startMusic())
        return 1;
    glutMainLoop();
    stopMusic();
    return 0;
}
