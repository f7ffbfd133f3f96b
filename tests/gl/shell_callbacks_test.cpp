// The toolkit wiring of start-up and the idle handler's pause. The toolkit calls are wrapped
// at link time (tests/gl/shell.cmake): each wrapper notes its call, and the menu calls go on
// to the real toolkit so that its own menu state can be read back as well.
#include "gl_harness.h"
#include "platform.h"
#include "shell.h"

#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
std::vector<std::string> menuCalls;
int redisplayRequests = 0;
void (*idleCallback)() = nullptr;
void (*displayCallback)() = nullptr;
void (*reshapeCallback)(int, int) = nullptr;
void (*keyboardCallback)(unsigned char, int, int) = nullptr;
void (*specialCallback)(int, int, int) = nullptr;
void (*menuCallback)(int) = nullptr;
} // namespace

extern "C" {
int __real_glutCreateMenu(void (*callback)(int));
void __real_glutAddMenuEntry(const char* label, int value);
void __real_glutAttachMenu(int button);

void __wrap_glutPostRedisplay() {
    ++redisplayRequests;
}
void __wrap_glutIdleFunc(void (*callback)()) {
    idleCallback = callback;
}
void __wrap_glutDisplayFunc(void (*callback)()) {
    displayCallback = callback;
}
void __wrap_glutReshapeFunc(void (*callback)(int, int)) {
    reshapeCallback = callback;
}
void __wrap_glutKeyboardFunc(void (*callback)(unsigned char, int, int)) {
    keyboardCallback = callback;
}
void __wrap_glutSpecialFunc(void (*callback)(int, int, int)) {
    specialCallback = callback;
}
int __wrap_glutCreateMenu(void (*callback)(int)) {
    menuCallback = callback;
    const int menu = __real_glutCreateMenu(callback);
    menuCalls.push_back("create menu " + std::to_string(menu));
    return menu;
}
void __wrap_glutAddMenuEntry(const char* label, int value) {
    menuCalls.push_back(std::string("entry \"") + label + "\" " + std::to_string(value));
    __real_glutAddMenuEntry(label, value);
}
void __wrap_glutAttachMenu(int button) {
    menuCalls.push_back("attach menu " + std::to_string(glutGetMenu()) + " to button " +
                        std::to_string(button));
    __real_glutAttachMenu(button);
}
}

TEST(ShellCallbacks, StartUpRegistersTheHandlersAndTheRightButtonMenu) {
    openTestWindow();
    registerCallbacks();
    EXPECT_EQ(idleCallback, &idleHandler);
    EXPECT_EQ(displayCallback, &displayHandler);
    EXPECT_EQ(reshapeCallback, &reshapeHandler);
    EXPECT_EQ(keyboardCallback, &keyboardHandler);
    EXPECT_EQ(specialCallback, &specialKeyHandler);
    EXPECT_EQ(menuCallback, &menuHandler);
    ASSERT_FALSE(menuCalls.empty());
    const std::string menu = menuCalls[0].substr(std::string("create menu ").size());
    const std::vector<std::string> expected = {
        "create menu " + menu,
        "entry \"(un)Pause\" 1",
        "entry \"No effect\" 666",
        "entry \"Effect1\" 667",
        "entry \"Effect2\" 668",
        "entry \"Quit\" 2",
        "attach menu " + menu + " to button " + std::to_string(GLUT_RIGHT_BUTTON),
    };
    EXPECT_EQ(menuCalls, expected);
    EXPECT_EQ(std::to_string(glutGetMenu()), menu);
    EXPECT_EQ(glutGet(GLUT_MENU_NUM_ITEMS), 5);
}

TEST(ShellCallbacks, IdleCopiesTheClockAndAsksForAFrameOnlyWhileRunning) {
    const int64_t onePattern = 7680000000; // 7.68 s of a nanosecond counter
    useVirtualCounter(1, 1000000000);
    resetDemoClock();
    pauseFlag = 0;
    redisplayRequests = 0;

    idleHandler();
    advanceVirtualCounter(onePattern);
    idleHandler();
    EXPECT_FLOAT_EQ(demoTime, 1.0f);
    EXPECT_EQ(redisplayRequests, 2); // every idle call while running asks for a frame

    menuHandler(1);
    ASSERT_EQ(pauseFlag, 1);
    EXPECT_EQ(redisplayRequests, 3);
    advanceVirtualCounter(onePattern);
    for (int i = 0; i < 3; ++i)
        idleHandler();
    EXPECT_FLOAT_EQ(demoTime, 1.0f); // the pictures stay frozen
    EXPECT_EQ(redisplayRequests, 3);
    keyboardHandler(' ', 0, 0); // a key still draws the frozen frame
    keyboardHandler(' ', 0, 0);
    EXPECT_EQ(redisplayRequests, 5);

    menuHandler(1);
    ASSERT_EQ(pauseFlag, 0);
    EXPECT_FLOAT_EQ(demoTime, 1.0f);
    idleHandler(); // the clock ran on: the pictures jump to the music
    EXPECT_FLOAT_EQ(demoTime, 2.0f);
    EXPECT_EQ(redisplayRequests, 7);
}
