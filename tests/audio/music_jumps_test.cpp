// The music going round and jumping on the silent output, and the counter that follows what is
// heard: two passes of a song are the same sound back to back with the same syncs; a song
// longer than the show goes round at the show's end; a jump is heard at once from its moment,
// without the strikes before it; a stall of the output is not counted by the counter.
#include "audio_layer.h"
#include "clock.h"
#include "music_fixture.h"
#include "platform.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace {
using Clock = std::chrono::steady_clock;

// Watched and unwatched instruments on rows two apart at speed 3 (120 ms apart); with `rows`
// below 64 a pattern break ends the song there.
ItModule struckModule(int rows) {
    const int instruments[] = {10, 1, 6, 7, 11, 8, 9, 16, 12, 14, 15, 4, 5, 13, 2, 3};
    std::vector<PlacedCell> cells{{0, 1, ItCell{0, 0, -1, 'A', 3}}};
    for (size_t i = 0; i < std::size(instruments) && static_cast<int>(i) * 2 + 1 < rows; ++i) {
        const auto instrument = static_cast<uint8_t>(instruments[i]);
        cells.push_back({static_cast<int>(i) * 2 + 1, 0, ItCell{itNoteC5, instrument, -1, 0, 0}});
    }
    if (rows < 64)
        cells.push_back({rows - 1, 2, ItCell{0, 0, -1, 'C', 0}});
    ItModule module = fixtureModule({cells});
    module.speed = 3;
    return module;
}

struct SyncCall {
    int instrument;
    int64_t heard; // output frames heard when the sync was called
    float stamp;   // the demo clock as the sync reads it
};
std::mutex callsLock;
std::vector<SyncCall> calls;

void recordCall(uint32_t, uint32_t, uint32_t data, void*) {
    std::lock_guard<std::mutex> hold(callsLock);
    calls.push_back({static_cast<int>(data & 0xFFFF), audioFramesHeard(), demoClock()});
}

class MusicJumps : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        char pattern[] = "/tmp/parade-jumps-XXXXXX";
        const char* made = mkdtemp(pattern);
        ASSERT_NE(made, nullptr);
        dir = made;
        calls.clear();
        resetDemoClock();
    }
    void TearDown() override {
        audioRelease();
        recordAudioOutput(false);
        std::remove((dir + "/mod2.it").c_str());
        rmdir(dir.c_str());
    }

    // Loads `module` as the show does (looping, ramping) with a recording sync on every
    // instrument, and starts it with the output recorded. Returns the offline render.
    OfflineRender play(const ItModule& module) {
        const std::string path = dir + "/mod2.it";
        writeFixture(module, path);
        OfflineRender offline;
        std::string error;
        EXPECT_TRUE(renderModuleOffline(path, offline, error)) << error;
        EXPECT_TRUE(audioOpenDevice(-1, musicSampleRate, 0));
        const uint32_t music =
            audioLoadModule(path.c_str(), 0, 0, audioModuleLoop | audioModuleRamp);
        EXPECT_NE(music, 0u);
        for (int instrument = 1; instrument <= 20; ++instrument)
            audioSetSync(music, audioSyncInstrument,
                         static_cast<uint32_t>(instrument) | 0xFFFFu << 16, recordCall, nullptr);
        recordAudioOutput(true);
        audioStart();
        EXPECT_TRUE(audioPlayModule(music, 0));
        return offline;
    }

    std::string dir;
};

void waitSeconds(double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

// Waits until the output has played `frames` frames past `from` (on a busy machine the audio
// thread can fall behind and the output run dry for a while, which delays but does not change
// what is heard). False after 30 s.
bool waitUntilHeard(int64_t from, int64_t frames) {
    const auto end = Clock::now() + std::chrono::seconds(30);
    while (audioFramesHeard() < from + frames) {
        if (Clock::now() > end)
            return false;
        waitSeconds(0.01);
    }
    return true;
}

int64_t framesOf(const std::vector<int16_t>& stereo) {
    return static_cast<int64_t>(stereo.size() / 2);
}

// True when `heard` holds `song` frames [from, from + count) at frame `at`.
bool holdsSong(const std::vector<int16_t>& heard, int64_t at, const std::vector<int16_t>& song,
               int64_t from, int64_t count) {
    if (at < 0 || at + count > framesOf(heard) || from + count > framesOf(song))
        return false;
    return std::equal(song.begin() + from * 2, song.begin() + (from + count) * 2,
                      heard.begin() + at * 2);
}
} // namespace

