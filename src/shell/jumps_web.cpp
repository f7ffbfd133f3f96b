// The page's side of jumps and of the show's end. Its scrub bar and its ?at= parameter move the
// show through these, and read where the pictures and the music are.
//
// A jump from the bar is asked for as the keys ask for theirs: the next frame the browser
// shows makes it, so a drag's jumps and a held key's add up and the page draws on.
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

namespace {
bool showOver = false;
bool endHeld = false;

// clang-format off
EM_JS(void, jsShowOver, (int over), {
    if (Module.paradeShowOver)
        Module.paradeShowOver(!!over);
});
// clang-format on

void endShow() {
    showOver = true;
    demoTime = static_cast<float>(showLength);
    // The music would go on (round to its start); it stops here as the desktop's does at its
    // exit.
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
    if (loopShow || !showHasEnded(demoTime) || jumpIsAsked())
        return;
    if (endHeld)
        demoTime = static_cast<float>(showLength);
    else
        endShow();
}

// The desktop's frame, which makes an asked jump first; a jump takes an ended show back in.
void webDisplay() {
    if (showOver && jumpIsAsked()) {
        showOver = false;
        jsShowOver(0);
    }
    displayHandler();
}
} // namespace

void useWebCallbacks() {
    glutIdleFunc(webIdle);
    glutDisplayFunc(webDisplay);
}

extern "C" {

// Jumps the show to `seconds` of music from its start (kept within the show) at the next frame.
EMSCRIPTEN_KEEPALIVE void webSeekSeconds(double seconds) {
    askJumpTo(seconds * unitsPerSecond);
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
