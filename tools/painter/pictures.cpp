// The painter's pictures. Backdrops are shown dimmed through ten additive layers, so they are
// bright and busy; several are tileable because the layers repeat them. The overlays and the
// three closing pictures lose their green channel on screen, so they draw in red and blue on
// black, and the closing pictures add up to one end card.
#include "pictures.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

const char* const pictureNames[pictureCount] = {
    "happy2.jpg",  "happy3.jpg", "kuvio.jpg",  "turin.jpg",  "turin2.jpg",   "milan.jpg",
    "sponssi.jpg", "logo.jpg",   "greets.jpg", "happy4.jpg", "sponssi1.jpg", "sponssi2.jpg",
    "putket3.jpg", "h1.jpg",     "h2.jpg",     "h3.jpg",     "renpils.jpg"};

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double tau = 2 * pi;

template <typename Shader> void shade(Canvas& canvas, Shader shader) {
    for (int y = 0; y < canvasSize; ++y)
        for (int x = 0; x < canvasSize; ++x) {
            Colour c = shader(x, y);
            float* p = &canvas.rgb[(y * canvasSize + x) * 3];
            p[0] = c.r;
            p[1] = c.g;
            p[2] = c.b;
        }
}

float smoothstep(float edge0, float edge1, float x) {
    float t = std::clamp((x - edge0) / (edge1 - edge0), 0.0f, 1.0f);
    return t * t * (3 - 2 * t);
}

// A capsule from (x0, y0) to (x1, y1) of the given radius, one colour per half, shaded round.
void drawCapsule(Canvas& canvas, double x0, double y0, double x1, double y1, double radius,
                 Colour first, Colour second) {
    double dx = x1 - x0, dy = y1 - y0, lengthSquared = dx * dx + dy * dy;
    int left = int(std::min(x0, x1) - radius - 1), right = int(std::max(x0, x1) + radius + 1);
    int top = int(std::min(y0, y1) - radius - 1), bottom = int(std::max(y0, y1) + radius + 1);
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x) {
            double px = x + 0.5 - x0, py = y + 0.5 - y0;
            double along = std::clamp((px * dx + py * dy) / lengthSquared, 0.0, 1.0);
            double ex = px - along * dx, ey = py - along * dy;
            double d = std::hypot(ex, ey);
            float coverage = static_cast<float>(std::clamp(radius - d + 0.5, 0.0, 1.0));
            if (coverage <= 0)
                continue;
            Colour c = along < 0.5 ? first : second;
            float round =
                static_cast<float>(std::sqrt(std::max(0.0, 1 - (d / radius) * (d / radius))));
            c = scaled(c, 0.45f + 0.55f * round);
            // A highlight along the upper side.
            double side = (ex * -dy + ey * dx) / std::sqrt(lengthSquared) / radius;
            float shine = smoothstep(0.25f, 0.0f, static_cast<float>(std::fabs(side + 0.45)));
            c = mix(c, {1, 1, 1}, 0.7f * shine);
            blendPixel(canvas, x, y, c, coverage);
        }
}

// --- Bright backdrops -------------------------------------------------------------------

// Interfering waves through the colour wheel, tileable, with soft sparkles.
Canvas paintHappy2() {
    Canvas canvas;
    shade(canvas, [](int x, int y) {
        double u = x / 512.0, v = y / 512.0;
        double wave = std::sin(tau * 2 * u + 1.5 * std::sin(tau * v)) +
                      std::sin(tau * 3 * v + 1.2 * std::sin(tau * 2 * u)) +
                      std::sin(tau * (2 * u + 2 * v)) + 0.5 * std::sin(tau * (3 * u - 2 * v));
        Colour c = hueColour(static_cast<float>(0.13 * wave + 0.08 * std::sin(tau * v)));
        float white = static_cast<float>(0.2 + 0.15 * std::sin(tau * (u - 2 * v) + wave));
        return mix(c, {1, 1, 1}, white);
    });
    for (int i = 0; i < 24; ++i) {
        double x = hash01(1, i) * 512, y = hash01(2, i) * 512, r = 18 + 30 * hash01(3, i);
        for (int ox : {-512, 0, 512})
            for (int oy : {-512, 0, 512})
                addGlow(canvas, x + ox, y + oy, r, {1, 1, 0.9f}, 0.6f);
    }
    return canvas;
}

// A sunburst of warm rays with rings and confetti.
Canvas paintHappy3() {
    Canvas canvas;
    shade(canvas, [](int x, int y) {
        double dx = x - 256.0, dy = y - 230.0;
        double angle = std::atan2(dy, dx), r = std::hypot(dx, dy);
        float ray = static_cast<float>(0.5 + 0.5 * std::cos(18 * angle + r / 40));
        Colour c = mix({1, 0.42f, 0.1f}, {1, 0.9f, 0.2f}, smoothstep(0.35f, 0.65f, ray));
        float ring = static_cast<float>(0.5 + 0.5 * std::sin(r / 14));
        c = mix(c, {1, 0.35f, 0.7f}, 0.35f * ring * static_cast<float>(std::min(1.0, r / 200)));
        return mix(c, {1, 1, 0.9f}, static_cast<float>(std::max(0.0, 1 - r / 90)));
    });
    for (int i = 0; i < 70; ++i)
        fillDisc(canvas, hash01(4, i) * 512, hash01(5, i) * 512, 3 + 7 * hash01(6, i),
                 mix(hueColour(static_cast<float>(hash01(7, i))), {1, 1, 1}, 0.2f));
    return canvas;
}

