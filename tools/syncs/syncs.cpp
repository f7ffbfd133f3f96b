// parade-syncs FILE: renders a module offline and reports what the show would see of it: its
// title, orders and pace, the strikes of every instrument (and which SyncPoint each drives),
// and warnings when the module cannot serve the show. With --tsv, one strike a line instead.
#include "music.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <map>
#include <string>

namespace {
const char* const usage = "usage: parade-syncs [--tsv] FILE\n"
                          "  Lists the instrument strikes of a tracker module as the demo's syncs "
                          "see them.\n"
                          "  --tsv  one strike a line: seconds, order, pattern, row, tick, "
                          "channel, instrument\n";

constexpr int showTempo = 125;
constexpr int showSpeed = 6;

double secondsOf(int64_t frames) {
    return static_cast<double>(frames) / musicSampleRate;
}

void printTsv(const OfflineRender& render) {
    for (const Strike& s : render.strikes) {
        std::printf("%.6f\t%d\t%d\t%d\t%d\t%d\t%d\n", secondsOf(s.samplePosition), s.order,
                    s.pattern, s.row, s.tick, s.channel + 1, s.instrument);
    }
}

struct InstrumentSummary {
    int strikes = 0;
    int64_t first = 0;
    int64_t last = 0;
};

void printReport(const OfflineRender& render) {
    std::printf("title:   \"%s\"\n", render.title.c_str());
    std::printf("orders:  %d\n", render.orders);
    std::printf("pace:    tempo %d, speed %d at the start\n", render.tempo, render.speed);
    if (render.cut)
        std::printf("length:  longer than the show; its first %.3f s, which the show plays, are "
                    "listed\n",
                    secondsOf(static_cast<int64_t>(render.pcm.size() / 2)));
    else
        std::printf("length:  %.3f s\n", secondsOf(static_cast<int64_t>(render.pcm.size() / 2)));
    std::printf("strikes: %zu\n\n", render.strikes.size());

    std::map<int, InstrumentSummary> byInstrument;
    for (int point = 0; point < syncPointCount; ++point)
        byInstrument[syncInstrument[point]];
    for (const Strike& s : render.strikes) {
        InstrumentSummary& summary = byInstrument[s.instrument];
        if (summary.strikes++ == 0)
            summary.first = s.samplePosition;
        summary.last = s.samplePosition;
    }
    std::printf("instrument  SyncPoint  strikes    first (s)     last (s)\n");
    for (const auto& [instrument, summary] : byInstrument) {
        const int point = syncPointOfInstrument(instrument);
        const std::string pointText = point >= 0 ? std::to_string(point) : "-";
        if (summary.strikes == 0) {
            std::printf("%10d  %9s  %7d  %11s  %11s\n", instrument, pointText.c_str(), 0, "-", "-");
        } else {
            std::printf("%10d  %9s  %7d  %11.3f  %11.3f\n", instrument, pointText.c_str(),
                        summary.strikes, secondsOf(summary.first), secondsOf(summary.last));
        }
    }

    int warnings = 0;
    if (render.orders == 0) {
        std::printf("\nwarning: the module has no orders to play: the show runs in silence\n");
        ++warnings;
    }
    if (render.offPaceRows > 0) {
        std::printf("%swarning: %d rows play at a pace other than tempo %d, speed %d (the first "
                    "at order %d, row %d): the pictures keep that pace and drift from the music\n",
                    warnings++ == 0 ? "\n" : "", render.offPaceRows, showTempo, showSpeed,
                    render.firstOffPaceOrder, render.firstOffPaceRow);
    }
    for (int point = 0; point < syncPointCount; ++point) {
        const int instrument = syncInstrument[point];
        if (byInstrument[instrument].strikes == 0) {
            std::printf("%swarning: instrument %d is never struck: SyncPoint %d never flashes\n",
                        warnings++ == 0 ? "\n" : "", instrument, point);
        }
    }
    if (warnings == 0)
        std::printf("\nThe module can serve the show.\n");
}
} // namespace

int main(int argc, char** argv) {
    bool tsv = false;
    const char* path = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--tsv") == 0) {
            tsv = true;
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(usage, stdout);
            return 0;
        } else if (path == nullptr && argv[i][0] != '-') {
            path = argv[i];
        } else {
            std::fputs(usage, stderr);
            return 2;
        }
    }
    if (path == nullptr) {
        std::fputs(usage, stderr);
        return 2;
    }
    try {
        OfflineRender render;
        std::string error;
        if (!renderModuleOffline(path, render, error)) {
            std::fprintf(stderr, "parade-syncs: %s: %s\n", path, error.c_str());
            return 1;
        }
        if (tsv)
            printTsv(render);
        else
            printReport(render);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "parade-syncs: %s: %s\n", path, failure.what());
        return 1;
    }
    return 0;
}
