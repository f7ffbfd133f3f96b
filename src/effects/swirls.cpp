// The swirls: many copies of one cube centred on the same point, each with its own size, tilt
// and spin rate from fixed formulas of its index, forming a spinning cloud of nested boxes.
#include "effects.h"

#include "clock.h"

#include <GL/gl.h>
#include <cmath>

namespace {
constexpr double pi = 3.14159265358979323846;

// The shared placement; poses outside 0-3 stand free at `depth` without the camera.
void placeSwirl(int pose, double depth) {
    const double t = demoTime;
    switch (pose) {
    case 0:
        cameraPose(1);
        glTranslated(0.0, 0.75 * std::tan(0.5 * pi * t), 0.0);
        break;
    case 1:
        cameraPose(2);
        break;
    case 2:
        cameraPose(3);
        break;
    case 3:
        cameraPose(4);
        glTranslated(20.0 * std::sin(2.0 * t), 0.0, 0.0);
        break;
    default:
        glTranslated(3.0 * std::sin(t), 0.0, depth);
        break;
    }
}

void setCopyState() {
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glPolygonMode(GL_FRONT, GL_FILL);
}
} // namespace

void swirlRings(int pose) {
    const double t = demoTime;
    glPushMatrix();
    placeSwirl(pose, -8.0);
    for (int i = 0; i < 60; ++i) {
        glPushMatrix();
        setCopyState();
        glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE,
                     materialColor(1.0f, 0.9002f, 0.8009f, static_cast<float>(0.6 - 0.01 * i)));
        // tan(i) is a fixed stretch per copy, huge for the few indices near its poles.
        const double size = 1.9 + 0.025 * i;
        glTranslated(0.0, 0.0, -5.0);
        glScaled(std::tan(static_cast<double>(i)) + size, size, size);
        glRotated((10.0 * std::sin(static_cast<double>(i)) + 360.0) * t, 0.01 * i + 0.01, 1.0, 0.1);
        glScaled(1.75, 1.75, 1.75);
        glCallList(668);
        glPopMatrix();
    }
    glPopMatrix();
}

void swirlCloud(int pose) {
    const double t = demoTime;
    // u is formed in single precision, then used in double like the time itself.
    const double u = demoTime + 5.5f;
    glPushMatrix();
    placeSwirl(pose, -13.0);
    for (int i = 0; i < 100; ++i) {
        glPushMatrix();
        glScaled(14.0, 14.0, 14.0);
        setCopyState();
        glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE,
                     materialColor(1.0f, 0.9002f, 0.8009f, static_cast<float>(1.0 - 0.01 * i)));
        const double scale = i * (i * 0.0125 * 0.0035) + 0.01;
        glScaled(scale, scale, scale);
        // The spins switch on t but turn by u, so they start already turned.
        if (t > 3.5) {
            glRotated(0.5 * i * (u - 3.5), 0.0, 0.5, 0.15);
            if (t > 5.5)
                glRotated(0.25 * i * (u - 5.5), 0.2 * u, -0.06, 0.2);
        }
        glRotated((10.0 * std::sin(u) + 360.0) * (0.35 * u), 0.0001 * i + 0.01, 1.0, 0.1);
        glScaled(1.75, 1.75, 1.75);
        glCallList(668);
        glPopMatrix();
    }
    glPopMatrix();
}

void swirlCloudCubes(int pose) {
    const double t = demoTime;
    glPushMatrix();
    placeSwirl(pose, -13.0);
    for (int i = 0; i < 100; ++i) {
        glPushMatrix();
        glScaled(14.0, 14.0, 14.0);
        setCopyState();
        glDisable(GL_DEPTH_TEST);
        glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE,
                     materialColor(1.0f, 0.9002f, 0.8009f, static_cast<float>(0.25 - 0.0025 * i)));
        const double scale = i * (i * 0.01 * 0.0035) + 0.01;
        glScaled(scale, scale, scale);
        if (t > 2.0) {
            glRotated(0.5 * i * (t - 2.0), 0.0, 1.0, 0.3);
            if (t > 4.0)
                glRotated(0.25 * i * (t - 4.0), 0.2 * t, -0.1, 0.3);
        }
        glRotated((10.0 * std::sin(t) + 360.0) * t, 0.0001 * i + 0.01, 1.0, 0.1);
        glScaled(1.75, 1.75, 1.75);
        glCallList(667);
        glPopMatrix();
    }
    glPopMatrix();
}
