// How a capture stops: Ctrl-C, SIGTERM, SIGHUP and SIGQUIT raise a flag that the frame loops read,
// or, while the show is still loading and nothing has been written, end the process at once. Either
// way the temporary files and folders registered here are removed, also when a library ends the
// process with exit() (a corrupt picture, a lost X connection).
#include "capture.h"

#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

namespace {
volatile std::sig_atomic_t stopRequested = 0;
volatile std::sig_atomic_t stopAtOnce = 0;

// Fixed storage, so that the signal handler can walk it without allocating.
struct Leftover {
    char path[PATH_MAX];
    bool folder;
    volatile std::sig_atomic_t active;
};
constexpr int leftoverSlots = 16;
Leftover leftovers[leftoverSlots];

const char stoppedWhileLoading[] =
    "parade-capture: interrupted before the first frame; nothing written\n";

// Only async-signal-safe calls: the handler uses it too. A folder goes only when empty.
void removeLeftovers() {
    for (Leftover& leftover : leftovers) {
        if (!leftover.active)
            continue;
        leftover.active = 0;
        if (leftover.folder)
            rmdir(leftover.path);
        else
            unlink(leftover.path);
    }
}

[[noreturn]] void stopNow() {
    removeLeftovers();
    [[maybe_unused]] const ssize_t said =
        write(STDERR_FILENO, stoppedWhileLoading, sizeof stoppedWhileLoading - 1);
    _exit(statusInterrupted);
}

pthread_t mainThread;

// Descriptors whose writes a stop must not leave waiting: a reader that stopped reading would
// hold a blocking write for ever, and a signal interrupts only the write it arrives in.
constexpr int streamSlots = 4;
volatile std::sig_atomic_t streams[streamSlots] = {-1, -1, -1, -1};

void stopWaitingWrites() {
    for (int i = 0; i < streamSlots; ++i) {
        const int fd = streams[i];
        if (fd >= 0)
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
}

void requestStop(int signalNumber) {
    // Another thread (the renderer's, a library's) may take the signal; the main thread is the
    // one that may sit in a write to a reader that stopped reading, so it gets it too.
    stopWaitingWrites();
    if (!pthread_equal(pthread_self(), mainThread)) {
        stopRequested = 1;
        pthread_kill(mainThread, signalNumber);
        return;
    }
    stopRequested = 1;
    if (stopAtOnce)
        stopNow();
}
} // namespace

void installInterruptHandlers() {
    mainThread = pthread_self();
    std::atexit(removeLeftovers);
    struct sigaction action {};
    action.sa_handler = requestStop;
    // No SA_RESTART: a read of a FIFO or an open of a FIFO output that waits for its other end
    // returns EINTR, so that a stop is never stuck behind it.
    action.sa_flags = 0;
    sigemptyset(&action.sa_mask);
    // A closed terminal or session (SIGHUP) and Ctrl-\ (SIGQUIT) stop it as Ctrl-C does.
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
        sigaction(signalNumber, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

void stopWritesOnInterrupt(int fd) {
    for (int i = 0; i < streamSlots; ++i) {
        if (streams[i] < 0) {
            streams[i] = fd;
            break;
        }
    }
    if (stopRequested)
        stopWaitingWrites();
}

void forgetStream(int fd) {
    for (int i = 0; i < streamSlots; ++i) {
        if (streams[i] == fd)
            streams[i] = -1;
    }
}

bool interrupted() {
    return stopRequested != 0;
}

void setStopAtOnce(bool atOnce) {
    stopAtOnce = atOnce ? 1 : 0;
    if (atOnce && stopRequested)
        stopNow();
}

void removeAtExit(const std::string& path, bool folder) {
    if (path.size() >= PATH_MAX)
        return;
    for (Leftover& leftover : leftovers) {
        if (leftover.active)
            continue;
        std::memcpy(leftover.path, path.c_str(), path.size() + 1);
        leftover.folder = folder;
        leftover.active = 1;
        return;
    }
}

void keepAtExit(const std::string& path) {
    for (Leftover& leftover : leftovers) {
        if (leftover.active && path == leftover.path)
            leftover.active = 0;
    }
}