// Diagonal wavy bands in four bright colours with a dot grid, tileable.
Canvas paintHappy4() {
    Canvas canvas;
    const Colour bands[4] = {
        {1, 0.2f, 0.75f}, {0.1f, 0.85f, 1}, {1, 0.92f, 0.15f}, {0.45f, 1, 0.25f}};
    shade(canvas, [&](int x, int y) {
        double u = x / 512.0, v = y / 512.0;
        double f = 6 * (u + v) + 0.8 * std::sin(tau * 2 * v) + 0.5 * std::sin(tau * 3 * u);
        int band = static_cast<int>(std::floor(f));
        float within = static_cast<float>(f - band);
        Colour c = bands[((band % 4) + 4) % 4], next = bands[(((band + 1) % 4) + 4) % 4];
        c = mix(c, next, smoothstep(0.9f, 1.0f, within));
        return mix(c, {1, 1, 1}, 0.45f * smoothstep(0.18f, 0.0f, within));
    });
    for (int gy = 0; gy < 16; ++gy)
        for (int gx = 0; gx < 16; ++gx)
            fillDisc(canvas, gx * 32 + 16, gy * 32 + 16, 3.5, {1, 1, 1}, 0.45f);
    return canvas;
}

// --- Pattern --------------------------------------------------------------------------

// Diamonds in concentric steps and circles at the tile corners, 8 x 8 tiles, tileable.
Canvas paintKuvio() {
    Canvas canvas;
    const Colour base[2] = {{0.05f, 0.55f, 0.6f}, {0.1f, 0.15f, 0.55f}};
    const Colour diamond[2] = {{1, 0.55f, 0.15f}, {1, 0.9f, 0.3f}};
    shade(canvas, [&](int x, int y) {
        Colour sum{0, 0, 0};
        for (int s = 0; s < 4; ++s) {
            double px = x + 0.25 + 0.5 * (s % 2), py = y + 0.25 + 0.5 * (s / 2);
            int tx = int(px) / 64, ty = int(py) / 64, parity = (tx + ty) % 2;
            double lx = std::fmod(px, 64.0) - 32, ly = std::fmod(py, 64.0) - 32;
            double d = std::fabs(lx) + std::fabs(ly);
            Colour c = base[parity];
            if (d < 27) {
                int step = int(d / 6);
                c = step % 2 ? mix(diamond[parity], {1, 1, 1}, 0.3f) : diamond[parity];
                if (d < 5)
                    c = base[1 - parity];
            }
            double corner = std::hypot(32 - std::fabs(lx), 32 - std::fabs(ly));
            if (corner < 13)
                c = corner < 8 ? Colour{0.95f, 0.95f, 0.9f} : Colour{0.9f, 0.2f, 0.35f};
            sum = {sum.r + c.r / 4, sum.g + c.g / 4, sum.b + c.b / 4};
        }
        return sum;
    });
    return canvas;
}

// --- Scenes ---------------------------------------------------------------------------

