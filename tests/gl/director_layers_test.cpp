// The five layer motions of the picture stack, read back through feedback mode: for each
// (motion, time, strikes) case the four corners of all ten layer quads against the corners
// that the motion's transforms give, worked out here in double precision.
#include "director.h"

#include "clock.h"
#include "gl_harness.h"
#include "music.h"
#include "platform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr int width = 640, height = 480;
// The stack is drawn under this scale so that even the whirl's largest layer stays unclipped.
constexpr double shrink = 1.0 / 32.0;

// A 2D affine map: x' = a x + b y + tx, y' = c x + d y + ty.
struct Affine {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;
};

// m followed by n in the sense of the matrix stack: m * n, n acting on the point first.
Affine operator*(const Affine& m, const Affine& n) {
    return {m.a * n.a + m.b * n.c, m.a * n.b + m.b * n.d,          m.c * n.a + m.d * n.c,
            m.c * n.b + m.d * n.d, m.a * n.tx + m.b * n.ty + m.tx, m.c * n.tx + m.d * n.ty + m.ty};
}

Affine scaling(double sx, double sy) {
    return {sx, 0, 0, sy, 0, 0};
}

Affine scaling(double s) {
    return scaling(s, s);
}

Affine translation(double x, double y) {
    return {1, 0, 0, 1, x, y};
}

// `degrees` about (0, 0, axisZ): about -z the turn runs clockwise.
Affine rotation(double degrees, double axisZ) {
    const double r = degrees * pi / 180.0 * axisZ;
    return {std::cos(r), -std::sin(r), std::sin(r), std::cos(r), 0, 0};
}

// The rows since a strike of SyncPoint 6 and 11, or -1 for none.
struct Strikes {
    double sync6 = -1, sync11 = -1;
};

double expDecayAfter(double rows, double length) {
    return rows < 0 ? 0.0 : std::exp(-(rows / length) / std::log(2.0));
}

// Whirl positions: angle (5 i + base) x sin(2t) or cos(2t) about (0, 0, axisZ), then the
// enlargement, then a shift to (x, y0 + ys sin(4t)).
struct WhirlRow {
    bool cosine;
    double base, axisZ, x, y0, ys;
};

const WhirlRow whirlRows[12] = {
    {false, 51, 1, 0.5, 0.5, -0.5},    {true, 32, 1, 0.5, 0, 0.5},
    {false, 23, -1, 0.5, -0.5, 0.5},   {true, 54, -1, 0.25, 0.5, -0.5},
    {false, 66, 1, 0.25, 0, -0.5},     {true, 28, 1, 0.25, -0.5, 0.5},
    {false, 37, -1, -0.25, 0.5, -0.5}, {true, 43, -1, -0.25, 0, 0.5},
    {false, 52, 1, -0.25, -0.5, 0.5},  {true, 63, 1, -0.5, 0.5, -0.5},
    {false, 74, -1, -0.5, 0, -0.5},    {true, 41, -1, -0.5, -0.5, 0.5},
};

Affine expectedLayer(LayerMotion motion, int i, double t, const Strikes& strikes) {
    const double s4 = std::sin(4 * t);
    switch (motion) {
    case LayerMotion::twist: {
        const double burst = std::tan(2 * pi * t);
        return scaling(1 + 0.005 * i * burst) * rotation(0.1 * i * burst, i % 2 == 0 ? 1 : -1);
    }
    case LayerMotion::zoomStack:
        if (t >= 5.5 && t < 6.5)
            return scaling(1 + 0.0875 * i * (1 - (t - 5.5))) * translation(0.02 * i * s4, 0);
        return scaling(1 + 0.0875 * i) * translation(0.01 * i * std::tan(pi * t), 0);
    case LayerMotion::quadrantZoom: {
        const int q = static_cast<int>(std::trunc(2 * t)) % 4;
        const double f = t - std::trunc(t);
        const double x = q < 2 ? 0.5 - 0.25 * f : 0.25 * f - 0.5;
        const double y = q % 2 == 0 ? 0.5 : -0.5;
        return scaling(1 + 0.02 * i * (1 - s4), 1 + 0.0002 * i * (1 - std::sin(50 * t))) *
               scaling(2) * translation(x, y);
    }
    case LayerMotion::flat:
        return {};
    case LayerMotion::whirl: {
        const double kick =
            0.4 * expDecayAfter(strikes.sync6, 3) + 0.125 * expDecayAfter(strikes.sync11, 3);
        const WhirlRow& row = whirlRows[static_cast<int>(std::trunc(4 * t)) % 12];
        const double factor = row.cosine ? std::cos(2 * t) : std::sin(2 * t);
        return scaling(1 + 0.0875 * i * kick) * scaling(1 + 0.03 * i * (1 - s4)) *
               rotation((5 * i + row.base) * factor, row.axisZ) * scaling(3) *
               translation(row.x, row.y0 + row.ys * s4);
    }
    }
    return {};
}

using Point = std::pair<double, double>;

// The layer quad's corners, indexed by texture coordinate (2 s + t) as the quad pairs them.
const Point cornerOfTexCoord[4] = {{-1, 1}, {-1, -1}, {1, 1}, {1, -1}};

