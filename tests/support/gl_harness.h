// Headless OpenGL for tests: a GLUT window on a private Xvfb, rendered by Mesa's llvmpipe,
// with feedback-mode capture of what a drawing call emits and read-back of its pixels.
#pragma once

#include <GL/gl.h>

#include <cstdint>
#include <functional>
#include <vector>

// Starts a private Xvfb (once per process), initialises GLUT and opens a window of the given
// size whose context stays current. Later calls only make that window current again.
void openTestWindow(int width = 640, int height = 480);

struct FeedbackVertex {
    float x, y, z;
};

// One primitive from feedback mode: GL_POLYGON_TOKEN, GL_LINE_TOKEN (line reset tokens are
// reported as GL_LINE_TOKEN too), GL_POINT_TOKEN; vertices in window coordinates.
struct FeedbackPrimitive {
    GLenum token;
    std::vector<FeedbackVertex> vertices;
};

// Runs `draw` in feedback mode (GL_3D) and returns the primitives it produced.
std::vector<FeedbackPrimitive> captureFeedback(const std::function<void()>& draw);

// Makes window coordinates equal object coordinates for feedback checks: viewport over the
// whole window, projection glOrtho(-w/2, w/2, -h/2, h/2, -1000, 1000) scaled so one object
// unit is `pixelsPerUnit` pixels with the origin at the window centre, model-view identity.
void useUnitProjection(float pixelsPerUnit);

// Converts a feedback vertex back to object units under useUnitProjection.
FeedbackVertex toObjectUnits(const FeedbackVertex& v, float pixelsPerUnit);

// Reads the back buffer's RGBA pixels of a rectangle (origin bottom left), row by row.
std::vector<uint8_t> readPixelsRgba(int x, int y, int width, int height);
