// parade-meshmaker OUT.cpp: builds the four carried meshes (a handgun, a slab of lettering, a
// round emblem and a coarse emblem) and writes them as C++ constant tables. Each shape is built
// from extrusions, tubes and turned parts whose topology gives the table's balance of points
// and triangles; longest-edge splits then bring it to the exact vertex count.
#include "glyph_cells.h"
#include "meshkit.h"

#include <cmath>
#include <cstdio>
#include <exception>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr double pi = 3.14159265358979323846;

struct MeshTarget {
    const char* name;   // C++ name of the table
    const char* prefix; // prefix of its arrays
    int vertexCount;
    int indexCount;
    Vec3 extent;
};

// Largest |x| lies between 0.9997 and 0.9998; the other extents round to the digits given.
constexpr MeshTarget handgunTarget{
    "meshHandgun", "handgun", 4648, 27810, {0.99972, 0.18372, 0.73262}};
constexpr MeshTarget letteringTarget{
    "meshLettering", "lettering", 811, 4830, {0.99978, 0.58562, 0.08362}};
constexpr MeshTarget emblemTarget{"meshEmblem", "emblem", 494, 2904, {0.99972, 0.97632, 0.50622}};
constexpr MeshTarget coarseTarget{
    "meshEmblemCoarse", "emblemCoarse", 69, 366, {0.99972, 0.99402, 0.51802}};

std::vector<Vec2> arcPoints(Vec2 centre, double radius, double from, double to, int count) {
    std::vector<Vec2> points;
    for (int i = 0; i < count; ++i) {
        double angle = from + (to - from) * i / (count - 1);
        points.push_back(
            {centre.u + radius * std::cos(angle), centre.v + radius * std::sin(angle)});
    }
    return points;
}

void append(std::vector<Vec2>& to, const std::vector<Vec2>& more) {
    to.insert(to.end(), more.begin(), more.end());
}

// The handgun in profile: x along the barrel (muzzle at -x), z up, thin in y. Slide, frame with
// grip, hammer and trigger are closed parts, the trigger guard a ring; the barrel's bore is open
// at the muzzle, which gives the table's balance of 26.
Mesh buildHandgun() {
    Mesh mesh;
    std::vector<Vec2> slide{{-0.97, 0.36},  {0.93, 0.36},   {0.93, 0.61},   {0.89, 0.66},
                            {0.88, 0.66},   {0.87, 0.725},  {0.835, 0.725}, {0.835, 0.695},
                            {0.795, 0.695}, {0.795, 0.725}, {0.76, 0.725},  {0.75, 0.66},
                            {-0.82, 0.66},  {-0.85, 0.71},  {-0.90, 0.71},  {-0.91, 0.66},
                            {-0.95, 0.66},  {-0.97, 0.63}};
    addExtrusion(mesh, Plane::xz, slide, {}, roundedRims(-0.18, 0.18, 0.015, 2));

    // Frame under the slide running back into a raked grip with finger grooves in front.
    std::vector<Vec2> frame{{-0.72, 0.27}, {-0.66, 0.23}, {0.30, 0.23}};
    std::vector<Vec2> front{{0.34, 0.15},  {0.38, 0.02},  {0.35, -0.07}, {0.40, -0.16},
                            {0.41, -0.26}, {0.39, -0.35}, {0.44, -0.44}, {0.45, -0.54},
                            {0.44, -0.63}, {0.47, -0.70}};
    append(frame, front);
    std::vector<Vec2> back{{0.52, -0.73}, {0.95, -0.73}, {0.985, -0.69}, {0.83, 0.16},
                           {0.88, 0.23},  {0.96, 0.28},  {0.95, 0.34},   {0.88, 0.38}};
    append(frame, back);
    frame.push_back({-0.72, 0.38});
    addExtrusion(mesh, Plane::xz, frame, {}, roundedRims(-0.15, 0.15, 0.035, 2));

    std::vector<Vec2> hammer{{0.88, 0.52},   {0.96, 0.55}, {1.0, 0.62},
                             {0.985, 0.685}, {0.95, 0.67}, {0.88, 0.62}};
    addExtrusion(mesh, Plane::xz, hammer, {}, roundedRims(-0.05, 0.05, 0.012, 1));

    // Trigger guard: a rounded loop whose top runs inside the frame.
    std::vector<Vec3> guard;
    const Vec2 guardCentre{0.05, 0.11};
    const double halfWidth = 0.30, halfHeight = 0.15, corner = 0.11;
    for (int c = 0; c < 4; ++c) {
        double su = (c == 0 || c == 3) ? 1 : -1, sv = c < 2 ? 1 : -1;
        Vec2 centre{guardCentre.u + su * (halfWidth - corner),
                    guardCentre.v + sv * (halfHeight - corner)};
        for (Vec2 p : arcPoints(centre, corner, c * pi / 2, (c + 1) * pi / 2, 9))
            guard.push_back({p.u, 0, p.v});
    }
    addTube(mesh, guard, true, {0, 1, 0}, 10, 0.03, 0.055);

    std::vector<Vec3> trigger;
    for (int i = 0; i < 10; ++i) {
        double angle = pi * (0.95 + 0.45 * i / 9.0);
        trigger.push_back({0.32 + 0.26 * std::cos(angle), 0, 0.20 + 0.24 * std::sin(angle)});
    }
    addTube(mesh, trigger, false, {0, 1, 0}, 10, 0.022, 0.035);

    // Barrel: a turned part whose muzzle crown leads into an open bore.
    std::vector<Vec2> barrel{{-0.60, 0.075}, {-0.75, 0.075}, {-0.90, 0.075}, {-0.985, 0.075},
                             {-1.0, 0.062},  {-1.0, 0.04},   {-0.97, 0.04},  {-0.88, 0.04}};
    addTurned(mesh, barrel, 0, 0.515, 16, 8, 3);
    return mesh;
}