// The corners of each layer quad as drawn, indexed as cornerOfTexCoord, or nothing where the
// feedback is not ten layers of whole quads. Feedback vertices are taken back from window
// coordinates through the viewport and the shrink; each is known by its texture coordinate,
// whatever triangles the quad is split into.
std::vector<std::vector<Point>> drawnLayers(LayerMotion motion) {
    glViewport(0, 0, width, height);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glScaled(shrink, shrink, 1.0);
    glDisable(GL_CULL_FACE);
    std::vector<GLfloat> buffer(1 << 16);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    drawLayerStack(3, motion, 0, 8.0f);
    const GLint used = glRenderMode(GL_RENDER);
    glLoadIdentity();

    // Per primitive: its vertices as (corner index, point). A vertex is x, y, z, RGBA, STRQ.
    std::vector<std::vector<std::pair<int, Point>>> primitives;
    for (GLint i = 0; i < used;) {
        if (static_cast<GLenum>(buffer[i]) != GL_POLYGON_TOKEN)
            return {};
        const int count = static_cast<int>(buffer[i + 1]);
        i += 2;
        primitives.emplace_back();
        for (int v = 0; v < count; ++v, i += 11) {
            const GLfloat* f = &buffer[i];
            const int corner = static_cast<int>(std::lround(2 * f[7] + f[8]));
            if (corner < 0 || corner > 3)
                return {};
            primitives.back().push_back({corner,
                                         {(f[0] - width / 2.0) / (width / 2.0) / shrink,
                                          (f[1] - height / 2.0) / (height / 2.0) / shrink}});
        }
    }
    if (used < 0 || primitives.empty() || primitives.size() % 10 != 0)
        return {};
    const size_t perLayer = primitives.size() / 10;
    std::vector<std::vector<Point>> layers(10);
    std::vector<std::vector<bool>> found(10, std::vector<bool>(4, false));
    for (size_t p = 0; p < primitives.size(); ++p) {
        const size_t layer = p / perLayer;
        layers[layer].resize(4);
        for (const auto& [corner, point] : primitives[p]) {
            layers[layer][corner] = point;
            found[layer][corner] = true;
        }
    }
    for (const auto& corners : found) {
        for (bool f : corners) {
            if (!f)
                return {};
        }
    }
    return layers;
}

class LayerMotions : public testing::Test {
  protected:
    void SetUp() override {
        openTestWindow(width, height);
        // The clock stands at 0, so a stamp of -rows/64 is `rows` rows old.
        useVirtualCounter(1);
        resetDemoClock();
        demoClock();
    }
};

TEST_F(LayerMotions, LayerCornersFollowTheMotionFormulas) {
    using M = LayerMotion;
    struct Case {
        LayerMotion motion;
        double t;
        Strikes strikes;
    };
    const Case cases[] = {
        // twist: both signs of tan(2 pi t), near a pole and away from it
        {M::twist, 1.73, {}},
        {M::twist, 5.4, {}},
        {M::twist, 10.62, {}},
        // zoomStack: the drift by tan(pi t), and in [5.5, 6.5) the shrinking zoom with sin(4t)
        {M::zoomStack, 1.2, {}},
        {M::zoomStack, 9.6, {}},
        {M::zoomStack, 5.5, {}},
        {M::zoomStack, 6.2, {}},
        // quadrantZoom: q = 0, 1, 2, 3
        {M::quadrantZoom, 2.0, {}},
        {M::quadrantZoom, 2.7, {}},
        {M::quadrantZoom, 3.2, {}},
        {M::quadrantZoom, 1.9, {}},
        {M::flat, 21.5, {}},
        // whirl: each of the twelve positions once, quiet and kicked by SyncPoints 6 and 11
        {M::whirl, 3.1, {}},
        {M::whirl, 3.35, {0, -1}},
        {M::whirl, 3.6, {-1, 0}},
        {M::whirl, 3.85, {1.5, 2}},
        {M::whirl, 4.1, {}},
        {M::whirl, 4.35, {3, -1}},
        {M::whirl, 4.6, {}},
        {M::whirl, 4.85, {-1, 1}},
        {M::whirl, 5.1, {}},
        {M::whirl, 5.35, {0.5, 0.5}},
        {M::whirl, 5.6, {}},
        {M::whirl, 5.85, {}},
    };
    for (const Case& c : cases) {
        const char* const names[] = {"twist", "zoomStack", "quadrantZoom", "flat", "whirl"};
        SCOPED_TRACE(testing::Message() << names[static_cast<int>(c.motion)] << ", t = " << c.t
                                        << ", rows since 6: " << c.strikes.sync6
                                        << ", since 11: " << c.strikes.sync11);
        demoTime = static_cast<float>(c.t);
        for (SyncPoint& sync : syncPoints)
            sync.stamp.store(-1000.0f);
        if (c.strikes.sync6 >= 0)
            syncPoints[6].stamp.store(static_cast<float>(-c.strikes.sync6 / 64));
        if (c.strikes.sync11 >= 0)
            syncPoints[11].stamp.store(static_cast<float>(-c.strikes.sync11 / 64));

        const auto layers = drawnLayers(c.motion);
        ASSERT_EQ(layers.size(), 10u);
        // The motion's formulas are evaluated at the stored float time, as the frame sees it.
        const double t = demoTime;
        for (int i = 0; i < 10; ++i) {
            const Affine m = expectedLayer(c.motion, i, t, c.strikes);
            for (int k = 0; k < 4; ++k) {
                const auto [x, y] = cornerOfTexCoord[k];
                const double tolerance = 1e-4 * (1 + std::fabs(m.a) + std::fabs(m.b) +
                                                 std::fabs(m.tx) + std::fabs(m.ty));
                EXPECT_NEAR(layers[i][k].first, m.a * x + m.b * y + m.tx, tolerance)
                    << "layer " << i << " corner " << k;
                EXPECT_NEAR(layers[i][k].second, m.c * x + m.d * y + m.ty, tolerance)
                    << "layer " << i << " corner " << k;
            }
        }
    }
}

} // namespace
