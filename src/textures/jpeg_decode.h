// Private to the textures subsystem: the JPEG decoder behind loadJpeg, reachable by the fuzz
// target and the tests without a file name or a GL context.
#pragma once

#include <cstddef>
#include <cstdio>

constexpr int pictureSize = 512;
constexpr size_t pictureBytes = size_t{pictureSize} * pictureSize * 3;

// demo: a decoding error names the picture on a line of its own, then takes the library's
// standard path (its message, then exit status 1); its first warning is printed after the name.
// fuzzing: errors and warnings are silent and return nullptr, and pictures over
// fuzzingPixelLimit pixels are refused so that every input decodes quickly.
enum class JpegDecodeMode { demo, fuzzing };
constexpr size_t fuzzingPixelLimit = size_t{1} << 18;

// Decodes the JPEG in `file` into a new 512x512 RGB buffer (free with std::free): other sizes
// are scaled by averaging the source pixels under each target pixel, grayscale is widened to
// RGB. `name` is used in reports on standard error. A picture over the limits below, or one
// the library cannot give as RGB or grayscale, gets a black buffer after a one-line report;
// when the buffer cannot be allocated the picture is reported and nullptr returned.
unsigned char* decodeJpeg(std::FILE* file, const char* name, JpegDecodeMode mode);

// Pictures are refused (reported and shown black) before anything is allocated for them when
// a side is longer than pictureSideLimit, or when the library would have to hold the whole
// picture's DCT coefficients (progressive and other multi-scan pictures) in more than
// pictureMemoryLimit bytes. The decoder's work grows with the area a header claims, however
// little data follows: a 16384x16384 header costs about 0.3 s (1.5 s if it cannot be decoded
// at reduced scale), 65500x65500 would cost 25 s. 128 MB of coefficients takes progressive
// pictures up to about 4700x4700 (6600x6600 with 4:2:0 chroma) and keeps a picture's decoding
// well under 300 MB of peak memory. A single-scan picture streams in rows whatever its size;
// large pictures are decoded at 1/2, 1/4 or 1/8 scale (see decoderScale for when, and how
// much that changes).
constexpr unsigned int pictureSideLimit = 16384;
constexpr size_t pictureMemoryLimit = size_t{128} << 20;
// Every scan of a progressive picture goes over the whole picture again (about 6 ms a scan at
// 4600x4600 even with no data in it); encoders write about ten. A picture in more scans than
// this is refused when the next one starts, and shown black.
constexpr int pictureScanLimit = 100;

// Decoding at reduced scale; tests turn it off to compare with the full-size decode.
extern bool pictureDecoderScaling;

// Largest pixel buffer, in bytes, that the decoder will allocate; a larger request fails like
// a failed allocation. No limit unless a test lowers it.
extern size_t pictureAllocationLimit;
