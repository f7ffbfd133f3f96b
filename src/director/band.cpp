// The band of 640x270 shape that shows the picture on a drawable of any size.
#include "director.h"

#include <cstdint>

namespace {
float bandLineScale = 1.0f;
} // namespace

ViewportBand viewportBand(int width, int height) {
    if (width <= 0 || height <= 0)
        return {0, 0, 0, 0};
    // Integer arithmetic throughout, so the rectangle is exact: round(a / b) = (2a + b) / 2b.
    const int64_t w = width;
    const int64_t h = height;
    int64_t bandWidth = w;
    int64_t bandHeight = h;
    if (w * 27 <= h * 64)
        bandHeight = (w * 54 + 64) / 128;
    else
        bandWidth = (h * 128 + 27) / 54;
    // A drawable too small for the shape still shows one row or column.
    if (bandWidth < 1)
        bandWidth = 1;
    if (bandHeight < 1)
        bandHeight = 1;
    const int64_t spareRows = h - bandHeight;
    ViewportBand band;
    band.x = static_cast<int>((w - bandWidth) / 2);
    // Below : above = 120 : 90, the rows below rounded to the nearest.
    band.y = static_cast<int>((spareRows * 8 + 7) / 14);
    band.width = static_cast<int>(bandWidth);
    band.height = static_cast<int>(bandHeight);
    return band;
}

float lineScale(int bandHeight) {
    if (bandHeight <= 270)
        return 1.0f;
    return static_cast<float>(bandHeight) / 270.0f;
}

void placeBand(int width, int height) {
    const ViewportBand band = viewportBand(width, height);
    glViewport(band.x, band.y, band.width, band.height);
    bandLineScale = lineScale(band.height);
}

float placedLineScale() {
    return bandLineScale;
}