// A harbour town at sunset: glowing sky, skyline with a dome, a spire and a tower, the sun's
// reflection broken on the water, two boats.
Canvas paintTurin() {
    Canvas canvas;
    const double horizon = 300;
    shade(canvas, [&](int, int y) {
        if (y < horizon) {
            float t = static_cast<float>(y / horizon);
            return t < 0.7f ? mix({0.25f, 0.1f, 0.45f}, {0.95f, 0.4f, 0.35f}, t / 0.7f)
                            : mix({0.95f, 0.4f, 0.35f}, {1, 0.8f, 0.4f}, (t - 0.7f) / 0.3f);
        }
        float t = static_cast<float>((y - horizon) / (512 - horizon));
        return mix({0.6f, 0.28f, 0.35f}, {0.12f, 0.05f, 0.18f}, t);
    });
    addGlow(canvas, 330, 190, 200, {1, 0.55f, 0.25f}, 0.5f);
    fillDisc(canvas, 330, 190, 40, {1, 0.95f, 0.7f});
    for (int i = 0; i < 7; ++i) {
        double y = 90 + 18 * i + 10 * hash01(8, i), x = 512 * hash01(9, i) - 100;
        fillRect(canvas, x, y, x + 120 + 160 * hash01(10, i), y + 4 + 3 * hash01(11, i),
                 {1, 0.7f, 0.65f}, 0.35f);
    }
    // Skyline silhouette (as coverage in a mask), lit windows, and a darker reflection.
    const Colour silhouette{0.2f, 0.08f, 0.22f}, white{1, 1, 1};
    Canvas mask;
    std::vector<std::pair<double, double>> windows;
    for (double x = 0; x < 512;) {
        int i = int(x);
        double width = 18 + 24 * hash01(12, i), height = 25 + 60 * hash01(13, i);
        fillRect(mask, x, horizon - height, x + width - 1, horizon, white);
        for (double wy = horizon - height + 6; wy < horizon - 6; wy += 9)
            for (double wx = x + 4; wx < x + width - 6; wx += 7)
                if (hash01(14, int(wx), int(wy)) < 0.25)
                    windows.push_back({wx, wy});
        x += width;
    }
    fillRect(mask, 96, horizon - 120, 144, horizon, white);
    fillDisc(mask, 120, horizon - 120, 30, white);
    fillRect(mask, 118, horizon - 175, 122, horizon - 140, white);
    fillPolygon(mask, {372, horizon - 70, 380, horizon - 205, 388, horizon - 70}, white);
    fillRect(mask, 366, horizon - 90, 394, horizon, white);
    fillRect(mask, 232, horizon - 130, 262, horizon, white);
    fillPolygon(mask, {228, horizon - 130, 247, horizon - 165, 266, horizon - 130}, white);
    for (int y = 0; y < int(horizon); ++y)
        for (int x = 0; x < canvasSize; ++x) {
            float coverage = pixelAt(mask, x, y).r;
            blendPixel(canvas, x, y, silhouette, coverage);
            int mirrored = int(horizon + (horizon - 1 - y) * 0.6);
            blendPixel(canvas, x, mirrored, scaled(silhouette, 0.8f), 0.55f * coverage);
        }
    for (auto [wx, wy] : windows)
        fillRect(canvas, wx, wy, wx + 3, wy + 4, {1, 0.8f, 0.4f});
    // The sun's path on the water, broken into ripples.
    for (int y = int(horizon) + 2; y < canvasSize; y += 3) {
        double depth = (y - horizon) / (512 - horizon);
        for (int k = 0; k < 3; ++k) {
            double half = (20 + 90 * depth) * (0.4 + 0.6 * hash01(15, y, k));
            double centre = 330 + (hash01(16, y, k) - 0.5) * 80 * depth;
            fillRect(canvas, centre - half, y, centre + half, y + 1.2, {1, 0.85f, 0.55f},
                     static_cast<float>(0.8 - 0.5 * depth));
        }
    }
    for (auto [x, y, s] : {std::tuple{90.0, 380.0, 1.0}, std::tuple{450.0, 350.0, 0.7}}) {
        fillPolygon(canvas,
                    {x - 40 * s, y, x + 40 * s, y, x + 30 * s, y + 12 * s, x - 32 * s, y + 12 * s},
                    {0.1f, 0.04f, 0.12f});
        fillRect(canvas, x - 2 * s, y - 70 * s, x + 1 * s, y, {0.1f, 0.04f, 0.12f});
        fillPolygon(canvas, {x + 3 * s, y - 66 * s, x + 3 * s, y - 6 * s, x + 36 * s, y - 6 * s},
                    {0.95f, 0.85f, 0.8f});
    }
    return canvas;
}

// A town on a hill by night: stars, a crescent moon, a church on the hilltop and streets of
// lit windows and lamps below.
Canvas paintTurin2() {
    Canvas canvas;
    auto sky = [](double y) {
        return mix({0.02f, 0.03f, 0.14f}, {0.2f, 0.12f, 0.38f},
                   static_cast<float>(std::min(1.0, y / 330)));
    };
    shade(canvas, [&](int, int y) { return sky(y); });
    for (int i = 0; i < 180; ++i) {
        double x = hash01(20, i) * 512, y = hash01(21, i) * 300, b = hash01(22, i);
        fillDisc(canvas, x, y, 0.6 + 1.2 * b, {1, 1, 0.9f}, static_cast<float>(0.4 + 0.6 * b));
        if (b > 0.85)
            addGlow(canvas, x, y, 9, {0.7f, 0.8f, 1}, 0.5f);
    }
    addGlow(canvas, 400, 100, 140, {0.5f, 0.5f, 0.8f}, 0.45f);
    // The crescent: the moon's disc less a second, offset disc.
    Canvas moon, shadow;
    fillDisc(moon, 400, 100, 40, {1, 1, 1});
    fillDisc(shadow, 418, 90, 36, {1, 1, 1});
    for (int y = 50; y < 150; ++y)
        for (int x = 350; x < 450; ++x)
            blendPixel(canvas, x, y, {0.98f, 0.96f, 0.85f},
                       pixelAt(moon, x, y).r * (1 - pixelAt(shadow, x, y).r));
    const Colour hill{0.05f, 0.05f, 0.13f};
    std::vector<double> ridge{0, 512};
    for (int x = 0; x <= 512; x += 8)
        ridge.insert(ridge.end(), {double(x), 300 - 70 * std::exp(-std::pow((x - 170) / 140.0, 2)) +
                                                  8 * std::sin(x / 37.0)});
    ridge.insert(ridge.end(), {512, 512});
    fillPolygon(canvas, ridge, hill);
    // Church on the hilltop.
    fillRect(canvas, 140, 205, 210, 240, hill);
    fillDisc(canvas, 175, 205, 22, hill);
    fillRect(canvas, 173, 160, 177, 190, hill);
    fillRect(canvas, 215, 170, 232, 240, hill);
    fillPolygon(canvas, {213, 170, 223.5, 140, 234, 170}, hill);
    for (auto [x, y] : {std::pair{155.0, 220.0}, std::pair{170.0, 220.0}, std::pair{185.0, 220.0},
                        std::pair{221.0, 185.0}})
        fillRect(canvas, x, y, x + 5, y + 10, {1, 0.8f, 0.45f});
    addGlow(canvas, 175, 215, 90, {1, 0.7f, 0.4f}, 0.25f);
    // Houses on the slope and the town below.
    for (double x = -10; x < 512;) {
        int i = int(x + 20);
        double width = 26 + 30 * hash01(23, i), top = 330 + 60 * hash01(24, i);
        Colour wall = mix({0.09f, 0.08f, 0.2f}, {0.16f, 0.1f, 0.26f}, float(hash01(25, i)));
        fillRect(canvas, x, top, x + width - 2, 512, wall);
        for (double wy = top + 8; wy < 500; wy += 14)
            for (double wx = x + 5; wx < x + width - 10; wx += 10) {
                double lit = hash01(26, int(wx), int(wy));
                if (lit < 0.45)
                    fillRect(canvas, wx, wy, wx + 5, wy + 7,
                             lit < 0.3 ? Colour{1, 0.82f, 0.45f} : Colour{0.7f, 0.85f, 1});
            }
        x += width;
    }
    for (int i = 0; i < 9; ++i) {
        double x = 30 + i * 57;
        fillRect(canvas, x - 1, 440, x + 1, 480, {0.3f, 0.3f, 0.35f});
        addGlow(canvas, x, 440, 34, {1, 0.75f, 0.35f}, 0.8f);
        fillDisc(canvas, x, 440, 3, {1, 0.95f, 0.8f});
    }
    return canvas;
}

