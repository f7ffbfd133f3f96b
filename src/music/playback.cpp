// Starting and stopping the music: "mod2.it" through the audio layer, the thirteen instrument
// syncs that stamp the SyncPoints, the fade-out, and the fatal error report.
#include "audio_layer.h"
#include "clock.h"
#include "music.h"
#include "platform.h"

#include <cstdio>

namespace {
const char* const musicFile = "mod2.it";

// Instruments whose syncs are registered, in registration order.
const int syncRegistrationOrder[syncPointCount] = {2, 4, 3, 5, 6, 7, 8, 9, 10, 13, 14, 15, 16};

constexpr uint32_t anyNote = 0xFFFF;
} // namespace

bool startMusic() {
    if (audioVersion() != audioInterfaceVersion) {
        std::printf("audio layer version 0.8 was not loaded\n");
        std::fflush(stdout);
        return false;
    }
    if (!audioOpenDevice(-1, musicSampleRate, 0))
        fatalAudioError("Can't initialize sound device");
    uint32_t music = 0;
    const uint32_t stream = audioStreamFile(musicFile, 0, 0, 0);
    if (stream != 0) {
        std::printf("streaming file [%d bytes]\n", static_cast<int>(audioStreamBytes(stream)));
    } else {
        music = audioLoadModule(musicFile, 0, 0, audioModuleLoop | audioModuleRamp);
        if (music == 0)
            fatalAudioError("Can't play the file");
        std::printf("playing MOD music \"%s\" [%d orders]\n", audioModuleTitle(music),
                    audioModuleOrders(music));
    }
    std::fflush(stdout);
    if (music != 0 && audioModuleOrders(music) == 0)
        std::fprintf(stderr, "warning: %s has no orders to play: the show runs in silence\n",
                     musicFile);
    audioStart();
    if (stream != 0)
        audioPlayStream(stream, false, audioModuleLoop);
    else
        audioPlayModule(music, 0);
    // Demo time 0 is the moment the music's first frame is heard, and the clock waits for it.
    runDemoClockFrom(0.0f, audioPlayHeardTick());
    // A streamed file has no module handle, so it registers no syncs.
    for (int instrument : syncRegistrationOrder) {
        SyncPoint* sync = &syncPoints[syncPointOfInstrument(instrument)];
        audioSetSync(music, audioSyncInstrument, static_cast<uint32_t>(instrument) | anyNote << 16,
                     syncHit, sync);
    }
    audioSetVolume(99);
    return true;
}

void stopMusic() {
    for (int volume = 100; volume >= 0; volume -= 5) {
        audioSetVolume(volume);
        sleepOneMillisecond();
    }
    audioRelease();
}

void haltMusic() {
    audioRelease();
}

void fatalAudioError(const char* message) {
    std::printf("Error(%d): %s\n", audioErrorCode(), message);
    std::fflush(stdout);
    if (audioFileError()[0] != '\0')
        std::fprintf(stderr, "%s: %s\n", musicFile, audioFileError());
    audioRelease();
    // A failure: scripts must be able to tell it from an ordinary end.
    exitImmediately(1);
}
