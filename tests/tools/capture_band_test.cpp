// parade-capture --size 1920x1080: the 640x480 frame's band scaled three times, black around
// it, at the shape 640:270; on the build's default data.
#include "png_picture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {
Picture captureFrame(const std::string& folder, const std::string& time, const std::string& size) {
    const std::string path = folder + "/" + time + "-" + size + ".png";
    const std::string command = std::string(CAPTURE_PROGRAM) + " frame " + time + " " + path +
                                " --size " + size + " --data " + CAPTURE_DEFAULT_DATA +
                                " >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return readPng(path);
}

struct Box {
    unsigned left = ~0u, top = ~0u, right = 0, bottom = 0; // inclusive; empty while right < left
    void add(unsigned x, unsigned y) {
        left = std::min(left, x);
        top = std::min(top, y);
        right = std::max(right, x);
        bottom = std::max(bottom, y);
    }
};
} // namespace

TEST(CaptureBand, WideFrameIsTheSmallFramesBandScaled) {
    struct stat about {};
    ASSERT_EQ(stat((std::string(CAPTURE_DEFAULT_DATA) + "/mod2.it").c_str(), &about), 0)
        << "make the default data first (scripts/make-data)";
    char name[] = "/tmp/capture-band-XXXXXX";
    const std::string folder = mkdtemp(name);

    // The band on 1920x1080 is 1920x810, rows 116 to 925 from the top (90 : 120 of the rest).
    const unsigned top = 116, height = 810;
    Box lit;
    for (const char* time : {"3.4", "8", "12.5"}) {
        const Picture small = captureFrame(folder, time, "640x480");
        const Picture wide = captureFrame(folder, time, "1920x1080");
        ASSERT_EQ(small.width, 640u);
        ASSERT_EQ(wide.width, 1920u);
        ASSERT_EQ(wide.height, 1080u);

        long outside = 0;
        for (unsigned y = 0; y < wide.height; ++y)
            for (unsigned x = 0; x < wide.width; ++x)
                for (unsigned c = 0; c < 3; ++c) {
                    const int value = wide.at(x, y, c);
                    if (y < top || y >= top + height)
                        outside += value;
                    else if (value > 24)
                        lit.add(x, y);
                }
        EXPECT_EQ(outside, 0) << "t = " << time << ": lit pixels outside the band";

        // Each 3x3 block of the wide band, averaged, against the pixel of the small band.
        double difference = 0.0;
        for (unsigned y = 0; y < 270; ++y)
            for (unsigned x = 0; x < 640; ++x)
                for (unsigned c = 0; c < 3; ++c) {
                    int sum = 0;
                    for (unsigned dy = 0; dy < 3; ++dy)
                        for (unsigned dx = 0; dx < 3; ++dx)
                            sum += wide.at(3 * x + dx, top + 3 * y + dy, c);
                    difference += std::abs(sum / 9.0 - small.at(x, 90 + y, c));
                }
        const double mean = difference / (640.0 * 270.0 * 3.0);
        std::printf("t = %s: mean difference %.2f / 255\n", time, mean);
        EXPECT_LT(mean, 14.0) << "t = " << time;
    }
    ASSERT_LE(lit.left, lit.right);
    const double aspect = (lit.right - lit.left + 1.0) / (lit.bottom - lit.top + 1.0);
    std::printf("lit box %ux%u at %u, %u: aspect %.4f\n", lit.right - lit.left + 1,
                lit.bottom - lit.top + 1, lit.left, lit.top, aspect);
    EXPECT_NEAR(aspect / (640.0 / 270.0), 1.0, 0.03);
    std::system(("rm -rf " + folder).c_str());
}
