// One picture file to one 512x512 texture: JPEG through libjpeg's standard interface, or raw
// 512x512 RGB bytes; uploaded with fixed parameters, halved to 256x256 when refused.
#include "jpeg_decode.h"
#include "textures.h"

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>

size_t pictureAllocationLimit = SIZE_MAX;

namespace {

// The raw picture path reads into this one buffer, which lives for the whole run.
unsigned char rawPicture[pictureBytes];

// The standard error manager, with a way out that returns instead of ending the process.
struct DecodeErrors {
    jpeg_error_mgr manager;
    std::jmp_buf escape;
};

void returnFromError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<DecodeErrors*>(info->err)->escape, 1);
}

void stayQuiet(j_common_ptr) {}

// Scales rows streamed from the decoder to 512x512: target pixel (i, j) averages the source
// rows of band i and the source columns of band j, a single source pixel when enlarging. Only
// one row of sums is kept, so a large picture never needs a buffer of its own size.
struct Resampler {
    int height;
    int nextRow;
    int64_t columnStart[pictureSize];
    int64_t columnEnd[pictureSize];
    uint32_t sums[pictureSize * 3];
};

int64_t bandStart(int i, int sourceLength) {
    return int64_t{i} * sourceLength / pictureSize;
}

int64_t bandEnd(int i, int sourceLength) {
    return std::max(bandStart(i, sourceLength) + 1, int64_t{i + 1} * sourceLength / pictureSize);
}

void startResampler(Resampler& r, int width, int height) {
    r.height = height;
    r.nextRow = 0;
    for (int j = 0; j < pictureSize; ++j) {
        r.columnStart[j] = bandStart(j, width);
        r.columnEnd[j] = bandEnd(j, width);
    }
}

void addSourceRow(Resampler& r, const unsigned char* rgb, int y, unsigned char* picture) {
    for (int j = 0; j < pictureSize; ++j) {
        for (int64_t x = r.columnStart[j]; x < r.columnEnd[j]; ++x) {
            for (int k = 0; k < 3; ++k)
                r.sums[j * 3 + k] += rgb[x * 3 + k];
        }
    }
    const size_t rowBytes = size_t{pictureSize} * 3;
    const unsigned char* emitted = nullptr;
    while (r.nextRow < pictureSize && bandEnd(r.nextRow, r.height) - 1 == y) {
        unsigned char* out = picture + static_cast<size_t>(r.nextRow) * rowBytes;
        if (emitted != nullptr) {
            // Enlarging: the following target rows repeat this source row.
            std::memcpy(out, emitted, rowBytes);
        } else {
            const int64_t rows = bandEnd(r.nextRow, r.height) - bandStart(r.nextRow, r.height);
            for (int j = 0; j < pictureSize; ++j) {
                const auto count =
                    static_cast<uint32_t>(rows * (r.columnEnd[j] - r.columnStart[j]));
                for (int k = 0; k < 3; ++k)
                    out[j * 3 + k] =
                        static_cast<unsigned char>((r.sums[j * 3 + k] + count / 2) / count);
            }
            emitted = out;
        }
        ++r.nextRow;
    }
    if (emitted != nullptr)
        std::fill(std::begin(r.sums), std::end(r.sums), 0u);
}

// Gray rows are widened to RGB; RGB rows are copied.
void widenRow(const unsigned char* row, int width, int components, unsigned char* rgb) {
    if (components == 3) {
        std::memcpy(rgb, row, static_cast<size_t>(width) * 3);
        return;
    }
    for (int x = 0; x < width; ++x)
        rgb[x * 3] = rgb[x * 3 + 1] = rgb[x * 3 + 2] = row[x];
}

// What a decode holds while it runs; kept out of locals so a longjmp cannot clobber it.
struct DecodeState {
    jpeg_decompress_struct info;
    DecodeErrors errors;
    unsigned char* picture;
    Resampler resampler;
};

unsigned char* allocatePicture(const char* name) {
    unsigned char* picture = nullptr;
    if (pictureBytes <= pictureAllocationLimit)
        picture = static_cast<unsigned char*>(std::calloc(pictureBytes, 1));
    if (picture == nullptr)
        std::fprintf(stderr, "can't open %s: out of memory\n", name);
    return picture;
}

