// The frame of a moment: drawFrame depends on the frames before it only through the backdrop
// number, the effect selector and the bound texture; drawing the two frames that set them
// makes any moment's frame the one the running show draws there.
#include "director.h"

#include "clock.h"

void drawNextFrame(float time, const MomentSetter& setMoment) {
    setMoment(time);
    demoTime = time;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    drawFrame();
}

void primeFrameAt(double time, double frameStep, const MomentSetter& setMoment) {
    // A unit earlier the timeline sets the backdrop; a frame earlier sets the act and leaves
    // the texture bound that the next frame may show.
    for (double earlier : {time - 1.0, time - frameStep}) {
        if (earlier >= 0.0)
            drawNextFrame(static_cast<float>(earlier), setMoment);
    }
}

void drawFrameAt(double time, double frameStep, const MomentSetter& setMoment) {
    primeFrameAt(time, frameStep, setMoment);
    drawNextFrame(static_cast<float>(time), setMoment);
}
