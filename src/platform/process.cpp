// Sleeping and ending the process.
#include "platform.h"

#include <cstdio>
#include <ctime>
#include <unistd.h>

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
