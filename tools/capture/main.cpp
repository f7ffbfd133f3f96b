// parade-capture: the show to video, PNG frames or sound, rendered deterministically without a
// display or a sound card, and the performance benchmark. Every input is checked before any
// output is made, so bad input leaves nothing behind.
#include "capture.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {
constexpr int statusFailed = 1;
constexpr int statusUsage = 2;
constexpr int statusInterrupted = 130;
// PNG sequences above this size get a warning first.
constexpr double largeSequenceBytes = 5e8;
// Bytes of PNG per pixel of this show's frames, measured on the default data (65 to 90 KB a
// 640x480 frame).
constexpr double pngBytesPerPixel = 0.25;

int fail(const std::string& message) {
    std::fprintf(stderr, "parade-capture: %s\n", message.c_str());
    return statusFailed;
}

std::string absolutePath(const std::string& path) {
    if (!path.empty() && path[0] == '/')
        return path;
    char here[PATH_MAX];
    if (!getcwd(here, sizeof here))
        return path;
    return std::string(here) + "/" + path;
}

bool isFolder(const std::string& path) {
    struct stat about {};
    return stat(path.c_str(), &about) == 0 && S_ISDIR(about.st_mode);
}

bool checkDataFolder(const std::string& folder, std::string& error) {
    if (!isFolder(folder)) {
        error = "the data folder " + folder +
                " does not exist (name the folder with mod2.it and deita/ with --data)";
        return false;
    }
    const std::string module = folder + "/mod2.it";
    if (access(module.c_str(), R_OK) != 0) {
        error = "the data folder " + folder + " has no readable mod2.it (the default data is " +
                "made by ./run in build/data)";
        return false;
    }
    if (!isFolder(folder + "/deita")) {
        error = "the data folder " + folder + " has no pictures folder deita/";
        return false;
    }
    return true;
}

double freeBytes(const std::string& folder) {
    struct statvfs about {};
    if (statvfs(folder.c_str(), &about) != 0)
        return -1.0;
    return static_cast<double>(about.f_bavail) * static_cast<double>(about.f_frsize);
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
}

std::string gigabytes(double bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f GB", bytes / 1e9);
    return text;
}

// This program's own path, or "" when it cannot be read.
std::string programPath() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return "";
    path[length] = '\0';
    return path;
}

bool renderMusic(OfflineRender& music, std::string& error) {
    std::fprintf(stderr, "parade-capture: rendering the music of mod2.it\n");
    if (!renderModuleOffline("mod2.it", music, error)) {
        error = "cannot play mod2.it: " + error;
        return false;
    }
    return true;
}

bool openShow(const CaptureOptions& options, std::string& error) {
    if (!openCaptureContext(options.width, options.height, error))
        return false;
    prepareShow();
    return true;
}

double secondsPerFrame(const CaptureOptions& options) {
    return static_cast<double>(options.fpsDenominator) / static_cast<double>(options.fpsNumerator);
}

std::string describeTime(double t) {
    char text[48];
    std::snprintf(text, sizeof text, "t = %.4f", t);
    return text;
}

// The demo times of the first `done` frames: "t = 3.4000 to 3.4954".
std::string frameSpan(const CaptureOptions& options, int64_t done) {
    char text[64];
    std::snprintf(text, sizeof text, "t = %.4f to %.4f", frameTimeAt(options, 0),
                  frameTimeAt(options, std::max<int64_t>(done - 1, 0)));
    return text;
}

int captureAudio(const CaptureOptions& options) {
    OfflineRender music;
    std::string error;
    if (!renderMusic(music, error))
        return fail(error);
    const double seconds = (options.to - options.from) / unitsPerSecond;
    const std::vector<int16_t> sound =
        soundSlice(music.pcm, options.from / unitsPerSecond, seconds);
    if (!writeWav(options.output, sound, error))
        return fail(error);
    std::printf("wrote %s: %.2f s of 44100 Hz 16-bit stereo sound\n", options.output.c_str(),
                seconds);
    return 0;
}

int captureFrame(const CaptureOptions& options) {
    OfflineRender music;
    std::string error;
    if (!renderMusic(music, error))
        return fail(error);
    StrikeFeed feed = makeStrikeFeed(music.strikes, options.extraStrikes);
    if (!openShow(options, error))
        return fail(error);
    primeShowAt(options.frameTime, secondsPerFrame(options) * unitsPerSecond, feed);
    renderFrame(static_cast<float>(options.frameTime), feed);
    std::vector<uint8_t> rgb;
    readFrame(rgb);
    if (!writePng(options.output, rgb.data(), options.width, options.height, error))
        return fail(error);
    std::printf("wrote %s (%s)\n", options.output.c_str(), describeTime(options.frameTime).c_str());
    return 0;
}

