// A private Xvfb for rendering without a display: started on a free display number, which
// the server itself reports through -displayfd once it accepts connections. It never outlives
// the process that started it, however that process ends.
#include "platform.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
pid_t serverPid = 0;

void stopAtExit() {
    stopPrivateXServer();
}
} // namespace

std::string startPrivateXServer(int width, int height, std::string& error) {
    if (serverPid != 0) {
        const char* display = std::getenv("DISPLAY");
        return display ? display : "";
    }
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        error = std::string("cannot create a pipe: ") + std::strerror(errno);
        return "";
    }
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    const pid_t parent = getpid();
    pid_t pid = fork();
    if (pid < 0) {
        error = std::string("cannot fork: ") + std::strerror(errno);
        close(fds[0]);
        close(fds[1]);
        return "";
    }
    if (pid == 0) {
        // The write end must survive exec; every other descriptor is close-on-exec.
        int writeFd = dup(fds[1]);
        std::string fdText = std::to_string(writeFd);
        int devNull = open("/dev/null", O_RDWR);
        if (devNull >= 0) {
            dup2(devNull, STDIN_FILENO);
            dup2(devNull, STDOUT_FILENO);
            dup2(devNull, STDERR_FILENO);
        }
        // Its own process group keeps Ctrl-C on a terminal away from it; the parent's death,
        // even by SIGKILL, still ends it.
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            _exit(127);
        execlp("Xvfb", "Xvfb", "-displayfd", fdText.c_str(), "-screen", "0", screen.c_str(),
               "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    char number[32] = {};
    size_t length = 0;
    pollfd waitFor{fds[0], POLLIN, 0};
    // Xvfb reports its display number followed by a newline when it is ready.
    while (length < sizeof number - 1) {
        if (poll(&waitFor, 1, 20000) <= 0)
            break;
        ssize_t got = read(fds[0], number + length, sizeof number - 1 - length);
        if (got <= 0)
            break;
        length += static_cast<size_t>(got);
        if (std::memchr(number, '\n', length))
            break;
    }
    close(fds[0]);
    if (length == 0 || !std::memchr(number, '\n', length)) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        error = "cannot start Xvfb (is the package xvfb installed?)";
        return "";
    }
    number[std::strcspn(number, "\n")] = '\0';
    serverPid = pid;
    std::atexit(stopAtExit);
    const std::string display = std::string(":") + number;
    setenv("DISPLAY", display.c_str(), 1);
    return display;
}

void stopPrivateXServer() {
    if (serverPid == 0)
        return;
    kill(serverPid, SIGTERM);
    waitpid(serverPid, nullptr, 0);
    serverPid = 0;
}
