// The video encoder: an ffmpeg process fed raw RGB frames through a pipe, with the sound from
// a WAV file, writing H.264 and AAC into a fragmented mp4 (a fragment a second), so the file
// plays up to its last whole fragment even when the capture is stopped or the disk fills up;
// and the rewrite of a finished one into a plain mp4 with its index first.
#include "capture.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <initializer_list>
#include <sys/wait.h>
#include <unistd.h>

namespace {
std::string readAll(int fd) {
    std::string text;
    if (fd < 0 || lseek(fd, 0, SEEK_SET) < 0)
        return text;
    char buffer[4096];
    ssize_t got = 0;
    while ((got = read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<size_t>(got));
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

// An unnamed temporary file for ffmpeg's messages, read when it has finished; -1 if none.
int messageFile() {
    FILE* messages = std::tmpfile();
    const int fd = messages ? dup(fileno(messages)) : -1;
    if (messages)
        std::fclose(messages);
    return fd;
}

// Runs ffmpeg with `words` (ffmpeg's path first), its standard input, output (unless -1) and
// error on the given descriptors. The child's pid, or -1.
int startFfmpeg(const std::vector<std::string>& words, int inputFd, int outputFd, int errorFd) {
    std::vector<char*> argv;
    for (const std::string& word : words)
        argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    const int pid = fork();
    if (pid != 0)
        return pid;
    // Its own process group: Ctrl-C on the terminal stops the capture, which then closes the
    // pipe so that ffmpeg finishes the file, instead of killing ffmpeg mid-write.
    setpgid(0, 0);
    dup2(inputFd, STDIN_FILENO);
    if (outputFd >= 0)
        dup2(outputFd, STDOUT_FILENO);
    if (errorFd >= 0)
        dup2(errorFd, STDERR_FILENO);
    signal(SIGPIPE, SIG_DFL);
    execv(argv[0], argv.data());
    _exit(127);
}

// "ffmpeg failed: its message" for a child's wait status; "" when it ended well.
std::string ffmpegFailure(int status, const std::string& messages) {
    if (status >= 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return "";
    std::string error = "ffmpeg failed";
    if (status >= 0 && WIFEXITED(status) && WEXITSTATUS(status) == 127)
        error = "ffmpeg could not be run";
    else if (status >= 0 && WIFSIGNALED(status))
        error = std::string("ffmpeg was stopped by signal ") + std::to_string(WTERMSIG(status));
    if (!messages.empty())
        error += ": " + messages;
    return error;
}

// After a stop the encoder has three seconds to close its file (it may be stuck writing to a
// FIFO nobody reads), then it is ended.
int waitForStoppedChild(int pid) {
    int status = 0;
    for (int i = 0; i < 300; ++i) {
        const pid_t ended = waitpid(pid, &status, WNOHANG);
        if (ended == pid)
            return status;
        if (ended < 0 && errno != EINTR)
            return -1;
        usleep(10000);
    }
    kill(pid, SIGKILL);
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    return status;
}

// Waits for the child, retrying when a signal interrupts the wait, unless it was a stop.
int waitForChild(int pid) {
    int status = 0;
    while (!interrupted()) {
        if (waitpid(pid, &status, 0) >= 0)
            return status;
        if (errno != EINTR)
            return -1;
    }
    return waitForStoppedChild(pid);
}
} // namespace

bool startVideoEncoder(VideoEncoder& encoder, const std::string& ffmpeg, const std::string& output,
                       const std::string& wavPath, const CaptureOptions& options,
                       std::string& error, int outputFd) {
    encoder = VideoEncoder{};
    const std::string size = std::to_string(options.width) + "x" + std::to_string(options.height);
    const std::string rate =
        std::to_string(options.fpsNumerator) + "/" + std::to_string(options.fpsDenominator);
    // A key frame (and so a fragment) every second.
    const double fps =
        static_cast<double>(options.fpsNumerator) / static_cast<double>(options.fpsDenominator);
    const std::string keyInterval = std::to_string(std::max(1L, std::lround(fps)));
    const std::string crf = std::to_string(options.crf);
    // A stream is handed to ffmpeg as its standard output.
    const std::string destination = outputFd >= 0 ? "pipe:1" : output;
    // The frames' RGB becomes YUV by the BT.709 matrix in limited range, and the stream says
    // so, so that every player turns it back into the colours drawn (an untagged stream is
    // read as BT.601 or BT.709 depending on its size and the player).
    // The moov waits for the first fragment so that it can hold the edit list that takes back
    // x264's B-frame delay: the first picture is then shown with the first sound.
    std::vector<std::string> words = {ffmpeg, "-hide_banner", "-loglevel", "error", "-y"};
    const auto add = [&words](std::initializer_list<std::string> more) {
        words.insert(words.end(), more);
    };
    add({"-f", "rawvideo", "-pixel_format", "rgb24", "-video_size", size, "-framerate", rate});
    add({"-i", "pipe:0", "-f", "wav", "-i", wavPath, "-map", "0:v:0", "-map", "1:a:0"});
    add({"-vf", "scale=out_color_matrix=bt709:out_range=tv:flags=accurate_rnd,format=yuv420p"});
    add({"-colorspace", "bt709", "-color_primaries", "bt709", "-color_trc", "bt709"});
    add({"-color_range", "tv"});
    add({"-c:v", "libx264", "-preset", options.preset, "-crf", crf, "-g", keyInterval});
    add({"-c:a", "aac", "-b:a", "192k", "-shortest"});
    add({"-movflags", "+frag_keyframe+empty_moov+delay_moov+default_base_moof"});
    add({"-f", "mp4", destination});
    int frames[2];
    if (pipe2(frames, O_CLOEXEC) != 0) {
        error = std::string("cannot create a pipe for ffmpeg: ") + std::strerror(errno);
        return false;
    }
    const int messagesFd = messageFile();
    const int pid = startFfmpeg(words, frames[0], outputFd, messagesFd);
    if (pid < 0) {
        error = std::string("cannot start ffmpeg: ") + std::strerror(errno);
        close(frames[0]);
        close(frames[1]);
        if (messagesFd >= 0)
            close(messagesFd);
        return false;
    }
    close(frames[0]);
    encoder.pid = pid;
    encoder.frameFd = frames[1];
    stopWritesOnInterrupt(encoder.frameFd);
    encoder.errorFd = messagesFd;
    // A larger pipe lets rendering run ahead of the encoder by a few frames.
    fcntl(encoder.frameFd, F_SETPIPE_SZ, 1 << 20);
    return true;
}

bool sendVideoFrame(VideoEncoder& encoder, const uint8_t* rgb, size_t bytes) {
    if (encoder.failed || encoder.frameFd < 0)
        return false;
    size_t sent = 0;
    while (sent < bytes) {
        const ssize_t wrote = write(encoder.frameFd, rgb + sent, bytes - sent);
        if (wrote < 0) {
            // A stop ends a write that an encoder stuck behind a full FIFO never takes.
            if (errno == EINTR && !interrupted())
                continue;
            encoder.failed = true;
            return false;
        }
        sent += static_cast<size_t>(wrote);
    }
    ++encoder.framesWritten;
    return true;
}

bool finishVideoEncoder(VideoEncoder& encoder, std::string& error) {
    if (encoder.pid < 0)
        return false;
    if (encoder.frameFd >= 0) {
        forgetStream(encoder.frameFd);
        close(encoder.frameFd);
    }
    encoder.frameFd = -1;
    const int status = waitForChild(encoder.pid);
    encoder.pid = -1;
    encoder.errorText = readAll(encoder.errorFd);
    if (encoder.errorFd >= 0)
        close(encoder.errorFd);
    encoder.errorFd = -1;
    error = ffmpegFailure(status, encoder.errorText);
    if (error.empty() && encoder.failed)
        error = ffmpegFailure(-1, encoder.errorText);
    return error.empty();
}

bool rewriteAsPlainMp4(const std::string& ffmpeg, const std::string& fragmented,
                       const std::string& plain, std::string& error) {
    // -copyts keeps the times as written: the first picture and the first sound at 0, with
    // the AAC encoder's priming before it, as the edit lists say.
    const std::vector<std::string> words = {
        ffmpeg,      "-hide_banner", "-loglevel", "error", "-y", "-copyts",
        "-i",        fragmented,     "-map",      "0",     "-c", "copy",
        "-movflags", "+faststart",   "-f",        "mp4",   plain};
    const int nothing = open("/dev/null", O_RDONLY | O_CLOEXEC);
    const int messagesFd = messageFile();
    const int pid = startFfmpeg(words, nothing, -1, messagesFd);
    if (nothing >= 0)
        close(nothing);
    if (pid < 0) {
        error = std::string("cannot start ffmpeg: ") + std::strerror(errno);
        if (messagesFd >= 0)
            close(messagesFd);
        return false;
    }
    const int status = waitForChild(pid);
    error = ffmpegFailure(status, readAll(messagesFd));
    if (messagesFd >= 0)
        close(messagesFd);
    return error.empty();
}
