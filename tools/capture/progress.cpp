// The progress display: a bar redrawn in place on a terminal, a plain line every few seconds
// in a log.
#include "capture.h"

#include <ctime>
#include <unistd.h>

namespace {
constexpr double terminalInterval = 0.25; // seconds between redraws on a terminal
constexpr double logInterval = 5.0;       // seconds between lines in a log
constexpr int barWidth = 30;
} // namespace

double wallSeconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

std::string formatDuration(double seconds) {
    if (!(seconds >= 0.0))
        seconds = 0.0;
    const long whole = static_cast<long>(seconds + 0.5);
    char text[32];
    if (whole >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60,
                      whole % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

void startProgress(Progress& progress, const std::string& label, int64_t total) {
    progress.total = total;
    progress.label = label;
    progress.startSeconds = wallSeconds();
    progress.lastShown = -1.0;
    progress.terminal = isatty(fileno(progress.out)) != 0;
}

void showProgress(Progress& progress, int64_t done) {
    const double now = wallSeconds();
    const double interval = progress.terminal ? terminalInterval : logInterval;
    if (progress.lastShown >= 0.0 && now - progress.lastShown < interval)
        return;
    if (!progress.terminal && progress.lastShown < 0.0) {
        // The first log line comes after the first interval, with a meaningful speed.
        progress.lastShown = now;
        return;
    }
    progress.lastShown = now;
    const double elapsed = now - progress.startSeconds;
    const double speed = elapsed > 0.0 ? static_cast<double>(done) / elapsed : 0.0;
    const double left = speed > 0.0 ? static_cast<double>(progress.total - done) / speed : 0.0;
    const std::string remaining = speed > 0.0 ? formatDuration(left) : "?";
    if (progress.terminal) {
        const int filled =
            progress.total > 0 ? static_cast<int>(barWidth * done / progress.total) : 0;
        std::string bar(static_cast<size_t>(filled), '#');
        bar.resize(barWidth, '.');
        std::fprintf(progress.out, "\r%s [%s] %lld/%lld frames  %.1f fps  %s left \033[K",
                     progress.label.c_str(), bar.c_str(), static_cast<long long>(done),
                     static_cast<long long>(progress.total), speed, remaining.c_str());
    } else {
        std::fprintf(progress.out, "%s: %lld/%lld frames, %.1f fps, %s left\n",
                     progress.label.c_str(), static_cast<long long>(done),
                     static_cast<long long>(progress.total), speed, remaining.c_str());
    }
    std::fflush(progress.out);
}

void endProgress(Progress& progress, int64_t done) {
    const double elapsed = wallSeconds() - progress.startSeconds;
    const double speed = elapsed > 0.0 ? static_cast<double>(done) / elapsed : 0.0;
    if (progress.terminal)
        std::fprintf(progress.out, "\r\033[K");
    std::fprintf(progress.out, "%s: %lld/%lld frames in %s (%.1f fps)\n", progress.label.c_str(),
                 static_cast<long long>(done), static_cast<long long>(progress.total),
                 formatDuration(elapsed).c_str(), speed);
    std::fflush(progress.out);
}