// Outline loops of a glyph's ink cells, in cell units (x = column, y = -row), with collinear
// points removed. Positive area loops are outlines, negative ones holes.
std::vector<std::vector<Vec2>> glyphLoops(char c) {
    GlyphWindow glyph = glyphWindow(c);
    require(glyph.width > 0, std::string("no glyph for ") + c);
    struct Point {
        int x, y;
        bool operator<(const Point& o) const { return x < o.x || (x == o.x && y < o.y); }
    };
    std::map<Point, std::vector<Point>> next;
    for (int r = 0; r < glyphGridRows; ++r) {
        for (int col = 0; col < glyph.width; ++col) {
            if (!glyphInk(glyph, r, col))
                continue;
            Point bl{col, -r - 1}, br{col + 1, -r - 1}, tr{col + 1, -r}, tl{col, -r};
            if (!glyphInk(glyph, r + 1, col))
                next[bl].push_back(br);
            if (!glyphInk(glyph, r, col + 1))
                next[br].push_back(tr);
            if (!glyphInk(glyph, r - 1, col))
                next[tr].push_back(tl);
            if (!glyphInk(glyph, r, col - 1))
                next[tl].push_back(bl);
        }
    }
    std::vector<std::vector<Vec2>> loops;
    while (!next.empty()) {
        Point start = next.begin()->first;
        std::vector<Point> loop;
        Point at = start;
        do {
            auto found = next.find(at);
            require(found != next.end() && found->second.size() == 1,
                    std::string("glyph outline pinches in ") + c);
            loop.push_back(at);
            Point to = found->second[0];
            next.erase(found);
            at = to;
        } while (!(at.x == start.x && at.y == start.y));
        std::vector<Vec2> simple;
        size_t n = loop.size();
        for (size_t i = 0; i < n; ++i) {
            Point a = loop[(i + n - 1) % n], b = loop[i], d = loop[(i + 1) % n];
            if ((b.x - a.x) * (d.y - b.y) - (b.y - a.y) * (d.x - b.x) != 0)
                simple.push_back({double(b.x), double(b.y)});
        }
        loops.push_back(simple);
    }
    return loops;
}

// Raises one line of glyphs on the slab: `left`/`top` place the top left corner of the first
// glyph's cell grid, `cell` is the cell size.
void addLettering(Mesh& mesh, const std::string& text, double left, double top, double cell,
                  double base, double height) {
    double x = left;
    for (char c : text) {
        GlyphWindow glyph = glyphWindow(c);
        std::vector<std::vector<Vec2>> outlines, holes;
        for (auto loop : glyphLoops(c)) {
            for (Vec2& p : loop)
                p = {x + p.u * cell, top + p.v * cell};
            (signedArea(loop) > 0 ? outlines : holes).push_back(loop);
        }
        for (const auto& outline : outlines) {
            std::vector<std::vector<Vec2>> inside;
            for (const auto& hole : holes) {
                // A hole belongs to the outline around its first point's cell centre.
                double inward = signedArea(hole) < 0 ? 0.5 * cell : -0.5 * cell;
                Vec2 probe = offsetLoop(hole, inward)[0];
                bool in = false;
                for (size_t i = 0, j = outline.size() - 1; i < outline.size(); j = i++)
                    if ((outline[i].v > probe.v) != (outline[j].v > probe.v) &&
                        probe.u < (outline[j].u - outline[i].u) * (probe.v - outline[i].v) /
                                          (outline[j].v - outline[i].v) +
                                      outline[i].u)
                        in = !in;
                if (in)
                    inside.push_back(hole);
            }
            double bevel = 0.14 * cell;
            addExtrusion(mesh, Plane::xy, outline, inside,
                         {{bevel, base + height}, {0, base + height - bevel}, {0, base}});
        }
        x += (glyph.width + 1) * cell;
    }
}

