// The demo's full-screen window on a 1920x1080 screen looks like parade-capture's 640x480 show
// at 26 moments, the start of every pattern: the band scaled to 640x270 and blurred differs by
// at most 2/255 and keeps its brightness within a level. The moments are exact, not searched
// for: the pictures are paused from the menu, then Home and Right jump them from pattern to
// pattern; a jump draws exactly the frame of its moment, and paused, that frame stays.
#include "band_look.h"
#include "platform.h"
#include "png_picture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

// Last: Xlib's macros (None, Bool, Status) would clash with the test framework's names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {
constexpr int screenWidth = 1920;
constexpr int screenHeight = 1080;
constexpr int patterns = 26;
// The capture's frames come 0.96 s apart, eight to a pattern: frame 8k shows t = k.
constexpr const char* captureRate = "25/24";
constexpr int framesPerPattern = 8;

using Clock = std::chrono::steady_clock;

// The whole screen as RGB rows from the top.
std::vector<uint8_t> screenshot(Display* display) {
    std::vector<uint8_t> rgb(static_cast<size_t>(screenWidth) * screenHeight * 3);
    XImage* image = XGetImage(display, DefaultRootWindow(display), 0, 0, screenWidth, screenHeight,
                              AllPlanes, ZPixmap);
    if (!image)
        return {};
    const bool direct = image->bits_per_pixel == 32 && image->red_mask == 0xff0000 &&
                        image->green_mask == 0xff00 && image->blue_mask == 0xff &&
                        image->byte_order == LSBFirst;
    for (int y = 0; y < screenHeight; ++y) {
        const auto* row = reinterpret_cast<const uint8_t*>(image->data) +
                          static_cast<size_t>(y) * static_cast<size_t>(image->bytes_per_line);
        uint8_t* out = &rgb[static_cast<size_t>(y) * screenWidth * 3];
        for (int x = 0; x < screenWidth; ++x, out += 3) {
            if (direct) {
                // BGRX bytes: the common 24-bit visual, read without a call per pixel.
                out[0] = row[x * 4 + 2];
                out[1] = row[x * 4 + 1];
                out[2] = row[x * 4];
                continue;
            }
            const unsigned long pixel = XGetPixel(image, x, y);
            out[0] = static_cast<uint8_t>((pixel & image->red_mask) >> 16);
            out[1] = static_cast<uint8_t>((pixel & image->green_mask) >> 8);
            out[2] = static_cast<uint8_t>(pixel & image->blue_mask);
        }
    }
    XDestroyImage(image);
    return rgb;
}

// Runs xdotool on the private display; true when it succeeded.
bool xdotool(const std::string& arguments) {
    return std::system(("xdotool " + arguments + " >/dev/null 2>&1").c_str()) == 0;
}

// The id of the demo's visible window, or "" when there is none yet.
std::string demoWindow() {
    std::string id;
    if (FILE* found = popen("xdotool search --onlyvisible --name parade 2>/dev/null", "r")) {
        char line[64];
        if (std::fgets(line, sizeof line, found))
            id = std::to_string(std::strtoul(line, nullptr, 10));
        pclose(found);
    }
    return id == "0" ? "" : id;
}

// How many windows are shown on the screen (the root's mapped children).
int shownWindows(Display* display) {
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count))
        return -1;
    int shown = 0;
    for (unsigned i = 0; i < count; ++i) {
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(display, children[i], &attributes) &&
            attributes.map_state == IsViewable)
            ++shown;
    }
    if (children)
        XFree(children);
    return shown;
}

// The lines of the demo's clock log: steady seconds, heard, demo time, heard.
struct LogLine {
    double seconds = 0.0, demo = 0.0;
};
std::vector<LogLine> readLog(const std::string& path) {
    std::vector<LogLine> lines;
    std::ifstream in(path);
    double seconds = 0.0, before = 0.0, demo = 0.0, after = 0.0;
    while (in >> seconds >> before >> demo >> after)
        lines.push_back({seconds, demo});
    return lines;
}

bool running(pid_t pid) {
    return waitpid(pid, nullptr, WNOHANG) == 0;
}