// A glass-roofed gallery in perspective: marble floor, arcades of lit shop windows on both
// sides, iron ribs across the vault and a bright far end.
Canvas paintMilan() {
    Canvas canvas;
    const double halfWidth = 1.6, floorY = -1, springing = 1.2;
    shade(canvas, [&](int px, int py) {
        Colour sum{0, 0, 0};
        for (int s = 0; s < 4; ++s) {
            double dx = (px + 0.25 + 0.5 * (s % 2) - 256) / 300;
            double dy = -(py + 0.25 + 0.5 * (s / 2) - 256) / 300;
            double t = 1e9;
            Colour c{0, 0, 0};
            if (dy < 0)
                t = floorY / dy;
            double tWall = halfWidth / std::max(std::fabs(dx), 1e-9);
            bool wall = tWall < t;
            if (wall)
                t = tWall;
            if (wall && t * dy > springing) {
                // Barrel vault: x^2 + (y - springing)^2 = halfWidth^2.
                double a = dx * dx + dy * dy, b = -2 * springing * dy;
                double cc = springing * springing - halfWidth * halfWidth;
                t = (-b + std::sqrt(b * b - 4 * a * cc)) / (2 * a);
                double z = t, angle = std::atan2(t * dy - springing, t * dx);
                bool rib = std::fmod(z, 1.0) < 0.08 || std::fmod(angle * 12 / pi + 100, 1.0) < 0.1;
                c = rib ? Colour{0.15f, 0.14f, 0.2f} : Colour{0.55f, 0.78f, 0.98f};
            } else if (wall) {
                double z = t, y = t * dy, bay = std::fmod(z, 2.0);
                c = {0.85f, 0.74f, 0.58f};
                double archTop =
                    0.55 + 0.5 * std::sqrt(std::max(0.0, 1 - std::pow((bay - 1.15) / 0.8, 2)));
                if (bay > 0.35 && bay < 1.95 && y < archTop) {
                    c = {1, 0.75f, 0.4f};
                    if (std::fmod(bay, 0.4) < 0.04 || std::fabs(y - 0.2) < 0.03)
                        c = {0.3f, 0.2f, 0.15f};
                } else if (std::fabs(y - 0.75) < 0.04 || std::fabs(y - 1.15) < 0.04) {
                    c = {0.6f, 0.5f, 0.4f};
                } else if (y > 0.85 && y < 1.08 && bay > 0.6 && bay < 1.7) {
                    c = {0.95f, 0.85f, 0.55f};
                }
            } else if (dy < 0) {
                double x = t * dx, z = t;
                bool border = std::fabs(x) > 1.3;
                int checker = (int(std::floor(x / 0.5)) + int(std::floor(z / 0.5))) & 1;
                c = border ? Colour{0.45f, 0.15f, 0.15f}
                           : (checker ? Colour{0.92f, 0.88f, 0.8f} : Colour{0.6f, 0.25f, 0.22f});
            }
            float haze = static_cast<float>(1 - std::exp(-t / 14));
            c = mix(c, {1, 0.92f, 0.75f}, haze);
            sum = {sum.r + c.r / 4, sum.g + c.g / 4, sum.b + c.b / 4};
        }
        return sum;
    });
    addGlow(canvas, 256, 250, 120, {1, 0.9f, 0.7f}, 0.5f);
    return canvas;
}

// --- Sponsors -------------------------------------------------------------------------

