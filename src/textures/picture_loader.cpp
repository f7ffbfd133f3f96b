// One picture file to one 512x512 texture: JPEG through libjpeg's standard interface, or raw
// 512x512 RGB bytes; uploaded with fixed parameters, halved to 256x256 when refused.
#include "jpeg_decode.h"
#include "platform.h"
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

#include <jerror.h>

#include <sys/stat.h>
#include <unistd.h>

size_t pictureAllocationLimit = SIZE_MAX;
bool pictureDecoderScaling = true;

namespace {

// The raw picture path reads into this one buffer, which lives for the whole run.
unsigned char rawPicture[pictureBytes];

// The library's standard error manager with the picture's name beside it. Errors name the
// picture on a line of their own before the library's message and exit; a size the library
// refuses, too many scans and, when fuzzing, every error return through `escape` instead.
struct DecodeErrors {
    jpeg_error_mgr manager;
    void (*standardExit)(j_common_ptr);
    void (*standardEmit)(j_common_ptr, int);
    const char* name;
    JpegDecodeMode mode;
    bool tooManyScans;
    bool notEightBit; // 12-bit, lossless or JPEG-LS: pictures this decoder cannot read
    std::jmp_buf escape;
};

DecodeErrors& errorsOf(j_common_ptr info) {
    return *reinterpret_cast<DecodeErrors*>(info->err);
}

// Well-formed pictures of kinds an 8-bit baseline and progressive decoder does not read: more
// than 8 bits a sample, lossless frames, and JPEG-LS (marker 0xF7, unknown to the library).
bool isUnreadableKind(j_common_ptr info) {
    const int code = errorsOf(info).manager.msg_code;
    return code == JERR_BAD_PRECISION || code == JERR_SOF_UNSUPPORTED ||
           (code == JERR_UNKNOWN_MARKER && errorsOf(info).manager.msg_parm.i[0] == 0xF7);
}

void nameThenExit(j_common_ptr info) {
    DecodeErrors& errors = errorsOf(info);
    if (errors.mode == JpegDecodeMode::fuzzing || errors.manager.msg_code == JERR_IMAGE_TOO_BIG)
        std::longjmp(errors.escape, 1);
    if (isUnreadableKind(info)) {
        errors.notEightBit = true;
        std::longjmp(errors.escape, 1);
    }
    std::fprintf(stderr, "can't decode %s\n", errors.name);
    std::fflush(stderr);
    errors.standardExit(info);
}

// Called by the library as it reads; a picture in more scans than any encoder makes is
// refused before they cost seconds (each scan goes over the whole picture again).
void limitScans(j_common_ptr info) {
    if (reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > pictureScanLimit) {
        errorsOf(info).tooManyScans = true;
        std::longjmp(errorsOf(info).escape, 1);
    }
}

// The first warning that the library prints gets the picture's name in front of it.
void nameWarnings(j_common_ptr info, int level) {
    DecodeErrors& errors = errorsOf(info);
    if (errors.mode == JpegDecodeMode::fuzzing)
        return;
    if (level < 0 && errors.manager.num_warnings == 0) {
        char message[JMSG_LENGTH_MAX];
        (*errors.manager.format_message)(info, message);
        std::fprintf(stderr, "%s: %s\n", errors.name, message);
        ++errors.manager.num_warnings;
        return;
    }
    errors.standardEmit(info, level);
}

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

// Memory that the library keeps for the whole picture: a picture in several scans
// (progressive, or one scan per component) holds every DCT block until the last scan,
// 128 bytes per block of each component; a single-scan picture streams in rows of blocks.
size_t wholePictureBytes(jpeg_decompress_struct& info) {
    if (!jpeg_has_multiple_scans(&info))
        return 0;
    const auto roundUp = [](size_t value, size_t step) { return (value + step - 1) / step * step; };
    size_t bytes = 0;
    for (int c = 0; c < info.num_components; ++c) {
        const jpeg_component_info& component = info.comp_info[c];
        bytes += roundUp(component.width_in_blocks, component.h_samp_factor) *
                 roundUp(component.height_in_blocks, component.v_samp_factor) * sizeof(JBLOCK);
    }
    return bytes;
}

// Pictures of more pixels than this are decoded at reduced scale even when that changes the
// result a little: at full size they would cost about a second each.
constexpr size_t largePicturePixels = size_t{4096} * 4096;

// The scale, 1/8, 1/4, 1/2 or 1, at which the decoder's reduced transform averages blocks of
// pixels for the resampler. When both sides are multiples of 512 times the denominator, each
// target pixel averages the same source pixels as at full size, and the result differs from
// the full-size decode by rounding only (at most 2 levels on 4:4:4 pictures; 4:2:0 chroma is
// upsampled differently and sharp colour detail can differ by up to 30). Other pictures are
// decoded at full size unless they are large: then the smallest scale that keeps 512 pixels on
// both sides is used, and band edges shift by up to a few source pixels (measured on 6000x4000
// and 12000x9000 pictures: smooth content within 2 levels, photo-like detail mean 1.2 and at
// most 17, pixel noise and hard stripes mean 2 to 9 and at most 68).
unsigned int decoderScale(unsigned int width, unsigned int height) {
    if (!pictureDecoderScaling)
        return 1;
    const bool large = size_t{width} * height > largePicturePixels;
    for (unsigned int denominator : {8u, 4u, 2u}) {
        const unsigned int band = pictureSize * denominator;
        const bool aligned = width % band == 0 && height % band == 0;
        const bool keeps512 = (width + denominator - 1) / denominator >= pictureSize &&
                              (height + denominator - 1) / denominator >= pictureSize;
        if (aligned || (large && keeps512))
            return denominator;
    }
    return 1;
}

// What a decode holds while it runs; kept out of locals so a longjmp cannot clobber it.
struct DecodeState {
    jpeg_decompress_struct info;
    DecodeErrors errors;
    jpeg_progress_mgr progress;
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

const char* const tooLargeFormat =
    "can't use %s: %ux%u pixels, more than %u on a side; shown black\n";

unsigned char* decodeWith(DecodeState& s, std::FILE* file, const char* name, JpegDecodeMode mode) {
    jpeg_create_decompress(&s.info);
    s.progress.progress_monitor = limitScans;
    s.info.progress = &s.progress;
    jpeg_stdio_src(&s.info, file);
    jpeg_read_header(&s.info, TRUE);

    // Sizes that would cost much time or memory are refused from the header alone.
    const unsigned int width = s.info.image_width, height = s.info.image_height;
    if (mode == JpegDecodeMode::fuzzing && size_t{width} * height > fuzzingPixelLimit) {
        jpeg_destroy_decompress(&s.info);
        return nullptr;
    }
    if (width > pictureSideLimit || height > pictureSideLimit) {
        std::fprintf(stderr, tooLargeFormat, name, width, height, pictureSideLimit);
        jpeg_destroy_decompress(&s.info);
        return allocatePicture(name);
    }
    const size_t wholePicture = wholePictureBytes(s.info);
    if (wholePicture > pictureMemoryLimit) {
        std::fprintf(stderr,
                     "can't use %s: %ux%u pixels in several scans would need %zu MB to decode, "
                     "more than %zu MB; shown black\n",
                     name, width, height, (wholePicture + (1 << 20) - 1) >> 20,
                     pictureMemoryLimit >> 20);
        jpeg_destroy_decompress(&s.info);
        return allocatePicture(name);
    }

    // Colour pictures come out as RGB and gray ones as one channel, which we widen; anything
    // else (CMYK, say) the library cannot give us as RGB: it is shown black.
    if (s.info.out_color_space != JCS_RGB && s.info.out_color_space != JCS_GRAYSCALE) {
        jpeg_destroy_decompress(&s.info);
        std::fprintf(stderr, "can't use %s: not an RGB or grayscale picture; shown black\n", name);
        return allocatePicture(name);
    }
    s.picture = allocatePicture(name);
    if (s.picture == nullptr) {
        jpeg_destroy_decompress(&s.info);
        return nullptr;
    }

    s.info.scale_num = 1;
    s.info.scale_denom = decoderScale(width, height);
    jpeg_start_decompress(&s.info);
    const int outputWidth = static_cast<int>(s.info.output_width);
    const int outputHeight = static_cast<int>(s.info.output_height);
    const int components = s.info.output_components;
    const auto common = reinterpret_cast<j_common_ptr>(&s.info);
    JSAMPARRAY row = (*s.info.mem->alloc_sarray)(
        common, JPOOL_IMAGE, static_cast<JDIMENSION>(outputWidth * components), 1);
    JSAMPARRAY rgb = (*s.info.mem->alloc_sarray)(common, JPOOL_IMAGE,
                                                 static_cast<JDIMENSION>(outputWidth * 3), 1);
    const bool scaled = outputWidth != pictureSize || outputHeight != pictureSize;
    startResampler(s.resampler, outputWidth, outputHeight);
    while (s.info.output_scanline < s.info.output_height) {
        const int y = static_cast<int>(s.info.output_scanline);
        // The stdio source never suspends; a short read would only mean a broken library.
        if (jpeg_read_scanlines(&s.info, row, 1) != 1)
            break;
        if (scaled) {
            widenRow(row[0], outputWidth, components, rgb[0]);
            addSourceRow(s.resampler, rgb[0], y, s.picture);
        } else {
            widenRow(row[0], outputWidth, components,
                     s.picture + size_t{static_cast<size_t>(y)} * outputWidth * 3);
        }
    }
    if (s.info.output_scanline < s.info.output_height)
        jpeg_abort_decompress(&s.info);
    else
        jpeg_finish_decompress(&s.info);
    jpeg_destroy_decompress(&s.info);
    return s.picture;
}

// Opens `path` for reading if it is a regular file. A folder, FIFO or device is refused
// without reading from it (the open does not wait for a FIFO's writer): `refused` is set and
// the caller shows the picture black. Reports every failure on standard error.
std::FILE* openPicture(const char* path, bool& refused) {
    refused = false;
    const int descriptor = openForReading(path);
    if (descriptor < 0) {
        std::fprintf(stderr, "can't open %s\n", path);
        return nullptr;
    }
    struct stat status {};
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(descriptor);
        std::fprintf(stderr, "can't open %s: not a regular file; shown black\n", path);
        refused = true;
        return nullptr;
    }
    std::FILE* file = ::fdopen(descriptor, "rb");
    if (file == nullptr) {
        ::close(descriptor);
        std::fprintf(stderr, "can't open %s\n", path);
    }
    return file;
}

} // namespace

