// The audio output device: SDL2 pulling frames from our queue, or a silent output that
// consumes the queue in real time when no device can be opened, so that whoever measures the
// heard position (the music's syncs) behaves the same with and without a sound card. The
// volume is applied here, as frames leave the queue, not when they are queued: each change
// reaches the frames heard from its moment on, one device buffer late, so even steps 1 ms apart
// are heard each for its own time rather than after everything already queued.
#include "platform.h"
#include "platform_internal.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {
using SteadyClock = std::chrono::steady_clock;

// Guards everything below. Never held across opening or closing the SDL device, whose
// callback takes it.
std::mutex outputMutex;
bool outputOpen = false;
bool outputSilent = false;
bool outputClosing = false;   // the device is fed silence while its last frames play out
bool deviceReturning = false; // opened again after a loss, and not yet called back
SDL_AudioDeviceID outputDevice = 0;
int outputRate = 44100;
int deviceBufferFrames = 0; // frames SDL takes per callback, as frames of our rate

std::vector<int16_t> queue; // interleaved stereo; the frames not yet taken start at queueStart
size_t queueStart = 0;
int64_t framesQueued = 0;
int64_t framesTaken = 0; // taken for the device, or consumed by the silent output

// Volume changes not yet applied, oldest first. The gain moves one percent a frame toward the
// volume of the change in effect, so a step makes no click.
struct VolumeChange {
    SteadyClock::time_point at;
    int volume;
};
std::vector<VolumeChange> volumeChanges;
int gainTarget = 100;
int gainNow = 100;
SteadyClock::duration deviceDelay{}; // one device buffer; zero for the silent output

// The device's last callback: when, and how many queued frames it took.
SteadyClock::time_point lastTakenAt;
int64_t lastTakenFrames = 0;

// The silent output's play head in frames since it opened, advancing with real time.
double silentPosition = 0.0;
SteadyClock::time_point silentLast;

bool recording = false;
std::vector<int16_t> recorded;

constexpr int channels = 2;
constexpr int bytesPerFrame = channels * 2;
// The longest the close waits for the device's last buffer to be heard.
constexpr double largestPlayOutSeconds = 0.05;

// Takes up to `frames` frames off the queue with the gain applied into `out` (when not null)
// and returns how many it took. The first frame is heard at `firstHeardAt`, the others follow
// at the output rate; each gets the volume of the change in effect a device buffer earlier.
int takeFrames(int16_t* out, int64_t frames, SteadyClock::time_point firstHeardAt) {
    if (frames <= 0)
        return 0;
    const int64_t available = static_cast<int64_t>((queue.size() - queueStart) / channels);
    const int taken = static_cast<int>(std::min(frames, available));
    const int16_t* in = queue.data() + queueStart;
    if (recording)
        recorded.reserve(recorded.size() + static_cast<size_t>(taken) * channels);
    const SteadyClock::time_point firstVolumeAt = firstHeardAt - deviceDelay;
    size_t applied = 0;
    for (int f = 0; f < taken; ++f) {
        const auto at =
            firstVolumeAt + std::chrono::duration_cast<SteadyClock::duration>(
                                std::chrono::duration<double>(static_cast<double>(f) / outputRate));
        while (applied < volumeChanges.size() && volumeChanges[applied].at <= at)
            gainTarget = volumeChanges[applied++].volume;
        if (gainNow != gainTarget)
            gainNow += gainNow < gainTarget ? 1 : -1;
        for (int c = 0; c < channels; ++c) {
            const auto sample = static_cast<int16_t>(in[f * channels + c] * gainNow / 100);
            if (out != nullptr)
                out[f * channels + c] = sample;
            if (recording)
                recorded.push_back(sample);
        }
    }
    queueStart += static_cast<size_t>(taken) * channels;
    if (queueStart > queue.size() / 2) {
        queue.erase(queue.begin(), queue.begin() + static_cast<std::ptrdiff_t>(queueStart));
        queueStart = 0;
    }
    framesTaken += taken;
    volumeChanges.erase(volumeChanges.begin(),
                        volumeChanges.begin() + static_cast<std::ptrdiff_t>(applied));
    return taken;
}

void advanceSilentHead() {
    const auto now = SteadyClock::now();
    const auto firstHeardAt = silentLast;
    silentPosition += std::chrono::duration<double>(now - silentLast).count() * outputRate;
    silentLast = now;
    takeFrames(nullptr, static_cast<int64_t>(silentPosition) - framesTaken, firstHeardAt);
    // After an underrun the head waits at the end of the queue: new frames play from now.
    if (silentPosition > static_cast<double>(framesTaken))
        silentPosition = static_cast<double>(framesTaken);
}

// How late a volume change reaches the frames heard: one device buffer (lock held).
SteadyClock::duration deviceBufferDelay() {
    return std::chrono::duration_cast<SteadyClock::duration>(
        std::chrono::duration<double>(static_cast<double>(deviceBufferFrames) / outputRate));
}

