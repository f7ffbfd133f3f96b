// Writes a small soundtrack for the director's end-to-end tests: all sixteen instruments
// struck in turn, four per row, so every watched instrument keeps the envelopes busy.
// usage: parade-director-module OUT.it
#include "itwriter.h"

#include <cmath>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT.it\n", argv[0]);
        return 2;
    }
    ItModule module;
    module.title = "director fixture";
    module.channels = 4;
    for (int n = 1; n <= 16; ++n) {
        ItInstrument instrument;
        instrument.name = "tone " + std::to_string(n);
        // A short decaying tone, a different pitch for each instrument.
        for (int i = 0; i < 4000; ++i) {
            const double level = std::exp(-i / 800.0);
            instrument.pcm.push_back(static_cast<int16_t>(
                8000.0 * level *
                std::sin(i * 2.0 * 3.14159265358979 * (110.0 + 20.0 * n) / 44100.0)));
        }
        module.instruments.push_back(instrument);
    }
    ItPattern pattern;
    for (int row = 0; row < 64; ++row)
        for (int channel = 0; channel < 4; ++channel) {
            ItCell cell;
            cell.note = itNoteC5;
            cell.instrument = static_cast<uint8_t>(1 + (row * 4 + channel) % 16);
            pattern.rows[row].push_back(cell);
        }
    module.patterns.push_back(pattern);
    module.orders = std::vector<int>(30, 0);
    std::string error;
    if (!writeItModule(module, argv[1], error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    return 0;
}
