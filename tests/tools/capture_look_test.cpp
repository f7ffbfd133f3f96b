// parade-capture at 1920x1080 looks like 640x480 where thin lines carry the picture (the wire
// swarms, the line tunnel): the band scaled to 640x270 and blurred differs by at most 2/255 and
// keeps its brightness within a level. --supersample averages a larger drawing down exactly.
#include "band_look.h"
#include "png_picture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {
class CaptureLook : public ::testing::Test {
  protected:
    void SetUp() override {
        struct stat about {};
        ASSERT_EQ(stat((std::string(CAPTURE_DEFAULT_DATA) + "/mod2.it").c_str(), &about), 0)
            << "make the default data first (scripts/make-data)";
        char name[] = "/tmp/capture-look-XXXXXX";
        folder = mkdtemp(name);
    }
    void TearDown() override { std::system(("rm -rf " + folder).c_str()); }

    // Runs the capture with `arguments` and the default data; its status and what it said.
    int run(const std::string& arguments, std::string* said = nullptr) {
        const std::string log = folder + "/log.txt";
        const std::string command = std::string(CAPTURE_PROGRAM) + " " + arguments + " --data " +
                                    CAPTURE_DEFAULT_DATA + " >" + log + " 2>&1";
        const int status = std::system(command.c_str());
        if (said) {
            said->clear();
            if (FILE* file = std::fopen(log.c_str(), "r")) {
                char buffer[512];
                while (std::fgets(buffer, sizeof buffer, file))
                    *said += buffer;
                std::fclose(file);
            }
        }
        return status;
    }

    Picture frame(const std::string& time, const std::string& size, int supersample = 1) {
        const std::string path =
            folder + "/" + time + "-" + size + "-" + std::to_string(supersample) + ".png";
        EXPECT_EQ(run("frame " + time + " " + path + " --size " + size + " --supersample " +
                      std::to_string(supersample)),
                  0)
            << time << " " << size;
        return readPng(path);
    }

    std::string folder;
};

BandLook lookOf(const Picture& picture) {
    return bandLook(picture.rgb.data(), static_cast<int>(picture.width),
                    static_cast<int>(picture.height));
}
} // namespace

TEST_F(CaptureLook, WideFramesKeepTheLookOfThinLines) {
    // One moment in each of the patterns where lines matter most (t in patterns of 7.68 s).
    for (const char* time : {"3.5", "9.5", "15.5", "21.5"}) {
        const Picture small = frame(time, "640x480");
        const Picture wide = frame(time, "1920x1080");
        ASSERT_EQ(small.width, 640u);
        ASSERT_EQ(wide.width, 1920u);
        const BandLook a = lookOf(small);
        const BandLook b = lookOf(wide);
        const double difference = lookDifference(a, b);
        std::printf("t = %s: difference %.2f/255, brightness %.2f at 640x480, %.2f at 1920x1080\n",
                    time, difference, a.brightness, b.brightness);
        EXPECT_LE(difference, 2.0) << "t = " << time;
        EXPECT_LE(std::fabs(a.brightness - b.brightness), 1.0) << "t = " << time;
    }
}

TEST_F(CaptureLook, SupersampleAveragesTheLargerDrawingDown) {
    // 320x240 twice over draws the 640x480 frame (same band, same line scale): each pixel is
    // the rounded mean of its 2x2 block, rows and columns in place.
    const Picture large = frame("15.5", "640x480");
    const Picture small = frame("15.5", "320x240", 2);
    ASSERT_EQ(small.width, 320u);
    ASSERT_EQ(small.height, 240u);
    long mismatched = 0;
    for (unsigned y = 0; y < 240; ++y)
        for (unsigned x = 0; x < 320; ++x)
            for (unsigned c = 0; c < 3; ++c) {
                const int sum = large.at(2 * x, 2 * y, c) + large.at(2 * x + 1, 2 * y, c) +
                                large.at(2 * x, 2 * y + 1, c) + large.at(2 * x + 1, 2 * y + 1, c);
                mismatched += small.at(x, y, c) != (sum + 2) / 4;
            }
    EXPECT_EQ(mismatched, 0);

    // At 1920x1080 twice over the lines are six pixels wide on the large drawing: the look holds.
    const BandLook plain = lookOf(frame("3.5", "640x480"));
    const BandLook sharp = lookOf(frame("3.5", "1920x1080", 2));
    EXPECT_LE(lookDifference(plain, sharp), 2.0);
    EXPECT_LE(std::fabs(plain.brightness - sharp.brightness), 1.0);
}

TEST_F(CaptureLook, BadSupersampleIsRefused) {
    const std::string out = folder + "/a.png";
    struct Case {
        const char* arguments;
        const char* message;
    };
    const Case cases[] = {
        {"--supersample 0", "from 1 to 4"},
        {"--supersample 5", "from 1 to 4"},
        {"--supersample 2x", "from 1 to 4"},
        {"--supersample=", "from 1 to 4"},
        {"--size 4096x2160 --supersample 3", "more than 8192 pixels a side"},
    };
    for (const Case& c : cases) {
        std::string said;
        EXPECT_NE(run("frame 1 " + out + " " + c.arguments, &said), 0) << c.arguments;
        EXPECT_NE(said.find(c.message), std::string::npos) << c.arguments << ": " << said;
        struct stat about {};
        EXPECT_NE(stat(out.c_str(), &about), 0) << c.arguments << " wrote a file";
    }
}