// A plaque with four screw holes and two lines of raised block letters, facing +z. Every
// hole through the plaque offsets one letter without a hole of its own in the balance.
Mesh buildLettering() {
    Mesh mesh;
    const double halfWidth = 1.0, halfHeight = 0.5856, corner = 0.12;
    std::vector<Vec2> plate;
    std::vector<std::vector<Vec2>> screws;
    const Vec2 corners[4] = {{halfWidth - corner, -halfHeight + corner},
                             {halfWidth - corner, halfHeight - corner},
                             {-halfWidth + corner, halfHeight - corner},
                             {-halfWidth + corner, -halfHeight + corner}};
    for (int c = 0; c < 4; ++c) {
        append(plate, arcPoints(corners[c], corner, (c - 1) * pi / 2, c * pi / 2, 4));
        screws.push_back(arcPoints(corners[c], 0.045, 0, 2 * pi * 9 / 10, 10));
    }
    addExtrusion(mesh, Plane::xy, plate, screws, roundedRims(-0.09, 0.0, 0.018, 1));

    const double bigCell = 0.034, smallCell = 0.015;
    addLettering(mesh, "QVH", -47 * bigCell / 2, 0.35, bigCell, -0.01, 0.06);
    addLettering(mesh, "HARBOUR", -111 * smallCell / 2, -0.14, smallCell, -0.01, 0.05);
    return mesh;
}

double circleMeetsCurve(double offset, double bend) {
    // x > 0 where y = offset + bend x^2 meets the unit circle, by bisection.
    double low = 0, high = 1;
    for (int i = 0; i < 60; ++i) {
        double x = 0.5 * (low + high), y = offset + bend * x * x;
        (x * x + y * y < 1 ? low : high) = x;
    }
    return 0.5 * (low + high);
}

// One band of a unit disc between two parabolic cuts y = offset + bend x^2 (the disc's own
// rim where `lower`/`upper` is absent), counter-clockwise.
std::vector<Vec2> bandOutline(const double* lower, const double* upper, double bend,
                              int curvePoints, int sidePoints, int capPoints) {
    std::vector<Vec2> outline;
    auto curve = [&](double offset, bool leftToRight) {
        double reach = circleMeetsCurve(offset, bend);
        for (int i = 0; i < curvePoints; ++i) {
            double x = -reach + 2 * reach * i / (curvePoints - 1);
            if (!leftToRight)
                x = -x;
            outline.push_back({x, offset + bend * x * x});
        }
        return std::atan2(offset + bend * reach * reach, reach);
    };
    auto arc = [&](double from, double to, int count) {
        for (int i = 1; i <= count; ++i) {
            double angle = from + (to - from) * i / (count + 1);
            outline.push_back({std::cos(angle), std::sin(angle)});
        }
    };
    if (lower && upper) {
        double right0 = curve(*lower, true);
        double reach = circleMeetsCurve(*upper, bend);
        double right1 = std::atan2(*upper + bend * reach * reach, reach);
        arc(right0, right1, sidePoints);
        curve(*upper, false);
        arc(pi - right1, pi - right0, sidePoints);
    } else if (lower) {
        double right0 = curve(*lower, true);
        arc(right0, pi - right0, capPoints);
    } else {
        double reach = circleMeetsCurve(*upper, bend);
        double right1 = std::atan2(*upper + bend * reach * reach, reach);
        curve(*upper, false);
        arc(pi - right1, 2 * pi + right1, capPoints);
    }
    return outline;
}

