// parade-actframes: one readable 640x480 PNG per act with something drawn in it, and clear
// failures for bad arguments and a missing data directory.
#include "png_picture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {
namespace fs = std::filesystem;

int run(const std::string& arguments) {
    const std::string command =
        std::string(PARADE_ACTFRAMES) + " " + arguments + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

fs::path scratch(const std::string& name) {
    const fs::path path = fs::temp_directory_path() / ("parade-actframes-test-" + name);
    fs::remove_all(path);
    return path;
}

TEST(ActFrames, WritesOneLitFramePerAct) {
    // Without pictures the layers stay dark, but every act draws its objects.
    const fs::path data = scratch("data");
    const fs::path out = scratch("out");
    fs::create_directories(data);
    ASSERT_EQ(run(data.string() + " " + out.string()), 0);
    std::vector<int> acts;
    for (int act = 0; act < 24; ++act)
        acts.push_back(act);
    acts.push_back(30);
    acts.push_back(32);
    for (int act : acts) {
        char name[16];
        std::snprintf(name, sizeof name, "act%02d.png", act);
        SCOPED_TRACE(name);
        const Picture picture = readPng(out / name);
        ASSERT_FALSE(picture.rgb.empty());
        EXPECT_EQ(picture.width, 640u);
        EXPECT_EQ(picture.height, 480u);
        size_t lit = 0;
        for (unsigned char c : picture.rgb)
            lit += c > 40 ? 1 : 0;
        EXPECT_GT(lit, 1000u);
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator{}), 26);
    fs::remove_all(data);
    fs::remove_all(out);
}

TEST(ActFrames, RefusesBadArguments) {
    EXPECT_EQ(run(""), 2);
    EXPECT_EQ(run("one"), 2);
    EXPECT_EQ(run("--bench 0 ."), 2);
    EXPECT_EQ(run("--bench many ."), 2);
    const fs::path out = scratch("unused");
    EXPECT_EQ(run("/nonexistent/parade-data " + out.string()), 1);
    fs::remove_all(out);
}
} // namespace
