// Jumps and the loop: the arrow keys and Home move the show a pattern back or forward or to
// its start, the music with it, and with the loop on the show starts again at its end. After a
// jump the SyncPoints, the backdrop, the act and the bound texture are put where a capture's
// frame at that moment has them, from the music's strike list, and that frame is drawn at once.
#include "shell.h"

#include "director.h"
#include "music.h"
#include "platform.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
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

// With PARADE_CLOCK_LOG=FILE, every frame adds a line: the steady clock in seconds, then the
// music heard just before the demo clock is read, the demo time, and the music heard just
// after, in patterns (-1 while no music plays). For measuring how the pictures keep to the
// music.
FILE* clockLog = nullptr;

bool clockLogged() {
    static bool opened = false;
    if (!opened) {
        opened = true;
        const char* path = std::getenv("PARADE_CLOCK_LOG");
        if (path != nullptr && path[0] != '\0') {
            clockLog = std::fopen(path, "w");
            if (clockLog == nullptr)
                std::fprintf(stderr, "parade: cannot write the clock log %s\n", path);
        }
    }
    return clockLog != nullptr;
}

double heardPatterns() {
    const double heard = musicHeardSeconds();
    return heard < 0.0 ? -1.0 : heard * unitsPerSecond;
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

void specialKeyHandler(int key, int, int) {
    switch (key) {
    case GLUT_KEY_LEFT:
        seekShow(demoTime - jumpLength);
        break;
    case GLUT_KEY_RIGHT: {
        double time = demoTime + jumpLength;
        if (loopShow && time > showLength)
            time -= showLength;
        seekShow(time);
        break;
    }
    case GLUT_KEY_HOME:
        seekShow(0.0);
        break;
    default:
        break;
    }
}

void idleHandler() {
    if (pauseFlag != 0)
        return;
    const bool logged = clockLogged();
    const double heardBefore = logged ? heardPatterns() : 0.0;
    demoTime = demoClock();
    if (logged) {
        const double now =
            std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
                .count();
        std::fprintf(clockLog, "%.6f %.9f %.9f %.9f\n", now, heardBefore, demoTime,
                     heardPatterns());
        std::fflush(clockLog);
    }
    while (loopShow && showHasEnded(demoTime))
        demoTime = startShowAgain();
    glutPostRedisplay();
}
