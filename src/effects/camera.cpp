// The shared camera choreography: a rate and a phase derived from the demo time decide which
// of four poses each camera slot receives, so effects drawn in one frame swap their camera
// moves on the beats without knowing of each other.
#include "effects.h"

#include "clock.h"

#include <GL/gl.h>
#include <cmath>

namespace {

// Half-open time ranges [from, to) of the camera rate; times before the first row have rate 0.
// The instant t = 21 belongs to [21, 22), like the flat-picture range of the timeline.
struct RateRow {
    double from;
    double to;
    int rate;
};

const RateRow rateTable[] = {
    {1.5, 11.5, 4}, {11.5, 17.5, 6}, {17.5, 21.0, 8}, {21.0, 22.0, 4}, {22.0, 23.5, 8},
};
constexpr double lastRateFrom = 23.5;
constexpr int lastRate = 4;

// For each phase, the slot that receives the swing, sway, orbit and tumble pose.
struct PhaseRow {
    int swing;
    int sway;
    int orbit;
    int tumble;
};

const PhaseRow phaseTable[8] = {
    {1, 2, 3, 4}, {2, 3, 4, 1}, {3, 4, 1, 2}, {4, 1, 2, 3},
    {3, 1, 4, 2}, {1, 3, 4, 2}, {4, 2, 3, 1}, {1, 3, 2, 4},
};

void rotate(double degrees, float x, float y, float z) {
    glRotatef(static_cast<float>(degrees), x, y, z);
}

void swingPose(double t) {
    glTranslatef(0.0f, -0.5f, -13.0f);
    glRotatef(33.33f, 1.0f, 0.5f, 0.1f);
    rotate(30.0 * std::sin(2.5 * t) - 20.0, 1.0f, 0.0f, 0.0f);
    rotate(16.0 * std::sin(1.5 * t), 1.0f, 0.0f, 0.2f);
    rotate(25.0 * std::cos(1.5 * t), 0.0f, 1.0f, 0.0f);
}

void swayPose(double t) {
    glTranslatef(0.0f, 0.0f, -13.0f);
    rotate(32.0 * std::sin(t), 1.0f, 0.0f, 0.0f);
    rotate(18.0 * std::sin(t), 0.0f, 1.0f, 0.0f);
}

void orbitPose(double t) {
    glTranslatef(0.0f, -0.5f, -13.0f);
    glRotatef(33.33f, 1.0f, 0.5f, 0.1f);
    rotate(16.0 * std::sin(t), 1.0f, 0.0f, 0.2f);
    rotate(90.0 * t, 0.0f, 1.0f, 0.0f);
}

void tumblePose(double t) {
    glTranslatef(0.0f, 0.0f, -9.0f);
    if ((t > 4.0 && t < 8.0) || (t > 12.0 && t < 16.0))
        rotate(90.0 * t, 0.0f, 1.0f, 0.0f);
    glTranslatef(static_cast<float>(0.5 * std::sin(1.33 * t)), 0.0f, 0.0f);
    rotate(32.0 * std::sin(t), 1.0f, 0.0f, 0.0f);
    rotate(18.0 * std::sin(t), 0.0f, 1.0f, 0.0f);
    rotate(90.0 * t, 1.0f, 0.0f, 0.0f);
}

} // namespace

int cameraRate(float t) {
    if (t >= lastRateFrom)
        return lastRate;
    for (const RateRow& row : rateTable) {
        if (t >= row.from && t < row.to)
            return row.rate;
    }
    return 0;
}

int cameraPhase(float t) {
    // Taken modulo 8 in double precision, so a huge or odd time cannot overflow an integer.
    const double steps = std::trunc(cameraRate(t) * static_cast<double>(t));
    if (!std::isfinite(steps))
        return 0;
    const double phase = std::fmod(steps, 8.0);
    return phase < 0.0 ? 0 : static_cast<int>(phase);
}

CameraPose cameraPoseOfSlot(int slot, float t) {
    const PhaseRow& row = phaseTable[cameraPhase(t)];
    if (slot == row.swing)
        return CameraPose::swing;
    if (slot == row.sway)
        return CameraPose::sway;
    if (slot == row.orbit)
        return CameraPose::orbit;
    if (slot == row.tumble)
        return CameraPose::tumble;
    return CameraPose::fallback;
}

void cameraPose(int slot) {
    const double t = demoTime;
    switch (cameraPoseOfSlot(slot, demoTime)) {
    case CameraPose::swing:
        swingPose(t);
        break;
    case CameraPose::sway:
        swayPose(t);
        break;
    case CameraPose::tumble:
        tumblePose(t);
        break;
    case CameraPose::orbit:
    case CameraPose::fallback:
        orbitPose(t);
        break;
    }
}
