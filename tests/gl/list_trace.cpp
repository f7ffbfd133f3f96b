// Marker lists and GL_3D_COLOR feedback parsing for the effect tests.
#include "list_trace.h"

#include "clock.h"
#include "controls.h"
#include "effects.h"
#include "gl_harness.h"
#include "music.h"
#include "platform.h"
#include "textures.h"

#include <GL/gl.h>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {
void compileMarker(int id) {
    glNewList(id, GL_COMPILE);
    glPassThrough(static_cast<GLfloat>(id));
    glBegin(GL_POINTS);
    glVertex3f(0.0f, 0.0f, 0.0f);
    glVertex3f(1.0f, 0.0f, 0.0f);
    glVertex3f(0.0f, 1.0f, 0.0f);
    glVertex3f(0.0f, 0.0f, 1.0f);
    glEnd();
    glEndList();
}
} // namespace

Vec3 ListCall::axis(int axis) const {
    const Vec3& o = points.at(0);
    const Vec3& p = points.at(axis + 1);
    return {p[0] - o[0], p[1] - o[1], p[2] - o[2]};
}

void setUpListTrace() {
    openTestWindow(640, 480);
    compileMarker(667);
    compileMarker(668);
    for (int id = 200; id <= 225; ++id)
        compileMarker(id);
    useUnitProjection(1.0f);
    // No light but a white scene ambient: the lit colour is the material's ambient colour and
    // the material's diffuse alpha, both set by AMBIENT_AND_DIFFUSE.
    glEnable(GL_LIGHTING);
    glDisable(GL_LIGHT0);
    const GLfloat white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, white);
}

std::vector<ListCall> traceLists(const std::function<void()>& draw) {
    std::vector<GLfloat> buffer(1 << 20);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint used = glRenderMode(GL_RENDER);
    if (used < 0) {
        std::fprintf(stderr, "feedback buffer overflow\n");
        std::abort();
    }
    std::vector<ListCall> calls;
    for (GLint i = 0; i < used;) {
        const auto token = static_cast<GLenum>(buffer[i++]);
        if (token == GL_PASS_THROUGH_TOKEN) {
            calls.push_back(ListCall{});
            calls.back().id = static_cast<int>(buffer[i++]);
        } else if (token == GL_POINT_TOKEN && !calls.empty()) {
            ListCall& call = calls.back();
            const GLfloat* v = &buffer[i];
            // Window x, y are eye units from the centre; depth [0, 1] spans z = 1000 ... -1000.
            call.points.push_back({v[0] - 320.0, v[1] - 240.0, 1000.0 - 2000.0 * v[2]});
            call.colour = {v[3], v[4], v[5], v[6]};
            i += 7;
        } else {
            std::fprintf(stderr, "unexpected feedback token %u\n", token);
            std::abort();
        }
    }
    return calls;
}

std::array<double, 16> cameraMatrix(int slot) {
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    cameraPose(slot);
    std::array<double, 16> m{};
    glGetDoublev(GL_MODELVIEW_MATRIX, m.data());
    glPopMatrix();
    return m;
}

Vec3 transformPoint(const std::array<double, 16>& m, const Vec3& v) {
    return {m[0] * v[0] + m[4] * v[1] + m[8] * v[2] + m[12],
            m[1] * v[0] + m[5] * v[1] + m[9] * v[2] + m[13],
            m[2] * v[0] + m[6] * v[1] + m[10] * v[2] + m[14]};
}

double length(const Vec3& v) {
    return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
}

double distance(const Vec3& a, const Vec3& b) {
    return length({a[0] - b[0], a[1] - b[1], a[2] - b[2]});
}

void strike(int sync, float rowsAgo) {
    syncPoints[sync].stamp.store(-rowsAgo / 64.0f);
}

void silenceAll() {
    for (SyncPoint& sync : syncPoints)
        sync.stamp.store(-1000.0f);
}

void EffectTrace::SetUpTestSuite() {
    setUpListTrace();
    useVirtualCounter();
    resetDemoClock();
    demoClock();
}

void EffectTrace::SetUp() {
    silenceAll();
    texHappy2 = 1;
    effectSelector = 0;
}
