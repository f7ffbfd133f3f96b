// Private to the textures subsystem: the JPEG decoder behind loadJpeg, reachable by the fuzz
// target and the tests without a file name or a GL context.
#pragma once

#include <cstddef>
#include <cstdio>

constexpr int pictureSize = 512;
constexpr size_t pictureBytes = size_t{pictureSize} * pictureSize * 3;

// demo: a decoding error takes the library's standard path (its message, then exit status 1).
// fuzzing: errors and warnings are silent and return nullptr, and pictures over
// fuzzingPixelLimit pixels are refused so that every input decodes quickly.
enum class JpegDecodeMode { demo, fuzzing };
constexpr size_t fuzzingPixelLimit = size_t{1} << 18;

// Decodes the JPEG in `file` into a new 512x512 RGB buffer (free with std::free): other sizes
// are scaled by averaging the source pixels under each target pixel, grayscale is widened to
// RGB. `name` is used in reports on standard error. A picture the library cannot give as RGB
// or grayscale gets a black buffer after a one-line report; when the buffer cannot be
// allocated the picture is reported and nullptr returned.
unsigned char* decodeJpeg(std::FILE* file, const char* name, JpegDecodeMode mode);

// Largest pixel buffer, in bytes, that the decoder will allocate; a larger request fails like
// a failed allocation. No limit unless a test lowers it.
extern size_t pictureAllocationLimit;
