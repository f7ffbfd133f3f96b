// Output files: WAV and PNG, each written to a temporary file beside its destination and
// renamed into place only when it is whole (or, to a FIFO or device, written in place), plus
// the checks made before a capture starts.
#include "capture.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <stdio_ext.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
std::string describeErrno(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

// Opens a new temporary file beside `path` with the permissions an ordinary file gets.
FILE* openTemporaryBeside(const std::string& path, std::string& temporary, std::string& error) {
    temporary = path + ".part-XXXXXX";
    std::vector<char> name(temporary.begin(), temporary.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0) {
        error = describeErrno("cannot write", path);
        return nullptr;
    }
    temporary = name.data();
    removeAtExit(temporary);
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    FILE* file = fdopen(fd, "wb");
    if (!file) {
        error = describeErrno("cannot write", path);
        close(fd);
        unlink(temporary.c_str());
        keepAtExit(temporary);
    }
    return file;
}

// Opens the output: a temporary file beside a file to be replaced, or the stream itself
// (`temporary` stays empty). An open that waits for a FIFO's reader gives way to Ctrl-C.
FILE* openOutput(const OutputTarget& target, std::string& temporary, std::string& error) {
    temporary.clear();
    if (!target.stream)
        return openTemporaryBeside(target.path, temporary, error);
    int fd = -1;
    while ((fd = open(target.path.c_str(), O_WRONLY | O_CLOEXEC)) < 0 && errno == EINTR &&
           !interrupted()) {
    }
    FILE* file = fd >= 0 ? fdopen(fd, "wb") : nullptr;
    if (file)
        stopWritesOnInterrupt(fd);
    if (!file) {
        error = errno == EINTR ? "interrupted before " + target.path + " was opened"
                               : describeErrno("cannot write", target.path);
        if (fd >= 0)
            close(fd);
    }
    return file;
}

// Closes the temporary file and renames it onto `path`; removes it on any failure.
bool closeAndRename(FILE* file, bool written, const std::string& temporary, const std::string& path,
                    std::string& error) {
    if (written && (std::fflush(file) != 0 || std::ferror(file))) {
        error = describeErrno("cannot write", path);
        written = false;
    }
    if (std::fclose(file) != 0 && written) {
        error = describeErrno("cannot write", path);
        written = false;
    }
    if (written && std::rename(temporary.c_str(), path.c_str()) != 0) {
        error = describeErrno("cannot rename the finished file to", path);
        written = false;
    }
    if (!written)
        unlink(temporary.c_str());
    keepAtExit(temporary);
    return written;
}

// Finishes the output opened by openOutput.
bool closeOutput(FILE* file, bool written, const OutputTarget& target, const std::string& temporary,
                 std::string& error) {
    if (!target.stream)
        return closeAndRename(file, written, temporary, target.path, error);
    // After a stop, what stdio still holds is dropped: a reader that stopped reading would
    // hold the close for ever.
    if (interrupted()) {
        __fpurge(file);
        if (written)
            error = "interrupted while writing " + target.path;
        written = false;
    }
    forgetStream(fileno(file));
    if (written && (std::fflush(file) != 0 || std::ferror(file))) {
        error = describeErrno("cannot write", target.path);
        written = false;
    }
    if (std::fclose(file) != 0 && written) {
        error = describeErrno("cannot write", target.path);
        written = false;
    }
    return written;
}

void putLittleEndian(uint8_t* at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        at[i] = static_cast<uint8_t>(value >> (8 * i));
}

struct PngWrite {
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::string message;
};

void pngError(png_structp png, png_const_charp message) {
    auto* state = static_cast<PngWrite*>(png_get_error_ptr(png));
    state->message = message;
    png_longjmp(png, 1);
}

void pngWarning(png_structp, png_const_charp) {}

// The libpng calls, apart so that setjmp has no C++ objects of its own to skip over.
bool encodePng(FILE* file, const uint8_t* rgb, int width, int height, PngWrite& state) {
    state.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &state, pngError, pngWarning);
    if (!state.png)
        return false;
    state.info = png_create_info_struct(state.png);
    if (!state.info)
        return false;
    if (setjmp(png_jmpbuf(state.png)))
        return false;
    png_init_io(state.png, file);
    png_set_IHDR(state.png, state.info, static_cast<png_uint_32>(width),
                 static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(state.png, 3);
    png_write_info(state.png, state.info);
    for (int y = 0; y < height; ++y)
        png_write_row(state.png, rgb + static_cast<size_t>(y) * width * 3);
    png_write_end(state.png, state.info);
    return true;
}
} // namespace

