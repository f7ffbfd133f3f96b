// Prints the soundtrack's figures: time to synthesize, arrange, fit and build the module, and
// its sample peak and integrated loudness as libopenmpt renders it (loudness by ffmpeg's
// ebur128 filter on a WAV of that rendering).
#include "composer.h"

#include <libopenmpt/libopenmpt.hpp>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

void put16(FILE* f, uint32_t v) {
    std::fputc(v & 0xFF, f);
    std::fputc((v >> 8) & 0xFF, f);
}

void put32(FILE* f, uint32_t v) {
    put16(f, v & 0xFFFF);
    put16(f, v >> 16);
}

// 32-bit float stereo WAV.
bool writeWav(const std::string& path, const std::vector<float>& interleaved) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        return false;
    }
    const uint32_t dataBytes = static_cast<uint32_t>(interleaved.size() * 4);
    std::fwrite("RIFF", 1, 4, f);
    put32(f, 36 + dataBytes);
    std::fwrite("WAVEfmt ", 1, 8, f);
    put32(f, 16);
    put16(f, 3); // IEEE float
    put16(f, 2);
    put32(f, sampleRate);
    put32(f, sampleRate * 8);
    put16(f, 8);
    put16(f, 32);
    std::fwrite("data", 1, 4, f);
    put32(f, dataBytes);
    const bool ok = std::fwrite(interleaved.data(), 4, interleaved.size(), f) == interleaved.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace

int main() {
    const auto start = std::chrono::steady_clock::now();
    ItModule module = composeSoundtrack();
    const auto composed = std::chrono::steady_clock::now();
    std::string error;
    double peakDb = 0.0;
    if (!fitGlobalVolume(module, -1.5, peakDb, error)) {
        std::fprintf(stderr, "bench: %s\n", error.c_str());
        return 1;
    }
    std::vector<uint8_t> bytes;
    if (!buildItModule(module, bytes, error)) {
        std::fprintf(stderr, "bench: %s\n", error.c_str());
        return 1;
    }
    const auto built = std::chrono::steady_clock::now();
    const auto ms = [](auto a, auto b) {
        return std::chrono::duration<double, std::milli>(b - a).count();
    };

    std::ostringstream log;
    openmpt::module player(bytes, log);
    std::vector<float> pcm;
    std::vector<float> chunk(2 * 4096);
    while (const size_t n = player.read_interleaved_stereo(sampleRate, 4096, chunk.data())) {
        pcm.insert(pcm.end(), chunk.begin(), chunk.begin() + 2 * n);
    }
    double peak = 0.0;
    for (float v : pcm) {
        peak = std::max(peak, static_cast<double>(std::abs(v)));
    }

    char dir[] = "/tmp/parade-bench-XXXXXX";
    if (!mkdtemp(dir)) {
        std::perror("bench: mkdtemp");
        return 1;
    }
    const std::string wav = std::string(dir) + "/render.wav";
    const std::string out = std::string(dir) + "/ebur128.txt";
    double lufs = NAN;
    if (writeWav(wav, pcm)) {
        const std::string cmd =
            "ffmpeg -hide_banner -nostats -i " + wav + " -af ebur128 -f null - 2> " + out;
        if (std::system(cmd.c_str()) == 0) {
            FILE* f = std::fopen(out.c_str(), "r");
            char line[512];
            bool summary = false;
            while (f && std::fgets(line, sizeof line, f)) {
                const std::string s(line);
                summary = summary || s.find("Summary:") != std::string::npos;
                const size_t at = s.find("I:");
                if (summary && at != std::string::npos) {
                    lufs = std::atof(s.c_str() + at + 2);
                }
            }
            if (f) {
                std::fclose(f);
            }
        }
    }
    std::remove(wav.c_str());
    std::remove(out.c_str());
    rmdir(dir);

    std::printf("soundtrack: %zu bytes, %zu orders, %.2f s, global volume %d\n", bytes.size(),
                module.orders.size(), player.get_duration_seconds(), module.globalVolume);
    std::printf("time to compose: %.0f ms (synthesis and arrangement %.0f ms, fitting the "
                "volume by rendering %.0f ms)\n",
                ms(start, built), ms(start, composed), ms(composed, built));
    std::printf("peak: %.2f dBFS (sample peak, libopenmpt 44.1 kHz)\n", 20.0 * std::log10(peak));
    if (std::isnan(lufs)) {
        std::printf("integrated loudness: unavailable (ffmpeg failed)\n");
    } else {
        std::printf("integrated loudness: %.1f LUFS (ffmpeg ebur128)\n", lufs);
    }
    return 0;
}
