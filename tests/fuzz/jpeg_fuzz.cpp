// Feeds arbitrary bytes to the JPEG decoder that loadJpeg uses, through the same stdio source.
// Decoding needs no GL context; errors return instead of ending the process.
#include "jpeg_decode.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    std::FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (file == nullptr)
        return 0;
    unsigned char* picture = decodeJpeg(file, "fuzz input", JpegDecodeMode::fuzzing);
    if (picture != nullptr) {
        // The upload reads the whole buffer; a short one shows up under AddressSanitizer.
        static unsigned char uploaded[pictureBytes];
        std::memcpy(uploaded, picture, pictureBytes);
        std::free(picture);
    }
    std::fclose(file);
    return 0;
}
