// Jumps in the running demo, drawn as the capture draws: with the music playing on the silent
// output, the arrow keys and Home show at the next frame the frame that parade-capture makes of
// that moment, pixel for pixel, and keys pressed before it add up into that one jump; with the
// loop on, the show starts again past its end with the SyncPoints of its start. Needs the default
// data and parade-capture of the same build, so it runs with the end-to-end tests.
#include "director.h"
#include "gl_harness.h"
#include "music.h"
#include "platform.h"
#include "png_picture.h"
#include "shell.h"

#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {
constexpr int width = 640;
constexpr int height = 480;

// The frame each buffer swap shows, read from the back buffer just before it (rows from the
// top), and how many were shown; the link puts this in front of freeglut's glutSwapBuffers.
std::vector<uint8_t> lastShown;
int framesShown = 0;
} // namespace

extern "C" void __real_glutSwapBuffers();
extern "C" void __wrap_glutSwapBuffers() {
    std::vector<uint8_t> bottomUp(static_cast<size_t>(width) * height * 3);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
    lastShown.resize(bottomUp.size());
    const size_t row = static_cast<size_t>(width) * 3;
    for (int y = 0; y < height; ++y)
        std::memcpy(&lastShown[y * row], &bottomUp[(height - 1 - y) * row], row);
    ++framesShown;
    __real_glutSwapBuffers();
}

namespace {
const int64_t onePattern = 7680000000; // nanoseconds of the virtual counter

class ShellJumps : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        char pattern[] = "/tmp/parade-jumps-gl-XXXXXX";
        const char* made = mkdtemp(pattern);
        ASSERT_NE(made, nullptr);
        folder = made;
        openTestWindow(width, height);
        ASSERT_EQ(chdir(CAPTURE_DEFAULT_DATA), 0) << "make the default data first";
        initGraphicsState();
        reshapeHandler(width, height);
        // The pictures are on the virtual counter, which stands still unless moved; the music
        // plays on the silent output in real time, its syncs stamping the standing clock.
        useVirtualCounter(1);
        testing::internal::CaptureStdout();
        ASSERT_TRUE(startMusic());
        testing::internal::GetCapturedStdout();
    }
    static void TearDownTestSuite() {
        haltMusic();
        std::system(("rm -rf " + folder).c_str());
    }

    // parade-capture's frame at `time` from the same data.
    static std::vector<uint8_t> capturedFrame(const std::string& time) {
        const std::string png = folder + "/frame-" + time + ".png";
        const std::string command = std::string(CAPTURE_PROGRAM) + " frame " + time + " " + png +
                                    " --data " CAPTURE_DEFAULT_DATA " >/dev/null 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        const Picture picture = readPng(png);
        EXPECT_EQ(picture.width, static_cast<unsigned>(width));
        EXPECT_EQ(picture.height, static_cast<unsigned>(height));
        return picture.rgb;
    }

    // `lit`: the frame must show something, not only black.
    static void expectCaptured(const std::string& time, bool lit = true) {
        SCOPED_TRACE("frame at " + time);
        EXPECT_FLOAT_EQ(demoTime, std::stof(time));
        const std::vector<uint8_t> shown = lastShown;
        const std::vector<uint8_t> captured = capturedFrame(time);
        ASSERT_EQ(shown.size(), captured.size());
        size_t differing = 0;
        size_t bright = 0;
        for (size_t i = 0; i < shown.size(); ++i) {
            differing += shown[i] != captured[i];
            bright += captured[i] > 16;
        }
        EXPECT_EQ(differing, 0u);
        if (lit) {
            EXPECT_GT(bright, shown.size() / 20);
        }
    }

    // Presses the special keys, then draws the next frame as the main loop does. The keys
    // themselves draw nothing; their jumps add up into the one frame shown.
    static void pressThenDraw(std::initializer_list<int> keys) {
        const int before = framesShown;
        for (int key : keys)
            specialKeyHandler(key, 0, 0);
        EXPECT_EQ(framesShown, before) << "a key drew a frame itself";
        displayHandler();
        EXPECT_EQ(framesShown, before + 1);
    }

    static std::string folder;
};
std::string ShellJumps::folder;
} // namespace

TEST_F(ShellJumps, ArrowKeysAndHomeShowTheCapturesFrameOfThatMoment) {
    // The show at 10.3125, drawn as it runs.
    advanceVirtualCounter(10 * onePattern + onePattern / 32 * 10);
    idleHandler();
    ASSERT_FLOAT_EQ(demoTime, 10.3125f);
    displayHandler();

    pressThenDraw({GLUT_KEY_RIGHT});
    expectCaptured("11.3125");
    pressThenDraw({GLUT_KEY_LEFT, GLUT_KEY_LEFT});
    expectCaptured("9.3125");
    // A jump forward across the backdrop's change at 13.5 and the act's at 13.
    pressThenDraw({GLUT_KEY_RIGHT, GLUT_KEY_RIGHT, GLUT_KEY_RIGHT, GLUT_KEY_RIGHT});
    expectCaptured("13.3125");
    pressThenDraw({GLUT_KEY_HOME});
    expectCaptured("0", false); // black: the layers wait for the opening's first strike
    // Back past the start stays at the start.
    pressThenDraw({GLUT_KEY_LEFT});
    EXPECT_EQ(demoTime, 0.0f);
    // Home after other keys starts from the start; keys after it go on from there.
    pressThenDraw({GLUT_KEY_RIGHT, GLUT_KEY_RIGHT, GLUT_KEY_HOME, GLUT_KEY_RIGHT, GLUT_KEY_RIGHT,
                   GLUT_KEY_LEFT});
    EXPECT_EQ(demoTime, 1.0f);
    pressThenDraw({GLUT_KEY_HOME});

    // After a jump the pictures go on from its moment as the counter moves.
    pressThenDraw({GLUT_KEY_RIGHT});
    advanceVirtualCounter(onePattern / 4);
    idleHandler();
    EXPECT_FLOAT_EQ(demoTime, 1.25f);
}

TEST_F(ShellJumps, TheLoopStartsTheShowAgainWithTheSyncPointsOfItsStart) {
    loopShow = true;
    pressThenDraw({GLUT_KEY_HOME});
    for (int i = 0; i < 25; ++i)
        specialKeyHandler(GLUT_KEY_RIGHT, 0, 0);
    displayHandler();
    ASSERT_FLOAT_EQ(demoTime, 25.0f);
    advanceVirtualCounter(onePattern + onePattern / 8);
    holdMusicSyncs(); // the music's own syncs would stamp the standing clock
    idleHandler();
    EXPECT_NEAR(demoTime, 0.125f, 1e-5f);
    float stamps[syncPointCount];
    float levels[syncPointCount];
    for (int i = 0; i < syncPointCount; ++i) {
        stamps[i] = syncPoints[i].stamp.load();
        levels[i] = syncPoints[i].level.load();
    }
    setSyncPointsAt(demoTime);
    for (int i = 0; i < syncPointCount; ++i) {
        EXPECT_EQ(stamps[i], syncPoints[i].stamp.load()) << i;
        EXPECT_EQ(levels[i], syncPoints[i].level.load()) << i;
        EXPECT_LE(stamps[i], 0.125f) << i;
    }
    releaseMusicSyncs();
    // Right past the end goes round too, as often as the presses add up.
    for (int i = 1; i < 26 * 3; ++i)
        specialKeyHandler(GLUT_KEY_RIGHT, 0, 0);
    pressThenDraw({GLUT_KEY_RIGHT});
    EXPECT_NEAR(demoTime, 0.125f, 1e-5f);
    loopShow = false;
}