bool writeWav(const std::string& path, const std::vector<int16_t>& stereo, std::string& error) {
    return writeWav(OutputTarget{path, false, false}, stereo, error);
}

bool writeWav(const OutputTarget& target, const std::vector<int16_t>& stereo, std::string& error) {
    const uint64_t dataBytes = static_cast<uint64_t>(stereo.size()) * 2;
    if (dataBytes > 0xFFFFFFFFull - 36) {
        error = "the sound is too long for a WAV file";
        return false;
    }
    std::string temporary;
    FILE* file = openOutput(target, temporary, error);
    if (!file)
        return false;
    uint8_t header[44] = {'R', 'I', 'F', 'F', 0, 0, 0,   0,   'W', 'A', 'V', 'E', 'f', 'm', 't',
                          ' ', 0,   0,   0,   0, 0, 0,   0,   0,   0,   0,   0,   0,   0,   0,
                          0,   0,   0,   0,   0, 0, 'd', 'a', 't', 'a', 0,   0,   0,   0};
    putLittleEndian(header + 4, static_cast<uint32_t>(36 + dataBytes), 4);
    putLittleEndian(header + 16, 16, 4);                      // format chunk size
    putLittleEndian(header + 20, 1, 2);                       // PCM
    putLittleEndian(header + 22, 2, 2);                       // channels
    putLittleEndian(header + 24, musicSampleRate, 4);         // frames a second
    putLittleEndian(header + 28, musicSampleRate * 2 * 2, 4); // bytes a second
    putLittleEndian(header + 32, 4, 2);                       // bytes a frame
    putLittleEndian(header + 34, 16, 2);                      // bits a sample
    putLittleEndian(header + 40, static_cast<uint32_t>(dataBytes), 4);
    bool written = std::fwrite(header, 1, sizeof header, file) == sizeof header;
    std::vector<uint8_t> block;
    const size_t blockSamples = 1 << 16;
    for (size_t i = 0; written && !interrupted() && i < stereo.size(); i += blockSamples) {
        const size_t count = std::min(blockSamples, stereo.size() - i);
        block.resize(count * 2);
        for (size_t k = 0; k < count; ++k)
            putLittleEndian(&block[k * 2], static_cast<uint16_t>(stereo[i + k]), 2);
        written = std::fwrite(block.data(), 1, block.size(), file) == block.size();
    }
    if (!written)
        error = describeErrno("cannot write", target.path);
    return closeOutput(file, written, target, temporary, error);
}

bool writePng(const std::string& path, const uint8_t* rgb, int width, int height,
              std::string& error) {
    return writePng(OutputTarget{path, false, false}, rgb, width, height, error);
}

bool writePng(const OutputTarget& target, const uint8_t* rgb, int width, int height,
              std::string& error) {
    std::string temporary;
    FILE* file = openOutput(target, temporary, error);
    if (!file)
        return false;
    PngWrite state;
    errno = 0;
    const bool written = encodePng(file, rgb, width, height, state);
    if (!written) {
        const int cause = errno;
        error = "cannot write " + target.path + ": " +
                (cause != 0 ? std::strerror(cause) : state.message.c_str());
    }
    png_destroy_write_struct(&state.png, &state.info);
    return closeOutput(file, written, target, temporary, error);
}

bool checkWritable(const std::string& path, std::string& error) {
    struct stat about {};
    if (stat(path.c_str(), &about) == 0 && S_ISDIR(about.st_mode)) {
        error = "cannot write " + path + ": it is a folder";
        return false;
    }
    std::string temporary;
    FILE* probe = openTemporaryBeside(path, temporary, error);
    if (!probe)
        return false;
    std::fclose(probe);
    unlink(temporary.c_str());
    keepAtExit(temporary);
    return true;
}

std::string findProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    if (!path)
        return "";
    std::string folders = path;
    size_t start = 0;
    while (start <= folders.size()) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos)
            end = folders.size();
        const std::string folder = folders.substr(start, end - start);
        // An empty or relative entry names the working folder, which is the data folder by
        // the time the program runs: never a place to run programs from.
        if (folder.empty() || folder[0] != '/') {
            start = end + 1;
            continue;
        }
        const std::string candidate = folder + "/" + name;
        struct stat about {};
        if (stat(candidate.c_str(), &about) == 0 && S_ISREG(about.st_mode) &&
            access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return "";
}
