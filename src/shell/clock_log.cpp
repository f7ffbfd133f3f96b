// The clock log: with PARADE_CLOCK_LOG=FILE, a line a frame for measuring how the pictures keep
// to the music. Writing it never ends or stalls the show: the file is written without blocking
// (a FIFO's reader that falls behind loses lines rather than holding a frame, one with no
// reader yet gets them once it comes), and a failure is said once, with the system's reason,
// before the log stops and the show goes on. A reader that leaves a pipe gives a failed write,
// not SIGPIPE: main ignores that signal.
#include "shell.h"

#include "music.h"
#include "platform.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {
enum class LogState { unread, awaitingReader, writing, stopped };
LogState logState = LogState::unread;
std::string logPath;
int logFile = -1;
bool behindSaid = false;

void stopLog(const char* why) {
    std::fprintf(stderr, "parade: cannot write the clock log %s: %s; the show goes on without it\n",
                 logPath.c_str(), why);
    if (logFile >= 0)
        close(logFile);
    logFile = -1;
    logState = LogState::stopped;
}

bool isFifo(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISFIFO(status.st_mode);
}

// Opens the log without waiting: a FIFO that nobody reads yet is tried again at every frame.
void openLog() {
    logFile = openForWritingNow(logPath.c_str());
    if (logFile >= 0) {
        logState = LogState::writing;
        return;
    }
    const int error = errno;
    if (error == ENXIO && isFifo(logPath)) {
        if (logState == LogState::unread)
            std::fprintf(stderr,
                         "parade: nobody reads the clock log %s yet: its lines begin when "
                         "someone does\n",
                         logPath.c_str());
        logState = LogState::awaitingReader;
        return;
    }
    stopLog(std::strerror(error));
}
} // namespace

double heardMusicPatterns() {
    const double heard = musicHeardSeconds();
    return heard < 0.0 ? -1.0 : heard * unitsPerSecond;
}

bool clockLogOn() {
    if (logState == LogState::unread) {
        const char* path = std::getenv("PARADE_CLOCK_LOG");
        if (path == nullptr || path[0] == '\0') {
            logState = LogState::stopped;
            return false;
        }
        logPath = path;
    }
    if (logState == LogState::unread || logState == LogState::awaitingReader)
        openLog();
    return logState == LogState::writing;
}

void writeClockLine(double heardBefore, double time, double heardAfter) {
    if (logState != LogState::writing)
        return;
    const double now =
        std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    char line[160];
    const int length = std::snprintf(line, sizeof line, "%.6f %.9f %.9f %.9f\n", now, heardBefore,
                                     time, heardAfter);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof line)
        return;
    size_t written = 0;
    while (written < static_cast<size_t>(length)) {
        const ssize_t count = write(logFile, line + written, static_cast<size_t>(length) - written);
        if (count >= 0) {
            written += static_cast<size_t>(count);
            continue;
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            // A line is shorter than PIPE_BUF, which a pipe takes whole or not at all.
            if (!behindSaid)
                std::fprintf(stderr,
                             "parade: the clock log's reader is behind: lines are left out of "
                             "%s while it is\n",
                             logPath.c_str());
            behindSaid = true;
            return;
        }
        stopLog(std::strerror(errno));
        return;
    }
}