// A poster for the party's (made-up) supporters: three badges with captions.
Canvas paintSponssi() {
    Canvas canvas;
    shade(canvas, [](int x, int y) {
        Colour c = mix({0.1f, 0.65f, 0.98f}, {0.05f, 0.2f, 0.6f}, y / 512.0f);
        return std::fmod(x + y, 64.0) < 24 ? mix(c, {1, 1, 1}, 0.12f) : c;
    });
    drawTextCentred(canvas, "SPONSORED BY", 256, 40, 2.6, {1, 0.95f, 0.4f});
    const Colour badge[3] = {{0.95f, 0.25f, 0.3f}, {1, 0.8f, 0.15f}, {0.3f, 0.85f, 0.35f}};
    const char* caption[3] = {"RADIO", "DISKS", "SODA"};
    for (int i = 0; i < 3; ++i) {
        double cx = 96 + 160 * i, cy = 240;
        fillDisc(canvas, cx + 4, cy + 6, 62, {0.02f, 0.05f, 0.2f}, 0.5f);
        fillDisc(canvas, cx, cy, 62, {1, 1, 1});
        fillDisc(canvas, cx, cy, 55, badge[i]);
        Colour ink{1, 1, 1};
        if (i == 0) {
            fillRect(canvas, cx - 28, cy - 10, cx + 28, cy + 26, ink);
            fillDisc(canvas, cx - 10, cy + 8, 11, badge[i]);
            fillRect(canvas, cx + 6, cy - 2, cx + 22, cy + 2, badge[i]);
            fillRect(canvas, cx + 6, cy + 8, cx + 22, cy + 12, badge[i]);
            fillPolygon(canvas,
                        {cx - 20, cy - 10, cx + 14, cy - 36, cx + 17, cy - 32, cx - 14, cy - 10},
                        ink);
        } else if (i == 1) {
            fillRect(canvas, cx - 30, cy - 30, cx + 30, cy + 30, ink);
            fillRect(canvas, cx - 16, cy - 30, cx + 14, cy - 10, {0.4f, 0.4f, 0.45f});
            fillRect(canvas, cx + 2, cy - 27, cx + 9, cy - 13, ink);
            fillRect(canvas, cx - 22, cy + 2, cx + 22, cy + 30, badge[i]);
        } else {
            fillPolygon(canvas,
                        {cx - 14, cy + 34, cx + 14, cy + 34, cx + 16, cy - 6, cx + 6, cy - 20,
                         cx + 6, cy - 36, cx - 6, cy - 36, cx - 6, cy - 20, cx - 16, cy - 6},
                        ink);
            fillRect(canvas, cx - 16, cy + 2, cx + 16, cy + 16, {0.95f, 0.3f, 0.3f});
        }
        drawTextCentred(canvas, caption[i], cx, 320, 1.6, {1, 1, 1});
    }
    drawTextCentred(canvas, "THANK YOU", 256, 400, 3.0, {1, 0.95f, 0.4f});
    return canvas;
}

// A second sponsor card: concentric squares in warm colours and a thank-you line.
Canvas paintSponssi1() {
    Canvas canvas;
    shade(canvas, [](int x, int y) {
        double d = std::max(std::fabs(x - 255.5), std::fabs(y - 255.5));
        int step = int(d / 24);
        Colour c = step % 2 ? Colour{1, 0.45f, 0.2f} : Colour{0.95f, 0.2f, 0.45f};
        return mix(c, {1, 0.9f, 0.5f}, static_cast<float>(std::max(0.0, 1 - d / 200) * 0.6));
    });
    fillRect(canvas, 40, 150, 472, 362, {0.15f, 0.05f, 0.25f}, 0.85f);
    drawTextCentred(canvas, "THANKS TO", 256, 170, 3.2, {1, 0.85f, 0.3f});
    drawTextCentred(canvas, "OUR SPONSORS", 256, 260, 2.5, {0.5f, 0.9f, 1});
    for (int i = 0; i < 9; ++i) {
        double x = 56 + 50 * i;
        fillPolygon(canvas, {x, 100, x + 6,  114, x + 20, 114, x + 9,  123, x + 13, 138,
                             x, 129, x - 13, 138, x - 9,  123, x - 20, 114, x - 6,  114},
                    {1, 1, 0.6f});
        fillPolygon(canvas, {x, 392, x + 6,  406, x + 20, 406, x + 9,  415, x + 13, 430,
                             x, 421, x - 13, 430, x - 9,  415, x - 20, 406, x - 6,  406},
                    {1, 1, 0.6f});
    }
    return canvas;
}

// The sponsor overlay: only the left half is shown, and without green, so a red and blue
// panel of thanks on the left.
Canvas paintSponssi2() {
    Canvas canvas;
    shade(canvas, [](int x, int y) {
        if (x < 256)
            return Colour{0.05f, 0, 0.08f};
        return std::fmod(x - y + 512, 32.0) < 2 ? Colour{0.1f, 0, 0.25f} : Colour{0, 0, 0.03f};
    });
    fillRect(canvas, 8, 8, 248, 504, {0.9f, 0.05f, 0.6f});
    fillRect(canvas, 14, 14, 242, 498, {0.05f, 0, 0.1f});
    for (int y = 20; y < 492; ++y)
        fillRect(canvas, 20, y, 236, y + 1,
                 mix({0.35f, 0, 0.12f}, {0.08f, 0, 0.4f}, (y - 20) / 472.0f));
    drawTextCentred(canvas, "BIG", 128, 40, 4.6, {1, 0.1f, 0.3f});
    drawTextCentred(canvas, "THANKS", 128, 150, 2.3, {1, 0.1f, 1});
    drawTextCentred(canvas, "TO OUR", 128, 220, 2.3, {0.6f, 0.1f, 1});
    drawTextCentred(canvas, "SPONSORS", 128, 290, 1.75, {1, 0.2f, 0.5f});
    for (int i = 0; i < 5; ++i)
        fillDisc(canvas, 48 + 40 * i, 400 + 20 * std::sin(i * 1.3), 12 + 4 * (i % 2),
                 i % 2 ? Colour{1, 0.1f, 0.4f} : Colour{0.4f, 0.1f, 1});
    return canvas;
}

