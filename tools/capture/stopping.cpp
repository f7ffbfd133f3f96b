// How a capture stops: Ctrl-C and SIGTERM raise a flag that the frame loops read, or, while
// the show is still loading and nothing has been written, end the process at once. Either way
// the temporary files and folders registered here are removed, also when a library ends the
// process with exit() (a corrupt picture, a lost X connection).
#include "capture.h"

#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
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

void requestStop(int) {
    stopRequested = 1;
    if (stopAtOnce)
        stopNow();
}
} // namespace

void installInterruptHandlers() {
    std::atexit(removeLeftovers);
    struct sigaction action {};
    action.sa_handler = requestStop;
    // No SA_RESTART: a read of a FIFO or an open of a FIFO output that waits for its other end
    // returns EINTR, so that a stop is never stuck behind it.
    action.sa_flags = 0;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
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
