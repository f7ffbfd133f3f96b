// The four carried mesh tables: sizes, extents, unit normals, index ranges, winding (clockwise
// seen from where the normals face, normals outwards) and the parts each shape is made of.
#include "geometry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>
#include <string>
#include <vector>

namespace {

struct ExpectedMesh {
    const char* name;
    const MeshTable* mesh;
    int vertexCount;
    int indexCount;
    double extentY, extentZ; // as printed, four significant digits at most
    double digitsY, digitsZ; // half a unit of the last printed digit
    int parts;               // connected pieces: parts of the gun, plaque and letters, bands
};

const ExpectedMesh expectedMeshes[] = {
    {"handgun", &meshHandgun, 4648, 27810, 0.1837, 0.7326, 0.00005, 0.00005, 6},
    {"lettering", &meshLettering, 811, 4830, 0.5856, 0.0836, 0.00005, 0.00005, 11},
    {"emblem", &meshEmblem, 494, 2904, 0.9763, 0.5062, 0.00005, 0.00005, 5},
    {"coarse emblem", &meshEmblemCoarse, 69, 366, 0.994, 0.518, 0.0005, 0.0005, 4},
};

struct V3 {
    double x, y, z;
};

V3 vertexOf(const float* array, int i) {
    return {array[3 * i], array[3 * i + 1], array[3 * i + 2]};
}
V3 sub(V3 a, V3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
V3 cross(V3 a, V3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double dot(V3 a, V3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

int find(std::vector<int>& parent, int i) {
    while (parent[i] != i)
        i = parent[i] = parent[parent[i]];
    return i;
}

TEST(Meshes, CountsAndIndices) {
    for (const auto& e : expectedMeshes) {
        SCOPED_TRACE(e.name);
        const MeshTable& mesh = *e.mesh;
        ASSERT_EQ(mesh.vertexCount, e.vertexCount);
        ASSERT_EQ(mesh.indexCount, e.indexCount);
        std::vector<int> uses(mesh.vertexCount, 0);
        for (int i = 0; i < mesh.indexCount; ++i) {
            ASSERT_LT(mesh.indices[i], mesh.vertexCount) << "index " << i;
            ++uses[mesh.indices[i]];
        }
        EXPECT_EQ(std::count(uses.begin(), uses.end(), 0), 0) << "unused vertices";
    }
}

TEST(Meshes, ExtentsMatchThePrintedDigits) {
    for (const auto& e : expectedMeshes) {
        SCOPED_TRACE(e.name);
        const MeshTable& mesh = *e.mesh;
        std::array<double, 3> low{1e9, 1e9, 1e9}, high{-1e9, -1e9, -1e9};
        for (int i = 0; i < 3 * mesh.vertexCount; ++i) {
            low[i % 3] = std::min(low[i % 3], double(mesh.vertices[i]));
            high[i % 3] = std::max(high[i % 3], double(mesh.vertices[i]));
        }
        // Spans -e..e on each axis.
        for (double bound : {-low[0], high[0]}) {
            EXPECT_GE(bound, 0.9997);
            EXPECT_LE(bound, 0.9998);
        }
        for (double bound : {-low[1], high[1]})
            EXPECT_NEAR(bound, e.extentY, e.digitsY);
        for (double bound : {-low[2], high[2]})
            EXPECT_NEAR(bound, e.extentZ, e.digitsZ);
    }
}

TEST(Meshes, UnitNormalsClockwiseTrianglesFacingOutwards) {
    for (const auto& e : expectedMeshes) {
        SCOPED_TRACE(e.name);
        const MeshTable& mesh = *e.mesh;
        for (int i = 0; i < mesh.vertexCount; ++i) {
            V3 n = vertexOf(mesh.normals, i);
            ASSERT_NEAR(std::sqrt(dot(n, n)), 1.0, 1e-5) << "normal " << i;
        }
        double volume = 0;
        int counterClockwise = 0, degenerate = 0;
        for (int t = 0; t < mesh.indexCount / 3; ++t) {
            const uint16_t* tri = mesh.indices + 3 * t;
            V3 a = vertexOf(mesh.vertices, tri[0]), b = vertexOf(mesh.vertices, tri[1]),
               c = vertexOf(mesh.vertices, tri[2]);
            V3 face = cross(sub(b, a), sub(c, a));
            V3 na = vertexOf(mesh.normals, tri[0]), nb = vertexOf(mesh.normals, tri[1]),
               nc = vertexOf(mesh.normals, tri[2]);
            V3 normal{na.x + nb.x + nc.x, na.y + nb.y + nc.y, na.z + nb.z + nc.z};
            if (std::sqrt(dot(face, face)) < 1e-10)
                ++degenerate;
            else if (dot(face, normal) >= 0)
                ++counterClockwise;
            volume += dot(a, cross(b, c));
        }
        EXPECT_EQ(degenerate, 0);
        EXPECT_EQ(counterClockwise, 0);
        // Clockwise seen from outside gives a negative signed volume when normals face out.
        EXPECT_LT(volume, 0);
    }
}

TEST(Meshes, ShapesAreMadeOfTheirParts) {
    for (const auto& e : expectedMeshes) {
        SCOPED_TRACE(e.name);
        const MeshTable& mesh = *e.mesh;
        std::vector<int> parent(mesh.vertexCount);
        std::iota(parent.begin(), parent.end(), 0);
        for (int i = 0; i < mesh.indexCount; i += 3)
            for (int k = 1; k < 3; ++k)
                parent[find(parent, mesh.indices[i + k])] = find(parent, mesh.indices[i]);
        int parts = 0;
        for (int i = 0; i < mesh.vertexCount; ++i)
            parts += find(parent, i) == i;
        EXPECT_EQ(parts, e.parts);
    }
}

// Handgun in profile: the muzzle (x near -1) sits high, the grip's foot (lowest z) at +x.
TEST(Meshes, HandgunPointsTowardsMinusXWithTheGripDownAtPlusX) {
    const MeshTable& gun = meshHandgun;
    double muzzleZ = 0, footX = 0, lowestZ = 1e9, mostNegativeX = 1e9;
    for (int i = 0; i < gun.vertexCount; ++i) {
        V3 p = vertexOf(gun.vertices, i);
        if (p.x < mostNegativeX) {
            mostNegativeX = p.x;
            muzzleZ = p.z;
        }
        if (p.z < lowestZ) {
            lowestZ = p.z;
            footX = p.x;
        }
    }
    EXPECT_GT(muzzleZ, 0.3);
    EXPECT_GT(footX, 0.3);
}

// The emblems are round: every point lies within (about) the ellipse of their x and y extents;
// the coarse emblem's few rim points are stretched slightly to reach the extents.
TEST(Meshes, EmblemsAreRound) {
    for (const auto& e : {expectedMeshes[2], expectedMeshes[3]}) {
        SCOPED_TRACE(e.name);
        for (int i = 0; i < e.mesh->vertexCount; ++i) {
            V3 p = vertexOf(e.mesh->vertices, i);
            double r = std::hypot(p.x / 0.9998, p.y / (e.extentY + e.digitsY));
            EXPECT_LE(r, 1.01) << "vertex " << i;
        }
    }
}

} // namespace
