// The strike feed: strikes of the offline list stamped into the SyncPoints up to a demo time, as
// the live music would have stamped them when heard.
#include "music.h"

#include <gtest/gtest.h>

namespace {
TEST(StrikeFeed, StampAtTheDemoTimeTheStrikeIsHeard) {
    const struct {
        int64_t sample;
        float stamp;
    } cases[] = {
        {0, 0.0f},         {338688, 1.0f}, // 7.68 s
        {84672, 0.25f},                    // a quarter unit, 16 rows
        {5292, 0.015625f},                 // one row, 0.12 s
        {8805888, 26.0f},                  // the show's end
    };
    for (const auto& c : cases)
        EXPECT_FLOAT_EQ(stampOfSample(c.sample), c.stamp) << c.sample;
}

TEST(StrikeFeed, FeedStampsWatchedInstrumentsInOrderUpToTheFrame) {
    // Instrument 15 drives SyncPoint 7, 3 drives 11, 2 drives 12; 1 and 11 drive nothing.
    const std::vector<Strike> strikes = {
        {15, 84672, 0, 0, 0, 0, 0},  // t = 0.25
        {1, 100000, 0, 0, 0, 0, 1},  // no SyncPoint
        {3, 169344, 0, 0, 0, 0, 2},  // t = 0.5
        {15, 254016, 0, 0, 0, 0, 3}, // t = 0.75
        {11, 300000, 0, 0, 0, 0, 4}, // no SyncPoint
    };
    const std::vector<ExtraStrike> extra = {{2, 0.5}, {15, 0.6}, {12, 0.1}};
    StrikeFeed feed = makeStrikeFeed(strikes, extra);
    ASSERT_EQ(feed.strikes.size(), 5u);
    // In time order; the module's strike at 0.5 stays before the added one at 0.5.
    EXPECT_EQ(feed.strikes[1].syncPoint, 11);
    EXPECT_EQ(feed.strikes[2].syncPoint, 12);

    syncPoints[0].stamp.store(9.0f); // stale state from before is cleared
    rewindStrikeFeed(feed);
    EXPECT_EQ(syncPoints[0].stamp.load(), 0.0f);

    feedStrikesUpTo(feed, 0.2f);
    EXPECT_EQ(syncPoints[7].level.load(), 0.0f);
    feedStrikesUpTo(feed, 0.25f); // a strike exactly at the frame's time counts
    EXPECT_EQ(syncPoints[7].level.load(), 1.0f);
    EXPECT_EQ(syncPoints[7].stamp.load(), 0.25f);
    feedStrikesUpTo(feed, 0.7f);
    EXPECT_EQ(syncPoints[11].stamp.load(), 0.5f);
    EXPECT_EQ(syncPoints[12].stamp.load(), 0.5f);
    EXPECT_FLOAT_EQ(syncPoints[7].stamp.load(), 0.6f); // the later hit replaces the earlier
    feedStrikesUpTo(feed, 0.7f);                       // nothing stamped twice
    EXPECT_EQ(feed.next, 4u);
    feedStrikesUpTo(feed, 26.0f);
    EXPECT_EQ(syncPoints[7].stamp.load(), 0.75f);
    for (int i : {0, 1, 2, 3, 4, 5, 6, 8, 9, 10})
        EXPECT_EQ(syncPoints[i].level.load(), 0.0f) << i;

    rewindStrikeFeed(feed);
    EXPECT_EQ(feed.next, 0u);
    EXPECT_EQ(syncPoints[7].level.load(), 0.0f);
    EXPECT_EQ(syncPoints[7].stamp.load(), 0.0f);
}
} // namespace
