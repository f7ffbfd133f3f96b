// Sleeping, ending the process, the monotonic clock, the console's code page and opening files,
// on Windows.
#include "platform.h"
#include "platform_internal.h"

#include <windows.h>

#include <mmsystem.h>

#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

int64_t monotonicNanoseconds() {
    static const int64_t frequency = [] {
        LARGE_INTEGER value{};
        QueryPerformanceFrequency(&value);
        return static_cast<int64_t>(value.QuadPart);
    }();
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    const int64_t ticks = now.QuadPart;
    // In two parts, so that a counter of 10 MHz or more does not overflow within the hour.
    return ticks / frequency * 1000000000 + ticks % frequency * 1000000000 / frequency;
}

void sleepOneMillisecond() {
    // The system's timer ticks about every 15.6 ms unless asked for 1 ms: asked once, for the
    // rest of the process (the system takes the request back when the process ends).
    static const bool fineTimer = timeBeginPeriod(1) == TIMERR_NOERROR;
    (void)fineTimer;
    Sleep(1);
}

void exitImmediately(int status) {
    std::fflush(stdout);
    std::fflush(stderr);
    // Ends every thread where it stands, as _exit does on Linux: no atexit handlers, no
    // static destructors, no library unloading while the audio thread may hold its locks.
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(status));
    ExitProcess(static_cast<UINT>(status));
}

bool consoleSpeaksUtf8() {
    return GetConsoleOutputCP() == CP_UTF8;
}

int openForReading(const char* path) {
    // Binary, or the runtime would turn CR LF into LF and stop at byte 0x1A. Windows has no
    // FIFOs that block an open.
    return _open(path, _O_RDONLY | _O_BINARY | _O_NOINHERIT);
}

int openForWritingNow(const char* path) {
    // Windows' files and pipes here take a write at once; text mode would add CRs.
    return _open(path, _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY | _O_NOINHERIT,
                 _S_IREAD | _S_IWRITE);
}

void quietAudioLibrary(bool) {
    // SDL's Windows drivers (WASAPI, DirectSound, waveOut) print nothing of their own.
}