int captureFrames(const CaptureOptions& options, bool madeFolder) {
    const int64_t count = frameCount(options);
    const double estimate =
        static_cast<double>(count) * options.width * options.height * pngBytesPerPixel;
    const double available = freeBytes(options.output);
    if (estimate > largeSequenceBytes || (available >= 0.0 && estimate > available)) {
        std::fprintf(stderr,
                     "parade-capture: warning: %lld frames of %dx%d will take about %s in %s "
                     "(%s free); Ctrl-C stops and keeps the frames written\n",
                     static_cast<long long>(count), options.width, options.height,
                     gigabytes(estimate).c_str(), options.output.c_str(),
                     gigabytes(available).c_str());
    }
    OfflineRender music;
    std::string error;
    const auto failAndTidy = [&](const std::string& message) {
        if (madeFolder)
            rmdir(options.output.c_str());
        return fail(message);
    };
    if (!renderMusic(music, error))
        return failAndTidy(error);
    StrikeFeed feed = makeStrikeFeed(music.strikes, options.extraStrikes);
    if (!openShow(options, error))
        return failAndTidy(error);
    const double step = secondsPerFrame(options) * unitsPerSecond;
    primeShowAt(options.from, step, feed);
    Progress progress;
    startProgress(progress, "frames", count);
    std::vector<uint8_t> rgb;
    int64_t done = 0;
    for (; done < count && !interrupted(); ++done) {
        renderFrame(static_cast<float>(frameTimeAt(options, done)), feed);
        readFrame(rgb);
        char name[32];
        std::snprintf(name, sizeof name, "/frame-%06lld.png", static_cast<long long>(done));
        if (!writePng(options.output + name, rgb.data(), options.width, options.height, error)) {
            endProgress(progress, done);
            if (done == 0)
                return failAndTidy(error);
            return fail(error + "\n" + options.output + " holds the first " + std::to_string(done) +
                        " frames (" + frameSpan(options, done) + ")");
        }
        showProgress(progress, done + 1);
    }
    endProgress(progress, done);
    if (done < count) {
        if (done == 0) {
            if (madeFolder)
                rmdir(options.output.c_str());
            std::fprintf(stderr, "parade-capture: interrupted before the first frame\n");
        } else {
            std::fprintf(stderr,
                         "parade-capture: interrupted: %s holds the first %lld frames (%s)\n",
                         options.output.c_str(), static_cast<long long>(done),
                         frameSpan(options, done).c_str());
        }
        return statusInterrupted;
    }
    std::printf("wrote %lld frames of %dx%d to %s\n", static_cast<long long>(count), options.width,
                options.height, options.output.c_str());
    return 0;
}

// Writes the sound for the frames to a temporary WAV file for ffmpeg; "" on failure.
std::string writeTemporarySound(const std::vector<int16_t>& sound, std::string& error) {
    const char* folder = std::getenv("TMPDIR");
    std::string name = std::string(folder && *folder ? folder : "/tmp") + "/parade-capture-XXXXXX";
    std::vector<char> writable(name.begin(), name.end());
    writable.push_back('\0');
    const int fd = mkstemp(writable.data());
    if (fd < 0) {
        error = "cannot make a temporary file in " + folderOf(name) + ": " + std::strerror(errno);
        return "";
    }
    close(fd);
    name = writable.data();
    // writeWav renames its own temporary onto the name made here.
    if (!writeWav(name, sound, error)) {
        unlink(name.c_str());
        return "";
    }
    return name;
}

