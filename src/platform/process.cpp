// Sleeping, ending the process, the monotonic clock, the console's character set and opening
// files, on POSIX systems.
#include "platform.h"
#include "platform_internal.h"

#include <clocale>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <langinfo.h>
#include <unistd.h>

int64_t monotonicNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

void sleepOneMillisecond() {
    timespec interval{0, 1000000};
    while (nanosleep(&interval, &interval) != 0) {
    }
}

void exitImmediately(int status) {
    std::fflush(stdout);
    std::fflush(stderr);
    _exit(status);
}

bool consoleSpeaksUtf8() {
    std::setlocale(LC_CTYPE, "");
    const bool utf8 = std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
    std::setlocale(LC_CTYPE, "C");
    return utf8;
}

int openForWritingNow(const char* path) {
    return ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_CLOEXEC, 0666);
}

int openForReading(const char* path) {
    const int descriptor = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor >= 0)
        ::fcntl(descriptor, F_SETFL, ::fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
    return descriptor;
}
