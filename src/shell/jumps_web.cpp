// The page's side of jumps and of the show's end. Its scrub bar and its ?at= parameter move the
// show through these, and read where the pictures and the music are.
//
// A jump (a key, the bar) waits for the next frame the browser shows, and jumps that come
// before it add up into one: a held or fast-repeated arrow key moves the show as far as it
// was pressed, the page draws on, and a key after them (Escape) is taken at once instead of
// behind a queue of jumps, each drawing whole frames.
//
// Played to its end (without the loop), the show stops on its last frame and the page says
// so, but the program, the music and the keys stay: the bar, Home and Left take the viewer
// back into the show. While the bar is held the end waits: a drag only moves the show.
#include "jumps_web.h"

#include "director.h"
#include "music.h"
#include "shell.h"
#include "web/web.h"

#include <GL/freeglut.h>
#include <emscripten.h>

#include <algorithm>

namespace {
// The show's end in demo time.
constexpr float showEnd = 26.0f;

bool jumpWaiting = false;
double jumpTarget = 0.0;
bool showOver = false;
bool endHeld = false;

// clang-format off
EM_JS(void, jsShowOver, (int over), {
    if (Module.paradeShowOver)
        Module.paradeShowOver(!!over);
});
// clang-format on

// The next frame jumps to `time` (demo time, kept within the show).
void jumpAtNextFrame(double time) {
    jumpTarget = std::clamp(time, 0.0, static_cast<double>(showEnd));
    jumpWaiting = true;
    glutPostRedisplay();
}

void endShow() {
    showOver = true;
    demoTime = showEnd;
    // The song may go on past the show; it stops here as the desktop's does at its exit.
    webStopMusic();
    jsShowOver(1);
}

// Copies the demo clock into the demo time as the desktop does; without the loop, a time past
// the end ends the show unless a jump is about to move it or the bar is held, where the last
// frame stays.
void webIdle() {
    if (showOver)
        return;
    idleHandler();
    if (loopShow || !showHasEnded(demoTime) || jumpWaiting)
        return;
    if (endHeld)
        demoTime = showEnd;
    else
        endShow();
}

// A waiting jump is this frame; otherwise the show's frame as on the desktop (over, its last).
void webDisplay() {
    if (!jumpWaiting) {
        displayHandler();
        return;
    }
    jumpWaiting = false;
    if (showOver) {
        showOver = false;
        jsShowOver(0);
    }
    seekShow(jumpTarget);
}

// Left and Right a pattern back and forward from where the show is or a waiting jump goes
// (forward past the end goes round when the show loops), Home to the start.
void webSpecialKey(int key, int, int) {
    const double from = jumpWaiting ? jumpTarget : static_cast<double>(demoTime);
    switch (key) {
    case GLUT_KEY_LEFT:
        jumpAtNextFrame(from - 1.0);
        break;
    case GLUT_KEY_RIGHT:
        jumpAtNextFrame(loopShow && from + 1.0 > showEnd ? from + 1.0 - showEnd : from + 1.0);
        break;
    case GLUT_KEY_HOME:
        jumpAtNextFrame(0.0);
        break;
    default:
        break;
    }
}
} // namespace

void useWebCallbacks() {
    glutIdleFunc(webIdle);
    glutDisplayFunc(webDisplay);
    glutSpecialFunc(webSpecialKey);
}

extern "C" {

// Jumps the show to `seconds` of music from its start (kept within the show) at the next frame.
EMSCRIPTEN_KEEPALIVE void webSeekSeconds(double seconds) {
    jumpAtNextFrame(seconds * unitsPerSecond);
}

// While the bar is held (1), the end of the show waits on its last frame.
EMSCRIPTEN_KEEPALIVE void webHoldEnd(int held) {
    endHeld = held != 0;
}

// Where the pictures are: the demo time in seconds of music.
EMSCRIPTEN_KEEPALIVE double webShowSeconds() {
    return demoTime / unitsPerSecond;
}

// Where the music is heard: seconds into the song, -1 while none plays.
EMSCRIPTEN_KEEPALIVE double webMusicSeconds() {
    return musicHeardSeconds();
}

// 1 when the show starts again at its end.
EMSCRIPTEN_KEEPALIVE int webShowLoops() {
    return loopShow ? 1 : 0;
}
}
