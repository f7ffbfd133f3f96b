// Times what start-up builds once, on a private headless X server: the display lists, the four
// mesh lists and the seventeen textures read from the data folder given on the command line.
// Prints the figures; asserts nothing.
#include "geometry.h"
#include "platform.h"
#include "shell.h"
#include "textures.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace {

double millisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s DATA_DIR [ROUNDS]\n(DATA_DIR holds deita/*.jpg)\n",
                     argv[0]);
        return 2;
    }
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;
    if (chdir(argv[1]) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    std::string error;
    if (!openHeadlessWindow("parade-bench-startup", 640, 480, error)) {
        std::fprintf(stderr, "parade-bench-startup: %s\n", error.c_str());
        return 1;
    }
    std::printf("renderer: %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));

    // Later rounds rebuild the same lists and add seventeen more textures, as a repeated
    // start-up would.
    for (int round = 1; round <= rounds; ++round) {
        auto start = std::chrono::steady_clock::now();
        buildDisplayLists();
        const double lists = millisecondsSince(start);

        start = std::chrono::steady_clock::now();
        buildMeshList(669, meshHandgun);
        buildMeshList(676, meshLettering);
        buildMeshList(679, meshEmblem);
        buildMeshList(680, meshEmblemCoarse);
        const double meshes = millisecondsSince(start);

        start = std::chrono::steady_clock::now();
        loadTextureSet();
        glFinish();
        const double textures = millisecondsSince(start);

        std::printf("round %d: display lists %.1f ms, mesh lists %.1f ms, texture set %.1f ms, "
                    "total %.1f ms\n",
                    round, lists, meshes, textures, lists + meshes + textures);
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak resident memory: %.1f MiB\n", usage.ru_maxrss / 1024.0);
    // Close our connection before the server goes away.
    glutExit();
    stopPrivateXServer();
    return 0;
}