// Waits for `condition` up to `seconds`, checking every 50 ms; false on timeout.
template <typename Condition> bool waitFor(double seconds, Condition condition) {
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    while (Clock::now() < deadline) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

// The screen once it has not changed for `still` seconds; empty when that takes over `patience`
// seconds or the screen cannot be read.
std::vector<uint8_t> steadyScreen(Display* display, double still, double patience = 120.0) {
    const auto start = Clock::now();
    std::vector<uint8_t> shown = screenshot(display);
    auto since = start;
    while (!shown.empty()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::vector<uint8_t> now = screenshot(display);
        const auto at = Clock::now();
        if (now != shown) {
            shown = std::move(now);
            since = at;
        } else if (std::chrono::duration<double>(at - since).count() >= still) {
            return shown;
        }
        if (std::chrono::duration<double>(at - start).count() > patience)
            return {};
    }
    return {};
}

// The screen after a jump: it must change from `before` within `patience` seconds (every
// pattern's first frame differs from the one before). A loaded machine may show something in
// between, so the wait ends on the first changed screen that `looksRight`, or on one that then
// stays unchanged for `still` seconds, which the caller compares and reports. Empty when it
// never changes.
template <typename Check>
std::vector<uint8_t> settledScreen(Display* display, const std::vector<uint8_t>& before,
                                   Check looksRight, double patience = 60.0, double still = 3.0) {
    const auto start = Clock::now();
    std::vector<uint8_t> shown = before;
    auto since = start;
    bool changed = false;
    for (;;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::vector<uint8_t> now = screenshot(display);
        const auto at = Clock::now();
        if (now.empty())
            return {};
        if (now != shown) {
            shown = std::move(now);
            since = at;
            changed = true;
            if (looksRight(shown))
                return shown;
        } else if (changed && std::chrono::duration<double>(at - since).count() >= still) {
            return shown;
        }
        if (std::chrono::duration<double>(at - start).count() > patience)
            return {};
    }
}
} // namespace

