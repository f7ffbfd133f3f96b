// The cube field: 13 x 7 cubes five units in front of the eye, swaying, each breathing in
// depth with a sine of its row or column, the whole field pulsing with a tangent of the time.
// A time-driven hash picks, row by row, wire or solid cubes and which sine a row follows.
#include "cube_tables.h"
#include "effects.h"

#include "clock.h"
#include "music.h"
#include "textures.h"

#include <GL/gl.h>
#include <cmath>

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr int fieldColumns = 13;
constexpr int fieldRows = 7;

void rotate(double degrees, float x, float y, float z) {
    glRotatef(static_cast<float>(degrees), x, y, z);
}

} // namespace

int fieldHash(float t, int b, uint32_t texture) {
    const double time = t;
    const double sum = time * 0.1 * 479.0 + 631.0 * b + 37.0 * time +
                       (0.2 * time + 345.0) * (b + 5.0) * (std::trunc(time) + texture);
    if (!std::isfinite(sum))
        return 0;
    // Truncating and then taking the low twelve bits of the two's-complement integer is the
    // same as the remainder modulo 4096 brought into 0..4095; fmod cannot overflow.
    double low = std::fmod(std::trunc(sum), 4096.0);
    if (low < 0.0)
        low += 4096.0;
    return static_cast<int>(low);
}

void cubeField(int mode) {
    const double t = demoTime;

    glPushMatrix();
    glEnable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glTranslatef(0.0f, 0.0f, -5.0f);
    if (mode == 3 || mode == 4) {
        rotate(12.0 * std::sin(0.75 * t), 1.0f, 0.0f, 0.2f);
        rotate(8.0 * std::sin(0.55 * t), 0.0f, 1.0f, 0.5f);
    } else {
        rotate(32.0 * std::sin(t), 1.0f, 0.0f, 0.0f);
        rotate(18.0 * std::sin(t), 0.0f, 1.0f, 0.0f);
    }
    glPolygonMode(GL_FRONT, GL_FILL);

    for (int a = 0; a < fieldColumns; ++a) {
        for (int b = 0; b < fieldRows; ++b) {
            const int h = fieldHash(demoTime, b, texHappy2);
            glPushMatrix();
            if (t < 1.5) {
                glMaterialfv(
                    GL_FRONT, GL_AMBIENT_AND_DIFFUSE,
                    materialColor(0.45f, 0.5f, 0.6f, static_cast<float>(0.05 * t * t * t)));
            } else {
                const float alpha = 0.05f + 0.1f * linearDecay(syncPoints[6], 3.0f);
                glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE,
                             materialColor(0.45f, 0.5f, 0.6f, alpha));
                glScalef(1.0f, 1.0f, static_cast<float>(std::tan(2.0 * pi * (t + 0.5))));
            }
            if (h < 1500 || h > 3000) {
                glTranslatef(static_cast<float>(a - 6), static_cast<float>(b - 3),
                             static_cast<float>(0.01 * std::cos(b * t)));
                glScalef(1.0f, 1.0f, static_cast<float>(std::sin(a * t)));
            } else {
                glTranslatef(static_cast<float>(a - 6), static_cast<float>(b - 3),
                             static_cast<float>(0.01 * std::cos(a * t)));
                glScalef(1.0f, 1.0f, static_cast<float>(std::sin(b * t)));
            }
            glScalef(0.75f, 0.75f, 0.75f);
            glCallList(h < 2000 ? wireCubeList : solidCubeList);
            glPopMatrix();
        }
    }
    glPopMatrix();
}