// --- Logo and greetings ---------------------------------------------------------------

// The group's logo: qvh in large cube letters before a bright burst.
Canvas paintLogo() {
    Canvas canvas;
    shade(canvas, [](int x, int y) {
        double dx = x - 256.0, dy = y - 256.0, r = std::hypot(dx, dy);
        float ray = static_cast<float>(0.5 + 0.5 * std::cos(12 * std::atan2(dy, dx)));
        Colour c =
            mix({1, 0.95f, 0.7f}, {1, 0.5f, 0.2f}, static_cast<float>(std::min(1.0, r / 260)));
        c = mix(c, {0.85f, 0.2f, 0.55f}, static_cast<float>(std::clamp((r - 180) / 200, 0.0, 1.0)));
        return mix(c, {1, 1, 0.85f}, 0.18f * ray);
    });
    const double cell = 10, x = 256 - textWidth("QVH", cell) / 2, y = 256 - 4.5 * cell;
    Canvas shadow;
    drawText(shadow, "QVH", x + 8, y + 10, cell, {1, 1, 1});
    blur(shadow, 5, false);
    for (size_t i = 0; i < canvas.rgb.size(); ++i)
        canvas.rgb[i] *= 1 - 0.55f * shadow.rgb[i - i % 3];
    drawText(canvas, "QVH", x, y, cell, {0.12f, 0.16f, 0.5f});
    drawTextCentred(canvas, "QUIET HARBOUR", 256, 370, 1.9, {0.3f, 0.1f, 0.35f});
    return canvas;
}

// Words of greeting in many languages under a title, on a colourful ground with confetti.
Canvas paintGreets() {
    Canvas canvas;
    shade(canvas, [](int x, int y) {
        Colour c = mix({0.45f, 0.12f, 0.6f}, {0.05f, 0.55f, 0.6f}, (x + y) / 1024.0f);
        return std::fmod(y, 62.0) < 2 ? mix(c, {1, 1, 1}, 0.15f) : c;
    });
    for (int i = 0; i < 60; ++i)
        fillDisc(canvas, hash01(30, i) * 512, hash01(31, i) * 512, 2 + 5 * hash01(32, i),
                 hueColour(static_cast<float>(hash01(33, i))), 0.8f);
    drawTextCentred(canvas, "GREETINGS", 256, 28, 3.0, {1, 0.9f, 0.25f});
    const char* words[18] = {"HELLO", "HOWDY", "CHEERS", "SALUT", "HOLA", "CIAO",
                             "HALLO", "HEJ",   "MOI",    "TERVE", "AHOJ", "SZIA",
                             "OLA",   "HEI",   "SERVUS", "YO",    "HIYA", "ALOHA"};
    for (int i = 0; i < 18; ++i) {
        double cx = 90 + 166 * (i % 3), y = 124 + 62 * (i / 3);
        drawTextCentred(canvas, words[i], cx, y, 1.7,
                        mix(hueColour(static_cast<float>(i / 18.0)), {1, 1, 1}, 0.35f));
    }
    return canvas;
}

// --- Pipes ----------------------------------------------------------------------------

struct Pipe {
    std::vector<std::pair<double, double>> corners; // right-angle polyline
    double radius;
    Colour colour;
};

// Shade across a pipe: `d` runs from -1 to 1 over its width.
Colour pipeShade(Colour base, double d) {
    float round = static_cast<float>(std::sqrt(std::max(0.0, 1 - d * d)));
    Colour c = scaled(base, 0.2f + 0.8f * round);
    float shine = static_cast<float>(std::pow(std::max(0.0, 1 - std::fabs(d + 0.4) * 3), 3));
    return mix(c, {1, 0.25f, 1}, 0.8f * shine);
}