TEST(LiveLook, FullScreenWindowAtEveryPatternLooksLikeTheCapture) {
    struct stat about {};
    const std::string data = CAPTURE_DEFAULT_DATA;
    ASSERT_EQ(stat((data + "/mod2.it").c_str(), &about), 0)
        << "make the default data first (scripts/make-data)";
    char name[] = "/tmp/live-look-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    const std::string folder = name;

    // The 640x480 frames of the 26 moments, in one run.
    const std::string command =
        std::string(CAPTURE_PROGRAM) + " frames " + folder + "/frames --fps " + captureRate +
        " --from 0 --to " + std::to_string(patterns - 1) + " --data " + data + " >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;

    std::string error;
    ASSERT_FALSE(startPrivateXServer(screenWidth, screenHeight, error).empty()) << error;
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);

    const std::string log = folder + "/clock.log";
    const pid_t demo = fork();
    if (demo == 0) {
        const std::string output = folder + "/output";
        if (chdir(data.c_str()) != 0 || !std::freopen(output.c_str(), "w", stdout) ||
            !std::freopen((output + ".err").c_str(), "w", stderr))
            _exit(127);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        setenv("PARADE_CLOCK_LOG", log.c_str(), 1);
        execl(PARADE_PROGRAM, PARADE_PROGRAM, "full", static_cast<char*>(nullptr));
        _exit(127);
    }
    ASSERT_GT(demo, 0);
    struct Stop {
        pid_t demo;
        Display* display;
        std::string folder;
        ~Stop() {
            kill(demo, SIGKILL);
            waitpid(demo, nullptr, 0);
            XCloseDisplay(display);
            stopPrivateXServer();
            std::system(("rm -rf " + folder).c_str());
        }
    } stop{demo, display, folder};

    std::string window;
    ASSERT_TRUE(waitFor(30.0, [&] {
        window = demoWindow();
        return !window.empty() && readLog(log).size() >= 3;
    })) << "no window with frames in 30 s";
    ASSERT_TRUE(running(demo));

    // The full-screen window covers the screen.
    XWindowAttributes attributes{};
    ASSERT_NE(XGetWindowAttributes(display, std::stoul(window), &attributes), 0);
    EXPECT_EQ(attributes.x, 0);
    EXPECT_EQ(attributes.y, 0);
    EXPECT_EQ(attributes.width, screenWidth);
    EXPECT_EQ(attributes.height, screenHeight);
    std::ifstream said(folder + "/output.err");
    for (std::string line; std::getline(said, line);)
        std::printf("the demo said: %s\n", line.c_str());

    // The longest a frame has taken so far: on a busy machine, seconds.
    const std::vector<LogLine> started = readLog(log);
    double frameSeconds = 0.0;
    for (size_t i = 1; i < started.size(); ++i)
        frameSeconds = std::max(frameSeconds, started[i].seconds - started[i - 1].seconds);

    // "(un)Pause", the menu's first entry; the menu is a window of its own while it is open.
    // Paused, the demo logs no more frames.
    ASSERT_EQ(shownWindows(display), 1);
    ASSERT_TRUE(xdotool("mousemove 400 300 click 3"));
    ASSERT_TRUE(waitFor(30.0, [&] { return shownWindows(display) == 2; })) << "no menu";
    ASSERT_TRUE(xdotool("mousemove 420 310 click 1"));
    ASSERT_TRUE(waitFor(30.0, [&] { return shownWindows(display) == 1; })) << "the menu stayed";
    size_t logged = 0;
    ASSERT_TRUE(waitFor(30.0, [&] {
        logged = readLog(log).size();
        std::this_thread::sleep_for(std::chrono::seconds(2));
        return readLog(log).size() == logged;
    })) << "the menu did not pause the pictures";

    // Where the menu was, the window is drawn again once it has closed: the jumps start from
    // that frame, once nothing has changed for several frames' time.
    std::vector<uint8_t> shown = steadyScreen(display, std::max(1.0, 4.0 * frameSeconds));
    ASSERT_FALSE(shown.empty()) << "the paused window never stood still";
    std::vector<bool> litRows(screenHeight, false);
    for (int k = 0; k < patterns; ++k) {
        ASSERT_TRUE(
            xdotool("windowfocus --sync " + window + " key " + (k == 0 ? "Home" : "Right")));
        char file[64];
        std::snprintf(file, sizeof file, "/frames/frame-%06d.png", k * framesPerPattern);
        const Picture frame = readPng(folder + file);
        ASSERT_EQ(frame.width, 640u) << file;
        const BandLook captured = bandLook(frame.rgb.data(), 640, 480);
        shown = settledScreen(display, shown, [&](const std::vector<uint8_t>& screen) {
            const BandLook look = bandLook(screen.data(), screenWidth, screenHeight);
            return lookDifference(look, captured) <= 2.0 &&
                   std::fabs(look.brightness - captured.brightness) <= 1.0;
        });
        ASSERT_TRUE(running(demo)) << "the demo ended at pattern " << k;
        ASSERT_FALSE(shown.empty()) << "no new frame after the jump to " << k;
        for (int y = 0; y < screenHeight; ++y) {
            const uint8_t* row = &shown[static_cast<size_t>(y) * screenWidth * 3];
            litRows[static_cast<size_t>(y)] =
                litRows[static_cast<size_t>(y)] ||
                std::any_of(row, row + screenWidth * 3, [](uint8_t v) { return v != 0; });
        }
        const BandLook live = bandLook(shown.data(), screenWidth, screenHeight);
        const double difference = lookDifference(live, captured);
        std::printf("t = %2d: difference %.3f/255, brightness %.2f live, %.2f captured\n", k,
                    difference, live.brightness, captured.brightness);
        std::fflush(stdout);
        EXPECT_LE(difference, 2.0) << "at t = " << k;
        EXPECT_LE(std::fabs(live.brightness - captured.brightness), 1.0) << "at t = " << k;
    }
    // The pictures stayed paused: a frame drawn between the jumps would have been logged.
    EXPECT_EQ(readLog(log).size(), logged) << "the pictures ran on during the jumps";
    // The band is the screen's own, 1920x810, its 270 spare rows split 90:120 as on 640x480
    // (116 above, 154 below): nothing is lit outside it, and over the 26 moments its top and
    // bottom rows are.
    const auto first = std::find(litRows.begin(), litRows.end(), true);
    const auto last = std::find(litRows.rbegin(), litRows.rend(), true);
    ASSERT_NE(first, litRows.end());
    EXPECT_EQ(first - litRows.begin(), 116);
    EXPECT_EQ(litRows.rend() - last, 116 + 810);
}
