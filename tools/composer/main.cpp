// parade-compose OUT.it: writes the demo's original soundtrack as an Impulse Tracker module.
#include "composer.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: parade-compose OUT.it\n");
        return 2;
    }
    ItModule module = composeSoundtrack();
    std::string error;
    double peakDb = 0.0;
    // Stay below -1 dBFS with room for other resamplers and output rates.
    if (!fitGlobalVolume(module, -1.5, peakDb, error)) {
        std::fprintf(stderr, "parade-compose: %s\n", error.c_str());
        return 1;
    }
    if (!writeItModule(module, argv[1], error)) {
        std::fprintf(stderr, "parade-compose: %s\n", error.c_str());
        return 1;
    }
    std::printf("wrote %s: %zu orders, global volume %d, peak %.2f dBFS\n", argv[1],
                module.orders.size(), module.globalVolume, peakDb);
    return 0;
}