TEST_F(MusicJumps, TheSongGoesRoundWithoutAGapAndStrikesTheSameInstrumentsEachTime) {
    const OfflineRender song = play(struckModule(32)); // 32 rows of 60 ms
    const int64_t lap = framesOf(song.pcm);
    ASSERT_GT(lap, musicSampleRate);
    ASSERT_LT(lap, 3 * musicSampleRate);
    ASSERT_FALSE(song.strikes.empty());
    const int64_t start = audioModuleStartFrame();
    ASSERT_TRUE(waitUntilHeard(start, 2 * lap + 2000));
    audioRelease();
    const std::vector<int16_t> heard = recordedAudioOutput();

    // Heard from its first frame on: the song, the song again, and the third pass beginning,
    // frame for frame, so every strike is heard at the same time into each pass.
    ASSERT_GE(framesOf(heard), 2 * lap + 1000);
    EXPECT_TRUE(holdsSong(heard, 0, song.pcm, 0, lap));
    EXPECT_TRUE(holdsSong(heard, lap, song.pcm, 0, lap));
    EXPECT_TRUE(holdsSong(heard, 2 * lap, song.pcm, 0, 1000));

    // Each pass calls the syncs of the same strikes in the same order, each once it is heard
    // (as soon as the audio thread gets its turn: on a busy machine that can take a while), and
    // each reads the demo clock at the moment the strike was heard: a pass later in the second
    // pass, to within a millisecond.
    std::vector<SyncCall> passes[2];
    for (const SyncCall& call : calls) {
        const int64_t pass = (call.heard - start) / lap;
        if (pass < 2)
            passes[pass].push_back(call);
    }
    double largestDifference = 0.0;
    for (int pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE("pass " + std::to_string(pass + 1));
        ASSERT_EQ(passes[pass].size(), song.strikes.size());
        for (size_t i = 0; i < song.strikes.size(); ++i) {
            EXPECT_EQ(passes[pass][i].instrument, song.strikes[i].instrument);
            const int64_t late =
                passes[pass][i].heard - (start + pass * lap + song.strikes[i].samplePosition);
            EXPECT_GE(late, 0);
            EXPECT_LT(late, musicSampleRate / 4);
        }
    }
    double latest = 0.0;
    const double lapUnits = static_cast<double>(lap) / musicSampleRate * unitsPerSecond;
    for (size_t i = 0; i < song.strikes.size(); ++i) {
        const double apart = static_cast<double>(passes[1][i].stamp) - passes[0][i].stamp;
        largestDifference = std::max(largestDifference, std::fabs(apart - lapUnits) * 7680.0);
        latest = std::max<double>(latest, std::abs(passes[1][i].heard - lap - passes[0][i].heard) *
                                              1000.0 / musicSampleRate);
    }
    EXPECT_LT(largestDifference, 1.0);
    std::printf("stamps of the second pass against the first: at most %.3f ms off a pass apart; "
                "the syncs were called at most %.2f ms apart\n",
                largestDifference, latest);
}

