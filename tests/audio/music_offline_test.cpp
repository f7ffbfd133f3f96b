// Offline rendering of small modules: which notes strike, at which tick, and when they sound.
#include "music_fixture.h"

#include <cstdlib>

namespace {
constexpr uint8_t c5 = itNoteC5;

struct Expected {
    int instrument, order, row, tick, channel;
};

struct StrikeCase {
    const char* name;
    std::vector<std::vector<PlacedCell>> patterns;
    std::vector<int> orders;
    std::vector<Expected> strikes;
};

ItCell note(uint8_t key, uint8_t instrument, char command = 0, uint8_t param = 0) {
    return ItCell{key, instrument, -1, command, param};
}

ItCell effect(char command, uint8_t param) {
    return ItCell{0, 0, -1, command, param};
}

const StrikeCase strikeCases[] = {
    {"plain note", {{{0, 0, note(c5, 3)}}}, {}, {{3, 0, 0, 0, 0}}},
    {"empty instrument column plays the channel's last instrument",
     {{{0, 0, note(c5, 4)},
       {0, 1, note(c5, 5)},
       {4, 0, note(c5, 0)},
       {8, 1, note(c5 + 2, 0)},
       {12, 2, note(c5, 0)}}},
     {},
     {{4, 0, 0, 0, 0}, {5, 0, 0, 0, 1}, {4, 0, 4, 0, 0}, {5, 0, 8, 0, 1}}},
    {"note delay fires at its tick (SD0 at tick 1); a delay past the row never plays",
     {{{2, 0, note(c5, 2, 'S', 0xD3)},
       {4, 0, note(c5, 2, 'S', 0xD6)},
       {6, 0, note(c5, 2, 'S', 0xD0)}}},
     {},
     {{2, 0, 2, 3, 0}, {2, 0, 6, 1, 0}}},
    {"pattern delay does not strike the repeated row again",
     {{{0, 0, note(c5, 6, 'S', 0xE2)}, {1, 0, note(c5, 7)}}},
     {},
     {{6, 0, 0, 0, 0}, {7, 0, 1, 0, 0}}},
    {"pattern loop strikes its rows each time they play",
     {{{0, 1, effect('S', 0xB0)}, {1, 0, note(c5, 8)}, {2, 1, effect('S', 0xB2)}}},
     {},
     {{8, 0, 1, 0, 0}, {8, 0, 1, 0, 0}, {8, 0, 1, 0, 0}}},
    {"a row that loops onto itself strikes each time",
     {{{0, 0, note(c5, 9, 'S', 0xB0)}, {0, 1, effect('S', 0xB2)}}},
     {},
     {{9, 0, 0, 0, 0}, {9, 0, 0, 0, 0}, {9, 0, 0, 0, 0}}},
    {"a pattern played twice strikes twice; rows skipped by a break never strike",
     {{{0, 0, note(c5, 10)}, {1, 0, effect('C', 0)}, {5, 0, note(c5, 11)}}},
     {0, 0},
     {{10, 0, 0, 0, 0}, {10, 1, 0, 0, 0}}},
    {"note-off, cut, fade, retrigger, tone portamento and a lone instrument strike nothing",
     {{{0, 0, note(c5, 3)},
       {2, 0, note(itNoteOff, 3)},
       {4, 0, note(itNoteCut, 3)},
       {6, 0, note(itNoteFade, 3)},
       {8, 0, note(c5, 3, 'Q', 0x02)},
       {10, 0, note(c5 + 4, 3, 'G', 0x20)},
       {12, 0, ItCell{c5 + 7, 3, 195, 0, 0}},
       {14, 0, note(c5, 3, 'L', 0x01)},
       {16, 0, note(0, 3)}}},
     {},
     {{3, 0, 0, 0, 0}, {3, 0, 8, 0, 0}}},
};

TEST(OfflineStrikes, TableOfCases) {
    for (const StrikeCase& c : strikeCases) {
        SCOPED_TRACE(c.name);
        const OfflineRender out = renderFixture(fixtureModule(c.patterns, c.orders));
        ASSERT_EQ(out.strikes.size(), c.strikes.size());
        for (size_t i = 0; i < c.strikes.size(); ++i) {
            const Strike& got = out.strikes[i];
            const Expected& want = c.strikes[i];
            EXPECT_EQ(got.instrument, want.instrument) << "strike " << i;
            EXPECT_EQ(got.order, want.order) << "strike " << i;
            EXPECT_EQ(got.row, want.row) << "strike " << i;
            EXPECT_EQ(got.tick, want.tick) << "strike " << i;
            EXPECT_EQ(got.channel, want.channel) << "strike " << i;
        }
    }
}

// First frame after `from` whose left or right sample is clearly above silence.
int64_t onsetAfter(const std::vector<int16_t>& pcm, int64_t from) {
    for (int64_t f = std::max<int64_t>(0, from); f * 2 + 1 < static_cast<int64_t>(pcm.size());
         ++f) {
        if (std::abs(pcm[f * 2]) > 64 || std::abs(pcm[f * 2 + 1]) > 64)
            return f;
    }
    return -1;
}

TEST(OfflineStrikes, StrikesFallOnTheStartOfTheirTickAndSound) {
    // Tempo 150 (735 frames a tick), then speed 3 from row 8 and tempo 125 (882) from row 10.
    ItModule module = fixtureModule({{{0, 0, note(c5, 1)},
                                      {3, 0, note(c5, 2, 'S', 0xD2)},
                                      {5, 0, note(c5, 3, 'S', 0xE1)},
                                      {6, 0, note(c5, 4)},
                                      {8, 0, note(c5, 5, 'A', 3)},
                                      {9, 0, note(c5, 6)},
                                      {10, 0, note(c5, 7, 'T', 125)},
                                      {11, 0, note(c5, 8)},
                                      {12, 0, note(c5, 9, 'S', 0xD1)}}});
    module.tempo = 150;
    const OfflineRender out = renderFixture(module);
    const int64_t expected[] = {0, 14700, 22050, 30870, 39690, 41895, 44100, 46746, 49392 + 882};
    ASSERT_EQ(out.strikes.size(), std::size(expected));
    const int64_t oneMillisecond = musicSampleRate / 1000;
    for (size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE("strike of instrument " + std::to_string(out.strikes[i].instrument));
        EXPECT_NEAR(out.strikes[i].samplePosition, expected[i], oneMillisecond);
        const int64_t heard = onsetAfter(out.pcm, expected[i] - 400);
        EXPECT_NEAR(heard, out.strikes[i].samplePosition, oneMillisecond);
    }
    EXPECT_EQ(out.tempo, 150);
    EXPECT_EQ(out.speed, 6);
    EXPECT_GT(out.offPaceRows, 0);
    EXPECT_EQ(out.firstOffPaceRow, 0);
}

TEST(OfflineRendering, SameModuleSameSamples) {
    // Quiet notes are where dither would show: the low bits must not vary between runs.
    ItModule module = fixtureModule({{{0, 0, note(c5, 1)}, {4, 1, note(c5, 2)}}});
    const OfflineRender first = renderFixture(module);
    const OfflineRender second = renderFixture(module);
    ASSERT_FALSE(first.pcm.empty());
    EXPECT_TRUE(first.pcm == second.pcm);
}

TEST(OfflineRendering, StepwiseRenderMatchesTheWholeOneAtAnyStep) {
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(buildItModule(fixtureModule({{{0, 0, note(c5, 1)}, {17, 1, note(c5, 2)}},
                                             {{3, 0, note(c5, 3)}, {60, 1, note(c5, 4)}}}),
                              bytes, error))
        << error;
    // Whole and cut at the limit, in steps of odd sizes that end inside render blocks.
    for (double limit : {60.0, 9.0}) {
        OfflineRender whole;
        ASSERT_TRUE(renderModuleBytesOffline(bytes.data(), bytes.size(), limit, whole, error));
        for (int64_t step : {int64_t{1}, int64_t{1000}, int64_t{44100 * 3 + 7}}) {
            OfflineRender stepped;
            ASSERT_TRUE(beginModuleRender(bytes.data(), bytes.size(), limit, stepped, error));
            double progress = 0.0;
            int steps = 0;
            while (!stepModuleRender(stepped, step)) {
                EXPECT_GE(moduleRenderProgress(), progress);
                progress = moduleRenderProgress();
                EXPECT_LT(progress, 1.0);
                ++steps;
            }
            EXPECT_EQ(moduleRenderProgress(), 1.0);
            EXPECT_GT(steps, 0);
            EXPECT_TRUE(stepped.pcm == whole.pcm) << "limit " << limit << ", step " << step;
            EXPECT_EQ(stepped.cut, whole.cut);
            ASSERT_EQ(stepped.strikes.size(), whole.strikes.size());
            for (size_t i = 0; i < whole.strikes.size(); ++i) {
                EXPECT_EQ(stepped.strikes[i].instrument, whole.strikes[i].instrument);
                EXPECT_EQ(stepped.strikes[i].samplePosition, whole.strikes[i].samplePosition);
            }
        }
    }
    OfflineRender out;
    const char text[] = "no module";
    EXPECT_FALSE(beginModuleRender(text, sizeof text, 60.0, out, error));
    EXPECT_NE(error.find("not a module"), std::string::npos);
}

TEST(OfflineRendering, RefusesWhatIsNoModuleAndStopsLongSongsAtTheLimit) {
    OfflineRender out;
    std::string error;
    const char text[] = "this is a text file, not a module";
    EXPECT_FALSE(renderModuleBytesOffline(text, sizeof text, 60.0, out, error));
    EXPECT_NE(error.find("not a module"), std::string::npos);
    EXPECT_FALSE(renderModuleOffline("/nonexistent/mod2.it", out, error));
    EXPECT_NE(error.find("cannot open"), std::string::npos);

    std::vector<uint8_t> bytes;
    // Strikes at rows 0 and 48 (5.76 s).
    ASSERT_TRUE(
        buildItModule(fixtureModule({{{0, 0, note(c5, 1)}, {48, 0, note(c5, 2)}}}), bytes, error))
        << error;
    // 64 rows at tempo 125, speed 6 last 7.68 s: cut at 5 s, with no strike past it.
    ASSERT_TRUE(renderModuleBytesOffline(bytes.data(), bytes.size(), 5.0, out, error)) << error;
    EXPECT_TRUE(out.cut);
    EXPECT_EQ(out.pcm.size(), size_t{5 * musicSampleRate * 2});
    ASSERT_EQ(out.strikes.size(), 1u);
    EXPECT_EQ(out.strikes[0].instrument, 1);
    ASSERT_TRUE(renderModuleBytesOffline(bytes.data(), bytes.size(), 10.0, out, error));
    EXPECT_FALSE(out.cut);
    EXPECT_EQ(out.strikes.size(), 2u);
    // 7.68 s of song and the library's short closing fade.
    const double seconds = static_cast<double>(out.pcm.size() / 2) / musicSampleRate;
    EXPECT_GE(seconds, 7.68);
    EXPECT_LT(seconds, 7.9);
    EXPECT_EQ(out.title, "fixture");
    EXPECT_EQ(out.orders, 1);
    EXPECT_EQ(out.offPaceRows, 0);
}
} // namespace
