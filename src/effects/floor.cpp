// The cube floor: two crossing lines of blinking, swinging bars, a 13 x 13 floor of flat tiles
// heaving in a saddle, and a 7 x 7 block of wire cells bobbing in a checkerboard, each layer
// fading with the distance from its centre.
#include "effects.h"

#include "clock.h"

#include <GL/gl.h>
#include <cmath>
#include <cstdlib>

namespace {
constexpr double pi = 3.14159265358979323846;

// Every object of the floor sits in its own matrix push with the same state and its colour.
void beginObject(float r, float g, float b, float a) {
    glPushMatrix();
    glEnable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glPolygonMode(GL_FRONT, GL_FILL);
    glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, materialColor(r, g, b, a));
}

// Places the bar's cube and ends the object that beginBar began.
void drawBarCube() {
    glTranslated(-0.5, -0.05, -0.5);
    glScaled(0.05, 0.05, 0.05);
    glCallList(667);
    glPopMatrix();
}

void beginBar(int k) {
    const double m = std::abs(k);
    beginObject(static_cast<float>(0.08 * m), static_cast<float>(0.09 * m),
                static_cast<float>(0.1 * m), static_cast<float>(1.0 - 0.1 * m));
    glScaled(2.0, 1.0, 2.0);
}

void drawBars(double t) {
    for (int k = -10; k <= 10; ++k) {
        const int m = std::abs(k);
        const double swing = 5.0 * t * std::sin(static_cast<double>(k));
        beginBar(k);
        if (m % 2 == 0)
            glTranslated(11.0 * std::cos(swing), 0.0, 0.0);
        else
            glTranslated(-14.0 * std::sin(swing), 0.0, 0.0);
        glTranslated(0.0, 0.0, k);
        glScaled(std::tan((m + 0.2 * k) * pi * t), 1.0, 1.0);
        drawBarCube();
    }
    for (int k = -10; k <= 10; ++k) {
        const int m = std::abs(k);
        const double swing = 5.0 * t * std::sin(static_cast<double>(k));
        beginBar(k);
        if (m % 2 == 0)
            glTranslated(0.0, 0.0, 13.0 * std::sin(swing));
        else
            glTranslated(0.0, 0.0, -12.0 * std::cos(swing));
        glTranslated(k, 0.0, 0.0);
        glScaled(1.0, 1.0, std::tan((0.4 * k - m) * pi * t));
        drawBarCube();
    }
}

void drawTiles(double t) {
    const double heave = std::tan(pi * t);
    for (int p = -6; p <= 6; ++p) {
        for (int q = -6; q <= 6; ++q) {
            const double d = std::abs(p) + std::abs(q);
            beginObject(static_cast<float>(0.8 - 0.08 * d), static_cast<float>(0.9 - 0.09 * d),
                        static_cast<float>(1.0 - 0.1 * d), static_cast<float>(0.25 - 0.025 * d));
            glScaled(1.0, heave * (p + q) * (0.3 * p), 1.0);
            glScaled(2.0, 1.0, 2.0);
            glTranslated(p, 0.0, q);
            glScaled(0.725, 0.1, 0.725);
            glCallList(667);
            glPopMatrix();
        }
    }
}

void drawWireBlock(double t) {
    const double heave = std::tan(2.0 * pi * t);
    const float fiveT = static_cast<float>(5.0 * t);
    for (int p = -3; p <= 3; ++p) {
        // The bobbing phase is rounded to single precision like the time it comes from.
        const float rowPhase = static_cast<float>(std::abs(p) * fiveT);
        for (int q = -3; q <= 3; ++q) {
            const double d = std::abs(p) + std::abs(q);
            beginObject(static_cast<float>(0.8 - 0.08 * d), static_cast<float>(1.0 - 0.1 * d),
                        static_cast<float>(1.0 - 0.1 * d), static_cast<float>(0.25 - 0.025 * d));
            glScaled(1.0, heave * (1.3 * p - q) * (0.1 * p), 1.0);
            glScaled(4.0, 1.0, 4.0);
            glScaled(1.0,
                     std::sin(static_cast<double>(fiveT)) -
                         std::sin(std::abs(q) * static_cast<double>(rowPhase)),
                     1.0);
            glTranslated(p, std::abs(p + q) % 2 == 0 ? 0.125 : -0.125, q);
            glTranslated(-0.25, 0.0, -0.25);
            glScaled(0.75, 0.125, 0.75);
            glCallList(668);
            glPopMatrix();
        }
    }
}
} // namespace

void cubeFloor(int pose) {
    const double t = demoTime;
    glPushMatrix();
    switch (pose) {
    case 0:
    case 1:
    case 2:
        cameraPose(pose + 1);
        break;
    case 3:
        cameraPose(4);
        glTranslated(20.0 * std::sin(2.0 * t), 0.0, 0.0);
        break;
    default:
        glTranslated(3.0 * std::sin(t), 0.0, -13.0);
        break;
    }
    // The bars blink: present while trunc(2t) is even, half a pattern unit at a time.
    if (std::fmod(std::trunc(2.0 * t), 2.0) == 0.0)
        drawBars(t);
    drawTiles(t);
    drawWireBlock(t);
    glPopMatrix();
}
