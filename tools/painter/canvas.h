// A 512x512 floating-point RGB canvas with the few drawing operations the painter needs:
// shaded fills, antialiased rectangles, discs and polygons, cube-bitmap lettering from the
// program's own glyph grid, blur for glows, and baseline JPEG output.
#pragma once

#include <string>
#include <vector>

constexpr int canvasSize = 512;

struct Colour {
    float r, g, b;
};

struct Canvas {
    std::vector<float> rgb = std::vector<float>(canvasSize * canvasSize * 3, 0.0f);
};

Colour mix(Colour a, Colour b, float t);
Colour scaled(Colour c, float s);
// Colour of a hue (0..1 around the wheel) at full saturation.
Colour hueColour(float hue);

Colour pixelAt(const Canvas& canvas, int x, int y);
// Blends `c` over the pixel with the given coverage (0..1).
void blendPixel(Canvas& canvas, int x, int y, Colour c, float coverage);
void addPixel(Canvas& canvas, int x, int y, Colour c, float amount);

// Antialiased shapes; `alpha` scales their coverage. Coordinates are pixels, y downwards.
void fillRect(Canvas& canvas, double x0, double y0, double x1, double y1, Colour c,
              float alpha = 1);
void fillDisc(Canvas& canvas, double cx, double cy, double radius, Colour c, float alpha = 1);
void fillPolygon(Canvas& canvas, const std::vector<double>& xy, Colour c, float alpha = 1);
// Adds light falling off smoothly from the centre to zero at `radius`.
void addGlow(Canvas& canvas, double cx, double cy, double radius, Colour c, float strength);

// Cube-bitmap lettering: each ink cell of the glyph grid becomes a small bevelled cube face.
// (x, y) is the top left corner of row 0 of the first glyph; a space is 8 cells wide.
double textWidth(const std::string& text, double cell);
void drawText(Canvas& canvas, const std::string& text, double x, double y, double cell, Colour face,
              float alpha = 1);
// Centred horizontally on `centreX`.
void drawTextCentred(Canvas& canvas, const std::string& text, double centreX, double y, double cell,
                     Colour face, float alpha = 1);

// Three box blur passes of the given radius (about a Gaussian), wrapping at the edges when
// `wrap` is set so tileable pictures stay tileable.
void blur(Canvas& canvas, int radius, bool wrap);
// Adds `source` scaled by `amount` onto `canvas`.
void addCanvas(Canvas& canvas, const Canvas& source, float amount);

// Deterministic hash of integers to [0, 1).
double hash01(int a, int b, int c = 0);

// Writes a baseline RGB JPEG (quality 90, no chroma subsampling). Returns false with a message
// in `error` when the file cannot be written.
bool writeJpeg(const Canvas& canvas, const std::string& path, std::string& error);
