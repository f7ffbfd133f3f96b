// The draw path: every batch, from a display list or from glBegin/glEnd, is transformed on the
// processor into one shared stream of clip-space vertices with their final colours, so that
// the cubes, letters and wire shapes that the effects replay under a matrix each, with a
// material each, become one draw call for as long as the blend, depth, texture, fog and
// viewport state stays the same. Lighting follows GL 1.1 per vertex, in eye space: normals
// by the inverse transpose of the model-view matrix, light 0 with the front material.
// Culling and the polygon modes are decided here per polygon; lines and points wider than one
// pixel become triangles by the GL's rules for non-antialiased wide lines and points.
#include "internal.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace fgl {
namespace {

// The current matrices, the normal matrix and the lighting terms, recomputed when the state
// behind them changes.
Matrix mvp = identityMatrix();
Matrix modelview = identityMatrix();
float normals[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};

struct LightTerms {
    float scene[4]; // emission + global ambient x material ambient; alpha of the diffuse
    float ambient[3], diffuse[3], specular[3];
    float light[4]; // eye position (w = 1) or unit direction (w = 0)
    float shininess;
    bool specularZero;
} terms;

std::vector<StreamVertex> transformed;
std::vector<StreamVertex> expanded;

void updateMatrices() {
    if (!matricesChanged)
        return;
    matricesChanged = false;
    modelview = modelviewTop();
    mvp = multiply(projectionTop(), modelview);
    normalMatrix(modelview, normals);
}

void updateLighting() {
    if (!lightingChanged)
        return;
    lightingChanged = false;
    const LightingGroup& l = state.lighting;
    const Material& m = l.front;
    for (int i = 0; i < 3; ++i) {
        terms.scene[i] = m.emission[i] + 0.2f * m.ambient[i];
        const bool on = l.light0;
        terms.ambient[i] = on ? l.lightAmbient[i] * m.ambient[i] : 0.0f;
        terms.diffuse[i] = on ? l.lightDiffuse[i] * m.diffuse[i] : 0.0f;
        terms.specular[i] = on ? l.lightSpecular[i] * m.specular[i] : 0.0f;
    }
    terms.scene[3] = m.diffuse[3];
    terms.specularZero =
        terms.specular[0] == 0.0f && terms.specular[1] == 0.0f && terms.specular[2] == 0.0f;
    const float* p = l.lightPosition;
    if (p[3] != 0.0f) {
        for (int i = 0; i < 3; ++i)
            terms.light[i] = p[i] / p[3];
        terms.light[3] = 1.0f;
    } else {
        const float length = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
        const float scale = length > 0.0f ? 1.0f / length : 0.0f;
        for (int i = 0; i < 3; ++i)
            terms.light[i] = p[i] * scale;
        terms.light[3] = 0.0f;
    }
    terms.shininess = m.shininess;
}

float clamp01(float v) {
    return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v);
}

void transformPoint(const Matrix& m, const float* p, float* out) {
    for (int i = 0; i < 4; ++i)
        out[i] = m.m[i] * p[0] + m.m[4 + i] * p[1] + m.m[8 + i] * p[2] + m.m[12 + i] * p[3];
}

// The GL 1.1 lighting equation for light 0 at one vertex: eye position and object normal.
void light(const float* eye, const float* objectNormal, float* color) {
    float n[3];
    for (int i = 0; i < 3; ++i)
        n[i] = normals[i] * objectNormal[0] + normals[3 + i] * objectNormal[1] +
               normals[6 + i] * objectNormal[2];
    if (state.transform.normalize) {
        const float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        if (length > 0.0f)
            for (float& c : n)
                c /= length;
    }
    float l[3] = {terms.light[0], terms.light[1], terms.light[2]};
    if (terms.light[3] != 0.0f) {
        for (int i = 0; i < 3; ++i)
            l[i] -= eye[i];
        const float length = std::sqrt(l[0] * l[0] + l[1] * l[1] + l[2] * l[2]);
        if (length > 0.0f)
            for (float& c : l)
                c /= length;
    }
    const float nDotL = n[0] * l[0] + n[1] * l[1] + n[2] * l[2];
    const float lit = nDotL > 0.0f ? nDotL : 0.0f;
    for (int i = 0; i < 3; ++i)
        color[i] = terms.scene[i] + terms.ambient[i] + lit * terms.diffuse[i];
    if (nDotL > 0.0f && !terms.specularZero) {
        float h[3] = {l[0], l[1], l[2] + 1.0f};
        const float length = std::sqrt(h[0] * h[0] + h[1] * h[1] + h[2] * h[2]);
        float nDotH = 0.0f;
        if (length > 0.0f)
            nDotH = (n[0] * h[0] + n[1] * h[1] + n[2] * h[2]) / length;
        nDotH = nDotH > 0.0f ? nDotH : 0.0f;
        const float power = terms.shininess == 0.0f ? 1.0f : std::pow(nDotH, terms.shininess);
        for (int i = 0; i < 3; ++i)
            color[i] += power * terms.specular[i];
    }
    for (int i = 0; i < 3; ++i)
        color[i] = clamp01(color[i]);
    color[3] = clamp01(terms.scene[3]);
}

