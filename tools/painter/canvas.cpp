// Drawing on the painter's canvas and writing it as JPEG; see canvas.h.
#include "canvas.h"

#include "glyph_cells.h"

// jpeglib.h needs size_t and FILE declared first.
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdint>
#include <cstdio>

Colour mix(Colour a, Colour b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Colour scaled(Colour c, float s) {
    return {c.r * s, c.g * s, c.b * s};
}

Colour hueColour(float hue) {
    float h = (hue - std::floor(hue)) * 6.0f;
    auto channel = [&](float offset) {
        float d = std::fabs(std::fmod(h + offset, 6.0f) - 3.0f);
        return std::clamp(d - 1.0f, 0.0f, 1.0f);
    };
    return {channel(0.0f), channel(4.0f), channel(2.0f)};
}

Colour pixelAt(const Canvas& canvas, int x, int y) {
    const float* p = &canvas.rgb[(y * canvasSize + x) * 3];
    return {p[0], p[1], p[2]};
}

void blendPixel(Canvas& canvas, int x, int y, Colour c, float coverage) {
    if (x < 0 || y < 0 || x >= canvasSize || y >= canvasSize || coverage <= 0)
        return;
    coverage = std::min(coverage, 1.0f);
    float* p = &canvas.rgb[(y * canvasSize + x) * 3];
    p[0] += (c.r - p[0]) * coverage;
    p[1] += (c.g - p[1]) * coverage;
    p[2] += (c.b - p[2]) * coverage;
}

void addPixel(Canvas& canvas, int x, int y, Colour c, float amount) {
    if (x < 0 || y < 0 || x >= canvasSize || y >= canvasSize)
        return;
    float* p = &canvas.rgb[(y * canvasSize + x) * 3];
    p[0] += c.r * amount;
    p[1] += c.g * amount;
    p[2] += c.b * amount;
}

void fillRect(Canvas& canvas, double x0, double y0, double x1, double y1, Colour c, float alpha) {
    int left = std::max(0, static_cast<int>(std::floor(x0)));
    int right = std::min(canvasSize - 1, static_cast<int>(std::ceil(x1)));
    int top = std::max(0, static_cast<int>(std::floor(y0)));
    int bottom = std::min(canvasSize - 1, static_cast<int>(std::ceil(y1)));
    for (int y = top; y <= bottom; ++y) {
        double cy = std::min(y + 1.0, y1) - std::max(double(y), y0);
        if (cy <= 0)
            continue;
        for (int x = left; x <= right; ++x) {
            double cx = std::min(x + 1.0, x1) - std::max(double(x), x0);
            if (cx > 0)
                blendPixel(canvas, x, y, c, static_cast<float>(cx * cy) * alpha);
        }
    }
}

void fillDisc(Canvas& canvas, double cx, double cy, double radius, Colour c, float alpha) {
    int left = std::max(0, static_cast<int>(cx - radius - 1));
    int right = std::min(canvasSize - 1, static_cast<int>(cx + radius + 1));
    int top = std::max(0, static_cast<int>(cy - radius - 1));
    int bottom = std::min(canvasSize - 1, static_cast<int>(cy + radius + 1));
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x) {
            double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
            double coverage = std::clamp(radius - d + 0.5, 0.0, 1.0);
            blendPixel(canvas, x, y, c, static_cast<float>(coverage) * alpha);
        }
}

void fillPolygon(Canvas& canvas, const std::vector<double>& xy, Colour c, float alpha) {
    double minX = 1e9, maxX = -1e9, minY = 1e9, maxY = -1e9;
    size_t n = xy.size() / 2;
    for (size_t i = 0; i < n; ++i) {
        minX = std::min(minX, xy[2 * i]);
        maxX = std::max(maxX, xy[2 * i]);
        minY = std::min(minY, xy[2 * i + 1]);
        maxY = std::max(maxY, xy[2 * i + 1]);
    }
    auto inside = [&](double px, double py) {
        bool in = false;
        for (size_t i = 0, j = n - 1; i < n; j = i++) {
            double xi = xy[2 * i], yi = xy[2 * i + 1], xj = xy[2 * j], yj = xy[2 * j + 1];
            if ((yi > py) != (yj > py) && px < (xj - xi) * (py - yi) / (yj - yi) + xi)
                in = !in;
        }
        return in;
    };
    // Coverage from 4x4 samples per pixel.
    for (int y = std::max(0, int(minY)); y <= std::min(canvasSize - 1, int(maxY) + 1); ++y)
        for (int x = std::max(0, int(minX)); x <= std::min(canvasSize - 1, int(maxX) + 1); ++x) {
            int hits = 0;
            for (int sy = 0; sy < 4; ++sy)
                for (int sx = 0; sx < 4; ++sx)
                    hits += inside(x + (sx + 0.5) / 4, y + (sy + 0.5) / 4);
            blendPixel(canvas, x, y, c, hits / 16.0f * alpha);
        }
}

void addGlow(Canvas& canvas, double cx, double cy, double radius, Colour c, float strength) {
    int left = std::max(0, static_cast<int>(cx - radius));
    int right = std::min(canvasSize - 1, static_cast<int>(cx + radius));
    int top = std::max(0, static_cast<int>(cy - radius));
    int bottom = std::min(canvasSize - 1, static_cast<int>(cy + radius));
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x) {
            double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy) / radius;
            if (d < 1) {
                double falloff = (1 - d) * (1 - d);
                addPixel(canvas, x, y, c, static_cast<float>(falloff) * strength);
            }
        }
}