// SDL's callback on its own thread: the next device buffer, silence where the queue ran dry.
void feedDevice(void*, Uint8* stream, int length) {
    std::memset(stream, 0, static_cast<size_t>(length));
    std::lock_guard<std::mutex> lock(outputMutex);
    if (outputClosing)
        return;
    // A device that went away is still called back until it is closed: the silent output
    // plays in its place meanwhile. A device opened again takes over from it here, when it
    // first asks for frames, which a sound server that has just started may take a while to do.
    if (outputSilent) {
        if (!deviceReturning)
            return;
        advanceSilentHead();
        outputSilent = false;
        deviceReturning = false;
        lastTakenFrames = 0;
        deviceDelay = deviceBufferDelay();
    }
    lastTakenAt = SteadyClock::now();
    lastTakenFrames =
        takeFrames(reinterpret_cast<int16_t*>(stream), length / bytesPerFrame, lastTakenAt);
}

// Frames taken from the queue that the listener has heard (lock held).
int64_t heardFrames() {
    if (outputSilent) {
        advanceSilentHead();
        return framesTaken;
    }
    if (lastTakenFrames == 0)
        return framesTaken;
    // The last callback's frames play out over the device buffer's length from when SDL took
    // them; everything taken before them has been heard.
    const double since = std::chrono::duration<double>(SteadyClock::now() - lastTakenAt).count();
    const int64_t played =
        std::min<int64_t>(lastTakenFrames, static_cast<int64_t>(since * outputRate));
    return framesTaken - lastTakenFrames + played;
}

// Opens SDL's default device; false (with `why`) when there is none or only the dummy driver.
bool openSdlDevice(int rate, std::string& why) {
    quietAudioLibrary(true);
    const bool started = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    if (!started) {
        quietAudioLibrary(false);
        why = SDL_GetError();
        return false;
    }
    const char* driver = SDL_GetCurrentAudioDriver();
    if (driver != nullptr &&
        (std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "disk") == 0)) {
        why = std::string("the ") + driver + " driver plays nothing";
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        quietAudioLibrary(false);
        return false;
    }
    SDL_AudioSpec want{};
    want.freq = rate;
    want.format = AUDIO_S16SYS;
    want.channels = channels;
    want.samples = 512;
    want.callback = feedDevice;
    SDL_AudioSpec have{};
    outputDevice = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    quietAudioLibrary(false);
    if (outputDevice == 0) {
        why = SDL_GetError();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    // SDL converts to the device's own format; its buffer is measured in device frames.
    deviceBufferFrames = static_cast<int>(static_cast<int64_t>(have.samples) * rate /
                                          (have.freq > 0 ? have.freq : rate));
    return true;
}

// ---- A device that goes away and comes back ---------------------------------------------------
// When the device goes (its sound server ended, the card was unplugged), SDL goes on calling
// back at the same pace for buffers nobody hears. The silent output takes over from the heard
// position instead, so the music and the show go on in time, and a thread of its own tries
// every half second to open the default device again, which then plays the queue on from where
// the listener is.

constexpr auto reopenInterval = std::chrono::milliseconds(500);
// Guards the two below; the reopening thread holds it while it tries, so that once
// closeAudioOutput has stopped the thread, no device is being opened.
std::mutex reopenMutex;
std::condition_variable reopenWake;
bool reopenStop = false;
std::thread reopenThread; // started and joined by the feeding thread, then by closeAudioOutput

void reopenLostDevice() {
    std::unique_lock<std::mutex> lock(reopenMutex);
    while (!reopenWake.wait_for(lock, reopenInterval, [] { return reopenStop; })) {
        std::string why;
        if (!openSdlDevice(outputRate, why))
            continue;
        SDL_AudioDeviceID device = 0;
        {
            std::lock_guard<std::mutex> output(outputMutex);
            deviceReturning = true;
            device = outputDevice;
        }
        SDL_PauseAudioDevice(device, 0);
        std::fputs("parade: the sound output is back\n", stderr);
        return;
    }
}

void stopReopening() {
    {
        std::lock_guard<std::mutex> lock(reopenMutex);
        reopenStop = true;
    }
    reopenWake.notify_all();
    if (reopenThread.joinable())
        reopenThread.join();
}
} // namespace

void keepAudioOutput() {
    SDL_AudioDeviceID lost = 0;
    {
        std::lock_guard<std::mutex> lock(outputMutex);
        if (!outputOpen || outputSilent || outputDevice == 0 ||
            SDL_GetAudioDeviceStatus(outputDevice) != SDL_AUDIO_STOPPED)
            return;
        // What the device held and had not played yet went with it: the listener is taken to
        // have heard it, so the heard position never goes back.
        outputSilent = true;
        silentPosition = static_cast<double>(framesTaken);
        silentLast = SteadyClock::now();
        deviceDelay = SteadyClock::duration{};
        lost = outputDevice;
        outputDevice = 0;
    }
    SDL_CloseAudioDevice(lost);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    std::fputs("parade: the sound output was lost; the show goes on in time without sound until "
               "it is back\n",
               stderr);
    if (reopenThread.joinable())
        reopenThread.join(); // it ended when it brought the last lost device back
    {
        std::lock_guard<std::mutex> lock(reopenMutex);
        reopenStop = false;
    }
    reopenThread = std::thread(reopenLostDevice);
}

