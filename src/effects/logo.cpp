// The logo picture: the group's name, qvh, as glowing cubes on a 10 x 48 grid. At the start
// of its scene the cubes fly in stretched and tumbling under a collapsing ghost of wire
// cubes; afterwards the picture sits and pulses on instruments 2, 3 and 4.
#include "cube_tables.h"
#include "effects.h"

#include "clock.h"
#include "music.h"

#include <GL/gl.h>
#include <cmath>

namespace {

// '#' carries a cube. Lower-case block letters with stems three cells wide and bars two rows
// high, standing in rows 1 to 7; the tail of the q is the one descender, in row 8.
constexpr const char* logoRowsText[logoRows] = {
    "................................................",
    "....###########...###.......###...###...........",
    "...############...###.......###...###...........",
    "...###......###...###.......###...###########...",
    "...###......###....###.....###....############..",
    "...###......###.....###...###.....###......###..",
    "...############......###.###......###......###..",
    "....###########.......#####.......###......###..",
    "............###.................................",
    "................................................",
};

constexpr std::array<int32_t, logoRows * logoColumns> expandLogo() {
    std::array<int32_t, logoRows * logoColumns> cells{};
    for (int j = 0; j < logoRows; ++j) {
        const char* row = logoRowsText[j];
        for (int i = 0; i < logoColumns; ++i) {
            if (row[i] != '#' && row[i] != '.')
                throw "logo row shorter than the grid";
            cells[logoColumns * j + i] = row[i] == '#' ? 0 : 1;
        }
        if (row[logoColumns] != '\0')
            throw "logo row longer than the grid";
    }
    return cells;
}

void rotate(double degrees, float x, float y, float z) {
    glRotatef(static_cast<float>(degrees), x, y, z);
}

void solidPass(double t, float eA, float eC) {
    const bool flyIn = t > 0.0 && t < 1.5;
    const double k = 0.666 * t;
    const double u = 1.5 - t;
    for (int i = 0; i < logoColumns; ++i) {
        for (int j = 0; j < logoRows; ++j) {
            glPushMatrix();
            // Just before the picture settles it is stretched in depth as a whole.
            if (t > 1.375 && t < 1.5) {
                const double s = std::tan(8.0 * (t - 1.375));
                glScalef(1.0f, 1.0f, static_cast<float>(50.0 * s * s));
            }
            glTranslatef(static_cast<float>(j - 5), static_cast<float>(i - 24), 0.0f);
            if (logoCells[logoColumns * j + i] == 0) {
                if (flyIn) {
                    glMaterialfv(
                        GL_FRONT, GL_AMBIENT_AND_DIFFUSE,
                        materialColor(static_cast<float>(0.79 * k), static_cast<float>(0.8 * k),
                                      static_cast<float>(0.85 * k), static_cast<float>(0.25 * k)));
                    glScalef(static_cast<float>(1.0 + 2.0 * u), static_cast<float>(1.0 + 3.0 * u),
                             static_cast<float>(1.0 + 15.0 * u));
                    rotate(50.0 * (std::sin(i) + j) * std::sin(u), 1.0f, -0.3f, 0.5f);
                } else {
                    const double pulse = std::sin(4.0 * t);
                    glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE,
                                 materialColor(static_cast<float>(0.64 + 0.15 * pulse),
                                               static_cast<float>(0.7 + 0.1 * pulse),
                                               static_cast<float>(0.75 + 0.1 * pulse), 0.25f));
                }
                glScalef(0.75f + 0.72f * eC, 0.75f + 0.72f * eA, 0.75f);
                glCallList(solidCubeList);
            }
            glPopMatrix();
        }
    }
}

void wirePass(double t, float eB) {
    const double k = 0.666 * t;
    const double u = 1.5 - t;
    for (int i = 0; i < logoColumns; ++i) {
        for (int j = 0; j < logoRows; ++j) {
            glPushMatrix();
            glTranslatef(static_cast<float>(j - 5), static_cast<float>(i - 24), 0.0f);
            if (logoCells[logoColumns * j + i] == 0) {
                if (t < 1.5) {
                    glMaterialfv(
                        GL_FRONT, GL_AMBIENT_AND_DIFFUSE,
                        materialColor(static_cast<float>(0.79 * k), static_cast<float>(0.8 * k),
                                      static_cast<float>(0.85 * k), static_cast<float>(0.125 * k)));
                    glScalef(static_cast<float>(1.0 + 26.0 * u),
                             static_cast<float>(1.0 + 130.0 * u),
                             static_cast<float>(1.0 + 26.0 * u));
                    rotate(50.0 * (std::sin(i) + j) * std::sin(u), 0.1f, 0.3f, -0.5f);
                    glScalef(0.751f, 0.751f, 0.751f);
                } else {
                    // Fades out over the unit after the picture settles; negative alpha is
                    // clamped to nothing by the lighting.
                    glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE,
                                 materialColor(0.79f, 0.8f, 0.85f,
                                               static_cast<float>(0.125 - 0.25 * (t - 1.5))));
                    const float s = 0.751f + 0.2f * eB;
                    glScalef(s, s, s);
                }
                glCallList(wireCubeList);
            }
            glPopMatrix();
        }
    }
}

} // namespace

constexpr std::array<int32_t, logoRows* logoColumns> logoCells = expandLogo();

void logoGrid() {
    const double t = demoTime;
    const float eA = 0.95f * linearDecay(syncPoints[8], 1.75f);
    const float eB = 0.95f * linearDecay(syncPoints[12], 1.75f);
    const float eC = 0.95f * linearDecay(syncPoints[11], 1.75f);

    glPushMatrix();
    glEnable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glScalef(0.5f, 0.5f, 0.5f);
    glScalef(0.75f, 0.75f, 0.75f);
    glTranslatef(0.0f, 5.0f, 0.0f);
    glRotatef(-90.0f, 0.0f, 0.0f, 1.0f);
    glPolygonMode(GL_FRONT, GL_FILL);

    if (t > 0.1)
        solidPass(t, eA, eC);
    // The wire ghost exists only around the fly-in; at exactly 1.5 there is none.
    if ((t > 0.0 && t < 1.5) || (t > 1.5 && t < 2.5))
        wirePass(t, eB);
    glPopMatrix();
}

void logoPicture(int pose) {
    const double t = demoTime;
    glPushMatrix();
    if (pose >= 0 && pose <= 2) {
        cameraPose(pose + 1);
    } else if (pose == 3) {
        cameraPose(4);
        glTranslatef(0.0f, 0.0f, static_cast<float>(10.0 * std::sin(0.5 * t)));
    } else {
        glTranslatef(static_cast<float>(3.0 * std::sin(t)), 0.0f, -13.0f);
    }
    glPushMatrix();
    logoGrid();
    glPopMatrix();
    glPopMatrix();
}
