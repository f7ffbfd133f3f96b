// The fixed-function layer on an OpenGL ES 3.0 context (Mesa, EGL surfaceless), the API that
// WebGL 2 exposes: its GLSL ES shaders compile there, and small scenes come out with the
// colours the GL 1.1 equations give, worked out by hand below.
#include "fixedgl.h"
#include "fixedgl_enums.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GLES3/gl3.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

namespace {
constexpr int size = 32;

// An ES 3.0 context without a surface, drawing into a framebuffer object of size x size.
bool openEsContext(std::string& error) {
    auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (getPlatformDisplay == nullptr) {
        error = "no eglGetPlatformDisplayEXT";
        return false;
    }
    EGLDisplay display =
        getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr)) {
        error = "no surfaceless EGL display";
        return false;
    }
    const EGLint configAttributes[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_ES3_BIT, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint count = 0;
    eglChooseConfig(display, configAttributes, &config, 1, &count);
    eglBindAPI(EGL_OPENGL_ES_API);
    const EGLint contextAttributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 0,
                                        EGL_NONE};
    EGLContext context =
        eglCreateContext(display, count > 0 ? config : nullptr, EGL_NO_CONTEXT, contextAttributes);
    if (context == EGL_NO_CONTEXT ||
        !eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) {
        error = "no ES 3.0 context";
        return false;
    }
    GLuint framebuffer = 0, colour = 0;
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glGenRenderbuffers(1, &colour);
    glBindRenderbuffer(GL_RENDERBUFFER, colour);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, size, size);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        error = "framebuffer incomplete";
        return false;
    }
    return true;
}

struct Rgba {
    int r, g, b, a;
};

Rgba pixelAt(int x, int y) {
    unsigned char p[4] = {};
    fglReadPixels(x, y, 1, 1, FGL_RGBA, FGL_UNSIGNED_BYTE, p);
    return {p[0], p[1], p[2], p[3]};
}

void expectNear(const Rgba& got, float r, float g, float b, const char* what) {
    auto level = [](float v) { return static_cast<int>(std::lround(v * 255.0f)); };
    EXPECT_NEAR(got.r, level(r), 1) << what;
    EXPECT_NEAR(got.g, level(g), 1) << what;
    EXPECT_NEAR(got.b, level(b), 1) << what;
}

void fullQuad(float z) {
    fglBegin(FGL_QUADS);
    fglTexCoord2f(0.0f, 0.0f);
    fglVertex3f(-1.0f, -1.0f, z);
    fglTexCoord2f(1.0f, 0.0f);
    fglVertex3f(1.0f, -1.0f, z);
    fglTexCoord2f(1.0f, 1.0f);
    fglVertex3f(1.0f, 1.0f, z);
    fglTexCoord2f(0.0f, 1.0f);
    fglVertex3f(-1.0f, 1.0f, z);
    fglEnd();
}

class FixedGlEs : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { ready = openEsContext(failure); }
    void SetUp() override {
        ASSERT_TRUE(ready) << failure;
        fglViewport(0, 0, size, size);
        fglClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        fglClear(FGL_COLOR_BUFFER_BIT);
        fglPushAttrib(FGL_ALL_ATTRIB_BITS);
        fglMatrixMode(FGL_PROJECTION);
        fglLoadIdentity();
        fglMatrixMode(FGL_MODELVIEW);
        fglLoadIdentity();
    }
    void TearDown() override {
        fglPopAttrib();
        EXPECT_EQ(fglGetError(), static_cast<GLenum>(FGL_NO_ERROR));
    }
    static bool ready;
    static std::string failure;
};
bool FixedGlEs::ready = false;
std::string FixedGlEs::failure;

TEST_F(FixedGlEs, RunsOnTheEsContext) {
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(std::strncmp(version, "OpenGL ES 3", 11), 0) << version;
}

TEST_F(FixedGlEs, UnlitColourComesThrough) {
    fglColor4f(0.25f, 0.5f, 0.75f, 1.0f);
    fullQuad(0.0f);
    expectNear(pixelAt(16, 16), 0.25f, 0.5f, 0.75f, "vertex colour");
}

// Light 0 at its defaults (white, from +z) and the global ambient 0.2: 1.2 x the material.
TEST_F(FixedGlEs, LitMaterialFromADisplayList) {
    fglNewList(1, FGL_COMPILE);
    fullQuad(0.0f);
    fglEndList();
    fglEnable(FGL_LIGHTING);
    fglEnable(FGL_LIGHT0);
    const float material[4] = {0.5f, 0.25f, 0.125f, 1.0f};
    fglMaterialfv(FGL_FRONT, FGL_AMBIENT_AND_DIFFUSE, material);
    fglCallList(1);
    expectNear(pixelAt(16, 16), 0.6f, 0.3f, 0.15f, "lit quad");
}

// A quad 45 units away in linear fog from 30 to 60 is half fog colour.
TEST_F(FixedGlEs, LinearFogHalfway) {
    fglMatrixMode(FGL_PROJECTION);
    fglFrustum(-1.0, 1.0, -1.0, 1.0, 1.0, 100.0);
    fglMatrixMode(FGL_MODELVIEW);
    fglEnable(FGL_FOG);
    fglFogf(FGL_FOG_MODE, static_cast<float>(FGL_LINEAR));
    fglFogf(FGL_FOG_START, 30.0f);
    fglFogf(FGL_FOG_END, 60.0f);
    const float fogColour[4] = {0.0f, 0.2f, 1.0f, 1.0f};
    fglFogfv(FGL_FOG_COLOR, fogColour);
    fglColor4f(1.0f, 0.0f, 0.0f, 1.0f);
    fglScalef(50.0f, 50.0f, 1.0f);
    fullQuad(-45.0f);
    expectNear(pixelAt(16, 16), 0.5f, 0.1f, 0.5f, "fogged quad");
}