void drawPipe(Canvas& canvas, const Pipe& pipe) {
    const double r = pipe.radius, bend = 2 * r + 10;
    const auto& p = pipe.corners;
    for (size_t i = 0; i + 1 < p.size(); ++i) {
        auto [x0, y0] = p[i];
        auto [x1, y1] = p[i + 1];
        bool horizontal = y0 == y1;
        double dirX = (x1 > x0) - (x1 < x0), dirY = (y1 > y0) - (y1 < y0);
        // Straight part, shortened where a bend takes over.
        double sx = x0 + (i > 0 ? bend * dirX : 0), sy = y0 + (i > 0 ? bend * dirY : 0);
        double ex = x1 - (i + 2 < p.size() ? bend * dirX : 0);
        double ey = y1 - (i + 2 < p.size() ? bend * dirY : 0);
        double lo = horizontal ? std::min(sx, ex) : std::min(sy, ey);
        double hi = horizontal ? std::max(sx, ex) : std::max(sy, ey);
        for (int a = int(std::floor(lo)); a <= int(std::ceil(hi)); ++a)
            for (int b = int((horizontal ? y0 : x0) - r - 1);
                 b <= int((horizontal ? y0 : x0) + r + 1); ++b) {
                double d = (b + 0.5 - (horizontal ? y0 : x0)) / r;
                float coverage =
                    static_cast<float>(std::clamp((1 - std::fabs(d)) * r + 0.5, 0.0, 1.0));
                blendPixel(canvas, horizontal ? a : b, horizontal ? b : a,
                           pipeShade(pipe.colour, horizontal ? d : -d), coverage);
            }
        // Flanges every 120 pixels along the straight part.
        for (double f = lo + 40; f < hi - 20; f += 120)
            for (int a = int(f); a < int(f + 8); ++a)
                for (int b = int((horizontal ? y0 : x0) - 1.3 * r - 1);
                     b <= int((horizontal ? y0 : x0) + 1.3 * r + 1); ++b) {
                    double d = (b + 0.5 - (horizontal ? y0 : x0)) / (1.3 * r);
                    float coverage = static_cast<float>(
                        std::clamp((1 - std::fabs(d)) * 1.3 * r + 0.5, 0.0, 1.0));
                    blendPixel(canvas, horizontal ? a : b, horizontal ? b : a,
                               scaled(pipeShade(pipe.colour, horizontal ? d : -d), 1.15f),
                               coverage);
                }
        // Quarter-ring bend into the next part.
        if (i + 2 < p.size()) {
            auto [x2, y2] = p[i + 2];
            double nX = (x2 > x1) - (x2 < x1), nY = (y2 > y1) - (y2 < y1);
            double cx = x1 - bend * dirX + bend * nX, cy = y1 - bend * dirY + bend * nY;
            for (int y = int(y1 - bend - r - 2); y <= int(y1 + bend + r + 2); ++y)
                for (int x = int(x1 - bend - r - 2); x <= int(x1 + bend + r + 2); ++x) {
                    double ox = x + 0.5 - cx, oy = y + 0.5 - cy;
                    // Only the quadrant that faces the corner.
                    if (ox * (x1 - cx) < 0 || oy * (y1 - cy) < 0)
                        continue;
                    double d = (std::hypot(ox, oy) - bend) / r;
                    float coverage =
                        static_cast<float>(std::clamp((1 - std::fabs(d)) * r + 0.5, 0.0, 1.0));
                    blendPixel(canvas, x, y, pipeShade(pipe.colour, d), coverage);
                }
        }
    }
}

// A tangle of red, blue and purple pipes with bends, flanges, a valve wheel and a gauge.
Canvas paintPutket3() {
    Canvas canvas;
    shade(canvas, [](int, int) { return Colour{0.02f, 0, 0.04f}; });
    const Colour red{1, 0.1f, 0.2f}, blue{0.3f, 0.1f, 1}, purple{0.85f, 0.1f, 0.9f};
    const Pipe pipes[] = {
        {{{470, -40}, {470, 552}}, 12, purple},
        {{{420, -40}, {420, 250}, {552, 250}}, 30, blue},
        {{{80, -40}, {80, 300}, {250, 300}, {250, 552}}, 14, blue},
        {{{-40, 220}, {180, 220}, {180, 60}, {552, 60}}, 10, purple},
        {{{-40, 110}, {330, 110}, {330, 420}, {552, 420}}, 22, red},
        {{{-40, 470}, {140, 470}, {140, 360}, {290, 360}}, 8, red},
    };
    for (const Pipe& pipe : pipes)
        drawPipe(canvas, pipe);
    // The thin red pipe ends in a cap.
    fillRect(canvas, 286, 348, 296, 372, {0.8f, 0.08f, 0.2f});
    fillRect(canvas, 287, 350, 290, 370, {1, 0.35f, 0.6f});
    // Valve wheel and gauge.
    fillDisc(canvas, 150, 110, 34, {0.9f, 0.15f, 0.5f});
    fillDisc(canvas, 150, 110, 27, {0.05f, 0, 0.1f});
    for (int k = 0; k < 3; ++k) {
        double a = k * pi / 3;
        fillPolygon(
            canvas,
            {150 + 30 * std::cos(a) - 3 * std::sin(a), 110 + 30 * std::sin(a) + 3 * std::cos(a),
             150 + 30 * std::cos(a) + 3 * std::sin(a), 110 + 30 * std::sin(a) - 3 * std::cos(a),
             150 - 30 * std::cos(a) + 3 * std::sin(a), 110 - 30 * std::sin(a) - 3 * std::cos(a),
             150 - 30 * std::cos(a) - 3 * std::sin(a), 110 - 30 * std::sin(a) + 3 * std::cos(a)},
            {0.9f, 0.15f, 0.5f});
    }
    fillDisc(canvas, 150, 110, 7, {1, 0.3f, 0.8f});
    fillDisc(canvas, 330, 250, 30, {0.6f, 0.1f, 0.7f});
    fillDisc(canvas, 330, 250, 25, {0.95f, 0.3f, 1});
    fillPolygon(canvas, {328, 252, 332, 248, 350, 232}, {0.2f, 0, 0.3f});
    return canvas;
}

// --- Closing pictures -----------------------------------------------------------------

