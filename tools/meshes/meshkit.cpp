// Mesh building blocks for the mesh maker; see meshkit.h.
#include "meshkit.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <queue>
#include <stdexcept>
#include <tuple>
#include <utility>

Vec3 operator+(Vec3 a, Vec3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
Vec3 operator-(Vec3 a, Vec3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Vec3 operator*(double s, Vec3 a) {
    return {s * a.x, s * a.y, s * a.z};
}
double dot(Vec3 a, Vec3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
Vec3 cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double length(Vec3 a) {
    return std::sqrt(dot(a, a));
}
Vec3 normalized(Vec3 a) {
    return (1.0 / length(a)) * a;
}

void require(bool condition, const std::string& what) {
    if (!condition)
        throw std::runtime_error(what);
}

namespace {

constexpr double pi = 3.14159265358979323846;

double orient(Vec2 a, Vec2 b, Vec2 c) {
    return (b.u - a.u) * (c.v - a.v) - (b.v - a.v) * (c.u - a.u);
}

bool samePoint(Vec2 a, Vec2 b) {
    return a.u == b.u && a.v == b.v;
}

bool insideTriangleOrOnEdge(Vec2 q, Vec2 a, Vec2 b, Vec2 c) {
    const double eps = 1e-12;
    return orient(a, b, q) >= -eps && orient(b, c, q) >= -eps && orient(c, a, q) >= -eps;
}

// True when the open segments cross (touching at shared end points does not count).
bool segmentsCross(Vec2 p1, Vec2 p2, Vec2 q1, Vec2 q2) {
    if (samePoint(p1, q1) || samePoint(p1, q2) || samePoint(p2, q1) || samePoint(p2, q2))
        return false;
    double d1 = orient(q1, q2, p1), d2 = orient(q1, q2, p2);
    double d3 = orient(p1, p2, q1), d4 = orient(p1, p2, q2);
    return ((d1 > 0) != (d2 > 0)) && ((d3 > 0) != (d4 > 0)) && d1 != 0 && d2 != 0 && d3 != 0 &&
           d4 != 0;
}

bool insideLoop(Vec2 q, const std::vector<Vec2>& loop) {
    bool inside = false;
    for (size_t i = 0, j = loop.size() - 1; i < loop.size(); j = i++) {
        if ((loop[i].v > q.v) != (loop[j].v > q.v) &&
            q.u < (loop[j].u - loop[i].u) * (q.v - loop[i].v) / (loop[j].v - loop[i].v) + loop[i].u)
            inside = !inside;
    }
    return inside;
}

// True when q lies inside the corner that a counter-clockwise ring turns at p.
bool insideCorner(Vec2 before, Vec2 p, Vec2 after, Vec2 q) {
    if (orient(before, p, after) > 0)
        return orient(p, after, q) > 0 && orient(before, p, q) > 0;
    return !(orient(p, after, q) <= 0 && orient(before, p, q) <= 0);
}

// Smallest angle of a triangle, as a measure of how well shaped an ear is.
double smallestAngle(Vec2 a, Vec2 b, Vec2 c) {
    auto angle = [](Vec2 p, Vec2 q, Vec2 r) {
        double ux = q.u - p.u, uy = q.v - p.v, vx = r.u - p.u, vy = r.v - p.v;
        return std::atan2(std::fabs(ux * vy - uy * vx), ux * vx + uy * vy);
    };
    return std::min({angle(a, b, c), angle(b, c, a), angle(c, a, b)});
}

Vec3 placeOnPlane(Plane plane, Vec2 p, double depth) {
    if (plane == Plane::xz)
        return {p.u, depth, p.v};
    return {p.u, p.v, depth};
}

using EdgeKey = std::pair<int, int>;

EdgeKey edgeKey(int a, int b) {
    return {std::min(a, b), std::max(a, b)};
}

std::map<EdgeKey, std::vector<int>> edgeTriangles(const Mesh& mesh) {
    std::map<EdgeKey, std::vector<int>> edges;
    for (int t = 0; t < static_cast<int>(mesh.triangles.size()); ++t)
        for (int k = 0; k < 3; ++k)
            edges[edgeKey(mesh.triangles[t][k], mesh.triangles[t][(k + 1) % 3])].push_back(t);
    return edges;
}

bool hasDirectedEdge(const std::array<int, 3>& tri, int a, int b) {
    for (int k = 0; k < 3; ++k)
        if (tri[k] == a && tri[(k + 1) % 3] == b)
            return true;
    return false;
}

// Rotates a triangle so that it reads (a, b, third).
std::array<int, 3> startingWith(const std::array<int, 3>& tri, int a) {
    for (int k = 0; k < 3; ++k)
        if (tri[k] == a)
            return {tri[k], tri[(k + 1) % 3], tri[(k + 2) % 3]};
    throw std::runtime_error("vertex not in triangle");
}

} // namespace

double signedArea(const std::vector<Vec2>& loop) {
    double area = 0;
    for (size_t i = 0, j = loop.size() - 1; i < loop.size(); j = i++)
        area += loop[j].u * loop[i].v - loop[i].u * loop[j].v;
    return area;
}

std::vector<std::array<int, 3>> triangulatePolygon(const std::vector<Vec2>& outline,
                                                   const std::vector<std::vector<Vec2>>& holes) {
    require(outline.size() >= 3 && signedArea(outline) > 0,
            "polygon outline must run counter-clockwise");
    std::vector<Vec2> points = outline;
    std::vector<int> ring;
    for (int i = 0; i < static_cast<int>(outline.size()); ++i)
        ring.push_back(i);

    // Each hole joins the ring through a bridge from its rightmost point, rightmost hole first.
    struct HoleRef {
        std::vector<int> indices; // clockwise
        int rightmost;
    };
    std::vector<HoleRef> holeRefs;
    for (const auto& hole : holes) {
        HoleRef ref;
        int start = static_cast<int>(points.size());
        points.insert(points.end(), hole.begin(), hole.end());
        for (int i = 0; i < static_cast<int>(hole.size()); ++i)
            ref.indices.push_back(start + i);
        if (signedArea(hole) > 0)
            std::reverse(ref.indices.begin(), ref.indices.end());
        ref.rightmost = 0;
        for (int i = 1; i < static_cast<int>(ref.indices.size()); ++i) {
            Vec2 p = points[ref.indices[i]], best = points[ref.indices[ref.rightmost]];
            if (p.u > best.u || (p.u == best.u && p.v < best.v))
                ref.rightmost = i;
        }
        holeRefs.push_back(ref);
    }
    std::sort(holeRefs.begin(), holeRefs.end(), [&](const HoleRef& a, const HoleRef& b) {
        return points[a.indices[a.rightmost]].u > points[b.indices[b.rightmost]].u;
    });

    for (size_t h = 0; h < holeRefs.size(); ++h) {
        const HoleRef& ref = holeRefs[h];
        Vec2 hp = points[ref.indices[ref.rightmost]];
        std::vector<int> order(ring.size());
        for (size_t k = 0; k < ring.size(); ++k)
            order[k] = static_cast<int>(k);
        auto distance = [&](int k) {
            Vec2 p = points[ring[k]];
            return (p.u - hp.u) * (p.u - hp.u) + (p.v - hp.v) * (p.v - hp.v);
        };
        std::stable_sort(order.begin(), order.end(),
                         [&](int a, int b) { return distance(a) < distance(b); });
        int bridge = -1;
        for (int k : order) {
            Vec2 p = points[ring[k]];
            Vec2 middle{(p.u + hp.u) / 2, (p.v + hp.v) / 2};
            // A point that the ring passes more than once must be left through the corner
            // that opens towards the hole.
            Vec2 before = points[ring[(k + ring.size() - 1) % ring.size()]];
            Vec2 after = points[ring[(k + 1) % ring.size()]];
            bool clear = insideCorner(before, p, after, hp) && insideLoop(middle, outline);
            for (const auto& hole : holes)
                clear = clear && !insideLoop(middle, hole);
            for (size_t e = 0; clear && e < ring.size(); ++e)
                clear = !segmentsCross(p, hp, points[ring[e]], points[ring[(e + 1) % ring.size()]]);
            for (size_t o = h; clear && o < holeRefs.size(); ++o) {
                const auto& idx = holeRefs[o].indices;
                for (size_t e = 0; clear && e < idx.size(); ++e)
                    clear =
                        !segmentsCross(p, hp, points[idx[e]], points[idx[(e + 1) % idx.size()]]);
            }
            if (clear) {
                bridge = k;
                break;
            }
        }
        require(bridge >= 0, "no bridge from a hole to its outline");
        std::vector<int> joined(ring.begin(), ring.begin() + bridge + 1);
        for (size_t i = 0; i <= ref.indices.size(); ++i)
            joined.push_back(ref.indices[(ref.rightmost + i) % ref.indices.size()]);
        joined.push_back(ring[bridge]);
        joined.insert(joined.end(), ring.begin() + bridge + 1, ring.end());
        ring = joined;
    }

    // Ear clipping, always cutting the best-shaped ear.
    std::vector<std::array<int, 3>> triangles;
    while (ring.size() > 3) {
        int n = static_cast<int>(ring.size());
        int best = -1;
        double bestAngle = -1;
        for (int i = 0; i < n; ++i) {
            int a = ring[(i + n - 1) % n], b = ring[i], c = ring[(i + 1) % n];
            Vec2 pa = points[a], pb = points[b], pc = points[c];
            if (orient(pa, pb, pc) <= 1e-12)
                continue;
            bool ear = true;
            for (int j = 0; ear && j < n; ++j) {
                if (j == i || j == (i + n - 1) % n || j == (i + 1) % n)
                    continue;
                Vec2 q = points[ring[j]];
                if (samePoint(q, pa) || samePoint(q, pb) || samePoint(q, pc))
                    continue;
                ear = !insideTriangleOrOnEdge(q, pa, pb, pc);
            }
            if (!ear)
                continue;
            double angle = smallestAngle(pa, pb, pc);
            if (angle > bestAngle) {
                bestAngle = angle;
                best = i;
            }
        }
        require(best >= 0, "polygon has no ear left to clip");
        triangles.push_back({ring[(best + n - 1) % n], ring[best], ring[(best + 1) % n]});
        ring.erase(ring.begin() + best);
    }
    require(orient(points[ring[0]], points[ring[1]], points[ring[2]]) > 1e-12,
            "polygon leaves a degenerate last triangle");
    triangles.push_back({ring[0], ring[1], ring[2]});
    return triangles;
}

std::vector<Vec2> offsetLoop(const std::vector<Vec2>& loop, double distance) {
    std::vector<Vec2> result;
    size_t n = loop.size();
    for (size_t i = 0; i < n; ++i) {
        Vec2 prev = loop[(i + n - 1) % n], cur = loop[i], next = loop[(i + 1) % n];
        double d1u = cur.u - prev.u, d1v = cur.v - prev.v, d2u = next.u - cur.u,
               d2v = next.v - cur.v;
        double l1 = std::hypot(d1u, d1v), l2 = std::hypot(d2u, d2v);
        double n1u = -d1v / l1, n1v = d1u / l1, n2u = -d2v / l2, n2v = d2u / l2;
        double scale = distance / (1 + n1u * n2u + n1v * n2v);
        result.push_back({cur.u + scale * (n1u + n2u), cur.v + scale * (n1v + n2v)});
    }
    return result;
}

std::vector<ExtrusionRing> roundedRims(double back, double front, double bevel, int steps) {
    std::vector<ExtrusionRing> rings;
    for (int j = 0; j <= steps; ++j) {
        double angle = steps == 0 ? pi / 2 : pi / 2 * j / steps;
        rings.push_back({bevel * (1 - std::sin(angle)), front - bevel * (1 - std::cos(angle))});
    }
    for (int j = steps; j >= 0; --j) {
        double angle = steps == 0 ? pi / 2 : pi / 2 * j / steps;
        rings.push_back({bevel * (1 - std::sin(angle)), back + bevel * (1 - std::cos(angle))});
    }
    return rings;
}

void addExtrusion(Mesh& mesh, Plane plane, const std::vector<Vec2>& outline,
                  const std::vector<std::vector<Vec2>>& holes,
                  const std::vector<ExtrusionRing>& rings) {
    require(rings.size() >= 2, "an extrusion needs two rings");
    // Every loop runs with the solid on its left: outline counter-clockwise, holes clockwise.
    std::vector<std::vector<Vec2>> loops{outline};
    for (auto hole : holes) {
        if (signedArea(hole) > 0)
            std::reverse(hole.begin(), hole.end());
        loops.push_back(hole);
    }
    std::vector<std::vector<int>> ringStarts(rings.size());
    std::vector<std::vector<std::vector<Vec2>>> ringLoops(rings.size());
    for (size_t r = 0; r < rings.size(); ++r) {
        for (const auto& loop : loops) {
            ringStarts[r].push_back(static_cast<int>(mesh.points.size()));
            ringLoops[r].push_back(rings[r].inset == 0 ? loop : offsetLoop(loop, rings[r].inset));
            for (Vec2 p : ringLoops[r].back())
                mesh.points.push_back(placeOnPlane(plane, p, rings[r].depth));
        }
    }
    for (size_t r = 0; r + 1 < rings.size(); ++r) {
        for (size_t l = 0; l < loops.size(); ++l) {
            int k = static_cast<int>(loops[l].size());
            for (int i = 0; i < k; ++i) {
                int a = ringStarts[r][l] + i, b = ringStarts[r][l] + (i + 1) % k;
                int c = ringStarts[r + 1][l] + i, d = ringStarts[r + 1][l] + (i + 1) % k;
                mesh.triangles.push_back({a, b, d});
                mesh.triangles.push_back({a, d, c});
            }
        }
    }
    for (size_t r : {size_t{0}, rings.size() - 1}) {
        std::vector<std::vector<Vec2>> capHoles(ringLoops[r].begin() + 1, ringLoops[r].end());
        std::vector<int> localToMesh;
        for (size_t l = 0; l < loops.size(); ++l)
            for (size_t i = 0; i < loops[l].size(); ++i)
                localToMesh.push_back(ringStarts[r][l] + static_cast<int>(i));
        for (auto tri : triangulatePolygon(ringLoops[r][0], capHoles)) {
            std::array<int, 3> t{localToMesh[tri[0]], localToMesh[tri[1]], localToMesh[tri[2]]};
            if (r != 0)
                std::swap(t[1], t[2]);
            mesh.triangles.push_back(t);
        }
    }
}

void addTube(Mesh& mesh, const std::vector<Vec3>& path, bool closedPath, Vec3 side, int sides,
             double across, double thick) {
    int count = static_cast<int>(path.size());
    int first = static_cast<int>(mesh.points.size());
    for (int i = 0; i < count; ++i) {
        Vec3 prev = path[closedPath ? (i + count - 1) % count : std::max(i - 1, 0)];
        Vec3 next = path[closedPath ? (i + 1) % count : std::min(i + 1, count - 1)];
        Vec3 tangent = normalized(next - prev);
        Vec3 binormal = normalized(side - dot(side, tangent) * tangent);
        Vec3 normal = cross(tangent, binormal);
        for (int j = 0; j < sides; ++j) {
            double angle = 2 * pi * j / sides;
            mesh.points.push_back(path[i] + across * std::cos(angle) * normal +
                                  thick * std::sin(angle) * binormal);
        }
    }
    int segments = closedPath ? count : count - 1;
    for (int i = 0; i < segments; ++i) {
        int r0 = first + i * sides, r1 = first + ((i + 1) % count) * sides;
        for (int j = 0; j < sides; ++j) {
            int a = r0 + j, b = r0 + (j + 1) % sides, c = r1 + j, d = r1 + (j + 1) % sides;
            mesh.triangles.push_back({a, b, d});
            mesh.triangles.push_back({a, d, c});
        }
    }
    if (!closedPath) {
        for (int end : {0, count - 1}) {
            int centre = static_cast<int>(mesh.points.size());
            mesh.points.push_back(path[end]);
            int r = first + end * sides;
            for (int j = 0; j < sides; ++j)
                mesh.triangles.push_back({centre, r + j, r + (j + 1) % sides});
        }
    }
}

void addTurned(Mesh& mesh, const std::vector<Vec2>& profile, double centreY, double centreZ,
               int sides, int boreSides, int boreRings) {
    int count = static_cast<int>(profile.size());
    std::vector<int> starts, counts;
    for (int i = 0; i < count; ++i) {
        bool bore = boreSides > 0 && i >= count - boreRings;
        int k = bore ? boreSides : sides;
        starts.push_back(static_cast<int>(mesh.points.size()));
        counts.push_back(k);
        for (int j = 0; j < k; ++j) {
            double angle = 2 * pi * j / k;
            mesh.points.push_back({profile[i].u, centreY + profile[i].v * std::cos(angle),
                                   centreZ + profile[i].v * std::sin(angle)});
        }
    }
    for (int i = 0; i + 1 < count; ++i) {
        int r0 = starts[i], r1 = starts[i + 1], k0 = counts[i], k1 = counts[i + 1];
        if (k0 == k1) {
            for (int j = 0; j < k0; ++j) {
                int a = r0 + j, b = r0 + (j + 1) % k0, c = r1 + j, d = r1 + (j + 1) % k0;
                mesh.triangles.push_back({a, b, d});
                mesh.triangles.push_back({a, d, c});
            }
        } else {
            require(k0 == 2 * k1, "a bore has half the sides of the ring before it");
            for (int j = 0; j < k1; ++j) {
                int o0 = r0 + 2 * j, o1 = r0 + 2 * j + 1, o2 = r0 + (2 * j + 2) % k0;
                int b0 = r1 + j, b1 = r1 + (j + 1) % k1;
                mesh.triangles.push_back({o0, o1, b0});
                mesh.triangles.push_back({o1, o2, b1});
                mesh.triangles.push_back({o1, b1, b0});
            }
        }
    }
    int centre = static_cast<int>(mesh.points.size());
    mesh.points.push_back({profile[0].u, centreY, centreZ});
    for (int j = 0; j < counts[0]; ++j)
        mesh.triangles.push_back({centre, starts[0] + (j + 1) % counts[0], starts[0] + j});
}

int eulerBalance(const Mesh& mesh) {
    return 2 * static_cast<int>(mesh.points.size()) - static_cast<int>(mesh.triangles.size());
}

void orientOutwards(Mesh& mesh) {
    auto edges = edgeTriangles(mesh);
    for (const auto& [key, tris] : edges)
        require(tris.size() <= 2, "an edge is shared by more than two triangles");
    int triangleCount = static_cast<int>(mesh.triangles.size());
    std::vector<int> part(triangleCount, -1);
    int parts = 0;
    for (int seed = 0; seed < triangleCount; ++seed) {
        if (part[seed] >= 0)
            continue;
        std::vector<int> members{seed}, queue{seed};
        part[seed] = parts;
        while (!queue.empty()) {
            int t = queue.back();
            queue.pop_back();
            for (int k = 0; k < 3; ++k) {
                int a = mesh.triangles[t][k], b = mesh.triangles[t][(k + 1) % 3];
                for (int other : edges[edgeKey(a, b)]) {
                    if (other == t)
                        continue;
                    if (part[other] >= 0) {
                        require(!hasDirectedEdge(mesh.triangles[other], a, b),
                                "a part cannot be oriented consistently");
                        continue;
                    }
                    if (hasDirectedEdge(mesh.triangles[other], a, b))
                        std::swap(mesh.triangles[other][1], mesh.triangles[other][2]);
                    part[other] = parts;
                    members.push_back(other);
                    queue.push_back(other);
                }
            }
        }
        // Volume measured from the part's own centre, so a small opening hardly matters.
        Vec3 centre{0, 0, 0};
        for (int t : members)
            for (int v : mesh.triangles[t])
                centre = centre + mesh.points[v];
        centre = (1.0 / (3.0 * members.size())) * centre;
        double volume = 0;
        for (int t : members) {
            const auto& tri = mesh.triangles[t];
            volume += dot(mesh.points[tri[0]] - centre,
                          cross(mesh.points[tri[1]] - centre, mesh.points[tri[2]] - centre));
        }
        if (volume < 0)
            for (int t : members)
                std::swap(mesh.triangles[t][1], mesh.triangles[t][2]);
        ++parts;
    }
}

void refineToVertexCount(Mesh& mesh, int vertexCount) {
    require(static_cast<int>(mesh.points.size()) <= vertexCount,
            "shape has more points than its table");
    auto edges = edgeTriangles(mesh);
    using Entry = std::tuple<double, int, int>;
    std::priority_queue<Entry> longest;
    auto push = [&](int a, int b) {
        EdgeKey key = edgeKey(a, b);
        longest.push({length(mesh.points[a] - mesh.points[b]), key.first, key.second});
    };
    for (const auto& [key, tris] : edges)
        push(key.first, key.second);
    while (static_cast<int>(mesh.points.size()) < vertexCount) {
        require(!longest.empty(), "no edge left to split");
        auto [len, a, b] = longest.top();
        longest.pop();
        auto found = edges.find({a, b});
        if (found == edges.end() || found->second.size() != 2)
            continue;
        int t1 = found->second[0], t2 = found->second[1];
        if (!hasDirectedEdge(mesh.triangles[t1], a, b))
            std::swap(t1, t2);
        auto tri1 = startingWith(mesh.triangles[t1], a); // (a, b, c)
        auto tri2 = startingWith(mesh.triangles[t2], b); // (b, a, d)
        int c = tri1[2], d = tri2[2];
        int m = static_cast<int>(mesh.points.size());
        mesh.points.push_back(0.5 * (mesh.points[a] + mesh.points[b]));
        int t3 = static_cast<int>(mesh.triangles.size()), t4 = t3 + 1;
        mesh.triangles[t1] = {a, m, c};
        mesh.triangles[t2] = {b, m, d};
        mesh.triangles.push_back({m, b, c});
        mesh.triangles.push_back({m, a, d});
        edges.erase(found);
        std::replace(edges[edgeKey(b, c)].begin(), edges[edgeKey(b, c)].end(), t1, t3);
        std::replace(edges[edgeKey(a, d)].begin(), edges[edgeKey(a, d)].end(), t2, t4);
        edges[edgeKey(a, m)] = {t1, t4};
        edges[edgeKey(m, b)] = {t3, t2};
        edges[edgeKey(m, c)] = {t1, t3};
        edges[edgeKey(m, d)] = {t2, t4};
        for (int other : {a, b, c, d})
            push(m, other);
    }
}

void fitToExtents(Mesh& mesh, Vec3 extent) {
    Vec3 low = mesh.points[0], high = mesh.points[0];
    for (Vec3 p : mesh.points) {
        low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
        high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
    }
    Vec3 centre = 0.5 * (low + high);
    Vec3 scale{2 * extent.x / (high.x - low.x), 2 * extent.y / (high.y - low.y),
               2 * extent.z / (high.z - low.z)};
    for (Vec3& p : mesh.points) {
        Vec3 q = p - centre;
        p = {q.x * scale.x, q.y * scale.y, q.z * scale.z};
    }
}

std::vector<Vec3> vertexNormals(const Mesh& mesh) {
    std::vector<Vec3> sums(mesh.points.size(), Vec3{0, 0, 0});
    for (const auto& tri : mesh.triangles) {
        Vec3 face = cross(mesh.points[tri[1]] - mesh.points[tri[0]],
                          mesh.points[tri[2]] - mesh.points[tri[0]]);
        for (int v : tri)
            sums[v] = sums[v] + face;
    }
    for (Vec3& n : sums) {
        require(length(n) > 1e-12, "a vertex has no normal");
        n = normalized(n);
    }
    return sums;
}
