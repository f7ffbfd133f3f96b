// The band of 640x270 shape on drawables of every size: exact rectangles, and the rule held
// over a sweep of sizes.
#include "director.h"

#include <gtest/gtest.h>

#include <cstdlib>

TEST(ViewportBand, ExactRectangles) {
    struct Case {
        int width, height;
        ViewportBand band;
    };
    const Case cases[] = {
        {640, 480, {0, 120, 640, 270}},    // the screen the show was made for
        {1280, 960, {0, 240, 1280, 540}},  // twice that, exactly
        {1920, 1080, {0, 154, 1920, 810}}, // 270 rows spare: 154.3 below, 116 above
        {1280, 720, {0, 103, 1280, 540}},  // 180 spare: 102.9 below
        {3440, 1440, {13, 0, 3413, 1440}}, // 3413.3 wide, 27 columns spare: 13 left, 14 right
        {640, 100, {201, 0, 237, 100}},    // a low window: the band keeps its shape
        {800, 1000, {0, 378, 800, 338}},   // 337.5 high rounds up; 378.3 below
        {8192, 8192, {0, 2706, 8192, 3456}},
        {1, 1, {0, 0, 1, 1}}, // never thinner than one pixel
        {1, 1000, {0, 571, 1, 1}},
        {1000, 1, {499, 0, 2, 1}},
        {0, 0, {0, 0, 0, 0}}, // a minimised window shows nothing
        {0, 480, {0, 0, 0, 0}},
        {640, 0, {0, 0, 0, 0}},
        {-4, 480, {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        const ViewportBand band = viewportBand(c.width, c.height);
        EXPECT_EQ(band.x, c.band.x) << c.width << "x" << c.height;
        EXPECT_EQ(band.y, c.band.y) << c.width << "x" << c.height;
        EXPECT_EQ(band.width, c.band.width) << c.width << "x" << c.height;
        EXPECT_EQ(band.height, c.band.height) << c.width << "x" << c.height;
    }
}

TEST(ViewportBand, FillsOneSideKeepsTheShapeAndSplitsTheRest) {
    for (int width = 1; width <= 400; ++width) {
        for (int height = 1; height <= 400; ++height) {
            const ViewportBand b = viewportBand(width, height);
            const std::string size = std::to_string(width) + "x" + std::to_string(height);
            ASSERT_GE(b.x, 0) << size;
            ASSERT_GE(b.y, 0) << size;
            ASSERT_LE(b.x + b.width, width) << size;
            ASSERT_LE(b.y + b.height, height) << size;
            // One side fills the drawable, the other is the exact shape's within half a pixel
            // (or the one pixel a tiny drawable gets).
            const bool widthFilled =
                b.width == width &&
                (b.height == 1 || std::abs(b.height * 640 - width * 270) <= 320);
            const bool heightFilled =
                b.height == height &&
                (b.width == 1 || std::abs(b.width * 270 - height * 640) <= 135);
            ASSERT_TRUE(widthFilled || heightFilled) << size << ": " << b.width << "x" << b.height;
            const int left = b.x, right = width - b.x - b.width;
            ASSERT_TRUE(right == left || right == left + 1) << size;
            // Rows below : above = 120 : 90, within the half row that rounding moves.
            const int below = b.y, above = height - b.y - b.height;
            ASSERT_LE(std::abs(below * 90 - above * 120), 105) << size;
        }
    }
}

TEST(LineScale, FollowsTheBandHeightNeverBelowOne) {
    struct Case {
        int width, height;
        float scale;
    };
    const Case cases[] = {
        {640, 480, 1.0f},         // band 270 rows: lines 1 pixel, points 4, as the show was made
        {1280, 960, 2.0f},        // 540
        {1920, 1080, 3.0f},       // 810
        {2560, 1440, 4.0f},       // 1080
        {3840, 2160, 6.0f},       // 1620
        {7680, 4320, 12.0f},      // 4K supersampled twice
        {1366, 768, 576 / 270.f}, // 2.13: odd bands keep the exact ratio; GL rounds wide lines
        {800, 600, 338 / 270.f},  // 1.25
        {3440, 1440, 1440 / 270.f},
        {639, 480, 1.0f}, // 270 rows on a drawable a column narrower
        {320, 240, 1.0f}, // 135 rows: lines cannot be thinner than a pixel
        {1, 1, 1.0f},
        {0, 0, 1.0f}, // no band at all
    };
    for (const Case& c : cases) {
        const int bandHeight = viewportBand(c.width, c.height).height;
        EXPECT_FLOAT_EQ(lineScale(bandHeight), c.scale) << c.width << "x" << c.height;
    }
    for (int height = -1; height <= 5000; ++height) {
        const float scale = lineScale(height);
        ASSERT_GE(scale, 1.0f) << height;
        if (height > 270) {
            ASSERT_NEAR(scale * 270.0f, static_cast<float>(height), 1e-3f) << height;
        }
    }
}