unsigned char* decodeJpeg(std::FILE* file, const char* name, JpegDecodeMode mode) {
    DecodeState s{};
    s.info.err = jpeg_std_error(&s.errors.manager);
    s.errors.standardExit = s.errors.manager.error_exit;
    s.errors.standardEmit = s.errors.manager.emit_message;
    s.errors.manager.error_exit = nameThenExit;
    s.errors.manager.emit_message = nameWarnings;
    s.errors.name = name;
    s.errors.mode = mode;
    if (setjmp(s.errors.escape) != 0) {
        const unsigned int width = s.info.image_width, height = s.info.image_height;
        jpeg_destroy_decompress(&s.info);
        std::free(s.picture);
        if (mode == JpegDecodeMode::fuzzing)
            return nullptr;
        // Too many scans, or a side over the library's own limit of 65500, which it reports
        // before we see the header.
        if (s.errors.notEightBit)
            std::fprintf(stderr,
                         "can't use %s: not an 8-bit baseline or progressive JPEG (12-bit, "
                         "lossless or JPEG-LS); shown black\n",
                         name);
        else if (s.errors.tooManyScans)
            std::fprintf(stderr, "can't use %s: more than %d scans; shown black\n", name,
                         pictureScanLimit);
        else
            std::fprintf(stderr, tooLargeFormat, name, width, height, pictureSideLimit);
        return allocatePicture(name);
    }
    return decodeWith(s, file, name, mode);
}

unsigned char* loadJpeg(const char* path) {
    bool refused = false;
    std::FILE* file = openPicture(path, refused);
    if (file == nullptr)
        return refused ? allocatePicture(path) : nullptr;
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
    // JPEG pictures and refused raw files come in buffers of their own, freed after the upload.
    bool owned = true;
    if (std::strstr(path, ".jpg") != nullptr) {
        pixels = loadJpeg(path);
    } else {
        bool refused = false;
        if (std::FILE* file = openPicture(path, refused)) {
            // A shorter file leaves the rest of the buffer as the previous picture left it.
            std::fread(rawPicture, 1, pictureBytes, file);
            std::fclose(file);
            pixels = rawPicture;
            owned = false;
        } else if (refused) {
            pixels = allocatePicture(path);
        }
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
    if (owned)
        std::free(pixels);
    return name;
}