// A disc cut by parabolic gaps into bands, each band a slab with bevelled rims.
Mesh buildEmblem(const std::vector<double>& cuts, double gap, double bend, int curvePoints,
                 int sidePoints, int capPoints, const std::vector<ExtrusionRing>& rings) {
    Mesh mesh;
    for (size_t band = 0; band <= cuts.size(); ++band) {
        double lower = band > 0 ? cuts[band - 1] + gap : 0;
        double upper = band < cuts.size() ? cuts[band] - gap : 0;
        addExtrusion(mesh, Plane::xy,
                     bandOutline(band > 0 ? &lower : nullptr, band < cuts.size() ? &upper : nullptr,
                                 bend, curvePoints, sidePoints, capPoints),
                     {}, rings);
    }
    return mesh;
}

// Prints a float so that it reads back as the same float.
std::string floatLiteral(float value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.9g", value);
    std::string literal = text;
    if (literal.find_first_of(".e") == std::string::npos)
        literal += ".0";
    return literal + "f";
}

void writeTable(std::FILE* out, const MeshTarget& target, const Mesh& mesh) {
    std::vector<Vec3> normals = vertexNormals(mesh);
    auto writeFloats = [&](const char* what, const std::vector<Vec3>& values) {
        std::fprintf(out, "const float %s%s[] = {\n", target.prefix, what);
        for (Vec3 v : values)
            std::fprintf(out, "    %s, %s, %s,\n", floatLiteral(float(v.x)).c_str(),
                         floatLiteral(float(v.y)).c_str(), floatLiteral(float(v.z)).c_str());
        std::fprintf(out, "};\n");
    };
    writeFloats("Vertices", mesh.points);
    writeFloats("Normals", normals);
    // Written clockwise as seen from outside, where the normals face.
    std::fprintf(out, "const uint16_t %sIndices[] = {\n", target.prefix);
    for (const auto& tri : mesh.triangles)
        std::fprintf(out, "    %d, %d, %d,\n", tri[0], tri[2], tri[1]);
    std::fprintf(out, "};\n");
}

Mesh finish(Mesh mesh, const MeshTarget& target) {
    orientOutwards(mesh);
    int balance = 2 * target.vertexCount - target.indexCount / 3;
    require(eulerBalance(mesh) == balance, std::string(target.name) + ": shape balance " +
                                               std::to_string(eulerBalance(mesh)) +
                                               ", table needs " + std::to_string(balance));
    refineToVertexCount(mesh, target.vertexCount);
    require(static_cast<int>(mesh.triangles.size()) * 3 == target.indexCount,
            std::string(target.name) + ": wrong triangle count");
    fitToExtents(mesh, target.extent);
    return mesh;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT.cpp\n", argv[0]);
        return 2;
    }
    try {
        const MeshTarget* targets[] = {&handgunTarget, &letteringTarget, &emblemTarget,
                                       &coarseTarget};
        std::vector<Mesh> meshes;
        const char* building = "handgun";
        try {
            meshes.push_back(finish(buildHandgun(), handgunTarget));
            building = "lettering";
            meshes.push_back(finish(buildLettering(), letteringTarget));
            building = "emblem";
            meshes.push_back(finish(buildEmblem({-0.58, -0.2, 0.18, 0.56}, 0.035, -0.22, 9, 2, 9,
                                                roundedRims(-0.5, 0.5, 0.06, 1)),
                                    emblemTarget));
            building = "coarse emblem";
            meshes.push_back(finish(
                buildEmblem({-0.45, 0.05, 0.5}, 0.05, -0.22, 3, 1, 5, roundedRims(-0.5, 0.5, 0, 0)),
                coarseTarget));
        } catch (const std::exception& error) {
            throw std::runtime_error(std::string(building) + ": " + error.what());
        }

        std::string path = argv[1];
        std::FILE* out = std::fopen(path.c_str(), "w");
        require(out != nullptr, "cannot write " + path);
        std::fprintf(out, "// Generated by parade-meshmaker: the four carried meshes.\n"
                          "#include \"geometry.h\"\n\nnamespace {\n\n");
        for (size_t i = 0; i < meshes.size(); ++i)
            writeTable(out, *targets[i], meshes[i]);
        std::fprintf(out, "\n} // namespace\n\n");
        for (const MeshTarget* target : targets)
            std::fprintf(out, "const MeshTable %s = {%sVertices, %sNormals, %sIndices, %d, %d};\n",
                         target->name, target->prefix, target->prefix, target->prefix,
                         target->vertexCount, target->indexCount);
        bool written = std::ferror(out) == 0;
        written = std::fclose(out) == 0 && written;
        require(written, "cannot write " + path);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "parade-meshmaker: %s\n", error.what());
        std::remove(argv[1]);
        return 1;
    }
    return 0;
}
