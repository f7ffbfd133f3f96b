// The camera poses, checked by the model-view matrix that cameraPose leaves behind, against
// the same transforms issued directly.
#include "effects.h"

#include "clock.h"
#include "gl_harness.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>

namespace {

using Matrix = std::array<float, 16>;

Matrix matrixAfter(const std::function<void()>& transforms) {
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    transforms();
    Matrix m{};
    glGetFloatv(GL_MODELVIEW_MATRIX, m.data());
    glLoadIdentity();
    return m;
}

void expectSameMatrix(const Matrix& actual, const Matrix& expected) {
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(actual[i], expected[i], 2e-4) << "element " << i;
}

void swing(double t) {
    glTranslatef(0, -0.5f, -13);
    glRotatef(33.33f, 1, 0.5f, 0.1f);
    glRotatef(float(30 * std::sin(2.5 * t) - 20), 1, 0, 0);
    glRotatef(float(16 * std::sin(1.5 * t)), 1, 0, 0.2f);
    glRotatef(float(25 * std::cos(1.5 * t)), 0, 1, 0);
}

void sway(double t) {
    glTranslatef(0, 0, -13);
    glRotatef(float(32 * std::sin(t)), 1, 0, 0);
    glRotatef(float(18 * std::sin(t)), 0, 1, 0);
}

void orbit(double t) {
    glTranslatef(0, -0.5f, -13);
    glRotatef(33.33f, 1, 0.5f, 0.1f);
    glRotatef(float(16 * std::sin(t)), 1, 0, 0.2f);
    glRotatef(float(90 * t), 0, 1, 0);
}

void tumble(double t, bool turning) {
    glTranslatef(0, 0, -9);
    if (turning)
        glRotatef(float(90 * t), 0, 1, 0);
    glTranslatef(float(0.5 * std::sin(1.33 * t)), 0, 0);
    glRotatef(float(32 * std::sin(t)), 1, 0, 0);
    glRotatef(float(18 * std::sin(t)), 0, 1, 0);
    glRotatef(float(90 * t), 1, 0, 0);
}

class CameraPoseTest : public testing::Test {
  protected:
    void SetUp() override { openTestWindow(64, 64); }
};

TEST_F(CameraPoseTest, PhaseZeroSlotsAndTheFallback) {
    demoTime = 1.0f;
    const double t = demoTime;
    expectSameMatrix(matrixAfter([] { cameraPose(1); }), matrixAfter([&] { swing(t); }));
    expectSameMatrix(matrixAfter([] { cameraPose(2); }), matrixAfter([&] { sway(t); }));
    expectSameMatrix(matrixAfter([] { cameraPose(3); }), matrixAfter([&] { orbit(t); }));
    expectSameMatrix(matrixAfter([] { cameraPose(4); }), matrixAfter([&] { tumble(t, false); }));
    for (int slot : {0, 5}) {
        SCOPED_TRACE(slot);
        expectSameMatrix(matrixAfter([&] { cameraPose(slot); }), matrixAfter([&] { orbit(t); }));
    }
}

TEST_F(CameraPoseTest, SlotsSwapPosesWithThePhase) {
    demoTime = 2.25f; // phase 1: slot 1 tumbles, slot 2 swings
    const double t = demoTime;
    expectSameMatrix(matrixAfter([] { cameraPose(1); }), matrixAfter([&] { tumble(t, false); }));
    expectSameMatrix(matrixAfter([] { cameraPose(2); }), matrixAfter([&] { swing(t); }));
    expectSameMatrix(matrixAfter([] { cameraPose(5); }), matrixAfter([&] { orbit(t); }));
}

TEST_F(CameraPoseTest, TumbleTurnsOnlyInsideItsOpenIntervals) {
    struct Case {
        float t;
        bool turning;
    };
    const Case cases[] = {{3.9f, false},  {4.1f, true},   {6.0f, true},  {7.9f, true},
                          {8.1f, false},  {11.9f, false}, {12.1f, true}, {15.9f, true},
                          {16.1f, false}, {20.0f, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "t = " << c.t);
        demoTime = c.t;
        int slot = 1;
        while (slot < 4 && cameraPoseOfSlot(slot, c.t) != CameraPose::tumble)
            ++slot;
        const double t = demoTime;
        expectSameMatrix(matrixAfter([&] { cameraPose(slot); }),
                         matrixAfter([&] { tumble(t, c.turning); }));
    }
}

} // namespace
