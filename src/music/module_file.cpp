// Reading a module file: opened without blocking (a FIFO would otherwise wait for a writer),
// checked to be a regular file of bounded size, then read whole.
#include "module_file.h"

#include "platform.h"

#include <cerrno>
#include <cstring>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace {
std::string reason(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}
} // namespace

bool readModuleFile(const std::string& path, std::vector<char>& bytes, std::string& error) {
    bytes.clear();
    const int fd = openForReading(path.c_str());
    if (fd < 0) {
        error = reason("cannot open");
        return false;
    }
    struct stat info {};
    bool ok = fstat(fd, &info) == 0;
    if (!ok) {
        error = reason("cannot read");
    } else if (!S_ISREG(info.st_mode)) {
        error = "not a regular file";
        ok = false;
    } else if (static_cast<uint64_t>(info.st_size) > largestModuleBytes) {
        error = "larger than " + std::to_string(largestModuleBytes >> 20) + " MB";
        ok = false;
    }
    // Read to the end, not to the size seen (the file may have grown since), one spare byte
    // beyond it to see the end without growing the buffer.
    size_t filled = 0;
    try {
        if (ok)
            bytes.resize(static_cast<size_t>(info.st_size) + 1);
        while (ok) {
            if (filled > largestModuleBytes) {
                error = "larger than " + std::to_string(largestModuleBytes >> 20) + " MB";
                ok = false;
                break;
            }
            if (filled == bytes.size())
                bytes.resize(filled + 65536);
            const ssize_t count = read(fd, bytes.data() + filled, bytes.size() - filled);
            if (count == 0)
                break;
            if (count > 0) {
                filled += static_cast<size_t>(count);
            } else if (errno != EINTR) {
                error = reason("cannot read");
                ok = false;
            }
        }
    } catch (const std::bad_alloc&) {
        error = "not enough memory to read it";
        ok = false;
    }
    bytes.resize(ok ? filled : 0);
    close(fd);
    return ok;
}

bool moduleFileOpens(const std::string& path, std::string& error) {
    const int fd = openForReading(path.c_str());
    if (fd < 0) {
        error = reason("cannot open");
        return false;
    }
    struct stat info {};
    const bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (!ok)
        error = "not a regular file";
    close(fd);
    return ok;
}