TEST_F(MusicJumps, ASongLongerThanTheShowGoesRoundAtItsEndFrameForFrame) {
    // 26 patterns of 7.68 s with a strike on every eighth row, the show's, then one more that
    // strikes instrument 20 on rows 4 and 36: heard only if the song did not go round.
    std::vector<PlacedCell> cells;
    for (int row = 0; row < 64; row += 8)
        cells.push_back({row, 0, ItCell{itNoteC5, static_cast<uint8_t>(2 + row / 8), -1, 0, 0}});
    const std::vector<PlacedCell> beyond = {{4, 0, ItCell{itNoteC5, 20, -1, 0, 0}},
                                            {36, 0, ItCell{itNoteC5, 20, -1, 0, 0}}};
    std::vector<int> orders(26, 0);
    orders.push_back(1);
    const OfflineRender song = play(fixtureModule({cells, beyond}, orders));
    const int64_t show = 8805888; // 26 x 7.68 s
    ASSERT_GT(framesOf(song.pcm), show);
    // Jump to a tenth of a second before the show's end and listen past it.
    const int64_t heardBefore = audioFramesHeard();
    seekMusic(static_cast<float>(26.0 - 0.1 * unitsPerSecond));
    {
        std::lock_guard<std::mutex> hold(callsLock);
        calls.clear();
    }
    ASSERT_TRUE(waitUntilHeard(heardBefore, musicSampleRate / 2));
    EXPECT_LT(musicHeardSeconds(), 0.45);
    audioRelease();

    // The song's last tenth of a second of the show, then its start, with nothing between.
    const std::vector<int16_t> heard = recordedAudioOutput();
    const int64_t jumpFrame = show - musicSampleRate / 10;
    int64_t at = -1;
    for (int64_t f = heardBefore; f + 2000 <= framesOf(heard) && at < 0; ++f) {
        if (holdsSong(heard, f, song.pcm, jumpFrame, 2000))
            at = f;
    }
    ASSERT_GE(at, 0);
    EXPECT_TRUE(holdsSong(heard, at, song.pcm, jumpFrame, show - jumpFrame));
    EXPECT_TRUE(holdsSong(heard, at + show - jumpFrame, song.pcm, 0, musicSampleRate / 4));
    EXPECT_FALSE(holdsSong(heard, at + show - jumpFrame, song.pcm, show, musicSampleRate / 4));
    // The strike after the end is the show's first again, not the one beyond it.
    std::lock_guard<std::mutex> hold(callsLock);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].instrument, 2);
}

TEST_F(MusicJumps, AJumpIsHeardAtOnceFromItsMomentWithoutTheStrikesBeforeIt) {
    const OfflineRender song = play(struckModule(64)); // 3.84 s
    waitSeconds(0.3);
    // To 1.5 s into the song: row 25 (of 60 ms), whose strike the jump leaves to the
    // SyncPoints, and then the strikes of rows 27, 29 and 31.
    const float time = static_cast<float>(1.5 * unitsPerSecond);
    const int64_t frame = std::llround(1.5 * musicSampleRate);
    {
        std::lock_guard<std::mutex> hold(callsLock);
        calls.clear();
    }
    const int64_t heardBefore = audioFramesHeard();
    const int64_t heardAt = seekMusic(time);
    // The counter is the silent output's heard position: the jump is heard now or very soon.
    EXPECT_LT(std::llabs(heardAt - counterNow()), secondsToTicks(0.05));
    EXPECT_NEAR(musicHeardSeconds(), 1.5, 0.05);
    // A second later in what was heard, the music is a second on from the jump.
    ASSERT_TRUE(waitUntilHeard(heardBefore, musicSampleRate + 2000));
    const int64_t heardSince = audioFramesHeard() - heardBefore;
    EXPECT_NEAR(musicHeardSeconds(), 1.5 + static_cast<double>(heardSince) / musicSampleRate, 0.01);
    audioRelease();

    // Right after what was heard before the jump (the recording began with the music), the
    // song from the jump's frame on, a second of it unbroken. (Every instrument plays the same
    // sound, so the search starts at the jump.)
    const std::vector<int16_t> heard = recordedAudioOutput();
    int64_t at = -1;
    for (int64_t f = heardBefore; f + 1000 <= framesOf(heard) && at < 0; ++f) {
        if (holdsSong(heard, f, song.pcm, frame, 1000))
            at = f;
    }
    ASSERT_GE(at, 0) << "the song from 1.5 s was never heard";
    EXPECT_LT(at - heardBefore, musicSampleRate / 100);
    EXPECT_TRUE(holdsSong(heard, at, song.pcm, frame, musicSampleRate));

    // The syncs after the jump: the strikes after 1.5 s, in order, none before.
    std::vector<int> expected;
    for (const Strike& strike : song.strikes) {
        if (stampOfSample(strike.samplePosition) > time &&
            strike.samplePosition < frame + musicSampleRate)
            expected.push_back(strike.instrument);
    }
    ASSERT_FALSE(expected.empty());
    std::vector<int> called;
    for (const SyncCall& call : calls)
        called.push_back(call.instrument);
    ASSERT_GE(called.size(), expected.size());
    called.resize(expected.size());
    EXPECT_EQ(called, expected);
}

