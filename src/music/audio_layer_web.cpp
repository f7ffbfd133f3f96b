// The audio layer in the browser: the module is rendered whole with its strikes (the offline
// path the capture tool uses), in steps while the page loads, and played as one Web Audio
// buffer from any frame a jump asks for, going round at the song's end (or the show's). Before
// every frame the strikes that the listener has heard by then call their syncs, with the
// counter held at the moment each was heard, so stamps land on the heard notes however late
// the frame comes. Everything runs on the page's one thread.
#include "audio_common.h"
#include "module_file.h"
#include "platform.h"
#include "web/web.h"

#include <emscripten.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {
OfflineRender song;
StrikeFeed songFeed;

// The render made while the page loads, and the module it came from: loading the same module
// takes it over instead of rendering again.
OfflineRender prepared;
std::vector<char> preparedBytes;
bool preparedWhole = false;

// The show's 26 patterns: a song that plays on past them goes round there.

// Playback: song frame `segmentFrame` is heard at heard-clock time `segmentStart`, and the song
// plays on from there, going round at its lap. Strikes are counted on the song's frames laid
// out one lap after another from the segment: `lapBase` is where the current lap begins.
bool playing = false;
int syncsHeld = 0;
double segmentStart = 0.0;
int64_t segmentFrame = 0;
int64_t lapBase = 0;
size_t nextStrike = 0;
int64_t heardFrame = 0; // the song's frames heard since the segment began, at the last check

int64_t songFrames() {
    return static_cast<int64_t>(song.pcm.size() / 2);
}

// Where the song goes round (0: it does not).
int64_t lapFrames() {
    return moduleLoops ? std::min(songFrames(), showSampleFrames) : 0;
}

// Fires the strikes heard up to song frame `upTo` (laps laid end to end), each with the counter
// held at the moment it was heard.
void fireStrikesUpTo(int64_t upTo) {
    const int64_t lap = lapFrames();
    while (!song.strikes.empty()) {
        if (nextStrike == song.strikes.size() ||
            (lap > 0 && song.strikes[nextStrike].samplePosition >= lap)) {
            if (lap == 0)
                return;
            nextStrike = 0;
            lapBase += lap;
        }
        const int64_t at = lapBase + song.strikes[nextStrike].samplePosition;
        if (at > upTo)
            return;
        webHoldCounterAt(segmentStart + static_cast<double>(at - segmentFrame) / deviceRate);
        fireSyncs(song.strikes[nextStrike++]);
        webReleaseCounter();
    }
}

// Before every frame and between frames: fire the strikes heard since the previous check, in
// order, each with the counter held at its moment; then the counter stays at this check's
// time until the next one, so no reading in between passes a strike that has not fired.
void fireHeardStrikes() {
    if (!playing || syncsHeld > 0)
        return;
    const double heard = webHeardSeconds();
    heardFrame = std::max<int64_t>(0, static_cast<int64_t>((heard - segmentStart) * deviceRate));
    fireStrikesUpTo(segmentFrame + heardFrame);
    webFreezeCounterAt(heard);
}

// Plays the song from `frame` on, its strikes from `firstStrike` on.
void playFrom(int64_t frame, size_t firstStrike) {
    webStopMusic();
    segmentStart = webPlayMusic(song.pcm.data(), songFrames(), deviceRate, lapFrames(), frame);
    segmentFrame = frame;
    lapBase = 0;
    nextStrike = firstStrike;
    heardFrame = 0;
    playing = true;
    webBeforeEachFrame(fireHeardStrikes);
}
} // namespace

// The offline render and the strike positions are at the music's own rate.
bool layerAcceptsRate(int rate) {
    return rate == musicSampleRate;
}

bool layerOpenOutput(int) {
    return true;
}

bool layerLoadModule(const std::vector<char>& bytes, uint32_t) {
    if (preparedWhole && bytes == preparedBytes) {
        song = std::move(prepared);
        prepared = OfflineRender{};
        preparedWhole = false;
    } else if (!renderModuleBytesOffline(bytes.data(), bytes.size(), offlineLimitSeconds, song,
                                         lastFileError))
        return false;
    moduleTitle = song.title;
    moduleOrders = song.orders;
    return true;
}

