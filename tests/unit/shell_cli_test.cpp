// The command-line scans: window or full screen, the display GLUT will open; and the search
// of the driver's extension list.
#include "shell.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

TEST(CommandLine, LastArgumentWithEitherWordDecides) {
    struct Case {
        std::vector<const char*> arguments;
        bool fullScreen;
    };
    const Case cases[] = {
        {{}, true},
        {{"window"}, false},
        {{"window", "full"}, true},
        {{"full", "window"}, false},
        {{"fullwindow"}, true},
        {{"mywindowed"}, false},
        {{"Window"}, true},
        {{"window", "other"}, false},
        {{"--fullscreen", "x"}, true},
    };
    for (const Case& c : cases) {
        std::vector<char*> argv{const_cast<char*>("parade")};
        for (const char* argument : c.arguments)
            argv.push_back(const_cast<char*>(argument));
        EXPECT_EQ(fullScreenRequested(static_cast<int>(argv.size()), argv.data()), c.fullScreen)
            << (c.arguments.empty() ? "(none)" : c.arguments[0]);
    }
}

TEST(CommandLine, AnyArgumentContainingLoopLoops) {
    const std::pair<std::vector<const char*>, bool> cases[] = {
        {{}, false},        {{"window"}, false},        {{"loop"}, true},
        {{"--loop"}, true}, {{"window", "loop"}, true}, {{"loop", "full"}, true},
        {{"Loop"}, false},  {{"windowloop"}, true},
    };
    for (const auto& [arguments, loops] : cases) {
        std::vector<char*> argv{const_cast<char*>("parade")};
        for (const char* argument : arguments)
            argv.push_back(const_cast<char*>(argument));
        EXPECT_EQ(loopRequested(static_cast<int>(argv.size()), argv.data()), loops)
            << (arguments.empty() ? "(none)" : arguments[0]);
    }
}

TEST(CommandLine, DisplayFromTheLastDisplayOptionElseTheEnvironment) {
    struct Case {
        std::vector<const char*> arguments;
        const char* environment; // DISPLAY, or nullptr for unset
        const char* name;        // expected, nullptr for none
        bool nameMissing;
    };
    const Case cases[] = {
        {{"window"}, ":7", ":7", false},
        {{"window"}, nullptr, nullptr, false},
        {{"window", "-display", ":3"}, nullptr, ":3", false},
        {{"-display", ":3", "window"}, ":7", ":3", false},
        {{"-display", ":3", "-display", "host:1"}, nullptr, "host:1", false},
        {{"window", "-display"}, ":7", nullptr, true},
        {{"--display", ":3"}, ":7", ":7", false}, // not GLUT's option
        {{"-geometry", "800x600+0+0"}, ":7", ":7", false},
    };
    for (const Case& c : cases) {
        if (c.environment)
            setenv("DISPLAY", c.environment, 1);
        else
            unsetenv("DISPLAY");
        std::vector<char*> argv{const_cast<char*>("parade")};
        for (const char* argument : c.arguments)
            argv.push_back(const_cast<char*>(argument));
        bool nameMissing = false;
        const char* name = displayArgument(static_cast<int>(argv.size()), argv.data(), nameMissing);
        EXPECT_EQ(nameMissing, c.nameMissing) << c.arguments.back();
        EXPECT_STREQ(name, c.name) << c.arguments.back();
    }
}

TEST(CommandLine, GeometryGivesTheSizeOnlyWithWidthAndHeight) {
    struct Case {
        std::vector<const char*> arguments;
        bool sizeGiven;
        int width, height;
    };
    const Case cases[] = {
        {{"window"}, false, 0, 0},
        {{"window", "-geometry", "800x600+10+10"}, true, 800, 600},
        {{"-geometry", "800x600", "window"}, true, 800, 600},
        {{"window", "-geometry", "+30+40"}, false, 0, 0},
        {{"window", "-geometry", "800x"}, false, 0, 0},
        {{"window", "-geometry", "0x0"}, false, 0, 0},
        {{"window", "-geometry"}, false, 0, 0},
        // Past X's 16-bit sizes: held at 65535 for the window opener to cap.
        {{"window", "-geometry", "65536x100"}, true, 65535, 100},
        {{"window", "-geometry", "99999999999x5"}, true, 65535, 5},
    };
    for (const Case& c : cases) {
        std::vector<char*> argv{const_cast<char*>("parade")};
        for (const char* argument : c.arguments)
            argv.push_back(const_cast<char*>(argument));
        int width = 0, height = 0;
        EXPECT_EQ(geometryGivesSize(static_cast<int>(argv.size()), argv.data(), width, height),
                  c.sizeGiven)
            << c.arguments.back();
        EXPECT_EQ(width, c.width) << c.arguments.back();
        EXPECT_EQ(height, c.height) << c.arguments.back();
    }
}

TEST(SwapControl, ExtensionsAreMatchedAsWholeWords) {
    struct Case {
        const char* list;
        bool listed;
    };
    const Case cases[] = {
        {"GLX_EXT_swap_control", true},
        {"GLX_ARB_multisample GLX_EXT_swap_control GLX_SGI_swap_control", true},
        {"GLX_ARB_multisample GLX_EXT_swap_control", true},
        {"GLX_EXT_swap_control_tear GLX_ARB_multisample", false},
        {"GLX_EXT_swap_control_tear GLX_EXT_swap_control ", true},
        {"XGLX_EXT_swap_control", false},
        {"", false},
        {nullptr, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(extensionListed(c.list, "GLX_EXT_swap_control"), c.listed)
            << (c.list ? c.list : "(null)");
}
