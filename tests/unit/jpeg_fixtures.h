// Small JPEG pictures written with libjpeg for the texture tests: RGB, grayscale or CMYK, any
// size, coloured by a function of the pixel position.
#pragma once

#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include <jpeglib.h>

using PixelColour = std::function<std::array<unsigned char, 4>(int x, int y)>;

// Writes `path` at quality 100 without chroma subsampling, so flat areas decode to their
// colour within a step or two. `space` is JCS_RGB, JCS_GRAYSCALE (the first value is the gray
// level) or JCS_CMYK; `progressive` writes the scans of a progressive picture.
inline bool writeJpeg(const std::string& path, int width, int height, J_COLOR_SPACE space,
                      const PixelColour& colour, bool progressive = false) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.in_color_space = space;
    info.input_components = space == JCS_GRAYSCALE ? 1 : space == JCS_CMYK ? 4 : 3;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 100, TRUE);
    for (int c = 0; c < info.num_components; ++c)
        info.comp_info[c].h_samp_factor = info.comp_info[c].v_samp_factor = 1;
    if (progressive)
        jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    std::vector<unsigned char> row(static_cast<size_t>(width) * info.input_components);
    while (info.next_scanline < info.image_height) {
        const int y = static_cast<int>(info.next_scanline);
        for (int x = 0; x < width; ++x) {
            const auto value = colour(x, y);
            for (int k = 0; k < info.input_components; ++k)
                row[static_cast<size_t>(x) * info.input_components + k] = value[k];
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return std::fclose(file) == 0;
}

// A picture split into four flat quadrants: red top left, green top right, blue bottom left,
// white bottom right.
inline std::array<unsigned char, 4> quadrantColour(int x, int y, int width, int height) {
    const bool right = 2 * x >= width, bottom = 2 * y >= height;
    if (!bottom)
        return right ? std::array<unsigned char, 4>{0, 255, 0, 0}
                     : std::array<unsigned char, 4>{255, 0, 0, 0};
    return right ? std::array<unsigned char, 4>{255, 255, 255, 0}
                 : std::array<unsigned char, 4>{0, 0, 255, 0};
}

// Rewrites the size in the frame header (SOF marker) of the JPEG file at `path`, so a small
// file claims a large picture; the scans after it no longer match and decode as damaged data.
inline bool claimSize(const std::string& path, int width, int height) {
    std::FILE* file = std::fopen(path.c_str(), "r+b");
    if (file == nullptr)
        return false;
    std::vector<unsigned char> bytes(4096);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    bool found = false;
    for (size_t i = 0; i + 9 < bytes.size() && !found; ++i) {
        // SOF0 (baseline), SOF1 (extended) or SOF2 (progressive): length, precision, height,
        // width.
        if (bytes[i] == 0xFF && bytes[i + 1] >= 0xC0 && bytes[i + 1] <= 0xC2) {
            const unsigned char size[4] = {
                static_cast<unsigned char>(height >> 8), static_cast<unsigned char>(height),
                static_cast<unsigned char>(width >> 8), static_cast<unsigned char>(width)};
            found = std::fseek(file, static_cast<long>(i + 5), SEEK_SET) == 0 &&
                    std::fwrite(size, 1, 4, file) == 4;
        }
    }
    return std::fclose(file) == 0 && found;
}

// Rewrites the frame header (SOF0) of the JPEG file at `path` into another kind of frame
// (`marker`: 0xC3 lossless, 0xF7 JPEG-LS) or another sample precision (12 bits, say): what an
// 8-bit decoder sees of such a picture.
inline bool rewriteFrameHeader(const std::string& path, int marker, int precision) {
    std::FILE* file = std::fopen(path.c_str(), "r+b");
    if (file == nullptr)
        return false;
    std::vector<unsigned char> bytes(4096);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    bool found = false;
    for (size_t i = 0; i + 5 < bytes.size() && !found; ++i) {
        if (bytes[i] == 0xFF && bytes[i + 1] == 0xC0) {
            const unsigned char kind = static_cast<unsigned char>(marker);
            const unsigned char bits = static_cast<unsigned char>(precision);
            found = std::fseek(file, static_cast<long>(i + 1), SEEK_SET) == 0 &&
                    std::fwrite(&kind, 1, 1, file) == 1 &&
                    std::fseek(file, static_cast<long>(i + 4), SEEK_SET) == 0 &&
                    std::fwrite(&bits, 1, 1, file) == 1;
        }
    }
    return std::fclose(file) == 0 && found;
}

// Appends `copies` more copies of the last scan (its SOS segment and data) before the end of
// the JPEG file at `path`: a picture in many scans.
inline bool repeatLastScan(const std::string& path, int copies) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return false;
    std::vector<unsigned char> bytes;
    unsigned char buffer[4096];
    while (size_t n = std::fread(buffer, 1, sizeof buffer, file))
        bytes.insert(bytes.end(), buffer, buffer + n);
    std::fclose(file);
    const unsigned char sos[] = {0xFF, 0xDA}, eoi[] = {0xFF, 0xD9};
    const auto end = std::find_end(bytes.begin(), bytes.end(), eoi, eoi + 2);
    const auto scan = std::find_end(bytes.begin(), end, sos, sos + 2);
    if (end == bytes.end() || scan == end)
        return false;
    const std::vector<unsigned char> last(scan, end);
    std::vector<unsigned char> repeated(bytes.begin(), end);
    for (int i = 0; i < copies; ++i)
        repeated.insert(repeated.end(), last.begin(), last.end());
    repeated.insert(repeated.end(), end, bytes.end());
    file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    const bool written = std::fwrite(repeated.data(), 1, repeated.size(), file) == repeated.size();
    return std::fclose(file) == 0 && written;
}