bool openAudioOutput(int rate) {
    {
        std::lock_guard<std::mutex> lock(outputMutex);
        if (outputOpen)
            return false;
        outputOpen = true;
        outputRate = rate;
        outputClosing = false;
        deviceReturning = false;
        queue.clear();
        queueStart = 0;
        framesQueued = 0;
        framesTaken = 0;
        lastTakenFrames = 0;
        gainTarget = gainNow = 100;
        volumeChanges.clear();
    }
    std::string why;
    const bool silent = !openSdlDevice(rate, why);
    if (silent) {
        std::fprintf(stderr, "no sound device (%s): the music plays silently in real time\n",
                     why.c_str());
    }
    {
        std::lock_guard<std::mutex> lock(outputMutex);
        outputSilent = silent;
        deviceDelay = silent ? SteadyClock::duration{} : deviceBufferDelay();
        silentPosition = 0.0;
        silentLast = SteadyClock::now();
    }
    if (!silent)
        SDL_PauseAudioDevice(outputDevice, 0);
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
    if (outputSilent)
        advanceSilentHead();
    const bool starved = queueStart == queue.size();
    queue.insert(queue.end(), samples, samples + static_cast<size_t>(frames) * channels);
    framesQueued += frames;
    // A silent head waiting at the end of the queue plays the new frames from now.
    if (starved)
        silentLast = SteadyClock::now();
}

void setAudioOutputVolume(int volume) {
    std::lock_guard<std::mutex> lock(outputMutex);
    if (!outputOpen)
        return;
    // The silent output's frames up to now leave at the volume they were heard with.
    if (outputSilent)
        advanceSilentHead();
    volumeChanges.push_back({SteadyClock::now(), std::clamp(volume, 0, 100)});
}

int64_t audioFramesHeard() {
    std::lock_guard<std::mutex> lock(outputMutex);
    return outputOpen ? heardFrames() : 0;
}

int64_t audioFramesPending() {
    std::lock_guard<std::mutex> lock(outputMutex);
    return outputOpen ? framesQueued - heardFrames() : 0;
}

int64_t flushAudioOutput() {
    std::lock_guard<std::mutex> lock(outputMutex);
    if (!outputOpen)
        return 0;
    if (outputSilent)
        advanceSilentHead();
    queue.erase(queue.begin() + static_cast<std::ptrdiff_t>(queueStart), queue.end());
    framesQueued = framesTaken;
    return framesQueued;
}

bool audioOutputHeardPosition(int64_t& frames, int& rate, bool& exact) {
    std::lock_guard<std::mutex> lock(outputMutex);
    if (!outputOpen)
        return false;
    frames = heardFrames();
    rate = outputRate;
    exact = outputSilent;
    return true;
}

void closeAudioOutput() {
    stopReopening();
    const auto closeAt = SteadyClock::now();
    const auto deadline =
        SteadyClock::now() + std::chrono::duration_cast<SteadyClock::duration>(
                                 std::chrono::duration<double>(largestPlayOutSeconds));
    SDL_AudioDeviceID device = 0;
    SteadyClock::time_point closeHeard;
    {
        std::lock_guard<std::mutex> lock(outputMutex);
        if (!outputOpen)
            return;
        if (outputSilent)
            advanceSilentHead();
        // (A device opened again after a loss is there before it takes over from the silent
        // output.)
        device = outputDevice;
        closeHeard = closeAt + deviceDelay;
    }
    if (device != 0) {
        // Volume changes are heard a device buffer late, so the frames up to this call are
        // too (the end of a fade among them); then what the device holds plays out.
        std::this_thread::sleep_until(std::min(deadline, closeHeard));
        double playOut = 0.0;
        {
            std::lock_guard<std::mutex> lock(outputMutex);
            outputClosing = true;
            playOut = static_cast<double>(framesTaken - heardFrames()) / outputRate;
        }
        std::this_thread::sleep_until(std::min(
            deadline, SteadyClock::now() + std::chrono::duration_cast<SteadyClock::duration>(
                                               std::chrono::duration<double>(playOut))));
        SDL_CloseAudioDevice(device);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    std::lock_guard<std::mutex> lock(outputMutex);
    outputDevice = 0;
    outputOpen = false;
    outputSilent = false;
    outputClosing = false;
    deviceReturning = false;
    queue.clear();
    queue.shrink_to_fit();
    queueStart = 0;
    framesQueued = 0;
    framesTaken = 0;
}

void recordAudioOutput(bool on) {
    std::lock_guard<std::mutex> lock(outputMutex);
    recording = on;
    recorded.clear();
}

std::vector<int16_t> recordedAudioOutput() {
    std::lock_guard<std::mutex> lock(outputMutex);
    return recorded;
}
