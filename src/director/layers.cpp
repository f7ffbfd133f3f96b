// Picture layers and overlays: the ten-layer backdrop stack brightened by the beat level, the
// sponsor and pipe overlays and the closing pictures, all textured quads in normalized device
// coordinates, added without depth test and coloured through the lighting material.
#include "director.h"

#include "clock.h"
#include "effects.h"
#include "music.h"
#include "textures.h"

#include <cmath>

namespace {

constexpr double pi = 3.14159265358979323846;

// One term of the beat level: weight x expDecay(SyncPoint, length in rows). A term that
// flips turns from a brightening into a darkening beat at t = 3.5.
struct BeatTerm {
    int syncPoint;
    float length;
    float weight;
    bool flips;
};

const BeatTerm beatTerms[] = {
    {7, 4.0f, 8.0f, false},  {12, 1.2f, 5.0f, false}, {11, 4.0f, 0.75f, false},
    {1, 4.0f, 0.5f, false},  {9, 8.0f, 0.5f, false},  {10, 1.0f, 0.45f, false},
    {8, 1.25f, 2.25f, true}, {6, 3.0f, -2.5f, false}, {2, 2.0f, -2.0f, false},
    {3, 2.0f, -2.0f, false}, {4, 2.0f, -2.0f, false}, {0, 2.0f, -2.0f, false},
};
constexpr float beatSignSwitch = 3.5f;

// One of the twelve off-centre whirl positions: angle (5 i + base) x sin(2t), or x cos(2t),
// about (0, 0, axisZ); position (x, yBase + yWave sin(4t)).
struct WhirlRow {
    bool cosine;
    float angleBase;
    float axisZ;
    float x;
    float yBase;
    float yWave;
};

const WhirlRow whirlTable[12] = {
    {false, 51.0f, 1.0f, 0.5f, 0.5f, -0.5f},    {true, 32.0f, 1.0f, 0.5f, 0.0f, 0.5f},
    {false, 23.0f, -1.0f, 0.5f, -0.5f, 0.5f},   {true, 54.0f, -1.0f, 0.25f, 0.5f, -0.5f},
    {false, 66.0f, 1.0f, 0.25f, 0.0f, -0.5f},   {true, 28.0f, 1.0f, 0.25f, -0.5f, 0.5f},
    {false, 37.0f, -1.0f, -0.25f, 0.5f, -0.5f}, {true, 43.0f, -1.0f, -0.25f, 0.0f, 0.5f},
    {false, 52.0f, 1.0f, -0.25f, -0.5f, 0.5f},  {true, 63.0f, 1.0f, -0.5f, 0.5f, -0.5f},
    {false, 74.0f, -1.0f, -0.5f, 0.0f, -0.5f},  {true, 41.0f, -1.0f, -0.5f, -0.5f, 0.5f},
};

// Index into a table of `size` rows from trunc(steps), safe for any float time.
int cyclicIndex(double steps, int size) {
    const double k = std::fmod(std::trunc(steps), static_cast<double>(size));
    if (!(k > 0.0))
        return 0;
    return static_cast<int>(k);
}

void scale(double x, double y) {
    glScalef(static_cast<float>(x), static_cast<float>(y), 1.0f);
}

void translate(double x, double y) {
    glTranslatef(static_cast<float>(x), static_cast<float>(y), 0.0f);
}

void rotateZ(double degrees, float axisZ) {
    glRotatef(static_cast<float>(degrees), 0.0f, 0.0f, axisZ);
}

void setMaterial(float r, float g, float b, double alpha) {
    glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE,
                 materialColor(r, g, b, static_cast<float>(alpha)));
}

void additiveNoDepth() {
    glEnable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
}

