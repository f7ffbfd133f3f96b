// The torus and sphere of the display lists, built as the windowing toolkit builds its shapes:
// the same parametrisation (angles from tables of sines and cosines, vertices and normals
// rounded to float) and the same strips and loops, drawn through vertex and normal arrays (so
// that a list records them, and the current normal is left alone), which are disabled
// afterwards. Built here rather than taken from the toolkit, they need no window: the capture
// renders without one, and on the fixed-function layer they draw through the layer.
#include "geometry.h"

#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

constexpr double pi = 3.14159265358979323846;

struct CircleTable {
    std::vector<double> sines, cosines;
};

// n + 1 samples of a full (or, with `half`, half) turn; the sign of n sets the direction and
// the last sample repeats the first for a full turn.
CircleTable circleTable(int n, bool half) {
    const int size = std::abs(n);
    const double angle = (half ? 1.0 : 2.0) * pi / static_cast<double>(n == 0 ? 1 : n);
    CircleTable t;
    t.sines.assign(static_cast<size_t>(size) + 1, 0.0);
    t.cosines.assign(static_cast<size_t>(size) + 1, 0.0);
    t.cosines[0] = 1.0;
    for (int i = 1; i < size; ++i) {
        t.sines[static_cast<size_t>(i)] = std::sin(angle * i);
        t.cosines[static_cast<size_t>(i)] = std::cos(angle * i);
    }
    if (half) {
        t.sines[static_cast<size_t>(size)] = 0.0;
        t.cosines[static_cast<size_t>(size)] = -1.0;
    } else {
        t.sines[static_cast<size_t>(size)] = t.sines[0];
        t.cosines[static_cast<size_t>(size)] = t.cosines[0];
    }
    return t;
}

struct Mesh {
    std::vector<float> vertices, normals;
};

// Draws runs of `length` indices each through the arrays of `mesh`.
void drawRuns(const Mesh& mesh, GLenum mode, const std::vector<GLushort>& indices, int length) {
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, mesh.vertices.data());
    glNormalPointer(GL_FLOAT, 0, mesh.normals.data());
    for (size_t first = 0; first + static_cast<size_t>(length) <= indices.size();
         first += static_cast<size_t>(length))
        glDrawElements(mode, length, GL_UNSIGNED_SHORT, &indices[first]);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
}

GLushort index(int i) {
    return static_cast<GLushort>(i);
}

// Vertex (ring j, side i) at j * sides + i.
Mesh torusMesh(double innerRadius, double outerRadius, int sides, int rings) {
    const auto inner = static_cast<float>(innerRadius);
    const auto outer = static_cast<float>(outerRadius);
    const CircleTable psi = circleTable(rings, false);
    const CircleTable phi = circleTable(-sides, false);
    Mesh mesh;
    for (int j = 0; j < rings; ++j) {
        for (int i = 0; i < sides; ++i) {
            const double cpsi = psi.cosines[static_cast<size_t>(j)];
            const double spsi = psi.sines[static_cast<size_t>(j)];
            const double cphi = phi.cosines[static_cast<size_t>(i)];
            const double sphi = phi.sines[static_cast<size_t>(i)];
            mesh.vertices.push_back(static_cast<float>(cpsi * (outer + cphi * inner)));
            mesh.vertices.push_back(static_cast<float>(spsi * (outer + cphi * inner)));
            mesh.vertices.push_back(static_cast<float>(sphi * inner));
            mesh.normals.push_back(static_cast<float>(cpsi * cphi));
            mesh.normals.push_back(static_cast<float>(spsi * cphi));
            mesh.normals.push_back(static_cast<float>(sphi));
        }
    }
    return mesh;
}

} // namespace

void drawSolidTorus(GLdouble innerRadius, GLdouble outerRadius, GLint sides, GLint rings) {
    if (sides < 2 || rings < 2)
        return;
    const Mesh mesh = torusMesh(innerRadius, outerRadius, sides, rings);
    // One strip per side, around all rings and back to the first.
    std::vector<GLushort> strips;
    for (int i = 0; i < sides; ++i) {
        const int next = i == sides - 1 ? -i : 1;
        for (int j = 0; j <= rings; ++j) {
            const int offset = (j % rings) * sides + i;
            strips.push_back(index(offset));
            strips.push_back(index(offset + next));
        }
    }
    drawRuns(mesh, GL_TRIANGLE_STRIP, strips, (rings + 1) * 2);
}

void drawWireTorus(GLdouble innerRadius, GLdouble outerRadius, GLint sides, GLint rings) {
    if (sides < 2 || rings < 2)
        return;
    const Mesh mesh = torusMesh(innerRadius, outerRadius, sides, rings);
    // A loop around the tube at every ring, then a loop around the ring at every side.
    std::vector<GLushort> aroundTube, aroundRing;
    for (int j = 0; j < rings; ++j) {
        for (int i = 0; i < sides; ++i)
            aroundTube.push_back(index(j * sides + i));
    }
    for (int i = 0; i < sides; ++i) {
        for (int j = 0; j < rings; ++j)
            aroundRing.push_back(index(j * sides + i));
    }
    drawRuns(mesh, GL_LINE_LOOP, aroundTube, sides);
    drawRuns(mesh, GL_LINE_LOOP, aroundRing, rings);
}

void drawSolidSphere(GLdouble radius, GLint slices, GLint stacks) {
    if (slices < 2 || stacks < 2)
        return;
    const CircleTable around = circleTable(-slices, false);
    const CircleTable down = circleTable(stacks, true);
    const auto r = static_cast<float>(radius);
    // The top, stacks - 1 rings of `slices` vertices, the bottom.
    Mesh mesh;
    auto add = [&mesh, r](double x, double y, double z) {
        mesh.vertices.push_back(static_cast<float>(x) * r);
        mesh.vertices.push_back(static_cast<float>(y) * r);
        mesh.vertices.push_back(static_cast<float>(z) * r);
        mesh.normals.push_back(static_cast<float>(x));
        mesh.normals.push_back(static_cast<float>(y));
        mesh.normals.push_back(static_cast<float>(z));
    };
    add(0.0, 0.0, 1.0);
    for (int i = 1; i < stacks; ++i) {
        for (int j = 0; j < slices; ++j) {
            add(around.cosines[static_cast<size_t>(j)] * down.sines[static_cast<size_t>(i)],
                around.sines[static_cast<size_t>(j)] * down.sines[static_cast<size_t>(i)],
                down.cosines[static_cast<size_t>(i)]);
        }
    }
    add(0.0, 0.0, -1.0);
    const int last = slices * (stacks - 1) + 1;
    // Every stack is one strip: the top and bottom ones fan out from their pole.
    std::vector<GLushort> strips;
    for (int j = 0; j <= slices; ++j) {
        strips.push_back(index(j % slices + 1));
        strips.push_back(0);
    }
    for (int i = 0; i < stacks - 2; ++i) {
        const int offset = 1 + i * slices;
        for (int j = 0; j <= slices; ++j) {
            strips.push_back(index(offset + j % slices + slices));
            strips.push_back(index(offset + j % slices));
        }
    }
    const int offset = 1 + (stacks - 2) * slices;
    for (int j = 0; j <= slices; ++j) {
        strips.push_back(index(last));
        strips.push_back(index(offset + j % slices));
    }
    drawRuns(mesh, GL_TRIANGLE_STRIP, strips, (slices + 1) * 2);
}
