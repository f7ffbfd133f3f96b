// The audio layer: one output, one module, and the audio thread. The module is rendered once
// into the song (its sound and its strikes, as the offline render lists them), a few blocks
// ahead of playback, and the output is fed from the song: so the music can jump to any moment
// and go round at the show's end without a gap, and its strikes are the ones that captures
// and jumps put into the SyncPoints. The syncs are called on the audio thread as each strike
// is heard. The player's state is guarded by one mutex that the audio thread holds for a turn.
#include "audio_common.h"
#include "clock.h"
#include "module_scan.h"
#include "platform.h"

#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace {
// Frames kept queued ahead of the listener: enough to ride out scheduling hiccups.
constexpr int64_t queueAheadFrames = 2048;
// Frames queued at most at once.
constexpr int64_t queueStepFrames = 1024;
// Frames rendered ahead per turn of the audio thread: the whole show in a second or two, at
// well under a millisecond a turn.
constexpr int64_t renderStepFrames = 8192;
// The show's 26 patterns: a song that plays on past them goes round there.

std::mutex playerMutex;

// The song: the module played once, as far as the show plays it and its fade.
openmpt_module* module = nullptr;
ModuleScan scan;
bool songDone = true;
int64_t songLimit = 0;
int64_t lastRowStart = -1; // first frame of the row begun last
std::vector<int16_t> songPcm;
std::vector<Strike> songStrikes; // in the order heard
std::vector<Strike> fresh;
StrikeFeed songFeed;
bool feedStale = true;

// Playback: song frame `song` is heard at output frame `output` and on, until the next segment.
struct Segment {
    int64_t output;
    int64_t song;
};
struct DueStrike {
    int64_t output;
    Strike strike;
};
bool playing = false;
int syncsHeld = 0;       // holds not yet released
int64_t songFrame = 0;   // the next song frame to queue
int64_t queuedFrame = 0; // the output frame it will be heard at
size_t nextStrike = 0;   // the first strike not yet scheduled
std::vector<Segment> segments;
std::deque<DueStrike> due;
int64_t playTick = 0; // counter reading at which the last play or jump is heard

std::thread audioThread;
bool threadStarted = false;
std::atomic<bool> stopThread{false};
std::atomic<int64_t> heardFrame{0};
std::atomic<int64_t> startFrame{-1};

int64_t songFrames() {
    return static_cast<int64_t>(songPcm.size() / 2);
}

void finishSong() {
    if (songFrames() > songLimit) {
        songPcm.resize(static_cast<size_t>(songLimit) * 2);
        songStrikes.erase(
            std::remove_if(songStrikes.begin(), songStrikes.end(),
                           [](const Strike& s) { return s.samplePosition >= songLimit; }),
            songStrikes.end());
    }
    songDone = true;
    openmpt_module_destroy(module);
    module = nullptr;
}

// Renders the song until every strike up to `frame` is known and its sound is there: a row
// has begun after it, or the song has ended (lock held).
void renderSongUpTo(int64_t frame) {
    int16_t block[scanBlockFrames * 2];
    while (!songDone && (scan.framesRendered <= frame || lastRowStart <= frame)) {
        const int64_t start = scan.framesRendered;
        const int64_t rowsBefore = scan.rowsBegun;
        fresh.clear();
        const int frames = renderScannedBlock(scan, block, scanBlockFrames, fresh);
        if (frames == 0) {
            finishSong();
            break;
        }
        if (scan.rowsBegun != rowsBefore)
            lastRowStart = start;
        songPcm.insert(songPcm.end(), block, block + frames * 2);
        for (const Strike& strike : fresh) {
            const auto at = std::upper_bound(songStrikes.begin(), songStrikes.end(), strike,
                                             [](const Strike& a, const Strike& b) {
                                                 return a.samplePosition < b.samplePosition;
                                             });
            songStrikes.insert(at, strike);
        }
        feedStale = true;
        if (scan.framesRendered > songLimit)
            finishSong();
    }
}

// Where the song goes round: its end, or the show's end if it plays on past it. Known once
// rendered that far (lock held).
int64_t lapFrames() {
    if (!songDone)
        return showSampleFrames;
    return std::min(songFrames(), showSampleFrames);
}

