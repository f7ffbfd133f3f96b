// Checks a traced list call against a placement written out as GL transforms: the expected
// matrix comes from issuing those transforms on the model-view stack.
#pragma once

#include "list_trace.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <functional>

// The matrix that `transforms` leave on a model-view stack loaded with the identity.
inline std::array<double, 16> matrixOf(const std::function<void()>& transforms) {
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    transforms();
    std::array<double, 16> m{};
    glGetDoublev(GL_MODELVIEW_MATRIX, m.data());
    glPopMatrix();
    return m;
}

// The call stands where `m` puts the unit cube: same origin and the same three axes, so a
// rotation about another axis shows even where the origin does not move.
inline void expectPlacedBy(const ListCall& call, const std::array<double, 16>& m,
                           double tolerance = 2e-3) {
    ASSERT_TRUE(call.whole());
    EXPECT_LT(distance(call.origin(), {m[12], m[13], m[14]}), tolerance);
    for (int k = 0; k < 3; ++k)
        EXPECT_LT(distance(call.axis(k), {m[4 * k], m[4 * k + 1], m[4 * k + 2]}), tolerance)
            << "axis " << k;
}
