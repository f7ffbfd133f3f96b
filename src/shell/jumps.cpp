// Jumps and the loop: the arrow keys and Home move the show a pattern back or forward or to
// its start, the music with it, and with the loop on the show starts again at its end. Keys ask
// for a jump and the next frame makes it: the SyncPoints, the backdrop, the act and the bound
// texture are put where a capture's frame at that moment has them, from the music's strike
// list, and that frame is drawn.
#include "shell.h"

#include "director.h"
#include "music.h"
#include "platform.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <cstring>

bool loopShow = false;

namespace {
// A jump is one pattern.
constexpr double jumpLength = 1.0;
// The frames before a jump's are drawn as a capture at 60 frames a second primes its first.
constexpr double primingStep = (1.0 / 60.0) * unitsPerSecond;

// A jump's moment: the clock held there, the SyncPoints as the strikes leave them by then.
void holdMomentAt(float time) {
    holdDemoClock(time);
    setSyncPointsAt(time);
}
} // namespace

bool loopRequested(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strstr(argv[i], "loop"))
            return true;
    }
    return false;
}

void seekShow(double time) {
    time = std::clamp(time, 0.0, showLength);
    holdMusicSyncs();
    const int64_t heardAt = seekMusic(static_cast<float>(time));
    drawFrameAt(time, primingStep, holdMomentAt);
    glutSwapBuffers();
    // The pictures go on from the moment the music is heard from there.
    runDemoClockFrom(static_cast<float>(time), heardAt);
    releaseMusicSyncs();
    // Paused, the jump's frame is the one that stays: a redraw would mix in the strikes heard
    // while it was drawn, which belong to later moments.
    if (pauseFlag == 0)
        glutPostRedisplay();
}

float startShowAgain() {
    holdMusicSyncs();
    // The music went round at the same moment: the pictures keep their pace and their place
    // on it, a show's length earlier.
    shiftDemoClock(-showLength);
    const float time = demoClock();
    setSyncPointsAt(time);
    releaseMusicSyncs();
    return time;
}

namespace {
// The jump the keys have asked for since the last frame was drawn: from the start (Home) or
// from the shown time, by a number of patterns. Keys only add to it; the next frame makes it,
// so however fast they come (a held key's repeats), the window goes on drawing and a key
// behind them (Escape) is read within a frame.
bool jumpAsked = false;
bool jumpFromStart = false;
double jumpPatterns = 0.0;
} // namespace

void askJump(double patterns) {
    jumpAsked = true;
    jumpPatterns += patterns;
    glutPostRedisplay();
}

void askJumpTo(double time) {
    jumpAsked = true;
    jumpFromStart = true;
    jumpPatterns = time;
    glutPostRedisplay();
}

bool jumpIsAsked() {
    return jumpAsked;
}

bool makeAskedJump() {
    if (!jumpAsked)
        return false;
    double time = (jumpFromStart ? 0.0 : static_cast<double>(demoTime)) + jumpPatterns;
    jumpAsked = false;
    jumpFromStart = false;
    jumpPatterns = 0.0;
    // Forward past the end goes round when the show loops, as often as the presses add up.
    while (loopShow && time > showLength)
        time -= showLength;
    seekShow(time);
    return true;
}

void specialKeyHandler(int key, int, int) {
    switch (key) {
    case GLUT_KEY_LEFT:
        askJump(-jumpLength);
        break;
    case GLUT_KEY_RIGHT:
        askJump(jumpLength);
        break;
    case GLUT_KEY_HOME:
        askJumpTo(0.0);
        break;
    default:
        break;
    }
}

void idleHandler() {
    if (pauseFlag != 0)
        return;
    const bool logged = clockLogOn();
    const double heardBefore = logged ? heardMusicPatterns() : 0.0;
    demoTime = demoClock();
    if (logged)
        writeClockLine(heardBefore, demoTime, heardMusicPatterns());
    while (loopShow && showHasEnded(demoTime))
        demoTime = startShowAgain();
    glutPostRedisplay();
}
