// parade-paint [--force] DIR: writes the seventeen default pictures of the texture set into
// DIR (created if needed). A picture already in DIR is kept unless --force is given. Prints
// one line when it wrote something, nothing otherwise.
#include "pictures.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <unistd.h>

namespace {

int usage(const char* program) {
    std::fprintf(stderr, "usage: %s [--force] DIR\n", program);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    bool force = false;
    std::string dir;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--force")
            force = true;
        else if (!arg.empty() && arg[0] == '-')
            return usage(argv[0]);
        else if (dir.empty())
            dir = arg;
        else
            return usage(argv[0]);
    }
    if (dir.empty())
        return usage(argv[0]);

    std::error_code failure;
    std::filesystem::create_directories(dir, failure);
    if (failure || !std::filesystem::is_directory(dir)) {
        std::fprintf(stderr, "parade-paint: cannot make directory %s%s%s\n", dir.c_str(),
                     failure ? ": " : "", failure ? failure.message().c_str() : "");
        return 1;
    }

    int written = 0, kept = 0;
    for (int i = 0; i < pictureCount; ++i) {
        std::string path = dir + "/" + pictureNames[i];
        if (!force && std::filesystem::exists(std::filesystem::symlink_status(path))) {
            ++kept;
            continue;
        }
        // Written beside its final name and moved there whole, so an interrupted run never
        // leaves a partial picture; without --force the move refuses to replace a file.
        std::string temporary = dir + "/." + pictureNames[i] + "." + std::to_string(getpid());
        std::string error;
        if (!writeJpeg(paintPicture(i), temporary, error)) {
            std::remove(temporary.c_str());
            std::fprintf(stderr, "parade-paint: %s\n", error.c_str());
            return 1;
        }
        int moved = force ? std::rename(temporary.c_str(), path.c_str())
                          : link(temporary.c_str(), path.c_str());
        int moveError = errno;
        if (!force)
            std::remove(temporary.c_str());
        if (moved != 0 && !(moveError == EEXIST && !force)) {
            std::remove(temporary.c_str());
            std::fprintf(stderr, "parade-paint: cannot write %s: %s\n", path.c_str(),
                         std::strerror(moveError));
            return 1;
        }
        ++(moved == 0 ? written : kept);
    }
    // Quiet when there was nothing to make, as on every start of the demo after the first.
    if (written > 0)
        std::printf("parade-paint: %d picture%s written, %d kept in %s\n", written,
                    written == 1 ? "" : "s", kept, dir.c_str());
    return 0;
}
