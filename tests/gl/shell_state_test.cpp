// The fixed OpenGL state of start-up and the viewport band.
#include "gl_harness.h"
#include "shell.h"

#include <gtest/gtest.h>

// After GoogleTest: the X headers define macros (None, Bool) that clash with its names.
#include <GL/glx.h>
#include <GL/glxext.h>

#include <cstdlib>
#include <string>

TEST(StartupState, FogHintsAndDepthAsTheShowExpects) {
    openTestWindow();
    testing::internal::CaptureStderr();
    initGraphicsState(); // pictures are missing here: each is reported, start-up goes on
    const std::string reports = testing::internal::GetCapturedStderr();
    EXPECT_NE(reports.find("can't open deita/happy2.jpg"), std::string::npos) << reports;

    GLint value = 0;
    glGetIntegerv(GL_FOG_MODE, &value);
    EXPECT_EQ(value, GL_LINEAR);
    GLfloat range[2];
    glGetFloatv(GL_FOG_START, &range[0]);
    glGetFloatv(GL_FOG_END, &range[1]);
    EXPECT_EQ(range[0], 30.0f);
    EXPECT_EQ(range[1], 60.0f);
    GLfloat colour[4];
    glGetFloatv(GL_FOG_COLOR, colour);
    EXPECT_FLOAT_EQ(colour[0], 0.0f);
    EXPECT_FLOAT_EQ(colour[1], 0.02f);
    EXPECT_FLOAT_EQ(colour[2], 0.1f);
    EXPECT_FLOAT_EQ(colour[3], 0.5f);
    EXPECT_TRUE(glIsEnabled(GL_FOG));
    EXPECT_TRUE(glIsEnabled(GL_NORMALIZE));
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    glGetIntegerv(GL_DEPTH_FUNC, &value);
    EXPECT_EQ(value, GL_LESS);
    for (GLenum hint : {GL_PERSPECTIVE_CORRECTION_HINT, GL_POINT_SMOOTH_HINT, GL_LINE_SMOOTH_HINT,
                        GL_POLYGON_SMOOTH_HINT, GL_FOG_HINT}) {
        glGetIntegerv(hint, &value);
        EXPECT_EQ(value, GL_NICEST) << hint;
    }
    // The lists exist before the first frame, and the last picture loaded stays bound.
    EXPECT_TRUE(glIsList(667));
    EXPECT_TRUE(glIsList(680));
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &value);
    EXPECT_NE(value, 0);
}

TEST(StartupState, ReshapeSetsTheBandOfTheWindowSize) {
    openTestWindow();
    struct Case {
        int width, height;
        GLint expected[4];
    };
    const Case cases[] = {
        {640, 480, {0, 120, 640, 270}},
        {640, 100, {201, 0, 237, 100}},
        {1024, 768, {0, 192, 1024, 432}},
    };
    for (const Case& c : cases) {
        glMatrixMode(GL_MODELVIEW);
        reshapeHandler(c.width, c.height);
        GLint viewport[4];
        glGetIntegerv(GL_VIEWPORT, viewport);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(viewport[i], c.expected[i]) << c.width << "x" << c.height << " [" << i << "]";
        GLint mode = 0;
        glGetIntegerv(GL_MATRIX_MODE, &mode);
        EXPECT_EQ(mode, GL_PROJECTION);
    }
}

namespace {
// The window's swap interval as the driver reports it, or -1 where it cannot say.
int currentSwapInterval(const std::string& extension) {
    Display* display = glXGetCurrentDisplay();
    if (extension == "GLX_EXT_swap_control") {
        unsigned value = 0;
        glXQueryDrawable(display, glXGetCurrentDrawable(), GLX_SWAP_INTERVAL_EXT, &value);
        return static_cast<int>(value);
    }
    if (extension == "GLX_MESA_swap_control") {
        auto get = reinterpret_cast<PFNGLXGETSWAPINTERVALMESAPROC>(
            glXGetProcAddress(reinterpret_cast<const GLubyte*>("glXGetSwapIntervalMESA")));
        return get ? get() : -1;
    }
    return -1;
}
} // namespace

// The interval asked for, wherever the suite runs: 1 unless PARADE_VSYNC is exactly "0".
TEST(StartupState, SwapIntervalOneUnlessTurnedOff) {
    const struct {
        const char* setting; // nullptr: not set
        int interval;
    } cases[] = {{nullptr, 1}, {"0", 0}, {"1", 1}, {"", 1}, {"00", 1}, {"off", 1}};
    for (const auto& c : cases) {
        if (c.setting)
            setenv("PARADE_VSYNC", c.setting, 1);
        else
            unsetenv("PARADE_VSYNC");
        EXPECT_EQ(wantedSwapInterval(), c.interval) << (c.setting ? c.setting : "(not set)");
    }
    unsetenv("PARADE_VSYNC");
}

// The driver takes the interval asked for, where it offers a swap control (Xvfb with Mesa's
// software renderer offers none: then none of the three is listed, and nothing is asked).
TEST(StartupState, SwapIntervalReachesTheDriver) {
    openTestWindow();
    unsetenv("PARADE_VSYNC");
    const std::string extension = useSwapInterval();
    const char* offered = glXQueryExtensionsString(glXGetCurrentDisplay(), 0);
    if (extension.empty()) {
        for (const char* name :
             {"GLX_EXT_swap_control", "GLX_MESA_swap_control", "GLX_SGI_swap_control"})
            EXPECT_FALSE(extensionListed(offered, name)) << name;
        GTEST_SKIP() << "this display offers no swap control";
    }
    EXPECT_EQ(currentSwapInterval(extension), 1);
    setenv("PARADE_VSYNC", "0", 1);
    EXPECT_EQ(useSwapInterval(), extension);
    EXPECT_EQ(currentSwapInterval(extension), 0);
    unsetenv("PARADE_VSYNC");
}
