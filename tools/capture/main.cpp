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
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {
constexpr int statusFailed = 1;
constexpr int statusUsage = 2;
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

// Relative TMPDIR and PATH entries would be read in the data folder once the capture has
// entered it: TMPDIR is made absolute and relative PATH entries are dropped while the working
// folder is still the caller's.
void settleEnvironment() {
    const char* temporary = std::getenv("TMPDIR");
    if (temporary && *temporary && temporary[0] != '/')
        setenv("TMPDIR", absolutePath(temporary).c_str(), 1);
    const char* path = std::getenv("PATH");
    if (!path)
        return;
    std::string kept;
    std::string entries = path;
    size_t start = 0;
    while (start <= entries.size()) {
        size_t end = entries.find(':', start);
        if (end == std::string::npos)
            end = entries.size();
        const std::string entry = entries.substr(start, end - start);
        if (!entry.empty() && entry[0] == '/')
            kept += (kept.empty() ? "" : ":") + entry;
        start = end + 1;
    }
    setenv("PATH", kept.c_str(), 1);
}

// The input of the show (the module or a picture of the data folder) that `output` is, or "".
std::string inputNamedBy(const std::string& output, const std::string& dataDir) {
    struct stat out {};
    if (stat(output.c_str(), &out) != 0)
        return "";
    const auto same = [&](const std::string& path) {
        struct stat input {};
        return stat(path.c_str(), &input) == 0 && input.st_dev == out.st_dev &&
               input.st_ino == out.st_ino;
    };
    if (same(dataDir + "/mod2.it"))
        return "mod2.it";
    DIR* pictures = opendir((dataDir + "/deita").c_str());
    if (!pictures)
        return "";
    std::string found;
    while (const dirent* entry = readdir(pictures)) {
        const std::string name = std::string("deita/") + entry->d_name;
        if (entry->d_name[0] != '.' && same(dataDir + "/" + name)) {
            found = name;
            break;
        }
    }
    closedir(pictures);
    return found;
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
    struct stat about {};
    if (stat(module.c_str(), &about) == 0 && !S_ISREG(about.st_mode)) {
        error = "the data folder " + folder + " holds a mod2.it that is not a regular file";
        return false;
    }
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

// Renders the music and, unless only the sound is wanted, opens the show and loads its
// pictures: everything that can fail on bad data, done before any output is made. Ctrl-C
// stops it at once.
bool loadShow(const CaptureOptions& options, OfflineRender& music, std::string& error) {
    setStopAtOnce(true);
    bool loaded = renderMusic(music, error);
    if (loaded && options.command != CaptureCommand::audio) {
        loaded = openCaptureContext(options.width, options.height, error, options.supersample,
                                    options.softwareRenderer);
        if (loaded) {
            std::fprintf(stderr, "parade-capture: rendering with %s\n", captureRenderer().c_str());
            prepareShow();
        }
    }
    setStopAtOnce(false);
    return loaded;
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

int stoppedBeforeWriting() {
    std::fprintf(stderr, "parade-capture: interrupted before the first frame; nothing written\n");
    return statusInterrupted;
}

// A single file that could not be written: an earlier file of that name stays as it was.
int failWriting(const std::string& error, const OutputTarget& target) {
    if (interrupted() && !target.stream)
        return stoppedBeforeWriting();
    if (interrupted()) {
        std::fprintf(stderr, "parade-capture: interrupted while writing %s\n", target.path.c_str());
        return statusInterrupted;
    }
    if (target.existing)
        return fail(error + "\n" + target.path + " is unchanged");
    return fail(error);
}

// Where the closing summary goes: not into the picture or sound sent to standard output.
// Asked before the output is written, while a replaced file is still the one there.
FILE* summaryStream(const OutputTarget& target) {
    return isStandardOutput(target.path) ? stderr : stdout;
}

int captureAudio(const CaptureOptions& options, const OutputTarget& target,
                 const OfflineRender& music) {
    std::string error;
    FILE* summary = summaryStream(target);
    const double seconds = (options.to - options.from) / unitsPerSecond;
    const std::vector<int16_t> sound =
        soundSlice(music.pcm, options.from / unitsPerSecond, seconds);
    if (!writeWav(target, sound, error))
        return failWriting(error, target);
    std::fprintf(summary, "wrote %s: %.2f s of 44100 Hz 16-bit stereo sound\n",
                 options.output.c_str(), seconds);
    return 0;
}

int captureFrame(const CaptureOptions& options, const OutputTarget& target,
                 const OfflineRender& music) {
    std::string error;
    FILE* summary = summaryStream(target);
    StrikeFeed feed = makeStrikeFeed(music.strikes, options.extraStrikes);
    renderFrameAt(options.frameTime, secondsPerFrame(options) * unitsPerSecond, feed);
    std::vector<uint8_t> rgb;
    readFrame(rgb);
    if (interrupted())
        return stoppedBeforeWriting();
    if (!writePng(target, rgb.data(), options.width, options.height, error))
        return failWriting(error, target);
    std::fprintf(summary, "wrote %s (%s)\n", options.output.c_str(),
                 describeTime(options.frameTime).c_str());
    return 0;
}

// Warns before a PNG sequence larger than half a gigabyte or than the free space.
void warnAboutLargeSequence(const CaptureOptions& options, const std::string& folder, bool exists) {
    const int64_t count = frameCount(options);
    const double estimate =
        static_cast<double>(count) * options.width * options.height * pngBytesPerPixel;
    const double available = freeBytes(exists ? folder : folderOf(folder));
    if (estimate > largeSequenceBytes || (available >= 0.0 && estimate > available)) {
        std::fprintf(stderr,
                     "parade-capture: warning: %lld frames of %dx%d will take about %s in %s "
                     "(%s free); Ctrl-C stops and keeps the frames written\n",
                     static_cast<long long>(count), options.width, options.height,
                     gigabytes(estimate).c_str(), options.output.c_str(),
                     gigabytes(available).c_str());
    }
}

int captureFrames(const CaptureOptions& options, const std::string& folder, bool exists,
                  const OfflineRender& music) {
    const int64_t count = frameCount(options);
    if (!exists) {
        if (mkdir(folder.c_str(), 0777) != 0)
            return fail("cannot make the folder " + folder + ": " + std::strerror(errno));
        // Removed at exit while it is empty, whatever ends the capture.
        removeAtExit(folder, true);
    }
    std::string error;
    // --replace: exactly the earlier run's frame files go, nothing else in the folder.
    for (const std::string& earlier : framesIn(folder)) {
        if (unlink(earlier.c_str()) != 0)
            return fail("cannot remove the earlier frame " + earlier + ": " + std::strerror(errno));
    }
    StrikeFeed feed = makeStrikeFeed(music.strikes, options.extraStrikes);
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
        if (!writePng(folder + name, rgb.data(), options.width, options.height, error)) {
            if (interrupted())
                break;
            endProgress(progress, done);
            if (done == 0) {
                if (!exists)
                    rmdir(folder.c_str());
                return fail(error);
            }
            return fail(error + "\n" + options.output + " holds the first " + std::to_string(done) +
                        " frames (" + frameSpan(options, done) + ")");
        }
        showProgress(progress, done + 1);
    }
    endProgress(progress, done);
    if (done < count) {
        if (done == 0) {
            if (!exists)
                rmdir(folder.c_str());
            return stoppedBeforeWriting();
        }
        std::fprintf(stderr, "parade-capture: interrupted: %s holds the first %lld frames (%s)\n",
                     options.output.c_str(), static_cast<long long>(done),
                     frameSpan(options, done).c_str());
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
    removeAtExit(name);
    // writeWav renames its own temporary onto the name made here.
    if (!writeWav(name, sound, error)) {
        unlink(name.c_str());
        keepAtExit(name);
        return "";
    }
    return name;
}

// Opens an existing FIFO or device for the video; -1 with `error` filled (or interrupted).
int openVideoStream(const OutputTarget& target, std::string& error) {
    int fd = -1;
    while ((fd = open(target.path.c_str(), O_WRONLY | O_CLOEXEC)) < 0 && errno == EINTR &&
           !interrupted()) {
    }
    if (fd < 0)
        error = "cannot write " + target.path + ": " + std::strerror(errno);
    return fd;
}

// The whole video `fragmented` rewritten beside `destination` as a plain mp4 with its index
// first, which every player, editor and video site takes and seeks at once. Returns its name,
// or, when the rewrite fails (said on standard error), `fragmented`, which plays as it is.
std::string plainVideo(const std::string& ffmpeg, const std::string& fragmented,
                       const std::string& destination) {
    const std::string plain = nameBeside(destination, ".plain-" + std::to_string(getpid()));
    removeAtExit(plain);
    std::string error;
    if (rewriteAsPlainMp4(ffmpeg, fragmented, plain, error)) {
        unlink(fragmented.c_str());
        keepAtExit(fragmented);
        return plain;
    }
    unlink(plain.c_str());
    keepAtExit(plain);
    std::fprintf(stderr,
                 "parade-capture: warning: cannot rewrite the video with its index first (%s); "
                 "it stays fragmented, which plays as well but seeks more slowly\n",
                 error.c_str());
    return fragmented;
}

int captureVideo(const CaptureOptions& options, const OutputTarget& target,
                 const std::string& ffmpeg, const OfflineRender& music) {
    const int64_t count = frameCount(options);
    std::string error;
    FILE* summary = summaryStream(target);
    StrikeFeed feed = makeStrikeFeed(music.strikes, options.extraStrikes);
    const std::string soundPath =
        writeTemporarySound(soundForFrames(music.pcm, options, count), error);
    if (soundPath.empty())
        return interrupted() ? stoppedBeforeWriting() : fail(error);
    const auto dropSound = [&]() {
        unlink(soundPath.c_str());
        keepAtExit(soundPath);
    };
    // A file is written beside the destination and takes its name once it holds a frame, so
    // that a capture that fails leaves an earlier file of that name as it was. A FIFO or a
    // device gets the fragments as they come.
    std::string partPath;
    int streamFd = -1;
    if (target.stream) {
        streamFd = openVideoStream(target, error);
        if (streamFd < 0) {
            dropSound();
            return interrupted() ? stoppedBeforeWriting() : fail(error);
        }
    } else {
        partPath = nameBeside(target.path, ".part-" + std::to_string(getpid()));
        removeAtExit(partPath);
    }
    VideoEncoder encoder;
    const bool started =
        startVideoEncoder(encoder, ffmpeg, partPath, soundPath, options, error, streamFd);
    if (streamFd >= 0)
        close(streamFd);
    if (!started) {
        dropSound();
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
    dropSound();
    const std::string span = frameSpan(options, done);
    std::string kept; // where a failed capture's frames are, when not at the destination
    if (!target.stream) {
        const bool madeFile = access(partPath.c_str(), F_OK) == 0;
        struct stat about {};
        const bool replacing = target.existing || lstat(target.path.c_str(), &about) == 0;
        if (done > 0 && !madeFile) {
            // Removed under us (the file, or its folder): nothing of it is left to show.
            keepAtExit(partPath);
            return fail("the video being written, " + partPath + ", was removed while it was " +
                        "written; " + target.path + " was not written");
        }
        std::string finished = partPath; // what takes the destination's name
        if (done == 0) {
            unlink(partPath.c_str());
        } else if (!encoded && !interrupted() && replacing) {
            kept = keepPartialBeside(partPath, target.path);
        } else {
            if (encoded && done == count && !interrupted())
                finished = plainVideo(ffmpeg, partPath, target.path);
            if (std::rename(finished.c_str(), target.path.c_str()) != 0) {
                // The message names where the video is, so it stays there.
                keepAtExit(finished);
                return fail("cannot rename " + finished + " to " + target.path + ": " +
                            std::strerror(errno) + "; the video is in " + finished);
            }
        }
        keepAtExit(finished);
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
        const double available = freeBytes(folderOf(target.path));
        if (!target.stream && available >= 0.0 && available < 1e6)
            message += "\nthe disk holding " + target.path + " is full";
        if (!kept.empty())
            message += "\n" + target.path + " is unchanged; the " + std::to_string(done) +
                       " frames written before the failure are in " + kept +
                       ", which plays up to its last whole second";
        else if (done > 0 && !target.stream)
            message += "\n" + options.output + " keeps what was written before the failure; it " +
                       "plays up to its last whole second";
        return fail(message);
    }
    std::fprintf(summary, "wrote %s: %lld frames of %dx%d at %lld/%lld fps, %.2f s (%s)\n",
                 options.output.c_str(), static_cast<long long>(count), options.width,
                 options.height, static_cast<long long>(options.fpsNumerator),
                 static_cast<long long>(options.fpsDenominator),
                 static_cast<double>(count) * secondsPerFrame(options), span.c_str());
    return 0;
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
    settleEnvironment();
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
    OutputTarget target;
    std::string framesFolder;
    bool framesFolderExists = false;
    if (!options.output.empty()) {
        options.output = absolutePath(options.output);
        const bool ready =
            options.command == CaptureCommand::frames
                ? resolveFramesFolder(options.output, framesFolder, framesFolderExists, error)
                : resolveOutput(options.output, target, error);
        if (!ready)
            return fail(error);
        const std::string input = options.command == CaptureCommand::frames
                                      ? ""
                                      : inputNamedBy(options.output, options.dataDir);
        if (!input.empty())
            return fail("cannot write " + options.output + ": it is the show's own " + input +
                        " in " + options.dataDir);
    }
    if (options.command == CaptureCommand::frames && framesFolderExists) {
        // Frames of an earlier run would lie beside the new ones as if they were the same take.
        const std::vector<std::string> earlier = framesIn(framesFolder);
        if (!earlier.empty() && !options.replaceFrames)
            return fail(framesFolder + " holds " + std::to_string(earlier.size()) +
                        " frames of an earlier capture; add --replace to replace them, or "
                        "choose another folder");
    }
    if (options.command == CaptureCommand::frames)
        warnAboutLargeSequence(options, framesFolder, framesFolderExists);
    if (chdir(options.dataDir.c_str()) != 0)
        return fail("cannot enter the data folder " + options.dataDir + ": " +
                    std::strerror(errno));
    installInterruptHandlers();
    if (options.command == CaptureCommand::bench)
        return runBenchmark(options, ffmpeg);
    OfflineRender music;
    if (!loadShow(options, music, error))
        return fail(error);
    if (interrupted())
        return stoppedBeforeWriting();
    switch (options.command) {
    case CaptureCommand::video:
        return captureVideo(options, target, ffmpeg, music);
    case CaptureCommand::frames:
        return captureFrames(options, framesFolder, framesFolderExists, music);
    case CaptureCommand::frame:
        return captureFrame(options, target, music);
    case CaptureCommand::audio:
        return captureAudio(options, target, music);
    case CaptureCommand::bench:
    case CaptureCommand::help:
        break;
    }
    return 0;
}