// First closing picture: the card's frame, a striped low sun and a grid floor, in blue.
Canvas paintH1() {
    Canvas canvas;
    const double horizon = 300;
    for (int y = 0; y < canvasSize; ++y)
        for (int x = 0; x < canvasSize; ++x) {
            double dx = x + 0.5 - 256, dy = y + 0.5 - horizon, r = std::hypot(dx, dy);
            Colour c{0, 0, 0.02f};
            if (y < horizon && r < 150 &&
                (y < 200 || std::fmod(horizon - y, 20.0) > 6 * (1 - (horizon - y) / 100)))
                c = mix({0.9f, 0.05f, 0.5f}, {0.5f, 0, 0.9f},
                        static_cast<float>((horizon - y) / 150));
            if (y >= horizon + 6) {
                double depth = (y + 0.5 - horizon) / (512 - horizon);
                double lateral = dx / std::max(depth, 0.02) / 60;
                double along = 1 / std::max(depth, 0.02);
                bool line =
                    std::fabs(lateral - std::round(lateral)) < 0.05 / std::max(depth, 0.1) * 0.6 ||
                    std::fmod(along, 1.0) < 0.12 * along * depth;
                // Lines closer than the eye can tell apart near the horizon fade into a glow.
                c = line && depth > 0.07 ? Colour{0.25f, 0.05f, 1} : Colour{0.02f, 0, 0.08f};
            }
            float* p = &canvas.rgb[(y * canvasSize + x) * 3];
            p[0] = c.r;
            p[1] = c.g;
            p[2] = c.b;
        }
    Canvas frame;
    fillRect(frame, 20, 20, 492, 492, {0.5f, 0.05f, 1});
    fillRect(frame, 27, 27, 485, 485, {0, 0, 0});
    Canvas glow = frame;
    blur(glow, 6, false);
    for (size_t i = 0; i < canvas.rgb.size(); ++i)
        canvas.rgb[i] += frame.rgb[i] + 1.5f * glow.rgb[i];
    addGlow(canvas, 256, horizon, 260, {0.6f, 0, 0.5f}, 0.35f);
    return canvas;
}

// Second closing picture: qvh in glowing red and magenta cube letters.
Canvas paintH2() {
    Canvas canvas;
    const double cell = 9;
    Canvas letters;
    drawTextCentred(letters, "QVH", 256, 112, cell, {1, 0.1f, 0.55f});
    Canvas glow = letters;
    blur(glow, 8, false);
    addCanvas(canvas, glow, 1.6f);
    addCanvas(canvas, letters, 1);
    for (int i = 0; i < 40; ++i)
        fillDisc(canvas, 30 + 452 * hash01(40, i), 40 + 180 * hash01(41, i), 1 + 2 * hash01(42, i),
                 {1, 0.3f, 0.9f}, 0.8f);
    return canvas;
}

// Third closing picture: the parting words, in blue and violet.
Canvas paintH3() {
    Canvas canvas;
    Canvas words;
    drawTextCentred(words, "THE END", 256, 320, 4.0, {0.45f, 0.1f, 1});
    drawTextCentred(words, "THANKS FOR WATCHING", 256, 420, 1.55, {0.9f, 0.15f, 1});
    Canvas glow = words;
    blur(glow, 6, false);
    addCanvas(canvas, glow, 1.4f);
    addCanvas(canvas, words, 1);
    for (int i = 0; i < 3; ++i)
        fillRect(canvas, 60 + 140 * i, 395, 172 + 140 * i, 399, {0.4f, 0.05f, 1});
    return canvas;
}

// --- Pills ----------------------------------------------------------------------------

// Two-tone capsules scattered over a pale striped ground, tileable.
Canvas paintRenpils() {
    Canvas canvas;
    shade(canvas, [](int x, int y) {
        Colour c{1, 0.93f, 0.7f};
        return std::fmod(x + 2 * y, 48.0) < 16 ? Colour{1, 0.85f, 0.75f} : c;
    });
    for (int i = 0; i < 44; ++i) {
        double x = 512 * hash01(50, i), y = 512 * hash01(51, i), angle = pi * hash01(52, i);
        double half = 26 + 16 * hash01(53, i), radius = 12 + 7 * hash01(54, i);
        Colour a = hueColour(static_cast<float>(hash01(55, i)));
        Colour b =
            hash01(56, i) < 0.5 ? Colour{1, 1, 1} : hueColour(static_cast<float>(hash01(57, i)));
        for (int ox : {-512, 0, 512})
            for (int oy : {-512, 0, 512}) {
                double cx = x + ox, cy = y + oy;
                if (cx < -80 || cx > 592 || cy < -80 || cy > 592)
                    continue;
                drawCapsule(canvas, cx - half * std::cos(angle), cy - half * std::sin(angle),
                            cx + half * std::cos(angle), cy + half * std::sin(angle), radius, a, b);
            }
    }
    return canvas;
}

} // namespace

Canvas paintPicture(int index) {
    switch (index) {
    case 0:
        return paintHappy2();
    case 1:
        return paintHappy3();
    case 2:
        return paintKuvio();
    case 3:
        return paintTurin();
    case 4:
        return paintTurin2();
    case 5:
        return paintMilan();
    case 6:
        return paintSponssi();
    case 7:
        return paintLogo();
    case 8:
        return paintGreets();
    case 9:
        return paintHappy4();
    case 10:
        return paintSponssi1();
    case 11:
        return paintSponssi2();
    case 12:
        return paintPutket3();
    case 13:
        return paintH1();
    case 14:
        return paintH2();
    case 15:
        return paintH3();
    default:
        return paintRenpils();
    }
}