void layerSetVolume(int volume) {
    webSetMusicVolume(volume);
}

bool audioStart() {
    return deviceOpen ? succeed() : fail(audioErrorNotReady);
}

bool audioPlayModule(uint32_t music, int order) {
    if (!checkModuleHandle(music))
        return false;
    // The buffer holds the song from its start; the show only ever plays it from there.
    if (order != 0)
        return fail(audioErrorParameter);
    playFrom(0, 0);
    return succeed();
}

int64_t audioPlayHeardTick() {
    return playing ? webTicksOf(segmentStart) : counterNow();
}

void audioRelease() {
    webBeforeEachFrame(nullptr);
    webThawCounter();
    webStopMusic();
    playing = false;
    syncsHeld = 0;
    forgetDeviceAndModule();
    song = OfflineRender{};
    songFeed = StrikeFeed{};
}

int64_t audioHeardFrame() {
    return segmentFrame + heardFrame;
}

int64_t audioModuleStartFrame() {
    return playing ? 0 : -1;
}

bool beginPreparedMusic(const char* path, std::string& error) {
    preparedWhole = false;
    if (!readModuleFile(path, preparedBytes, error))
        return false;
    return beginModuleRender(preparedBytes.data(), preparedBytes.size(), offlineLimitSeconds,
                             prepared, error);
}

double stepPreparedMusic(double budgetSeconds) {
    if (preparedWhole)
        return 1.0;
    const double end = emscripten_get_now() + budgetSeconds * 1000.0;
    do {
        if (stepModuleRender(prepared, musicSampleRate / 20)) {
            preparedWhole = true;
            return 1.0;
        }
    } while (emscripten_get_now() < end);
    return moduleRenderProgress();
}

const OfflineRender& preparedMusic() {
    return prepared;
}

// ---- Jumps and the heard position -----------------------------------------------------------

double musicHeardSeconds() {
    if (!playing)
        return -1.0;
    const double heard = std::max(0.0, webHeardSeconds() - segmentStart);
    double frame = static_cast<double>(segmentFrame) + heard * deviceRate;
    const int64_t lap = lapFrames();
    if (lap > 0)
        frame = std::fmod(frame, static_cast<double>(lap));
    return std::min(frame, static_cast<double>(songFrames())) / deviceRate;
}

int64_t seekMusic(float time) {
    if (!playing)
        return counterNow();
    const int64_t end = lapFrames() > 0 ? lapFrames() : songFrames();
    const int64_t frame = std::clamp<int64_t>(
        std::llround(static_cast<double>(time) / unitsPerSecond * deviceRate), 0, end);
    // The strikes stamped by setSyncPointsAt(time) are not heard again.
    size_t first = 0;
    while (first < song.strikes.size() &&
           (song.strikes[first].samplePosition < frame ||
            stampOfSample(song.strikes[first].samplePosition) <= time))
        ++first;
    playFrom(frame, first);
    return webTicksOf(segmentStart);
}

void holdMusicSyncs() {
    ++syncsHeld;
}

void releaseMusicSyncs() {
    syncsHeld = std::max(0, syncsHeld - 1);
}

void setSyncPointsAt(float time) {
    if (songFeed.strikes.empty() && !song.strikes.empty())
        songFeed = makeStrikeFeed(song.strikes);
    rewindStrikeFeed(songFeed);
    feedStrikesUpTo(songFeed, time);
}

// For the page's tests: where the song was heard when strikes last fired (seconds from its
// start, -1 before it plays), and a SyncPoint's stamp (-1 before its first hit).
extern "C" EMSCRIPTEN_KEEPALIVE double webStrikesFiredUpTo() {
    return playing ? static_cast<double>(segmentFrame + heardFrame) / deviceRate : -1.0;
}

extern "C" EMSCRIPTEN_KEEPALIVE double webSyncStamp(int index) {
    if (index < 0 || index >= syncPointCount ||
        syncPoints[index].level.load(std::memory_order_relaxed) == 0.0f)
        return -1.0;
    return syncPoints[index].stamp.load(std::memory_order_relaxed);
}
