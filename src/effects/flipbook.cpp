// The lyric flip-book: the words of the lyric sentence, one every sixteen rows, drawn twice, a
// pale front copy placed by the camera and a squashed yellow back copy ten units deep; both
// pulse in depth with a tangent of the demo time.
#include "effects.h"

#include "clock.h"

#include <GL/gl.h>
#include <cmath>

namespace {
constexpr double pi = 3.14159265358979323846;

// One line of eight words, shown while start < t < end with its first word at start.
struct FlipbookLine {
    double start;
    double end;
    int lists[8];
};

const int pairLists[8] = {200, 201, 202, 203, 204, 205, 206, 207};

const FlipbookLine sectionLines[] = {
    {5.5, 7.5, {208, 209, 210, 211, 212, 213, 214, 215}},
    {9.5, 11.5, {216, 217, 218, 219, 220, 221, 222, 223}},
    {13.5, 15.5, {216, 217, 224, 225, 220, 221, 222, 223}},
};

void beginCopy() {
    glPushMatrix();
    glEnable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
}

// Rolls the copy upright, scales and tints it, and calls the word of the current quarter unit
// (none when `lists` is null). Pops the matrix that beginCopy pushed.
void drawWords(bool front, double pulse, const int* lists, double t0) {
    glRotated(-90.0, 0.0, 0.0, 1.0);
    glPolygonMode(GL_FRONT, GL_FILL);
    glPushMatrix();
    if (front) {
        glScaled(0.402, 0.402, pulse + 0.402);
        glTranslated(0.0, 0.0, 0.2);
        glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, materialColor(0.79f, 0.73f, 0.71f, 0.15f));
    } else {
        glScaled(0.302, 0.202, pulse + 0.102);
        glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, materialColor(0.89f, 0.88f, 0.66f, 0.25f));
    }
    glPushMatrix();
    glScaled(1.2, 1.2, 1.2);
    if (lists != nullptr) {
        // The remainder keeps the sign of the count, so times before t0 fall outside 0..7.
        const double frame = std::fmod(std::trunc(4.0 * (demoTime - t0)), 8.0);
        if (frame >= 0.0 && frame <= 7.0)
            glCallList(lists[static_cast<int>(frame)]);
    }
    glPopMatrix();
    glPopMatrix();
    glPopMatrix();
}

// The front copy, placed by `pose`, then the back copy, which never follows the camera.
void drawBothCopies(int pose, double pose3Depth, bool cameraForOthers, const int* lists,
                    double t0) {
    const double t = demoTime;
    const double pulse = std::tan(2.0 * pi * t);

    beginCopy();
    if (pose >= 0 && pose <= 2) {
        cameraPose(pose + 1);
    } else if (pose == 3) {
        cameraPose(4);
        glTranslated(20.0 * std::sin(2.0 * t), 0.0, pose3Depth);
    } else if (cameraForOthers) {
        cameraPose(4);
    } else {
        glTranslated(3.0 * std::sin(t), 0.0, -8.0);
    }
    drawWords(true, pulse, lists, t0);

    beginCopy();
    glTranslated(0.0, 0.0, -10.0);
    drawWords(false, pulse, lists, t0);
}
} // namespace

void flipbookPair(int pose) {
    drawBothCopies(pose, -4.0, true, pairLists, 1.5);
}

void flipbookSections(int pose) {
    const float t = demoTime;
    const FlipbookLine* shown = nullptr;
    for (const FlipbookLine& line : sectionLines) {
        if (t > line.start && t < line.end)
            shown = &line;
    }
    drawBothCopies(pose, 0.0, false, shown != nullptr ? shown->lists : nullptr,
                   shown != nullptr ? shown->start : 0.0);
}
