// Primitive assembly: the vertices of one glBegin/glEnd or glDrawElements decomposed into
// triangles, lines or points with the same triangles a classic rasteriser makes (quads split
// along 1-3, quad strips as (2,0,3)(0,1,3), polygons as fans), keeping each polygon's corners
// for the line and point polygon modes.
#include "internal.h"

#include <initializer_list>

namespace fgl {
namespace {

// The input vertex that each output vertex of the batch being assembled was taken from.
std::vector<int> takenFrom;

// Adds vertex `index` of the input to the output.
void take(const std::vector<Vertex>& in, int index, std::vector<Vertex>& out) {
    out.push_back(in[static_cast<size_t>(index)]);
    takenFrom.push_back(index);
}

void addPolygon(Batch& batch, std::initializer_list<int> corners) {
    batch.polygonStarts.push_back(static_cast<int>(batch.polygonCorners.size()));
    batch.polygonSizes.push_back(static_cast<int>(corners.size()));
    for (int c : corners)
        batch.polygonCorners.push_back(c);
}

} // namespace

bool assembleBatch(GLenum mode, const std::vector<Vertex>& in, unsigned attributes,
                   std::vector<Vertex>& out, Batch& batch) {
    const int n = static_cast<int>(in.size());
    takenFrom.clear();
    batch.attributes = attributes;
    batch.first = static_cast<int>(out.size());
    switch (mode) {
    case FGL_POINTS:
        batch.kind = FGL_POINTS;
        for (int i = 0; i < n; ++i)
            take(in, i, out);
        break;
    case FGL_LINES:
    case FGL_LINE_STRIP:
    case FGL_LINE_LOOP:
        batch.kind = FGL_LINES;
        if (mode == FGL_LINES) {
            for (int i = 0; i + 1 < n; i += 2) {
                take(in, i, out);
                take(in, i + 1, out);
            }
        } else {
            for (int i = 0; i + 1 < n; ++i) {
                take(in, i, out);
                take(in, i + 1, out);
            }
            if (mode == FGL_LINE_LOOP && n >= 2) {
                take(in, n - 1, out);
                take(in, 0, out);
            }
        }
        break;
    default: {
        batch.kind = FGL_TRIANGLES;
        // Triangles are added in groups per polygon; corners are numbered within the batch.
        auto triangle = [&](int a, int b, int c) {
            take(in, a, out);
            take(in, b, out);
            take(in, c, out);
        };
        if (mode == FGL_TRIANGLES) {
            for (int i = 0; i + 2 < n; i += 3) {
                triangle(i, i + 1, i + 2);
                const int base = static_cast<int>(out.size()) - batch.first - 3;
                addPolygon(batch, {base, base + 1, base + 2});
            }
        } else if (mode == FGL_TRIANGLE_STRIP) {
            for (int i = 0; i + 2 < n; ++i) {
                if (i % 2 == 0)
                    triangle(i, i + 1, i + 2);
                else
                    triangle(i + 1, i, i + 2);
                const int base = static_cast<int>(out.size()) - batch.first - 3;
                addPolygon(batch, {base, base + 1, base + 2});
            }
        } else if (mode == FGL_TRIANGLE_FAN) {
            for (int i = 1; i + 1 < n; ++i) {
                triangle(0, i, i + 1);
                const int base = static_cast<int>(out.size()) - batch.first - 3;
                addPolygon(batch, {base, base + 1, base + 2});
            }
        } else if (mode == FGL_QUADS) {
            for (int i = 0; i + 3 < n; i += 4) {
                triangle(i, i + 1, i + 3);
                triangle(i + 1, i + 2, i + 3);
                const int base = static_cast<int>(out.size()) - batch.first - 6;
                // Corners 0, 1, 2, 3 of the quad: 0 and 1 of the first triangle, then 2 and 3
                // of the second.
                addPolygon(batch, {base, base + 1, base + 4, base + 5});
            }
        } else if (mode == FGL_QUAD_STRIP) {
            for (int i = 0; i + 3 < n; i += 2) {
                triangle(i + 2, i, i + 3);
                triangle(i, i + 1, i + 3);
                const int base = static_cast<int>(out.size()) - batch.first - 6;
                // The quad's corners in order: i, i + 1, i + 3, i + 2.
                addPolygon(batch, {base + 1, base + 4, base + 5, base});
            }
        } else if (mode == FGL_POLYGON) {
            if (n >= 3) {
                batch.polygonStarts.push_back(static_cast<int>(batch.polygonCorners.size()));
                batch.polygonSizes.push_back(n);
                for (int i = 0; i + 2 < n; ++i) {
                    triangle(i + 1, i + 2, 0);
                    const int base = static_cast<int>(out.size()) - batch.first - 3;
                    if (i == 0) {
                        batch.polygonCorners.push_back(base + 2);
                        batch.polygonCorners.push_back(base);
                    }
                    batch.polygonCorners.push_back(base + 1);
                }
            }
        }
        break;
    }
    }
    batch.count = static_cast<int>(out.size()) - batch.first;
    std::vector<int> firstTaken(static_cast<size_t>(n), -1);
    batch.sameAs.resize(takenFrom.size());
    for (size_t k = 0; k < takenFrom.size(); ++k) {
        int& first = firstTaken[static_cast<size_t>(takenFrom[k])];
        if (first < 0)
            first = static_cast<int>(k);
        batch.sameAs[k] = first;
    }
    return batch.count > 0;
}

} // namespace fgl
