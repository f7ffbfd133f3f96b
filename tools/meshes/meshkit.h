// Building blocks of the mesh maker: triangle meshes with shared vertices, polygon
// triangulation, extruded outlines with bevelled rims, swept tubes, refinement to an exact
// vertex count, fitting to exact extents and vertex normals.
#pragma once

#include <array>
#include <string>
#include <vector>

struct Vec2 {
    double u, v;
};

struct Vec3 {
    double x, y, z;
};

// Triangles are wound counter-clockwise seen from outside (right-hand rule gives the outward
// face normal) until the maker writes them out.
struct Mesh {
    std::vector<Vec3> points;
    std::vector<std::array<int, 3>> triangles;
};

Vec3 operator+(Vec3 a, Vec3 b);
Vec3 operator-(Vec3 a, Vec3 b);
Vec3 operator*(double s, Vec3 a);
double dot(Vec3 a, Vec3 b);
Vec3 cross(Vec3 a, Vec3 b);
double length(Vec3 a);
Vec3 normalized(Vec3 a);

// Twice the signed area; positive for a counter-clockwise outline.
double signedArea(const std::vector<Vec2>& loop);

// Triangulates an outline (counter-clockwise) with holes (any orientation) by ear clipping.
// Indices refer to the outline's points followed by each hole's points in order. Throws
// std::runtime_error when the polygon cannot be triangulated.
std::vector<std::array<int, 3>> triangulatePolygon(const std::vector<Vec2>& outline,
                                                   const std::vector<std::vector<Vec2>>& holes);

// Moves every point of a loop by `distance` to the left of its direction of travel (inwards
// for a counter-clockwise outline or a clockwise hole), mitred at the corners.
std::vector<Vec2> offsetLoop(const std::vector<Vec2>& loop, double distance);

// Which plane an outline lies in: profiles in x-z extruded along y, or faces in x-y extruded
// along z.
enum class Plane { xz, xy };

// One level of an extrusion: the outline moved inwards by `inset`, at depth `depth`.
struct ExtrusionRing {
    double inset;
    double depth;
};

// Extrudes an outline with holes through the given rings (from one cap to the other); the
// first and last rings are closed by triangulated caps. The result is a closed surface of
// genus equal to the number of holes, appended to `mesh`.
void addExtrusion(Mesh& mesh, Plane plane, const std::vector<Vec2>& outline,
                  const std::vector<std::vector<Vec2>>& holes,
                  const std::vector<ExtrusionRing>& rings);

// Rings for a slab between depths `back` and `front` with a rim rounded over `bevel` in
// `steps` steps (steps 0: straight walls, two rings).
std::vector<ExtrusionRing> roundedRims(double back, double front, double bevel, int steps);

// Sweeps an elliptic cross-section (`sides` points, radii `across` in the path's plane and
// `thick` along the normal `side`) along a path. A closed path makes a ring-shaped tube; an
// open one is closed at both ends by a point on the path's end.
void addTube(Mesh& mesh, const std::vector<Vec3>& path, bool closedPath, Vec3 side, int sides,
             double across, double thick);

// A turned part around the x axis: `profile` lists (x, radius) from the closed back end
// outwards; rings of `sides` points; the back end is closed by a centre point. When
// `boreSides` is non-zero the profile's last `boreRings` points form a bore of that many
// sides, joined to the previous ring by a strip that halves the count, and left open at its
// end.
void addTurned(Mesh& mesh, const std::vector<Vec2>& profile, double centreY, double centreZ,
               int sides, int boreSides, int boreRings);

// 2V - T: unchanged by splitting an interior edge, so a shape must be built with the target's
// value before it is refined.
int eulerBalance(const Mesh& mesh);

// Gives every connected part one consistent orientation, outwards by its signed volume.
void orientOutwards(Mesh& mesh);

// Splits the longest edge shared by two triangles until the mesh has `vertexCount` points;
// each split adds one point and two triangles.
void refineToVertexCount(Mesh& mesh, int vertexCount);

// Moves and scales each axis so the mesh spans exactly -extent..extent on it.
void fitToExtents(Mesh& mesh, Vec3 extent);

// Area-weighted vertex normals of the outward (counter-clockwise) triangles.
std::vector<Vec3> vertexNormals(const Mesh& mesh);

// Throws std::runtime_error with `what` unless `condition` holds.
void require(bool condition, const std::string& what);
