// The audio output device: SDL2 playing a queue of 16-bit stereo frames, or a silent output
// that consumes the queue in real time when no device can be opened, so that whoever measures
// the heard position (the music's syncs) behaves the same with and without a sound card.
#include "platform.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

namespace {
std::mutex outputMutex;
bool outputOpen = false;
bool outputSilent = false;
SDL_AudioDeviceID outputDevice = 0;
int outputRate = 44100;
int deviceBufferFrames = 0; // frames SDL holds in the device buffer beyond its queue
int64_t framesQueued = 0;

// SDL takes a device buffer at a time from its queue: when the queue last shrank, and to what.
int64_t lastConsumed = -1;
std::chrono::steady_clock::time_point lastConsumedAt;

// The silent output's play head: advances with real time, never past what was queued.
double silentHeard = 0.0;
std::chrono::steady_clock::time_point silentLast;

constexpr int bytesPerFrame = 4;

void advanceSilentHead() {
    const auto now = std::chrono::steady_clock::now();
    const double seconds = std::chrono::duration<double>(now - silentLast).count();
    silentLast = now;
    silentHeard += seconds * outputRate;
    if (silentHeard > static_cast<double>(framesQueued))
        silentHeard = static_cast<double>(framesQueued);
}

// Opens SDL's default device; false (with `why`) when there is none or only the dummy driver.
bool openSdlDevice(int rate, std::string& why) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        why = SDL_GetError();
        return false;
    }
    const char* driver = SDL_GetCurrentAudioDriver();
    if (driver != nullptr &&
        (std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "disk") == 0)) {
        why = std::string("the ") + driver + " driver plays nothing";
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    SDL_AudioSpec want{};
    want.freq = rate;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 512;
    SDL_AudioSpec have{};
    outputDevice = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (outputDevice == 0) {
        why = SDL_GetError();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    // SDL converts to the device's own format; its buffer is measured in device frames.
    deviceBufferFrames = static_cast<int>(static_cast<int64_t>(have.samples) * rate /
                                          (have.freq > 0 ? have.freq : rate));
    lastConsumed = -1;
    SDL_PauseAudioDevice(outputDevice, 0);
    return true;
}
} // namespace

bool openAudioOutput(int rate) {
    std::lock_guard<std::mutex> lock(outputMutex);
    if (outputOpen)
        return false;
    outputRate = rate;
    framesQueued = 0;
    std::string why;
    outputSilent = !openSdlDevice(rate, why);
    if (outputSilent) {
        std::fprintf(stderr, "no sound device (%s): the music plays silently in real time\n",
                     why.c_str());
        silentHeard = 0.0;
        silentLast = std::chrono::steady_clock::now();
    }
    outputOpen = true;
    return true;
}

bool audioOutputIsSilent() {
    std::lock_guard<std::mutex> lock(outputMutex);
    return outputOpen && outputSilent;
}

void queueAudioFrames(const int16_t* samples, int frames) {
    std::lock_guard<std::mutex> lock(outputMutex);
    if (!outputOpen || frames <= 0)
        return;
    if (outputSilent) {
        // After an underrun the head waits at the end of the queue: new frames play from now.
        advanceSilentHead();
    } else {
        SDL_QueueAudio(outputDevice, samples, static_cast<Uint32>(frames) * bytesPerFrame);
    }
    framesQueued += frames;
}

int64_t audioFramesHeard() {
    std::lock_guard<std::mutex> lock(outputMutex);
    if (!outputOpen)
        return 0;
    if (outputSilent) {
        advanceSilentHead();
        return static_cast<int64_t>(silentHeard);
    }
    // Frames taken from the queue are in the device buffer, played out over its length since
    // SDL took them.
    const auto now = std::chrono::steady_clock::now();
    const int64_t consumed =
        framesQueued - static_cast<int64_t>(SDL_GetQueuedAudioSize(outputDevice) / bytesPerFrame);
    if (consumed != lastConsumed) {
        lastConsumed = consumed;
        lastConsumedAt = now;
    }
    const double sinceTaken = std::chrono::duration<double>(now - lastConsumedAt).count();
    const int64_t played =
        std::min<int64_t>(deviceBufferFrames, static_cast<int64_t>(sinceTaken * outputRate));
    const int64_t heard = consumed - deviceBufferFrames + played;
    return heard > 0 ? heard : 0;
}

int64_t audioFramesPending() {
    const int64_t heard = audioFramesHeard();
    std::lock_guard<std::mutex> lock(outputMutex);
    return framesQueued - heard;
}

void closeAudioOutput() {
    std::lock_guard<std::mutex> lock(outputMutex);
    if (!outputOpen)
        return;
    if (!outputSilent) {
        SDL_ClearQueuedAudio(outputDevice);
        SDL_CloseAudioDevice(outputDevice);
        outputDevice = 0;
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    outputOpen = false;
    outputSilent = false;
    framesQueued = 0;
}
