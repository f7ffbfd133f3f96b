// Live playback on the silent output: startMusic's console line, strikes stamping the right
// SyncPoints with the demo clock as they are heard, the fade as heard, and the output keeping
// real time.
#include "audio_layer.h"
#include "clock.h"
#include "music_fixture.h"
#include "platform.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <unistd.h>

namespace {
using Clock = std::chrono::steady_clock;

// Every watched instrument and the four unwatched ones (1, 11, 12, 17) on rows two apart at
// speed 3 (120 ms apart), and instrument 3 struck a second time at the end.
const int liveInstruments[] = {10, 1, 6, 7, 11, 8, 9, 16, 12, 14, 15, 4, 5, 13, 17, 3, 2, 3};

ItModule liveModule() {
    std::vector<PlacedCell> cells{{0, 1, ItCell{0, 0, -1, 'A', 3}}};
    for (size_t i = 0; i < std::size(liveInstruments); ++i) {
        const auto instrument = static_cast<uint8_t>(liveInstruments[i]);
        cells.push_back({static_cast<int>(i) * 2 + 1, 0, ItCell{itNoteC5, instrument, -1, 0, 0}});
    }
    ItModule module = fixtureModule({cells});
    module.speed = 3;
    return module;
}

std::string makeWorkDirectory() {
    char pattern[] = "/tmp/parade-music-XXXXXX";
    const char* made = mkdtemp(pattern);
    return made != nullptr ? made : "";
}

TEST(LiveSyncs, StrikesStampTheirSyncPointsWithTheClockAsTheyAreHeard) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    haltMusic(); // never started: does nothing
    const std::string dir = makeWorkDirectory();
    ASSERT_FALSE(dir.empty());
    writeFixture(liveModule(), dir + "/mod2.it");
    OfflineRender offline;
    std::string error;
    ASSERT_TRUE(renderModuleOffline(dir + "/mod2.it", offline, error)) << error;
    ASSERT_EQ(offline.strikes.size(), std::size(liveInstruments));
    ASSERT_EQ(chdir(dir.c_str()), 0);

    // The demo clock follows the music as heard through the virtual counter, from 0 at its first
    // frame, so that a slow start on a busy machine does not count.
    useVirtualCounter(1);
    resetDemoClock();
    demoClock();
    testing::internal::CaptureStdout();
    const auto start = Clock::now();
    ASSERT_TRUE(startMusic());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "playing MOD music \"fixture\" [1 orders]\n");

    const double lastStrike =
        static_cast<double>(offline.strikes.back().samplePosition) / musicSampleRate;
    // Until the last strike has been heard and a little more (a sanitizer's slow start may
    // take seconds of the wall clock before the first frame is heard).
    float firstStampOf3 = 0.0f;
    const int64_t enough = static_cast<int64_t>((lastStrike + 0.1) * musicSampleRate);
    for (int64_t heard = 0;
         heard < enough && Clock::now() - start < std::chrono::seconds(30);) {
        const int64_t first = audioModuleStartFrame();
        heard = first >= 0 ? audioFramesHeard() - first : 0;
        setVirtualCounter(
            1 + secondsToTicks(static_cast<double>(std::max<int64_t>(heard, 0)) / musicSampleRate));
        if (firstStampOf3 == 0.0f)
            firstStampOf3 = syncPoints[11].stamp.load();
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    haltMusic();
    haltMusic();
    std::remove((dir + "/mod2.it").c_str());
    rmdir(dir.c_str());

    // Each SyncPoint holds the clock at its instrument's last strike, within 50 ms.
    const double tolerance = 0.05 / 7.68;
    for (int point = 0; point < syncPointCount; ++point) {
        const int instrument = syncInstrument[point];
        double heard = -1.0;
        for (const Strike& strike : offline.strikes) {
            if (strike.instrument == instrument)
                heard = static_cast<double>(strike.samplePosition) / musicSampleRate / 7.68;
        }
        SCOPED_TRACE("SyncPoint " + std::to_string(point));
        ASSERT_GE(heard, 0.0);
        EXPECT_EQ(syncPoints[point].level.load(), 1.0f);
        EXPECT_NEAR(syncPoints[point].stamp.load(), heard, tolerance);
    }
    // The first strike of instrument 3 was stamped, then overwritten by the later one.
    const double firstOf3 =
        static_cast<double>(offline.strikes[15].samplePosition) / musicSampleRate / 7.68;
    EXPECT_NEAR(firstStampOf3, firstOf3, tolerance);
    EXPECT_GT(syncPoints[11].stamp.load(), firstStampOf3 + 0.2 / 7.68);
    // Strikes reached syncHit in the order they were played.
    for (size_t i = 1; i + 1 < std::size(liveInstruments); ++i) {
        const int earlier = syncPointOfInstrument(liveInstruments[i - 1]);
        const int later = syncPointOfInstrument(liveInstruments[i]);
        if (earlier >= 0 && later >= 0 && liveInstruments[i - 1] != 3) {
            EXPECT_LT(syncPoints[earlier].stamp.load(), syncPoints[later].stamp.load());
        }
    }
}

