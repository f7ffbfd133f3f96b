// The toolkit callbacks: display draws the frame, reshape places the picture's band, keyboard
// and menu apply the viewer's controls. The idle handler, which advances the demo time and
// starts the show again when it loops, is with the jumps (jumps.cpp).
#include "shell.h"

#include "director.h"
#include "music.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

void displayHandler() {
#if !defined(PARADE_FIXEDGL)
    // On the real GL, another client may have grown the window past the renderer's limits
    // since the last reshape: the driver would fall over drawing into it, so this frame waits
    // for it to be taken back.
    int width = 0, height = 0;
    if (demoWindowSize(width, height) && keepWindowWithinLimits(width, height))
        return;
#endif
    // A jump draws and shows its own frame.
    if (makeAskedJump())
        return;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    drawFrame();
    glutSwapBuffers();
}

namespace {
bool windowCapSaid = false;
} // namespace

bool keepWindowWithinLimits(int& width, int& height) {
    if (width <= maxWindowWidth && height <= maxWindowHeight)
        return false;
    const int askedWidth = width, askedHeight = height;
    width = std::min(width, maxWindowWidth);
    height = std::min(height, maxWindowHeight);
    if (!windowCapSaid)
        std::fprintf(stderr,
                     "parade: the renderer draws at most %dx%d pixels; the window is kept "
                     "at %dx%d instead of %dx%d\n",
                     maxWindowWidth, maxWindowHeight, width, height, askedWidth, askedHeight);
    windowCapSaid = true;
    glutReshapeWindow(width, height);
    return true;
}

void reshapeHandler(int width, int height) {
    // A window resized past what the renderer draws would take the driver down with it.
    keepWindowWithinLimits(width, height);
    // On 640x480 the band 640x270 at 120 pixels up; any other size keeps its shape.
    placeBand(width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
}

namespace {
void actOn(ControlResult result) {
    if (result == ControlResult::quit)
        quitDemo();
    if (result == ControlResult::redraw)
        glutPostRedisplay();
}
} // namespace

void keyboardHandler(unsigned char key, int, int) {
    actOn(applyKey(key));
}

void menuHandler(int value) {
    actOn(applyMenu(value));
}

void quitDemo() {
    // The audio thread stops before the runtime's exit tears down what it uses.
    haltMusic();
    std::exit(0);
}
