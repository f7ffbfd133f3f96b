// The command-line scan that chooses the window or the full-screen mode.
#include "shell.h"

#include <gtest/gtest.h>

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
