// Prints the time to make all default data: the seventeen pictures, the mesh tables and, when
// the build has it, the soundtrack; each generator runs as the build and ./run call it.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Runs a command and returns its wall time in seconds, or a negative value when it fails.
double timed(const std::string& command) {
    auto start = std::chrono::steady_clock::now();
    int status = std::system((command + " >/dev/null").c_str());
    std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return elapsed.count();
}

} // namespace

int main() {
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("parade-bench-data-" + std::to_string(getpid()));
    fs::create_directories(dir);
    struct Step {
        const char* what;
        std::string program; // empty when the build has no such generator
        std::string argument;
    };
    Step steps[] = {
        {"pictures (parade-paint)", PARADE_PAINT, "--force " + (dir / "deita").string()},
        {"mesh tables (parade-meshmaker)", PARADE_MESHMAKER, (dir / "meshes.cpp").string()},
        {"soundtrack (parade-compose)", PARADE_COMPOSE, (dir / "mod2.it").string()},
    };
    double total = 0;
    bool failed = false;
    for (const Step& step : steps) {
        if (step.program.empty()) {
            std::printf("%-32s not built\n", step.what);
            continue;
        }
        double seconds = timed(step.program + " " + step.argument);
        if (seconds < 0) {
            std::printf("%-32s FAILED\n", step.what);
            failed = true;
            continue;
        }
        std::printf("%-32s %8.3f s\n", step.what, seconds);
        total += seconds;
    }
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    std::printf("%-32s %8.3f s\n", "all data", total);
    std::printf("%-32s %8ld KiB\n", "largest generator peak memory", usage.ru_maxrss);
    fs::remove_all(dir);
    return failed ? 1 : 0;
}