// The whole viewport with the picture upright (its first row at the top).
void layerQuad() {
    glBegin(GL_POLYGON);
    glTexCoord2f(0.0f, 1.0f);
    glVertex2f(-1.0f, -1.0f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex2f(1.0f, -1.0f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex2f(1.0f, 1.0f);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2f(-1.0f, 1.0f);
    glEnd();
}

// The left half of the picture on the left half of the viewport.
void halfQuad() {
    glBegin(GL_POLYGON);
    glTexCoord2f(0.0f, 1.0f);
    glVertex2f(-1.0f, -1.0f);
    glTexCoord2f(0.5f, 1.0f);
    glVertex2f(0.0f, -1.0f);
    glTexCoord2f(0.5f, 0.0f);
    glVertex2f(0.0f, 1.0f);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2f(-1.0f, 1.0f);
    glEnd();
}

void applyLayerMotion(LayerMotion motion, int i, double t) {
    switch (motion) {
    case LayerMotion::twist: {
        const double burst = std::tan(2.0 * pi * t);
        scale(1.0 + 0.005 * i * burst, 1.0 + 0.005 * i * burst);
        rotateZ(0.1 * i * burst, i % 2 == 0 ? 1.0f : -1.0f);
        break;
    }
    case LayerMotion::zoomStack:
        if (t >= 5.5 && t < 6.5) {
            scale(1.0 + 0.0875 * i * (1.0 - (t - 5.5)), 1.0 + 0.0875 * i * (1.0 - (t - 5.5)));
            translate(0.02 * i * std::sin(4.0 * t), 0.0);
        } else {
            scale(1.0 + 0.0875 * i, 1.0 + 0.0875 * i);
            translate(0.01 * i * std::tan(pi * t), 0.0);
        }
        break;
    case LayerMotion::quadrantZoom: {
        scale(1.0 + 0.02 * i * (1.0 - std::sin(4.0 * t)),
              1.0 + 0.0002 * i * (1.0 - std::sin(50.0 * t)));
        const int q = cyclicIndex(2.0 * t, 4);
        const double f = t - std::trunc(t);
        const double x = q < 2 ? 0.5 - 0.25 * f : 0.25 * f - 0.5;
        const double y = q % 2 == 0 ? 0.5 : -0.5;
        scale(2.0, 2.0);
        translate(x, y);
        break;
    }
    case LayerMotion::flat:
        break;
    case LayerMotion::whirl: {
        const double kick =
            0.4 * expDecay(syncPoints[6], 3.0f) + 0.125 * expDecay(syncPoints[11], 3.0f);
        scale(1.0 + 0.0875 * i * kick, 1.0 + 0.0875 * i * kick);
        scale(1.0 + 0.03 * i * (1.0 - std::sin(4.0 * t)),
              1.0 + 0.03 * i * (1.0 - std::sin(4.0 * t)));
        const WhirlRow& row = whirlTable[cyclicIndex(4.0 * t, 12)];
        const double factor = row.cosine ? std::cos(2.0 * t) : std::sin(2.0 * t);
        rotateZ((5.0 * i + row.angleBase) * factor, row.axisZ);
        scale(3.0, 3.0);
        translate(row.x, row.yBase + row.yWave * std::sin(4.0 * t));
        break;
    }
    }
}

// One full-screen picture with the green channel removed, as the overlays draw it.
void overlayPicture(GLuint texture, double alpha) {
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    glPushMatrix();
    additiveNoDepth();
    setMaterial(0.1f, -0.9f, 0.1f, alpha);
    layerQuad();
    glPopMatrix();
    glDisable(GL_TEXTURE_2D);
}

} // namespace

float beatLevel() {
    float level = 0.0f;
    for (const BeatTerm& term : beatTerms) {
        const float weight = term.flips && demoTime >= beatSignSwitch ? -term.weight : term.weight;
        level += weight * expDecay(syncPoints[term.syncPoint], term.length);
    }
    // Term 13: 0 while SyncPoint 5 is quiet, dropping towards -8 in the 16 rows after a strike.
    level += 8.0f * (gatedDecay(syncPoints[5], 4.0f, 16.0f) - 1.0f);
    return level;
}

float layerAlpha(float t, int flicker, float beat) {
    return static_cast<float>((0.035 * flicker * std::sin(32.0 * t) + 0.125) * beat);
}

GLuint backdropTexture(int number) {
    switch (number) {
    case 1:
        return texHappy2;
    case 2:
        return texHappy3;
    case 3:
        return texKuvio;
    case 4:
        return texTurin;
    case 5:
        return texTurin2;
    case 6:
        return texMilan;
    case 7:
        return texSponssi;
    case 8:
        return texLogo;
    case 9:
        return texGreets;
    case 10:
        return texHappy4;
    case 11:
        return texRenpils;
    default:
        return 0;
    }
}

void drawLayerStack(int backdrop, LayerMotion motion, int flicker, float beat) {
    const double t = demoTime;
    // Numbers without a picture keep whatever texture is bound when the frame begins.
    if (backdropTexture(backdrop) != 0)
        glBindTexture(GL_TEXTURE_2D, backdropTexture(backdrop));
    const float alpha = layerAlpha(demoTime, flicker, beat);
    for (int i = 0; i < 10; ++i) {
        glPushMatrix();
        additiveNoDepth();
        setMaterial(0.1f, 0.1f, 0.1f, alpha);
        applyLayerMotion(motion, i, t);
        layerQuad();
        glPopMatrix();
    }
}

void drawSponsorOverlay(float t) {
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texSponssi2);
    glPushMatrix();
    additiveNoDepth();
    setMaterial(0.1f, -0.9f, 0.1f, 0.5 + 0.5 * std::sin(4.0 * t + 0.5));
    halfQuad();
    glPopMatrix();
    glDisable(GL_TEXTURE_2D);
}

void drawPipeOverlay(float t) {
    overlayPicture(texPutket3, 0.035 * std::tan((t - 0.5) * pi / 2.0));
}

void drawClosingPictures(float t) {
    const double f = (t - 0.5) - std::trunc(t - 0.5);
    overlayPicture(texH1, f);
    overlayPicture(texH2, 1.5 * f - 0.5);
    overlayPicture(texH3, 2.0 * f - 1.0);
}
