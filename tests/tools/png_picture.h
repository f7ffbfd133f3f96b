// Reading the PNG files that the tools write, as 8-bit RGB rows from the top.
#pragma once

#include <png.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct Picture {
    unsigned width = 0, height = 0;
    std::vector<uint8_t> rgb;
    int at(unsigned x, unsigned y, unsigned channel) const {
        return rgb[(static_cast<size_t>(y) * width + x) * 3 + channel];
    }
};

// The picture at `path`, or an empty one (no pixels, size 0) when it cannot be read.
inline Picture readPng(const std::string& path) {
    Picture picture;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return picture;
    image.format = PNG_FORMAT_RGB;
    picture.rgb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, picture.rgb.data(), 0, nullptr))
        return Picture{};
    picture.width = image.width;
    picture.height = image.height;
    return picture;
}