int captureVideo(const CaptureOptions& options, const std::string& ffmpeg) {
    const int64_t count = frameCount(options);
    OfflineRender music;
    std::string error;
    if (!renderMusic(music, error))
        return fail(error);
    StrikeFeed feed = makeStrikeFeed(music.strikes, options.extraStrikes);
    const std::string soundPath =
        writeTemporarySound(soundForFrames(music.pcm, options, count), error);
    if (soundPath.empty())
        return fail(error);
    if (!openShow(options, error)) {
        unlink(soundPath.c_str());
        return fail(error);
    }
    // ffmpeg writes beside the destination; the file takes its name once it holds a frame, so
    // a capture that fails early leaves an earlier file of that name as it was.
    const std::string partPath = options.output + ".part-" + std::to_string(getpid());
    VideoEncoder encoder;
    if (!startVideoEncoder(encoder, ffmpeg, partPath, soundPath, options, error)) {
        unlink(soundPath.c_str());
        return fail(error);
    }
    const double step = secondsPerFrame(options) * unitsPerSecond;
    primeShowAt(options.from, step, feed);
    Progress progress;
    startProgress(progress, "video", count);
    std::vector<uint8_t> rgb;
    int64_t done = 0;
    for (; done < count && !interrupted(); ++done) {
        renderFrame(static_cast<float>(frameTimeAt(options, done)), feed);
        readFrame(rgb);
        if (!sendVideoFrame(encoder, rgb.data(), rgb.size()))
            break;
        showProgress(progress, done + 1);
    }
    endProgress(progress, done);
    const bool encoded = finishVideoEncoder(encoder, error);
    unlink(soundPath.c_str());
    const std::string span = frameSpan(options, done);
    const bool madeFile = access(partPath.c_str(), F_OK) == 0;
    if (done == 0 || !madeFile) {
        unlink(partPath.c_str());
        done = 0;
    } else if (std::rename(partPath.c_str(), options.output.c_str()) != 0) {
        return fail("cannot rename " + partPath + " to " + options.output + ": " +
                    std::strerror(errno));
    }
    if (interrupted() && done < count) {
        if (done == 0)
            std::fprintf(stderr, "parade-capture: interrupted before the first frame; "
                                 "nothing written\n");
        else if (encoded)
            std::fprintf(stderr,
                         "parade-capture: interrupted: %s holds the first %lld frames (%s), "
                         "a playable video\n",
                         options.output.c_str(), static_cast<long long>(done), span.c_str());
        else
            std::fprintf(stderr, "parade-capture: interrupted, and %s\n", error.c_str());
        return statusInterrupted;
    }
    if (!encoded) {
        std::string message = error;
        const double available = freeBytes(folderOf(options.output));
        if (available >= 0.0 && available < 1e6)
            message += "\nthe disk holding " + options.output + " is full";
        if (done > 0)
            message += "\n" + options.output + " keeps what was written before the failure; it " +
                       "plays up to its last whole second";
        return fail(message);
    }
    std::printf("wrote %s: %lld frames of %dx%d at %lld/%lld fps, %.2f s (%s)\n",
                options.output.c_str(), static_cast<long long>(count), options.width,
                options.height, static_cast<long long>(options.fpsNumerator),
                static_cast<long long>(options.fpsDenominator),
                static_cast<double>(count) * secondsPerFrame(options), span.c_str());
    return 0;
}

// Makes the frames folder when it is missing. `made` tells whether it was made here.
bool prepareFramesFolder(const std::string& folder, bool& made, std::string& error) {
    made = false;
    if (!isFolder(folder)) {
        if (mkdir(folder.c_str(), 0777) != 0) {
            error = "cannot make the folder " + folder + ": " + std::strerror(errno);
            return false;
        }
        made = true;
    }
    if (!checkWritable(folder + "/frame-000000.png", error)) {
        if (made)
            rmdir(folder.c_str());
        return false;
    }
    return true;
}
} // namespace

int main(int argc, char** argv) {
    CaptureOptions options;
    std::string error;
    if (!parseCaptureCommandLine(argc, argv, options, error)) {
        std::fprintf(stderr, "parade-capture: %s\n", error.c_str());
        return statusUsage;
    }
    if (options.command == CaptureCommand::help) {
        std::fputs(captureUsage, stdout);
        return 0;
    }
    if (!options.dataGiven && access("mod2.it", F_OK) != 0) {
        // Run from elsewhere, such as the repository: the build's own data beside the program.
        const std::string beside = folderOf(programPath()) + "/data";
        if (access((beside + "/mod2.it").c_str(), F_OK) == 0) {
            options.dataDir = beside;
            std::fprintf(stderr, "parade-capture: using the data in %s\n", beside.c_str());
        }
    }
    if (!checkDataFolder(options.dataDir, error))
        return fail(error);
    std::string ffmpeg;
    if (options.command == CaptureCommand::video || options.command == CaptureCommand::bench) {
        ffmpeg = findProgram("ffmpeg");
        if (ffmpeg.empty())
            return fail("ffmpeg is not on PATH; the video needs it (Debian: apt-get install "
                        "ffmpeg)");
    }
    bool madeFolder = false;
    if (!options.output.empty()) {
        options.output = absolutePath(options.output);
        const bool ready = options.command == CaptureCommand::frames
                               ? prepareFramesFolder(options.output, madeFolder, error)
                               : checkWritable(options.output, error);
        if (!ready)
            return fail(error);
    }
    if (chdir(options.dataDir.c_str()) != 0)
        return fail("cannot enter the data folder " + options.dataDir + ": " +
                    std::strerror(errno));
    installInterruptHandlers();
    switch (options.command) {
    case CaptureCommand::video:
        return captureVideo(options, ffmpeg);
    case CaptureCommand::frames:
        return captureFrames(options, madeFolder);
    case CaptureCommand::frame:
        return captureFrame(options);
    case CaptureCommand::audio:
        return captureAudio(options);
    case CaptureCommand::bench:
        return runBenchmark(options, ffmpeg);
    case CaptureCommand::help:
        break;
    }
    return 0;
}
