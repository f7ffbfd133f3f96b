// The audio layer in the browser: the module is rendered whole when it is loaded, with its
// strikes (the offline path the capture tool uses), and played as one Web Audio buffer. Before
// every frame the strikes that the listener has heard by then call their syncs, with the
// counter held at the moment each was heard, so stamps land on the heard notes however late
// the frame comes. Everything runs on the page's one thread.
#include "audio_layer.h"

#include "module_file.h"
#include "music.h"
#include "web/web.h"

#include <emscripten.h>
#include <libopenmpt/libopenmpt.h>
#include <libopenmpt/libopenmpt_version.h>

#include <string>
#include <vector>

namespace {
constexpr int maxSyncs = 64;

struct SyncSlot {
    uint32_t param = 0;
    AudioSyncProc proc = nullptr;
    void* user = nullptr;
};

int lastError = audioOk;
std::string lastFileError; // why the last file could not be played
bool deviceOpen = false;
int deviceRate = musicSampleRate;

uint32_t moduleHandle = 0;
uint32_t handlesIssued = 0;
OfflineRender song;
bool moduleLoops = false;

SyncSlot syncSlots[maxSyncs];
int syncsRegistered = 0;

// Playback: where the song's first frame is heard, and the next strike to fire.
bool playing = false;
double songStart = 0.0;
size_t nextStrike = 0;
int64_t lapStartFrame = 0; // first frame of the current pass through the song
int64_t heardFrame = 0;

bool fail(int code) {
    lastError = code;
    return false;
}

bool succeed() {
    lastError = audioOk;
    return true;
}

void fireSyncs(const Strike& strike) {
    const uint32_t data =
        static_cast<uint32_t>(strike.instrument) | (static_cast<uint32_t>(strike.note) << 16);
    for (int i = 0; i < syncsRegistered; ++i) {
        const SyncSlot& slot = syncSlots[i];
        const uint32_t instrument = slot.param & 0xFFFF;
        const uint32_t note = slot.param >> 16;
        if (instrument == static_cast<uint32_t>(strike.instrument) &&
            (note == 0xFFFF || note == static_cast<uint32_t>(strike.note)))
            slot.proc(static_cast<uint32_t>(i + 1), moduleHandle, data, slot.user);
    }
}

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

uint32_t audioVersion() {
    const uint32_t library = openmpt_get_library_version();
    const bool compatible =
        (library >> 24) == OPENMPT_API_VERSION_MAJOR &&
        library >= static_cast<uint32_t>(OPENMPT_API_VERSION_MAKE(OPENMPT_API_VERSION_MAJOR,
                                                                  OPENMPT_API_VERSION_MINOR, 0));
    return compatible ? audioInterfaceVersion : 0;
}

bool audioOpenDevice(int device, int rate, uint32_t) {
    if (deviceOpen)
        return fail(audioErrorAlready);
    // The offline render and the strike positions are at the music's own rate.
    if (device != -1 || rate != musicSampleRate)
        return fail(audioErrorParameter);
    deviceOpen = true;
    deviceRate = rate;
    return succeed();
}

uint32_t audioStreamFile(const char* path, uint64_t, uint64_t, uint32_t) {
    if (!deviceOpen)
        return fail(audioErrorNotReady);
    lastFileError.clear();
    if (path == nullptr || !moduleFileOpens(path, lastFileError))
        return fail(audioErrorFileOpen);
    return fail(audioErrorFormat);
}

uint64_t audioStreamBytes(uint32_t) {
    fail(audioErrorHandle);
    return 0;
}

bool audioPlayStream(uint32_t, bool, uint32_t) {
    return fail(audioErrorHandle);
}

uint32_t audioLoadModule(const char* path, uint64_t offset, uint64_t length, uint32_t flags) {
    if (!deviceOpen)
        return fail(audioErrorNotReady);
    if (moduleHandle != 0)
        return fail(audioErrorAlready);
    std::vector<char> bytes;
    lastFileError.clear();
    if (path == nullptr || !readModuleFile(path, bytes, lastFileError))
        return fail(audioErrorFileOpen);
    if (offset > bytes.size()) {
        lastFileError = "shorter than the offset given";
        return fail(audioErrorFileOpen);
    }
    bytes.erase(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
    if (length != 0 && length < bytes.size())
        bytes.resize(static_cast<size_t>(length));
    if (!renderModuleBytesOffline(bytes.data(), bytes.size(), offlineLimitSeconds, song,
                                  lastFileError))
        return fail(audioErrorFormat);
    moduleLoops = (flags & audioModuleLoop) != 0;
    moduleHandle = ++handlesIssued;
    if (moduleHandle == 0)
        moduleHandle = ++handlesIssued;
    succeed();
    return moduleHandle;
}

const char* audioModuleTitle(uint32_t music) {
    if (music == 0 || music != moduleHandle) {
        fail(audioErrorHandle);
        return "";
    }
    succeed();
    return song.title.c_str();
}

int audioModuleOrders(uint32_t music) {
    if (music == 0 || music != moduleHandle) {
        fail(audioErrorHandle);
        return -1;
    }
    succeed();
    return song.orders;
}

bool audioStart() {
    return deviceOpen ? succeed() : fail(audioErrorNotReady);
}

bool audioPlayModule(uint32_t music, int order) {
    if (music == 0 || music != moduleHandle)
        return fail(audioErrorHandle);
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

uint32_t audioSetSync(uint32_t music, uint32_t type, uint32_t param, AudioSyncProc proc,
                      void* user) {
    if (music == 0 || music != moduleHandle)
        return fail(audioErrorHandle);
    if (type != audioSyncInstrument || proc == nullptr || syncsRegistered == maxSyncs)
        return fail(audioErrorParameter);
    syncSlots[syncsRegistered] = SyncSlot{param, proc, user};
    ++syncsRegistered;
    succeed();
    return static_cast<uint32_t>(syncsRegistered);
}

bool audioSetVolume(int volume) {
    if (!deviceOpen)
        return fail(audioErrorNotReady);
    if (volume < 0 || volume > 100)
        return fail(audioErrorParameter);
    webSetMusicVolume(volume);
    return succeed();
}

int audioErrorCode() {
    return lastError;
}

const char* audioFileError() {
    return lastFileError.c_str();
}

void audioRelease() {
    webBeforeEachFrame(nullptr);
    webThawCounter();
    webStopMusic();
    playing = false;
    deviceOpen = false;
    syncsRegistered = 0;
    song = OfflineRender{};
    moduleHandle = 0;
}

int64_t audioHeardFrame() {
    return heardFrame;
}

int64_t audioModuleStartFrame() {
    return playing ? 0 : -1;
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