// Every vertex of the batch in clip space, with its eye position and the normal it is lit
// with; attributes the batch does not carry come from the current values. Colours wait for
// shade(), so that culled faces are never lit.
struct Source {
    float eye[3];
    const float* normal;
    int sameAs;  // the vertex of the batch this one repeats, or itself
    bool shaded; // whether its colour is final
};
std::vector<Source> sources;

void transformBatch(const Batch& batch, const std::vector<Vertex>& vertices) {
    const CurrentGroup& c = state.current;
    const bool lighting = state.lighting.lighting;
    transformed.resize(static_cast<size_t>(batch.count));
    sources.resize(static_cast<size_t>(batch.count));
    for (int k = 0; k < batch.count; ++k) {
        const auto index = static_cast<size_t>(k);
        StreamVertex& out = transformed[index];
        Source& source = sources[index];
        source.sameAs = batch.sameAs[index];
        source.shaded = !lighting;
        if (source.sameAs != k) {
            out = transformed[static_cast<size_t>(source.sameAs)];
            source.normal = sources[static_cast<size_t>(source.sameAs)].normal;
            continue;
        }
        const Vertex& v = vertices[static_cast<size_t>(batch.first + k)];
        transformPoint(mvp, v.position, out.position);
        float eye[4];
        transformPoint(modelview, v.position, eye);
        std::memcpy(source.eye, eye, sizeof source.eye);
        source.normal = (batch.attributes & hasNormal) ? v.normal : c.normal;
        out.fogDistance = std::fabs(eye[2]);
        const float* texCoord = (batch.attributes & hasTexCoord) ? v.texCoord : c.texCoord;
        out.texCoord[0] = texCoord[0];
        out.texCoord[1] = texCoord[1];
        if (!lighting) {
            const float* color = (batch.attributes & hasColor) ? v.color : c.color;
            for (int i = 0; i < 4; ++i)
                out.color[i] = clamp01(color[i]);
        }
    }
}

// The colour of vertex k where lighting gives it: lit once for all its repeats.
void shade(size_t k) {
    Source& source = sources[k];
    if (source.shaded)
        return;
    source.shaded = true;
    const auto first = static_cast<size_t>(source.sameAs);
    if (first != k) {
        shade(first);
        std::memcpy(transformed[k].color, transformed[first].color, sizeof transformed[k].color);
        return;
    }
    light(source.eye, source.normal, transformed[k].color);
}

void shadeAll() {
    for (size_t k = 0; k < transformed.size(); ++k)
        shade(k);
}

// The sign of a triangle's window-space area: positive when counter-clockwise (front). Where
// every corner lies before the eye and near the view, from window coordinates snapped to 1/256
// pixel, as the rasteriser decides it; otherwise from the homogeneous coordinates, which give
// the facing of the part in view.
float orientation(const StreamVertex& a, const StreamVertex& b, const StreamVertex& c,
                  const GLint* viewport) {
    const float* p = a.position;
    const float* q = b.position;
    const float* r = c.position;
    bool snappable = p[3] > 0.0f && q[3] > 0.0f && r[3] > 0.0f;
    float window[6] = {};
    if (snappable) {
        const float sx = 0.5f * static_cast<float>(viewport[2]);
        const float sy = 0.5f * static_cast<float>(viewport[3]);
        const float* corners[3] = {p, q, r};
        for (int k = 0; k < 3; ++k) {
            window[k * 2] = corners[k][0] / corners[k][3] * sx + sx;
            window[k * 2 + 1] = corners[k][1] / corners[k][3] * sy + sy;
        }
        for (float c : window)
            snappable = snappable && std::fabs(c) < 1e6f;
    }
    if (!snappable) {
        // In double: the scales at the poles of a tangent reach 1e13 and more.
        const double d = double(p[0]) * (double(q[1]) * r[3] - double(r[1]) * q[3]) -
                         double(q[0]) * (double(p[1]) * r[3] - double(r[1]) * p[3]) +
                         double(r[0]) * (double(p[1]) * q[3] - double(q[1]) * p[3]);
        return d > 0.0 ? 1.0f : (d < 0.0 ? -1.0f : 0.0f);
    }
    auto snap = [](float v) { return static_cast<long long>(std::lround(v * 256.0f)); };
    const long long x0 = snap(window[0]), y0 = snap(window[1]);
    const long long x1 = snap(window[2]), y1 = snap(window[3]);
    const long long x2 = snap(window[4]), y2 = snap(window[5]);
    const long long area = (x1 - x0) * (y2 - y0) - (x2 - x0) * (y1 - y0);
    return area > 0 ? 1.0f : (area < 0 ? -1.0f : 0.0f);
}

