// The audio layer in the browser: the module is rendered whole with its strikes (the offline
// path the capture tool uses), in steps while the page loads, and played as one Web Audio
// buffer. Before every frame the strikes that the listener has heard by then call their syncs,
// with the counter held at the moment each was heard, so stamps land on the heard notes however
// late the frame comes. Everything runs on the page's one thread.
#include "audio_common.h"
#include "module_file.h"
#include "web/web.h"

#include <emscripten.h>

#include <vector>

namespace {
OfflineRender song;

// The render made while the page loads, and the module it came from: loading the same module
// takes it over instead of rendering again.
OfflineRender prepared;
std::vector<char> preparedBytes;
bool preparedWhole = false;

// Playback: where the song's first frame is heard, and the next strike to fire.
bool playing = false;
double songStart = 0.0;
size_t nextStrike = 0;
int64_t lapStartFrame = 0; // first frame of the current pass through the song
int64_t heardFrame = 0;

void fireStrikesUpTo(int64_t upTo) {
    const int64_t songFrames = static_cast<int64_t>(song.pcm.size() / 2);
    while (!song.strikes.empty()) {
        if (nextStrike == song.strikes.size()) {
            if (!moduleLoops || songFrames == 0)
                return;
            nextStrike = 0;
            lapStartFrame += songFrames;
        }
        const int64_t at = lapStartFrame + song.strikes[nextStrike].samplePosition;
        if (at > upTo)
            return;
        webHoldCounterAt(songStart + static_cast<double>(at) / deviceRate);
        fireSyncs(song.strikes[nextStrike++]);
        webReleaseCounter();
    }
}

// Before every frame and between frames: fire the strikes heard since the previous check, in
// order, each with the counter held at its moment; then the counter stays at this check's
// time until the next one, so no reading in between passes a strike that has not fired.
void fireHeardStrikes() {
    if (!playing)
        return;
    const double heard = webHeardSeconds();
    heardFrame = static_cast<int64_t>((heard - songStart) * deviceRate);
    fireStrikesUpTo(heardFrame);
    webFreezeCounterAt(heard);
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
    webStopMusic();
    songStart = webPlayMusic(song.pcm.data(), static_cast<int64_t>(song.pcm.size() / 2), deviceRate,
                             moduleLoops);
    playing = true;
    nextStrike = 0;
    lapStartFrame = 0;
    heardFrame = 0;
    // Until the first check the clock waits at the song's first heard frame.
    webFreezeCounterAt(songStart);
    webBeforeEachFrame(fireHeardStrikes);
    return succeed();
}

void audioRelease() {
    webBeforeEachFrame(nullptr);
    webThawCounter();
    webStopMusic();
    playing = false;
    forgetDeviceAndModule();
    song = OfflineRender{};
}

int64_t audioHeardFrame() {
    return heardFrame;
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

// For the page's tests: where the song was heard when strikes last fired (seconds from its
// start, -1 before it plays), and a SyncPoint's stamp (-1 before its first hit).
extern "C" EMSCRIPTEN_KEEPALIVE double webStrikesFiredUpTo() {
    return playing ? static_cast<double>(heardFrame) / deviceRate : -1.0;
}

extern "C" EMSCRIPTEN_KEEPALIVE double webSyncStamp(int index) {
    if (index < 0 || index >= syncPointCount ||
        syncPoints[index].level.load(std::memory_order_relaxed) == 0.0f)
        return -1.0;
    return syncPoints[index].stamp.load(std::memory_order_relaxed);
}