// The first strike at or after song frame `frame` (lock held).
size_t strikeAtOrAfter(int64_t frame) {
    return static_cast<size_t>(
        std::lower_bound(songStrikes.begin(), songStrikes.end(), frame,
                         [](const Strike& s, int64_t f) { return s.samplePosition < f; }) -
        songStrikes.begin());
}

// Queues the next stretch of the song, going round at its lap (lock held), and schedules its
// strikes: all of them are known, since the song is rendered until a row begins after the
// stretch. False once a song that does not loop has been queued to its end.
bool queueSong() {
    renderSongUpTo(songFrame + queueStepFrames);
    const int64_t lap = lapFrames();
    if (songFrame >= lap) {
        if (!moduleLoops || lap == 0)
            return false;
        songFrame = 0;
        nextStrike = 0;
        segments.push_back({queuedFrame, 0});
        renderSongUpTo(queueStepFrames);
    }
    const int64_t count = std::min(queueStepFrames, lapFrames() - songFrame);
    if (count <= 0)
        return false;
    queueAudioFrames(songPcm.data() + songFrame * 2, static_cast<int>(count));
    while (nextStrike < songStrikes.size() &&
           songStrikes[nextStrike].samplePosition < songFrame + count) {
        due.push_back({queuedFrame + songStrikes[nextStrike].samplePosition - songFrame,
                       songStrikes[nextStrike]});
        ++nextStrike;
    }
    queuedFrame += count;
    songFrame += count;
    return true;
}

// Starts the song at `frame`: what is queued and not yet taken by the device is dropped, so it
// is heard next (lock held).
void playFrom(int64_t frame, size_t firstStrike) {
    renderSongUpTo(frame);
    queuedFrame = flushAudioOutput();
    songFrame = std::clamp<int64_t>(frame, 0, lapFrames());
    nextStrike = std::max(firstStrike, strikeAtOrAfter(songFrame));
    due.clear();
    segments.clear();
    segments.push_back({queuedFrame, songFrame});
    playing = true;
    followAudioOutput(true);
    playTick = counterTicksWhenHeard(queuedFrame);
}