// Rounded as the GL rounds the width of non-antialiased lines and points, from 1 to the
// largest width Mesa allows.
int pixelWidth(float width) {
    const float rounded = std::floor(width + 0.5f);
    return rounded < 1.0f ? 1 : (rounded > 255.0f ? 255 : static_cast<int>(rounded));
}

StreamVertex mix(const StreamVertex& a, const StreamVertex& b, float t) {
    StreamVertex v;
    const auto* pa = reinterpret_cast<const float*>(&a);
    const auto* pb = reinterpret_cast<const float*>(&b);
    auto* pv = reinterpret_cast<float*>(&v);
    for (size_t i = 0; i < sizeof(StreamVertex) / sizeof(float); ++i)
        pv[i] = pa[i] + (pb[i] - pa[i]) * t;
    return v;
}

void addQuad(const StreamVertex& a, const StreamVertex& b, const StreamVertex& c,
             const StreamVertex& d) {
    const StreamVertex corners[6] = {a, b, c, a, c, d};
    expanded.insert(expanded.end(), corners, corners + 6);
}

// Whether the segment from a to b (window coordinates) draws the pixel of the column (along
// the major axis) where `end` lies, by the GL's diamond-exit rule: the segment crosses the
// diamond |x - xc| + |y - yc| < 1/2 of a pixel of that column and does not end inside it.
bool drawsEndPixel(const float* a, const float* b, int major, const float* end) {
    const int minor = 1 - major;
    const float d[2] = {b[0] - a[0], b[1] - a[1]};
    const float column = std::floor(end[major]) + 0.5f;
    for (int row = -1; row <= 1; ++row) {
        float centre[2];
        centre[major] = column;
        centre[minor] = std::floor(end[minor]) + 0.5f + static_cast<float>(row);
        // The distance is piecewise linear along the segment: its least value is at an end or
        // where the segment crosses the centre's row or column.
        float nearest = 1.0f;
        auto consider = [&](float t) {
            if (t < 0.0f || t > 1.0f)
                return;
            const float distance =
                std::fabs(a[0] + t * d[0] - centre[0]) + std::fabs(a[1] + t * d[1] - centre[1]);
            nearest = std::min(nearest, distance);
        };
        consider(0.0f);
        consider(1.0f);
        for (int axis = 0; axis < 2; ++axis)
            if (d[axis] != 0.0f)
                consider((centre[axis] - a[axis]) / d[axis]);
        const bool endsInside = std::fabs(b[0] - centre[0]) + std::fabs(b[1] - centre[1]) < 0.5f;
        if (nearest < 0.5f && !endsInside)
            return true;
    }
    return false;
}

// Cuts a segment to the near and far planes and to a band around the view twice its size, as
// the GL clips lines (the ends it makes lie far outside the view, where their rule does not
// matter); false when nothing is left.
bool clipSegment(StreamVertex& a, StreamVertex& b) {
    constexpr float band = 2.0f;
    auto distances = [](const StreamVertex& v, float* out) {
        const float* p = v.position;
        const float values[6] = {band * p[3] - p[0], band * p[3] + p[0], band * p[3] - p[1],
                                 band * p[3] + p[1], p[3] - p[2],        p[3] + p[2]};
        std::memcpy(out, values, sizeof values);
    };
    float da[6], db[6];
    distances(a, da);
    distances(b, db);
    float enter = 0.0f, leave = 1.0f;
    for (int plane = 0; plane < 6; ++plane) {
        if (da[plane] < 0.0f && db[plane] < 0.0f)
            return false;
        if (da[plane] < 0.0f)
            enter = std::max(enter, da[plane] / (da[plane] - db[plane]));
        else if (db[plane] < 0.0f)
            leave = std::min(leave, da[plane] / (da[plane] - db[plane]));
    }
    if (enter > leave)
        return false;
    const StreamVertex from = a;
    if (enter > 0.0f)
        a = mix(from, b, enter);
    if (leave < 1.0f)
        b = mix(from, b, leave);
    return true;
}

