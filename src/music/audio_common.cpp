// The calls of the audio layer that behave the same on the desktop and in the browser: version,
// device and stream checks, reading a module file, title and orders, syncs, volume, errors.
#include "audio_common.h"

#include "module_file.h"

#include <libopenmpt/libopenmpt.h>
#include <libopenmpt/libopenmpt_version.h>

namespace {
std::atomic<int> lastError{audioOk};
uint32_t handlesIssued = 0;
int syncsRegistered = 0;
} // namespace

std::string lastFileError;
bool deviceOpen = false;
int deviceRate = musicSampleRate;

uint32_t moduleHandle = 0;
std::string moduleTitle;
int moduleOrders = 0;
bool moduleLoops = false;

SyncSlot syncSlots[maxSyncs];

bool fail(int code) {
    lastError.store(code, std::memory_order_relaxed);
    return false;
}

bool succeed() {
    lastError.store(audioOk, std::memory_order_relaxed);
    return true;
}

bool checkModuleHandle(uint32_t music) {
    if (music == 0 || music != moduleHandle)
        return fail(audioErrorHandle);
    return true;
}

void fireSyncs(const Strike& strike) {
    const uint32_t data =
        static_cast<uint32_t>(strike.instrument) | (static_cast<uint32_t>(strike.note) << 16);
    for (int i = 0; i < maxSyncs; ++i) {
        SyncSlot& slot = syncSlots[i];
        if (!slot.active.load(std::memory_order_acquire))
            continue;
        const uint32_t instrument = slot.param & 0xFFFF;
        const uint32_t note = slot.param >> 16;
        if (instrument == static_cast<uint32_t>(strike.instrument) &&
            (note == 0xFFFF || note == static_cast<uint32_t>(strike.note)))
            slot.proc(static_cast<uint32_t>(i + 1), moduleHandle, data, slot.user);
    }
}

void forgetDeviceAndModule() {
    deviceOpen = false;
    for (SyncSlot& slot : syncSlots)
        slot.active.store(false, std::memory_order_relaxed);
    syncsRegistered = 0;
    moduleHandle = 0;
    moduleTitle.clear();
    moduleOrders = 0;
}

uint32_t audioVersion() {
    // The layer needs the module library's interface it was built against, or a later one of
    // the same major version.
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
    if (device != -1 || !layerAcceptsRate(rate))
        return fail(audioErrorParameter);
    if (!layerOpenOutput(rate))
        return fail(audioErrorAlready);
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
    if (!layerLoadModule(bytes, flags))
        return fail(audioErrorFormat);
    moduleLoops = (flags & audioModuleLoop) != 0;
    moduleHandle = ++handlesIssued;
    if (moduleHandle == 0)
        moduleHandle = ++handlesIssued;
    succeed();
    return moduleHandle;
}

const char* audioModuleTitle(uint32_t music) {
    if (!checkModuleHandle(music))
        return "";
    succeed();
    return moduleTitle.c_str();
}

int audioModuleOrders(uint32_t music) {
    if (!checkModuleHandle(music))
        return -1;
    succeed();
    return moduleOrders;
}

uint32_t audioSetSync(uint32_t music, uint32_t type, uint32_t param, AudioSyncProc proc,
                      void* user) {
    if (!checkModuleHandle(music))
        return 0;
    if (type != audioSyncInstrument || proc == nullptr || syncsRegistered == maxSyncs)
        return fail(audioErrorParameter);
    SyncSlot& slot = syncSlots[syncsRegistered];
    slot.param = param;
    slot.proc = proc;
    slot.user = user;
    slot.active.store(true, std::memory_order_release);
    ++syncsRegistered;
    succeed();
    return static_cast<uint32_t>(syncsRegistered);
}

bool audioSetVolume(int volume) {
    if (!deviceOpen)
        return fail(audioErrorNotReady);
    if (volume < 0 || volume > 100)
        return fail(audioErrorParameter);
    layerSetVolume(volume);
    return succeed();
}

int audioErrorCode() {
    return lastError.load(std::memory_order_relaxed);
}

const char* audioFileError() {
    return lastFileError.c_str();
}