double textWidth(const std::string& text, double cell) {
    double width = 0;
    for (char ch : text)
        width += ch == ' ' ? 8 : glyphWindow(ch).width + 1;
    return (width - 1) * cell;
}

void drawText(Canvas& canvas, const std::string& text, double x, double y, double cell, Colour face,
              float alpha) {
    Colour light = mix(face, {1, 1, 1}, 0.45f), dark = scaled(face, 0.55f);
    double gap = 0.06 * cell, bevel = cell >= 4 ? 0.2 * cell : 0;
    for (char ch : text) {
        if (ch == ' ') {
            x += 8 * cell;
            continue;
        }
        GlyphWindow glyph = glyphWindow(ch);
        for (int row = 0; row < glyphGridRows; ++row)
            for (int column = 0; column < glyph.width; ++column) {
                if (!glyphInk(glyph, row, column))
                    continue;
                double x0 = x + column * cell + gap, y0 = y + row * cell + gap;
                double x1 = x + (column + 1) * cell - gap, y1 = y + (row + 1) * cell - gap;
                fillRect(canvas, x0, y0, x1, y1, dark, alpha);
                fillRect(canvas, x0, y0, x1 - bevel, y1 - bevel, light, alpha);
                fillRect(canvas, x0 + bevel, y0 + bevel, x1 - bevel, y1 - bevel, face, alpha);
            }
        x += (glyph.width + 1) * cell;
    }
}

void drawTextCentred(Canvas& canvas, const std::string& text, double centreX, double y, double cell,
                     Colour face, float alpha) {
    drawText(canvas, text, centreX - textWidth(text, cell) / 2, y, cell, face, alpha);
}

namespace {

// One box blur pass along rows (step 1) or columns (step canvasSize) of every channel.
void boxPass(std::vector<float>& data, int radius, bool wrap, bool alongRows) {
    std::vector<float> line(canvasSize * 3), out(canvasSize * 3);
    for (int l = 0; l < canvasSize; ++l) {
        for (int i = 0; i < canvasSize; ++i) {
            int index = alongRows ? l * canvasSize + i : i * canvasSize + l;
            for (int k = 0; k < 3; ++k)
                line[i * 3 + k] = data[index * 3 + k];
        }
        // Sliding window: add the sample entering, drop the one leaving.
        auto at = [&](int j) {
            return wrap ? (j % canvasSize + canvasSize) % canvasSize
                        : std::clamp(j, 0, canvasSize - 1);
        };
        float sum[3] = {0, 0, 0};
        for (int d = -radius; d <= radius; ++d)
            for (int k = 0; k < 3; ++k)
                sum[k] += line[at(d) * 3 + k];
        for (int i = 0; i < canvasSize; ++i) {
            for (int k = 0; k < 3; ++k) {
                out[i * 3 + k] = sum[k] / (2 * radius + 1);
                sum[k] += line[at(i + radius + 1) * 3 + k] - line[at(i - radius) * 3 + k];
            }
        }
        for (int i = 0; i < canvasSize; ++i) {
            int index = alongRows ? l * canvasSize + i : i * canvasSize + l;
            for (int k = 0; k < 3; ++k)
                data[index * 3 + k] = out[i * 3 + k];
        }
    }
}

struct JpegFailure {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void jpegFailed(j_common_ptr info) {
    auto* failure = reinterpret_cast<JpegFailure*>(info->err);
    info->err->format_message(info, failure->message);
    std::longjmp(failure->jump, 1);
}

} // namespace

void blur(Canvas& canvas, int radius, bool wrap) {
    for (int pass = 0; pass < 3; ++pass) {
        boxPass(canvas.rgb, radius, wrap, true);
        boxPass(canvas.rgb, radius, wrap, false);
    }
}

void addCanvas(Canvas& canvas, const Canvas& source, float amount) {
    for (size_t i = 0; i < canvas.rgb.size(); ++i)
        canvas.rgb[i] += source.rgb[i] * amount;
}

double hash01(int a, int b, int c) {
    uint32_t h = 0x9E3779B9u;
    for (int v : {a, b, c}) {
        h ^= static_cast<uint32_t>(v) + 0x7F4A7C15u + (h << 6) + (h >> 2);
        h *= 0x85EBCA6Bu;
        h ^= h >> 13;
        h *= 0xC2B2AE35u;
        h ^= h >> 16;
    }
    return (h >> 8) / 16777216.0;
}

bool writeJpeg(const Canvas& canvas, const std::string& path, std::string& error) {
    std::vector<JSAMPLE> row(canvasSize * 3);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        error = "cannot create " + path;
        return false;
    }
    jpeg_compress_struct info;
    JpegFailure failure;
    info.err = jpeg_std_error(&failure.manager);
    failure.manager.error_exit = jpegFailed;
    if (setjmp(failure.jump)) {
        jpeg_destroy_compress(&info);
        std::fclose(file);
        error = std::string("cannot encode ") + path + ": " + failure.message;
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = canvasSize;
    info.image_height = canvasSize;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    // Full-resolution chroma keeps thin coloured lettering sharp.
    for (int c = 0; c < 3; ++c) {
        info.comp_info[c].h_samp_factor = 1;
        info.comp_info[c].v_samp_factor = 1;
    }
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        const float* source = &canvas.rgb[info.next_scanline * canvasSize * 3];
        for (int i = 0; i < canvasSize * 3; ++i)
            row[i] = static_cast<JSAMPLE>(std::lround(std::clamp(source[i], 0.0f, 1.0f) * 255));
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    bool written = std::ferror(file) == 0;
    written = std::fclose(file) == 0 && written;
    if (!written)
        error = "cannot write " + path;
    return written;
}