TEST_F(MusicJumps, SyncPointsAtAMomentAreTheStrikeFeedsAndHeldSyncsWait) {
    const OfflineRender song = play(struckModule(64));
    StrikeFeed feed = makeStrikeFeed(song.strikes);
    for (const float time : {0.0f, 0.05f, 0.2f, 0.5f, 0.125f}) {
        setSyncPointsAt(time);
        float stamps[syncPointCount];
        float levels[syncPointCount];
        for (int i = 0; i < syncPointCount; ++i) {
            stamps[i] = syncPoints[i].stamp.load();
            levels[i] = syncPoints[i].level.load();
        }
        rewindStrikeFeed(feed);
        feedStrikesUpTo(feed, time);
        for (int i = 0; i < syncPointCount; ++i) {
            EXPECT_EQ(stamps[i], syncPoints[i].stamp.load()) << time << " " << i;
            EXPECT_EQ(levels[i], syncPoints[i].level.load()) << time << " " << i;
        }
    }
    // Held, no strike is called, not even from a jump back to the start (the strikes of rows
    // 1 to 7 are heard within 0.5 s); released, the ones heard meanwhile are.
    holdMusicSyncs();
    {
        std::lock_guard<std::mutex> hold(callsLock);
        calls.clear();
    }
    seekMusic(0.0f);
    waitSeconds(0.5);
    {
        std::lock_guard<std::mutex> hold(callsLock);
        EXPECT_TRUE(calls.empty());
    }
    releaseMusicSyncs();
    waitSeconds(0.05);
    std::lock_guard<std::mutex> hold(callsLock);
    EXPECT_GE(calls.size(), 3u);
}

TEST(HeardCounter, TimeInWhichTheSilentOutputHeardNothingIsNotCounted) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_TRUE(openAudioOutput(musicSampleRate));
    const std::vector<int16_t> fifth(static_cast<size_t>(musicSampleRate / 5) * 2, 0);
    queueAudioFrames(fifth.data(), musicSampleRate / 5);
    followAudioOutput(true);
    const int64_t start = counterNow();
    const int64_t endHeard = counterTicksWhenHeard(musicSampleRate / 5);
    // 0.2 s queued, 0.5 s waited: the counter stops where the sound ran out.
    waitSeconds(0.5);
    const int64_t stalled = counterNow();
    EXPECT_EQ(stalled, endHeard);
    EXPECT_NEAR(static_cast<double>(stalled - start), 0.2e9, 0.02e9);
    // More sound: the counter goes on from there, at the pace it is heard.
    queueAudioFrames(fifth.data(), musicSampleRate / 5);
    waitSeconds(0.1);
    const int64_t resumed = counterNow();
    EXPECT_GT(resumed, stalled + secondsToTicks(0.08));
    EXPECT_LT(resumed, stalled + secondsToTicks(0.2));
    // Not followed, it runs on with real time from where it was.
    followAudioOutput(false);
    const int64_t freed = counterNow();
    EXPECT_GE(freed, resumed);
    EXPECT_LT(freed, resumed + secondsToTicks(0.05));
    waitSeconds(0.3);
    EXPECT_GT(counterNow(), freed + secondsToTicks(0.25));
    closeAudioOutput();
}
