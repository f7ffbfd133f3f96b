// The look of the show at other sizes: for one moment in each of the 26 patterns, parade-capture's
// frame at each size against its 640x480 frame, band scaled to 640x270 and blurred (band_look.h):
// the mean difference and the mean brightness. Then the memory peak of supersampled captures,
// the capture with its X server and encoder together. Prints figures; asserts nothing.
//   parade-bench-look [--capture PROGRAM] [--data DIR] [--size WxH]... [--supersample N]
//                     [--look-only]
#include "band_look.h"
#include "png_picture.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <signal.h>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {
std::string capture = CAPTURE_PROGRAM;
std::string folder;
std::vector<std::string> dataArguments; // --data DIR, when given

// The kilobytes of a "Name:   123 kB" line of /proc/PID/status, or -1.
long statusKilobytes(pid_t pid, const char* field) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, std::string(field).size(), field) == 0)
            return std::atol(line.c_str() + std::string(field).size());
    }
    return -1;
}

void descendants(pid_t pid, std::vector<pid_t>& found) {
    found.push_back(pid);
    std::ifstream children("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) +
                           "/children");
    pid_t child = 0;
    while (children >> child)
        descendants(child, found);
}

struct Run {
    bool ok = false;
    double ownPeakMb = 0.0;   // the capture process alone (the kernel's figure)
    double totalPeakMb = 0.0; // the sum of every process's peak: capture, X server, encoder
};

// Runs the capture with `arguments`, its output silenced, watching the peaks of its processes.
Run runCapture(const std::vector<std::string>& arguments) {
    Run run;
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> argv{const_cast<char*>(capture.c_str())};
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        for (const std::string& argument : dataArguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        if (!std::freopen("/dev/null", "w", stdout) || !std::freopen("/dev/null", "w", stderr))
            _exit(127);
        execv(argv[0], argv.data());
        _exit(127);
    }
    if (pid < 0)
        return run;
    std::map<pid_t, long> peaks;
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, WNOHANG, &usage) == 0) {
        std::vector<pid_t> tree;
        descendants(pid, tree);
        for (pid_t member : tree) {
            const long peak = statusKilobytes(member, "VmHWM:");
            if (peak > peaks[member])
                peaks[member] = peak;
        }
        usleep(10000);
    }
    long total = 0;
    for (const auto& entry : peaks)
        total += entry.second;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    run.ownPeakMb = static_cast<double>(usage.ru_maxrss) / 1024.0;
    run.totalPeakMb = std::max(run.ownPeakMb, static_cast<double>(total) / 1024.0);
    return run;
}

bool lookAt(double t, const std::string& size, BandLook& look) {
    char time[32];
    std::snprintf(time, sizeof time, "%.2f", t);
    const std::string path = folder + "/" + size + "-" + time + ".png";
    if (!runCapture({"frame", time, path, "--size", size}).ok)
        return false;
    const Picture picture = readPng(path);
    unlink(path.c_str());
    if (picture.width == 0)
        return false;
    look = bandLook(picture.rgb.data(), static_cast<int>(picture.width),
                    static_cast<int>(picture.height));
    return true;
}
} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> sizes;
    std::string supersample = "2";
    bool lookOnly = false;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--capture" && i + 1 < argc) {
            capture = argv[++i];
        } else if (word == "--size" && i + 1 < argc) {
            sizes.push_back(argv[++i]);
        } else if (word == "--supersample" && i + 1 < argc) {
            supersample = argv[++i];
        } else if (word == "--data" && i + 1 < argc) {
            dataArguments = {"--data", argv[++i]};
        } else if (word == "--look-only") {
            lookOnly = true;
        } else {
            std::fprintf(
                stderr,
                "usage: %s [--capture PROGRAM] [--data DIR] [--size WxH]... "
                "[--supersample N] [--look-only]\n(default sizes 1920x1080 and 3840x2160)\n",
                argv[0]);
            return 2;
        }
    }
    if (sizes.empty())
        sizes = {"1920x1080", "3840x2160"};
    char name[] = "/tmp/parade-look-XXXXXX";
    if (!mkdtemp(name)) {
        std::perror("mkdtemp");
        return 1;
    }
    folder = name;

    std::printf(
        "the band scaled to 640x270 and blurred (Gaussian, radius 2 px) against 640x480's:\n"
        "mean difference /255 and mean brightness, one moment in each pattern\n%6s %9s",
        "t", "640x480");
    for (const std::string& size : sizes)
        std::printf(" %11s diff %11s light", size.c_str(), size.c_str());
    std::printf("\n");
    std::vector<double> worstDiff(sizes.size(), 0.0), worstLight(sizes.size(), 0.0);
    for (int pattern = 0; pattern < 26; ++pattern) {
        const double t = pattern + 0.5;
        BandLook small;
        if (!lookAt(t, "640x480", small)) {
            std::printf("%6.2f capture failed\n", t);
            continue;
        }
        std::printf("%6.2f %9.2f", t, small.brightness);
        for (size_t s = 0; s < sizes.size(); ++s) {
            BandLook large;
            if (!lookAt(t, sizes[s], large)) {
                std::printf(" %16s %17s", "failed", "");
                continue;
            }
            const double diff = lookDifference(small, large);
            const double light = large.brightness - small.brightness;
            worstDiff[s] = std::max(worstDiff[s], diff);
            worstLight[s] = std::max(worstLight[s], std::fabs(light));
            std::printf(" %16.2f %17.2f", diff, large.brightness);
        }
        std::printf("\n");
        std::fflush(stdout);
    }
    for (size_t s = 0; s < sizes.size(); ++s)
        std::printf("%s: largest difference %.2f/255, largest brightness change %.2f levels\n",
                    sizes[s].c_str(), worstDiff[s], worstLight[s]);

    if (!lookOnly) {
        std::printf("\nmemory peak with --supersample %s (capture alone; with its X server and "
                    "encoder, the sum of their peaks)\n",
                    supersample.c_str());
        for (const char* size : {"1920x1080", "3840x2160"}) {
            const std::string still = folder + "/still.png";
            const Run frame =
                runCapture({"frame", "3.5", still, "--size", size, "--supersample", supersample});
            std::printf("  frame %-9s %s: capture %.0f MB, in all %.0f MB\n", size,
                        frame.ok ? "" : "FAILED", frame.ownPeakMb, frame.totalPeakMb);
            unlink(still.c_str());
            const std::string video = folder + "/clip.mp4";
            const Run clip = runCapture({"video", video, "--from", "3.5", "--to", "3.6", "--size",
                                         size, "--supersample", supersample});
            std::printf("  video %-9s %s: capture %.0f MB, in all %.0f MB (0.1 patterns, %s)\n",
                        size, clip.ok ? "" : "FAILED", clip.ownPeakMb, clip.totalPeakMb,
                        clip.ok ? "with ffmpeg" : "is ffmpeg installed?");
            unlink(video.c_str());
        }
    }
    rmdir(folder.c_str());
    return 0;
}
