// The cube wheel: sixteen cubes around the x axis that glow additively, a few of them flashing
// on instruments 4, 3 and 13, cube 0 stretching in spikes on instrument 6. A per-wheel integer
// hash fixes which cubes are wire frames.
#include "cube_tables.h"
#include "effects.h"

#include "clock.h"
#include "controls.h"
#include "music.h"
#include "textures.h"

#include <GL/gl.h>
#include <cmath>

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr float wheelRadius = 4.25f;
constexpr int wheelCubes = 16;

// Acts whose wheels all take the same gentle sway instead of their own placement.
const int swayingActs[] = {15, 12, 13, 19};

void rotate(double degrees, float x, float y, float z) {
    glRotatef(static_cast<float>(degrees), x, y, z);
}

bool inSwayingAct(int selector) {
    for (int act : swayingActs) {
        if (selector == act)
            return true;
    }
    return false;
}

void gentleSway(double t) {
    rotate(36.0 * std::sin(t), 0.0f, 0.0f, 1.0f);
    rotate(9.0 * std::sin(t), 0.0f, 1.0f, 0.0f);
}

void placeWheel(int variant, int offset, int roll, int mode, double t) {
    // [27.25, 27.5) lies past the show's end: the show never reaches that branch.
    if ((t >= 27.25 && t < 27.5) || inSwayingAct(effectSelector)) {
        gentleSway(t);
        return;
    }
    switch (mode) {
    case 0:
    case 1:
        cameraPose(mode + 1);
        glTranslatef(static_cast<float>(offset), 0.0f, 0.0f);
        break;
    case 3:
        rotate(roll, 0.0f, 0.0f, 1.0f);
        glTranslatef(0.0f, 0.0f, -9.0f);
        if ((t > 4.0 && t < 8.0) || (t > 12.0 && t < 16.0))
            rotate(90.0 * t, 0.0f, 1.0f, 0.0f);
        glTranslatef(static_cast<float>(offset), 0.0f, 0.0f);
        rotate(32.0 * std::sin(t), 1.0f, 0.0f, 0.0f);
        rotate(18.0 * std::sin(t), 0.0f, 1.0f, 0.0f);
        rotate(variant == 1 ? 90.0 * t : -90.0 * t, 1.0f, 0.0f, 0.0f);
        // The twist per offset is an integer number of 56ths before the 0.48 factor.
        rotate(static_cast<double>(static_cast<int64_t>(56) * offset) * 0.48, 1.0f, 0.0f, 0.0f);
        break;
    case 4:
        glTranslatef(static_cast<float>(offset), 0.0f, 0.0f);
        break;
    default:
        break;
    }
}

// The flash colour of a struck cube: reddens and brightens with the square of the envelope.
float* flashColour(float e) {
    return materialColor(3.0f * (2.0f * e) * (2.0f * e) + 0.5f, 2.0f * e * e + 0.6f,
                         0.7f - 2.0f * e, e + 0.15f);
}

float* cubeColour(int i, int variant, int offset, double t, float e4, float e3, float e13) {
    if (t >= 3.5 && t < 4.0) {
        const float k = static_cast<float>(2.0 * (t - 3.5));
        return materialColor(0.5f * e4, e4 + 0.6f * k, 0.7f * k, 0.15f * k);
    }
    if (i == variant + 2 || i == offset + 10)
        return flashColour(e4);
    if (i == variant + 4 || i == offset + 6 || i == variant + 9)
        return flashColour(e3);
    if (i == variant + 6)
        return flashColour(e13);
    return materialColor(e4 + 0.5f, e4 + 0.6f, 0.7f, 0.195f);
}

} // namespace

int wheelHash(int variant, int offset, int i, uint32_t texture) {
    // Unsigned arithmetic wraps exactly like 32-bit two's complement, without overflow.
    const auto v = static_cast<uint32_t>(variant);
    const auto o = static_cast<uint32_t>(offset);
    const auto n = static_cast<uint32_t>(i);
    const uint32_t sum = 479u * v + 631u * n + 37u * o + (o + 345u) * (n + 5u) * (v + texture);
    return static_cast<int>(sum & 4095u);
}

void cubeWheel(int variant, int offset, int roll, int mode) {
    const double t = demoTime;
    const float e4 = 0.125f * linearDecay(syncPoints[8], 2.0f);
    const float e3 = 0.125f * linearDecay(syncPoints[11], 3.0f);
    float e13 = linearDecay(syncPoints[10], 2.0f);
    if (t >= 9.5 && t < 11.5)
        e13 = static_cast<float>(e13 * (0.25 * ((t - 9.5) * 0.5)));
    else
        e13 *= 0.125f;

    glPushMatrix();
    glEnable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    placeWheel(variant, offset, roll, mode, t);
    glPolygonMode(GL_FRONT, GL_FILL);

    for (int i = 0; i < wheelCubes; ++i) {
        const int h = wheelHash(variant, offset, i, texHappy2);
        glPushMatrix();
        glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE,
                     cubeColour(i, variant, offset, t, e4, e3, e13));
        rotate(22.5 * i, 1.0f, 0.0f, 0.0f);
        glTranslatef(0.0f, 0.0f, -wheelRadius);
        if (i == 0) {
            const double stretch = std::tan(5.0 * pi * t) * expDecay(syncPoints[1], 3.0f);
            glScalef(1.0f, 1.0f, static_cast<float>(1.0 + stretch));
        }
        glCallList(h < 2000 ? wireCubeList : solidCubeList);
        glPopMatrix();
    }
    glPopMatrix();
}