// One endless note of a constant sample: what is heard is the volume, frame by frame.
ItModule steadyModule() {
    ItModule module = fixtureModule({{{0, 0, ItCell{itNoteC5, 1, -1, 0, 0}}}});
    ItInstrument& steady = module.instruments[0];
    steady.pcm.assign(1000, 12000);
    steady.loop = ItLoop{true, false, 0, 1000};
    return module;
}

// Runs of one level (in percent of `full`) at least `shortest` frames long, in the order heard.
std::vector<std::pair<int, int>> levelRuns(const std::vector<int16_t>& stereo, double full,
                                           int shortest) {
    std::vector<std::pair<int, int>> runs;
    int level = -1;
    int length = 0;
    auto close = [&] {
        if (length >= shortest) {
            if (!runs.empty() && runs.back().first == level)
                runs.back().second += length;
            else
                runs.emplace_back(level, length);
        }
    };
    for (size_t i = 0; i < stereo.size(); i += 2) {
        const int now = static_cast<int>(std::lround(100.0 * std::abs(stereo[i]) / full));
        if (now != level) {
            close();
            level = now;
            length = 0;
        }
        ++length;
    }
    close();
    return runs;
}

TEST(Fade, TheStartVolumeAndTheTwentyOneStepsAreHeardBeforeTheRelease) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    const std::string dir = makeWorkDirectory();
    ASSERT_FALSE(dir.empty());
    writeFixture(steadyModule(), dir + "/mod2.it");
    ASSERT_EQ(chdir(dir.c_str()), 0);
    recordAudioOutput(true);
    testing::internal::CaptureStdout();
    ASSERT_TRUE(startMusic());
    testing::internal::GetCapturedStdout();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    stopMusic();
    const std::vector<int16_t> heard = recordedAudioOutput();
    recordAudioOutput(false);
    std::remove((dir + "/mod2.it").c_str());
    rmdir(dir.c_str());

    // The note at volume 99 fills most of what was heard: its level gives full volume.
    ASSERT_GT(heard.size(), static_cast<size_t>(0.2 * musicSampleRate) * 2);
    std::vector<int16_t> left;
    for (size_t i = 0; i < heard.size() / 2; i += 2)
        left.push_back(static_cast<int16_t>(std::abs(heard[i])));
    std::nth_element(left.begin(), left.begin() + left.size() / 2, left.end());
    const double full = left[left.size() / 2] / 0.99;
    ASSERT_GT(full, 1000.0);

    // Each step holds at least its 1 ms (44 frames, less the few of the ramp into it), and the
    // last, silence, is heard before the release ends the recording.
    const std::vector<std::pair<int, int>> runs = levelRuns(heard, full, 38);
    std::vector<int> expected{99};
    for (int volume = 100; volume >= 0; volume -= 5)
        expected.push_back(volume);
    std::string heardRuns;
    for (const auto& [level, frames] : runs)
        heardRuns += std::to_string(level) + "% x" + std::to_string(frames) + " ";
    ASSERT_GE(runs.size(), expected.size()) << "heard: " << heardRuns;
    std::vector<int> tail;
    for (size_t i = runs.size() - expected.size(); i < runs.size(); ++i)
        tail.push_back(runs[i].first);
    EXPECT_EQ(tail, expected);
    EXPECT_GT(runs[runs.size() - expected.size()].second, musicSampleRate / 10);
}

TEST(SilentOutput, ConsumesItsQueueInRealTime) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_TRUE(openAudioOutput(musicSampleRate));
    EXPECT_FALSE(openAudioOutput(musicSampleRate));
    EXPECT_TRUE(audioOutputIsSilent());
    const std::vector<int16_t> second(static_cast<size_t>(musicSampleRate) * 2, 0);
    queueAudioFrames(second.data(), musicSampleRate);
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const int64_t heard = audioFramesHeard();
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    EXPECT_GE(heard, static_cast<int64_t>(0.19 * musicSampleRate));
    EXPECT_LE(heard, static_cast<int64_t>(elapsed * musicSampleRate) + 1);
    const int64_t pending = audioFramesPending();
    EXPECT_GT(pending, 0);
    EXPECT_LE(pending, musicSampleRate - heard);
    closeAudioOutput();
    EXPECT_EQ(audioFramesHeard(), 0);
}
} // namespace