// A segment `width` pixels wide, clipped first. Its pixel columns (x-major) or rows
// (y-major) are those a one-pixel line takes by the diamond-exit rule, and each gets a span of
// `width` pixels centred on the line, as the GL draws non-antialiased wide lines: one quad
// from the first column's edge to the last's.
void wideLine(StreamVertex a, StreamVertex b, int width, const GLint* viewport) {
    if (!clipSegment(a, b) || a.position[3] <= 0.0f || b.position[3] <= 0.0f)
        return;
    const float size[2] = {static_cast<float>(viewport[2]), static_cast<float>(viewport[3])};
    // Window coordinates from the viewport's corner.
    auto window = [&size](const StreamVertex& v, int axis) {
        return (v.position[axis] / v.position[3] + 1.0f) * 0.5f * size[axis];
    };
    const float pa[2] = {window(a, 0), window(a, 1)};
    const float pb[2] = {window(b, 0), window(b, 1)};
    // Axis 0 of the rule is the major one.
    const int major = std::fabs(pb[0] - pa[0]) >= std::fabs(pb[1] - pa[1]) ? 0 : 1;
    const int minor = 1 - major;
    const float majorDelta = pb[major] - pa[major];
    const float minorDelta = pb[minor] - pa[minor];
    if (majorDelta == 0.0f)
        return;
    const float slope = minorDelta / majorDelta;
    const float step = majorDelta > 0.0f ? 1.0f : -1.0f;
    const bool first = drawsEndPixel(pa, pb, major, pa);
    const bool last = drawsEndPixel(pa, pb, major, pb);
    // The first and last pixel along the major axis, then the quad's edges across it.
    const float from = std::floor(pa[major]) + (first ? 0.0f : step);
    const float to = std::floor(pb[major]) - (last ? 0.0f : step);
    if ((to - from) * step < 0.0f)
        return;
    const float edges[2] = {step > 0.0f ? from : from + 1.0f, step > 0.0f ? to + 1.0f : to};
    const float half = 0.5f * static_cast<float>(width);
    StreamVertex corners[4];
    for (int e = 0; e < 2; ++e) {
        const float t = (edges[e] - pa[major]) / majorDelta;
        const StreamVertex at = mix(a, b, t);
        const float centre = pa[minor] + (edges[e] - pa[major]) * slope;
        for (int side = 0; side < 2; ++side) {
            StreamVertex& corner = corners[e * 2 + side];
            corner = at;
            float w[2];
            w[major] = edges[e];
            w[minor] = centre + (side == 0 ? -half : half);
            for (int axis = 0; axis < 2; ++axis)
                corner.position[axis] = (w[axis] / size[axis] * 2.0f - 1.0f) * at.position[3];
        }
    }
    addQuad(corners[0], corners[2], corners[3], corners[1]);
}

// A point `size` pixels wide: the square of size x size pixels around it, on pixel edges as
// the GL places non-antialiased points (centred on a pixel centre for odd sizes, on a pixel
// corner for even ones). A point outside the clip volume is not drawn.
void widePoint(const StreamVertex& p, int size, const GLint* viewport) {
    const float* c = p.position;
    if (!(c[3] > 0.0f && std::fabs(c[0]) <= c[3] && std::fabs(c[1]) <= c[3] &&
          std::fabs(c[2]) <= c[3]))
        return;
    const float width = static_cast<float>(viewport[2]);
    const float height = static_cast<float>(viewport[3]);
    // Window coordinates relative to the viewport's corner.
    const float x = (c[0] / c[3] + 1.0f) * 0.5f * width;
    const float y = (c[1] / c[3] + 1.0f) * 0.5f * height;
    const bool odd = size % 2 == 1;
    const float cx = odd ? std::floor(x) + 0.5f : std::floor(x + 0.5f);
    const float cy = odd ? std::floor(y) + 0.5f : std::floor(y + 0.5f);
    const float half = 0.5f * static_cast<float>(size);
    StreamVertex corner = p;
    auto at = [&](float wx, float wy) {
        corner.position[0] = (wx / width * 2.0f - 1.0f) * c[3];
        corner.position[1] = (wy / height * 2.0f - 1.0f) * c[3];
        return corner;
    };
    addQuad(at(cx - half, cy - half), at(cx + half, cy - half), at(cx + half, cy + half),
            at(cx - half, cy + half));
}