// The audio thread: fires the strikes heard by now, then keeps the queue filled and renders
// ahead, each turn holding the player's lock.
void runAudioThread() {
    while (!stopThread.load(std::memory_order_acquire)) {
        keepAudioOutput();
        {
            std::lock_guard<std::mutex> lock(playerMutex);
            const int64_t heard = audioFramesHeard();
            heardFrame.store(heard, std::memory_order_relaxed);
            while (syncsHeld == 0 && !due.empty() && due.front().output <= heard) {
                // The sync stamps the moment the strike was heard, not this later one.
                holdCounterOnThisThread(counterTicksWhenHeard(due.front().output));
                fireSyncs(due.front().strike);
                releaseCounterOnThisThread();
                due.pop_front();
            }
            if (playing && queuedFrame - heard < queueAheadFrames) {
                if (!queueSong()) {
                    playing = false;
                    followAudioOutput(false);
                }
                continue;
            }
            if (!songDone)
                renderSongUpTo(scan.framesRendered + renderStepFrames);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
}

} // namespace

// The song is rendered at the music's own rate, the rate of the strike positions.
bool layerAcceptsRate(int rate) {
    return rate == musicSampleRate;
}

bool layerOpenOutput(int rate) {
    return openAudioOutput(rate);
}

bool layerLoadModule(const std::vector<char>& bytes, uint32_t flags) {
    int error = 0;
    openmpt_module* loaded = openmpt_module_create_from_memory2(
        bytes.data(), bytes.size(), openmpt_log_func_silent, nullptr, openmpt_error_func_store,
        nullptr, &error, nullptr, nullptr);
    if (loaded == nullptr) {
        lastFileError = "not a module";
        return false;
    }
    const char* title = openmpt_module_get_metadata(loaded, "title");
    moduleTitle = title != nullptr ? title : "";
    openmpt_free_string(title);
    moduleOrders = openmpt_module_get_num_orders(loaded);
    // Played once and rendered as the offline render does, so the strikes are the capture's;
    // the layer itself goes round at the song's end.
    openmpt_module_set_repeat_count(loaded, 0);
    openmpt_module_ctl_set_integer(loaded, "dither", 0);
    if ((flags & audioModuleRamp) == 0)
        openmpt_module_set_render_param(loaded, OPENMPT_MODULE_RENDER_VOLUMERAMPING_STRENGTH, 0);
    std::lock_guard<std::mutex> lock(playerMutex);
    module = loaded;
    beginModuleScan(scan, module, musicSampleRate, true);
    songDone = false;
    songLimit = static_cast<int64_t>(offlineLimitSeconds * musicSampleRate);
    lastRowStart = -1;
    songPcm.clear();
    songStrikes.clear();
    feedStale = true;
    return true;
}

void layerSetVolume(int volume) {
    setAudioOutputVolume(volume);
}

bool audioStart() {
    if (!deviceOpen)
        return fail(audioErrorNotReady);
    if (!threadStarted) {
        stopThread.store(false, std::memory_order_release);
        audioThread = std::thread(runAudioThread);
        threadStarted = true;
    }
    return succeed();
}

bool audioPlayModule(uint32_t music, int order) {
    if (!checkModuleHandle(music))
        return false;
    // The song is known from its start; the show only ever plays it from there.
    if (order != 0 || moduleOrders == 0)
        return fail(audioErrorParameter);
    std::lock_guard<std::mutex> lock(playerMutex);
    playFrom(0, 0);
    startFrame.store(queuedFrame, std::memory_order_relaxed);
    return succeed();
}

int64_t audioPlayHeardTick() {
    std::lock_guard<std::mutex> lock(playerMutex);
    return playing ? playTick : counterNow();
}

void audioRelease() {
    if (threadStarted) {
        stopThread.store(true, std::memory_order_release);
        if (audioThread.get_id() == std::this_thread::get_id())
            return;
        audioThread.join();
        threadStarted = false;
    }
    followAudioOutput(false);
    closeAudioOutput();
    forgetDeviceAndModule();
    std::lock_guard<std::mutex> lock(playerMutex);
    if (module != nullptr)
        openmpt_module_destroy(module);
    module = nullptr;
    songDone = true;
    songPcm = {};
    songStrikes = {};
    songFeed = {};
    feedStale = true;
    playing = false;
    syncsHeld = 0;
    due.clear();
    segments.clear();
    heardFrame.store(0, std::memory_order_relaxed);
    startFrame.store(-1, std::memory_order_relaxed);
}

int64_t audioHeardFrame() {
    return heardFrame.load(std::memory_order_relaxed);
}

int64_t audioModuleStartFrame() {
    return startFrame.load(std::memory_order_relaxed);
}

// ---- Jumps and the heard position -----------------------------------------------------------

double musicHeardSeconds() {
    std::lock_guard<std::mutex> lock(playerMutex);
    if (segments.empty())
        return -1.0;
    const int64_t heard = audioFramesHeard();
    // The segments before the one heard now are done with.
    size_t current = 0;
    while (current + 1 < segments.size() && segments[current + 1].output <= heard)
        ++current;
    segments.erase(segments.begin(), segments.begin() + static_cast<std::ptrdiff_t>(current));
    const Segment& segment = segments.front();
    const int64_t frame = segment.song + std::max<int64_t>(0, heard - segment.output);
    return static_cast<double>(frame) / musicSampleRate;
}

int64_t seekMusic(float time) {
    std::lock_guard<std::mutex> lock(playerMutex);
    if (!playing && segments.empty())
        return counterNow();
    const int64_t frame =
        std::llround(static_cast<double>(time) / unitsPerSecond * musicSampleRate);
    renderSongUpTo(frame);
    // The strikes stamped by setSyncPointsAt(time) are not heard again.
    size_t first = strikeAtOrAfter(std::max<int64_t>(0, frame - 1));
    while (first < songStrikes.size() && stampOfSample(songStrikes[first].samplePosition) <= time)
        ++first;
    playFrom(frame, first);
    return playTick;
}

void holdMusicSyncs() {
    std::lock_guard<std::mutex> lock(playerMutex);
    ++syncsHeld;
}

void releaseMusicSyncs() {
    std::lock_guard<std::mutex> lock(playerMutex);
    syncsHeld = std::max(0, syncsHeld - 1);
}

void setSyncPointsAt(float time) {
    std::lock_guard<std::mutex> lock(playerMutex);
    renderSongUpTo(std::llround(static_cast<double>(time) / unitsPerSecond * musicSampleRate));
    if (feedStale) {
        songFeed = makeStrikeFeed(songStrikes);
        feedStale = false;
    }
    rewindStrikeFeed(songFeed);
    feedStrikesUpTo(songFeed, time);
}