// A 2x2 texture, nearest, modulating a white vertex colour: one texel per quadrant.
TEST_F(FixedGlEs, TextureModulates) {
    GLuint texture = 0;
    fglGenTextures(1, &texture);
    fglBindTexture(FGL_TEXTURE_2D, texture);
    fglTexParameteri(FGL_TEXTURE_2D, FGL_TEXTURE_MIN_FILTER, FGL_NEAREST);
    fglTexParameteri(FGL_TEXTURE_2D, FGL_TEXTURE_MAG_FILTER, FGL_NEAREST);
    fglTexEnvi(FGL_TEXTURE_ENV, FGL_TEXTURE_ENV_MODE, FGL_MODULATE);
    const unsigned char texels[4 * 4] = {255, 0, 0,   255, 0,   255, 0,   255,
                                         0,   0, 255, 255, 255, 255, 255, 255};
    fglTexImage2D(FGL_TEXTURE_2D, 0, FGL_RGBA, 2, 2, 0, FGL_RGBA, FGL_UNSIGNED_BYTE, texels);
    fglEnable(FGL_TEXTURE_2D);
    fglColor4f(1.0f, 1.0f, 0.5f, 1.0f);
    fullQuad(0.0f);
    expectNear(pixelAt(8, 8), 1.0f, 0.0f, 0.0f, "bottom left");
    expectNear(pixelAt(24, 8), 0.0f, 1.0f, 0.0f, "bottom right");
    expectNear(pixelAt(8, 24), 0.0f, 0.0f, 0.5f, "top left");
    expectNear(pixelAt(24, 24), 1.0f, 1.0f, 0.5f, "top right");
}

bool lit(int x, int y) {
    const Rgba p = pixelAt(x, y);
    return p.r + p.g + p.b > 0;
}

// WebGL draws lines one pixel wide and points as big as it likes; the layer draws wider ones
// as triangles, on the pixels the GL's rules for non-antialiased wide lines and points give.
// Object coordinates here are window coordinates.
TEST_F(FixedGlEs, WideLinesAndPointsTakeTheGlsPixels) {
    fglTranslatef(-1.0f, -1.0f, 0.0f);
    fglScalef(2.0f / size, 2.0f / size, 1.0f);
    fglColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    fglPushAttrib(FGL_LINE_BIT | FGL_POINT_BIT);
    fglLineWidth(3.0f);
    // x-major: columns by the diamond-exit rule (the start lies inside its pixel's diamond,
    // the end too, so the first column is drawn and the last not), three rows centred on y.
    fglBegin(FGL_LINES);
    fglVertex2f(4.3f, 10.4f);
    fglVertex2f(27.6f, 10.4f);
    fglEnd();
    // Even sizes centre the square on a pixel corner, odd ones on a pixel centre.
    fglPointSize(4.0f);
    fglBegin(FGL_POINTS);
    fglVertex2f(16.3f, 20.7f);
    fglEnd();
    fglPointSize(3.0f);
    fglBegin(FGL_POINTS);
    fglVertex2f(8.2f, 24.9f);
    fglEnd();
    fglPopAttrib();
    // Width 1 again after the pop: one row.
    fglBegin(FGL_LINES);
    fglVertex2f(2.0f, 4.5f);
    fglVertex2f(30.0f, 4.5f);
    fglEnd();

    const struct {
        int x, y;
        bool lit;
    } expected[] = {
        {4, 9, true},    {4, 11, true},   {26, 10, true},  {3, 10, false}, {27, 10, false},
        {10, 8, false},  {10, 12, false}, {14, 19, true},  {17, 22, true}, {13, 20, false},
        {18, 20, false}, {15, 18, false}, {15, 23, false}, {7, 23, true},  {9, 25, true},
        {6, 24, false},  {10, 24, false}, {8, 22, false},  {8, 26, false}, {16, 4, true},
        {16, 3, false},  {16, 5, false},
    };
    for (const auto& e : expected)
        EXPECT_EQ(lit(e.x, e.y), e.lit) << "pixel " << e.x << ", " << e.y;
}

TEST_F(FixedGlEs, LineWidthMustBePositive) {
    fglLineWidth(0.0f);
    EXPECT_EQ(fglGetError(), static_cast<GLenum>(FGL_INVALID_VALUE));
}

// Many small lists under their own matrices and materials: one draw call while the draw
// state holds.
TEST_F(FixedGlEs, ReplayedListsShareOneDraw) {
    fglNewList(2, FGL_COMPILE);
    fglBegin(FGL_QUADS);
    fglVertex2f(-0.1f, -0.1f);
    fglVertex2f(0.1f, -0.1f);
    fglVertex2f(0.1f, 0.1f);
    fglVertex2f(-0.1f, 0.1f);
    fglEnd();
    fglEndList();
    fglEnable(FGL_LIGHTING);
    fglEnable(FGL_LIGHT0);
    fglFinish();
    const unsigned long before = fglDrawCallCount();
    for (int i = 0; i < 16; ++i) {
        fglPushMatrix();
        fglTranslatef(-0.75f + 0.1f * static_cast<float>(i), 0.0f, 0.0f);
        const float material[4] = {0.05f * static_cast<float>(i), 0.5f, 0.5f, 1.0f};
        fglMaterialfv(FGL_FRONT, FGL_AMBIENT_AND_DIFFUSE, material);
        fglCallList(2);
        fglPopMatrix();
    }
    fglFinish();
    EXPECT_EQ(fglDrawCallCount() - before, 1u);
    // Each quad keeps its own material: the last one's red is 1.2 x 0.75.
    expectNear(pixelAt(28, 16), 0.9f, 0.6f, 0.6f, "last quad");
}
} // namespace