// Line segments as pairs of vertices: one pixel wide to the GPU's lines, wider as triangles.
void emitLines(const DrawState& drawState, const StreamVertex* pairs, size_t count) {
    const int width = pixelWidth(state.lineWidth);
    if (width == 1) {
        appendToStream(drawState, FGL_LINES, pairs, count);
        return;
    }
    expanded.clear();
    for (size_t i = 0; i + 1 < count; i += 2)
        wideLine(pairs[i], pairs[i + 1], width, drawState.viewport);
    appendToStream(drawState, FGL_TRIANGLES, expanded.data(), expanded.size());
}

void emitPoints(const DrawState& drawState, const StreamVertex* points, size_t count) {
    const int size = pixelWidth(state.pointSize);
    if (size == 1) {
        appendToStream(drawState, FGL_POINTS, points, count);
        return;
    }
    expanded.clear();
    for (size_t i = 0; i < count; ++i)
        widePoint(points[i], size, drawState.viewport);
    appendToStream(drawState, FGL_TRIANGLES, expanded.data(), expanded.size());
}

std::vector<StreamVertex> fill, edges, corners;

// Triangles whose polygons are drawn filled, as edges or as corners by the mode of their side,
// or culled.
void emitTriangles(const DrawState& drawState, const Batch& batch) {
    const PolygonGroup& p = state.polygon;
    fill.clear();
    edges.clear();
    corners.clear();
    auto at = [](int index) -> const StreamVertex& {
        return transformed[static_cast<size_t>(index)];
    };
    // Filled on both sides (or on the only side drawn): each triangle culled by itself, as
    // the rasteriser does.
    if (p.frontMode == FGL_FILL && (p.backMode == FGL_FILL || p.cull)) {
        if (!p.cull) {
            shadeAll();
            appendToStream(drawState, FGL_TRIANGLES, transformed.data(), transformed.size());
            return;
        }
        for (size_t t = 0; t + 2 < transformed.size(); t += 3) {
            const int k = static_cast<int>(t);
            if (orientation(at(k), at(k + 1), at(k + 2), drawState.viewport) <= 0.0f)
                continue;
            for (size_t j = t; j < t + 3; ++j)
                shade(j);
            fill.insert(fill.end(), &transformed[t], &transformed[t] + 3);
        }
        appendToStream(drawState, FGL_TRIANGLES, fill.data(), fill.size());
        return;
    }
    shadeAll();
    int triangle = 0; // first vertex of the polygon's triangles within the batch
    for (size_t k = 0; k < batch.polygonStarts.size(); ++k) {
        const int* polygon = &batch.polygonCorners[static_cast<size_t>(batch.polygonStarts[k])];
        const int size = batch.polygonSizes[k];
        const int triangles = (size - 2) * 3;
        // The polygon's orientation: its triangles' areas summed.
        float area = 0.0f;
        for (int t = 0; t < triangles; t += 3)
            area += orientation(at(triangle + t), at(triangle + t + 1), at(triangle + t + 2),
                                drawState.viewport);
        const bool front = area > 0.0f;
        const GLenum mode = front ? p.frontMode : p.backMode;
        if (!(p.cull && !front)) {
            if (mode == FGL_FILL) {
                for (int t = 0; t < triangles; ++t)
                    fill.push_back(at(triangle + t));
            } else if (mode == FGL_LINE) {
                for (int c = 0; c < size; ++c) {
                    edges.push_back(at(polygon[c]));
                    edges.push_back(at(polygon[(c + 1) % size]));
                }
            } else {
                for (int c = 0; c < size; ++c)
                    corners.push_back(at(polygon[c]));
            }
        }
        triangle += triangles;
    }
    if (!fill.empty())
        appendToStream(drawState, FGL_TRIANGLES, fill.data(), fill.size());
    if (!edges.empty())
        emitLines(drawState, edges.data(), edges.size());
    if (!corners.empty())
        emitPoints(drawState, corners.data(), corners.size());
}

} // namespace

namespace {
void streamTransformed(const Batch& batch) {
    const DrawState drawState = currentDrawState();
    if (batch.kind == FGL_TRIANGLES) {
        emitTriangles(drawState, batch);
        return;
    }
    shadeAll();
    if (batch.kind == FGL_LINES)
        emitLines(drawState, transformed.data(), transformed.size());
    else
        emitPoints(drawState, transformed.data(), transformed.size());
}
} // namespace

void streamBatch(const Batch& batch, const std::vector<Vertex>& vertices) {
    const double begin = layerClock();
    const double sendingBefore = sendingSeconds;
    ensureGpu();
    updateMatrices();
    updateLighting();
    transformBatch(batch, vertices);
    streamTransformed(batch);
    // Stream sent on the way (the state changed) is the driver's time.
    layerSeconds += layerClock() - begin - (sendingSeconds - sendingBefore);
}

} // namespace fgl
