// The wire/solid hashes of the cube wheel and the cube field, against values worked out by
// hand in 32-bit two's-complement arithmetic.
#include "cube_tables.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

TEST(CubeHashes, WheelHashWrapsLikeThirtyTwoBitIntegers) {
    const struct {
        int variant, offset, i;
        uint32_t texture;
        int h;
    } cases[] = {
        {0, 0, 0, 1, 1725},
        {1, -4, 15, 3, 212},
        {1, -2, 9, 123456789, 3696},
        {1, 15, 7, 4294967295u, 1355}, // the product overflows 32 bits
        {0, -15, 3, 2147483647u, 2794},
    };
    for (const auto& c : cases)
        EXPECT_EQ(wheelHash(c.variant, c.offset, c.i, c.texture), c.h)
            << c.variant << ", " << c.offset << ", " << c.i << ", " << c.texture;
}

TEST(CubeHashes, FieldHashTruncatesOnceAndKeepsTwelveBits) {
    const struct {
        float t;
        int b;
        uint32_t texture;
        int h;
    } cases[] = {
        {0.0f, 0, 1, 1725},   {1.5f, 3, 1, 3449},
        {5.25f, 6, 3, 1916},  {12.75f, 2, 4000000000u, 3378}, // far beyond 32 bits before the mask
        {25.9f, 4, 17, 1922}, {20.1983642578125f, 0, 1, 1500},
    };
    for (const auto& c : cases)
        EXPECT_EQ(fieldHash(c.t, c.b, c.texture), c.h) << c.t << ", " << c.b << ", " << c.texture;
}

} // namespace
