// How the picture looks, independent of the frame's size: the band of a frame (640:270, placed
// as the show places it) averaged down to 640x270 and blurred by a Gaussian of radius 2 pixels,
// so that two frames compare by their light, not by where a thin line falls inside a pixel.
#pragma once

#include "director.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

// A 640x270 RGB band as floats, rows from the top.
struct BandLook {
    static constexpr int width = 640;
    static constexpr int height = 270;
    std::vector<float> rgb;
    double brightness = 0.0; // the mean of every channel of the scaled band, 0 to 255
};

namespace bandlook {
// Area-weighted resampling of `count` source samples (stride `step`) to `out` samples.
inline void resampleLine(const float* source, int count, size_t step, float* target, int out,
                         size_t targetStep) {
    const double ratio = static_cast<double>(count) / out;
    for (int i = 0; i < out; ++i) {
        const double begin = i * ratio, end = (i + 1) * ratio;
        double sum = 0.0;
        for (int s = static_cast<int>(begin); s < count && s < end; ++s) {
            const double cover = std::fmin(end, s + 1.0) - std::fmax(begin, static_cast<double>(s));
            sum += cover * source[static_cast<size_t>(s) * step];
        }
        target[static_cast<size_t>(i) * targetStep] = static_cast<float>(sum / ratio);
    }
}

inline void blurLine(const float* source, int count, size_t step, float* target,
                     const std::vector<float>& kernel) {
    const int reach = static_cast<int>(kernel.size()) / 2;
    for (int i = 0; i < count; ++i) {
        float sum = 0.0f;
        for (int k = -reach; k <= reach; ++k) {
            const int s = i + k < 0 ? 0 : (i + k >= count ? count - 1 : i + k);
            sum += kernel[static_cast<size_t>(k + reach)] * source[static_cast<size_t>(s) * step];
        }
        target[static_cast<size_t>(i) * step] = sum;
    }
}
} // namespace bandlook

// The look of a width x height RGB frame (rows from the top).
inline BandLook bandLook(const uint8_t* rgb, int frameWidth, int frameHeight) {
    using namespace bandlook;
    const ViewportBand band = viewportBand(frameWidth, frameHeight);
    const int top = frameHeight - band.y - band.height;
    const int w = BandLook::width, h = BandLook::height;
    // Columns first (band rows x 640), then rows (270 x 640), per channel.
    std::vector<float> row(static_cast<size_t>(band.width));
    std::vector<float> narrow(static_cast<size_t>(band.height) * w);
    BandLook look;
    look.rgb.assign(static_cast<size_t>(w) * h * 3, 0.0f);
    std::vector<float> plane(static_cast<size_t>(w) * h), blurred(plane.size());
    const float sigma = 2.0f;
    std::vector<float> kernel(13);
    float total = 0.0f;
    for (int k = -6; k <= 6; ++k)
        total += kernel[static_cast<size_t>(k + 6)] = std::exp(-0.5f * k * k / (sigma * sigma));
    for (float& weight : kernel)
        weight /= total;
    double sum = 0.0;
    for (int c = 0; c < 3; ++c) {
        for (int y = 0; y < band.height; ++y) {
            const uint8_t* source =
                rgb + (static_cast<size_t>(top + y) * frameWidth + band.x) * 3 + c;
            for (int x = 0; x < band.width; ++x)
                row[static_cast<size_t>(x)] = source[static_cast<size_t>(x) * 3];
            resampleLine(row.data(), band.width, 1, &narrow[static_cast<size_t>(y) * w], w, 1);
        }
        for (int x = 0; x < w; ++x)
            resampleLine(&narrow[static_cast<size_t>(x)], band.height, w,
                         &plane[static_cast<size_t>(x)], h, w);
        for (float value : plane)
            sum += value;
        for (int y = 0; y < h; ++y)
            blurLine(&plane[static_cast<size_t>(y) * w], w, 1, &blurred[static_cast<size_t>(y) * w],
                     kernel);
        for (int x = 0; x < w; ++x)
            blurLine(&blurred[static_cast<size_t>(x)], h, w, &plane[static_cast<size_t>(x)],
                     kernel);
        for (size_t i = 0; i < plane.size(); ++i)
            look.rgb[i * 3 + static_cast<size_t>(c)] = plane[i];
    }
    look.brightness = sum / (static_cast<double>(w) * h * 3.0);
    return look;
}

// The mean absolute difference of two looks, 0 to 255.
inline double lookDifference(const BandLook& a, const BandLook& b) {
    double sum = 0.0;
    for (size_t i = 0; i < a.rgb.size(); ++i)
        sum += std::fabs(a.rgb[i] - b.rgb[i]);
    return sum / static_cast<double>(a.rgb.size());
}