unsigned char* decodeWith(DecodeState& s, std::FILE* file, const char* name, JpegDecodeMode mode) {
    jpeg_create_decompress(&s.info);
    jpeg_stdio_src(&s.info, file);
    jpeg_read_header(&s.info, TRUE);

    // Colour pictures come out as RGB and gray ones as one channel, which we widen; anything
    // else (CMYK, say) the library cannot give us as RGB: it is shown black.
    if (s.info.out_color_space != JCS_RGB && s.info.out_color_space != JCS_GRAYSCALE) {
        jpeg_destroy_decompress(&s.info);
        std::fprintf(stderr, "can't use %s: not an RGB or grayscale picture, shown black\n", name);
        s.picture = allocatePicture(name);
        return s.picture;
    }
    const int width = static_cast<int>(s.info.image_width);
    const int height = static_cast<int>(s.info.image_height);
    if (mode == JpegDecodeMode::fuzzing &&
        size_t{s.info.image_width} * height > fuzzingPixelLimit) {
        jpeg_destroy_decompress(&s.info);
        return nullptr;
    }
    s.picture = allocatePicture(name);
    if (s.picture == nullptr) {
        jpeg_destroy_decompress(&s.info);
        return nullptr;
    }

    jpeg_start_decompress(&s.info);
    const int components = s.info.output_components;
    const auto common = reinterpret_cast<j_common_ptr>(&s.info);
    JSAMPARRAY row = (*s.info.mem->alloc_sarray)(common, JPOOL_IMAGE,
                                                 static_cast<JDIMENSION>(width * components), 1);
    JSAMPARRAY rgb =
        (*s.info.mem->alloc_sarray)(common, JPOOL_IMAGE, static_cast<JDIMENSION>(width * 3), 1);
    const bool scaled = width != pictureSize || height != pictureSize;
    startResampler(s.resampler, width, height);
    while (s.info.output_scanline < s.info.output_height) {
        const int y = static_cast<int>(s.info.output_scanline);
        // The stdio source never suspends; a short read would only mean a broken library.
        if (jpeg_read_scanlines(&s.info, row, 1) != 1)
            break;
        if (scaled) {
            widenRow(row[0], width, components, rgb[0]);
            addSourceRow(s.resampler, rgb[0], y, s.picture);
        } else {
            widenRow(row[0], width, components,
                     s.picture + size_t{static_cast<size_t>(y)} * width * 3);
        }
    }
    if (s.info.output_scanline < s.info.output_height)
        jpeg_abort_decompress(&s.info);
    else
        jpeg_finish_decompress(&s.info);
    jpeg_destroy_decompress(&s.info);
    return s.picture;
}

} // namespace

unsigned char* decodeJpeg(std::FILE* file, const char* name, JpegDecodeMode mode) {
    DecodeState s{};
    s.info.err = jpeg_std_error(&s.errors.manager);
    if (mode == JpegDecodeMode::fuzzing) {
        s.errors.manager.error_exit = returnFromError;
        s.errors.manager.output_message = stayQuiet;
        if (setjmp(s.errors.escape) != 0) {
            jpeg_destroy_decompress(&s.info);
            std::free(s.picture);
            return nullptr;
        }
    }
    return decodeWith(s, file, name, mode);
}

unsigned char* loadJpeg(const char* path) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        std::fprintf(stderr, "can't open %s\n", path);
        return nullptr;
    }
    unsigned char* pixels = decodeJpeg(file, path, JpegDecodeMode::demo);
    std::fclose(file);
    return pixels;
}

void boxFilterHalve(unsigned char* pixels) {
    // Output bytes never lie after input bytes still to be read, so the halving is in place.
    const auto in = [pixels](int row, int column, int k) -> int {
        return pixels[(row * pictureSize + column) * 3 + k];
    };
    for (int i = 0; i < pictureSize / 2; ++i) {
        for (int j = 0; j < pictureSize / 2; ++j) {
            for (int k = 0; k < 3; ++k) {
                const int sum = in(2 * i, 2 * j, k) + in(2 * i, 2 * j + 1, k) +
                                in(2 * i + 1, 2 * j, k) + in(2 * i + 1, 2 * j + 1, k);
                pixels[(i * (pictureSize / 2) + j) * 3 + k] =
                    static_cast<unsigned char>((sum + 2) >> 2);
            }
        }
    }
}

void uploadTexture(unsigned char* pixels) {
    glTexImage2D(GL_TEXTURE_2D, 0, 3, pictureSize, pictureSize, 0, GL_RGB, GL_UNSIGNED_BYTE,
                 pixels);
    if (glGetError() == GL_NO_ERROR)
        return;
    if (pixels != nullptr)
        boxFilterHalve(pixels);
    glTexImage2D(GL_TEXTURE_2D, 0, 3, pictureSize / 2, pictureSize / 2, 0, GL_RGB, GL_UNSIGNED_BYTE,
                 pixels);
}

GLuint loadTexture(const char* path) {
    unsigned char* pixels = nullptr;
    const bool jpeg = std::strstr(path, ".jpg") != nullptr;
    if (jpeg) {
        pixels = loadJpeg(path);
    } else if (std::FILE* file = std::fopen(path, "rb")) {
        // A shorter file leaves the rest of the buffer as the previous picture left it.
        std::fread(rawPicture, 1, pictureBytes, file);
        std::fclose(file);
        pixels = rawPicture;
    } else {
        std::fprintf(stderr, "can't open %s\n", path);
    }

    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    uploadTexture(pixels);
    if (jpeg)
        std::free(pixels);
    return name;
}
