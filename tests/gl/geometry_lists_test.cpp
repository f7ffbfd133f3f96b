// Every display list built at start-up, drawn under known transforms and read back through
// feedback mode: cubes, glyphs, words, the GLUT shapes, the arc and the meshes.
#include "geometry.h"
#include "gl_harness.h"
#include "glyph_layout.h"

#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

struct Vec {
    double x, y, z;
};

Vec sub(Vec a, Vec b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Vec cross(Vec a, Vec b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double dot(Vec a, Vec b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

// The window goes before the process ends, so the driver frees what the context holds while
// it is still loaded and the leak checker can tell its memory from ours.
class CloseWindowAtExit : public ::testing::Environment {
    void TearDown() override {
        if (glutGetWindow() != 0)
            glutDestroyWindow(glutGetWindow());
    }
};
::testing::Environment* const closeWindowAtExit =
    ::testing::AddGlobalTestEnvironment(new CloseWindowAtExit);

bool clientArraysEnabledBefore = true;
GLboolean vertexArrayAfterBuild = GL_TRUE;
GLboolean normalArrayAfterBuild = GL_TRUE;

// Builds everything once per process as start-up does, with both client arrays switched on
// beforehand to show that building leaves them off.
class Lists : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        openTestWindow(640, 480);
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_NORMAL_ARRAY);
        clientArraysEnabledBefore = glIsEnabled(GL_VERTEX_ARRAY) && glIsEnabled(GL_NORMAL_ARRAY);
        buildDisplayLists();
        buildMeshList(669, meshHandgun);
        buildMeshList(676, meshLettering);
        buildMeshList(679, meshEmblem);
        buildMeshList(680, meshEmblemCoarse);
        vertexArrayAfterBuild = glIsEnabled(GL_VERTEX_ARRAY);
        normalArrayAfterBuild = glIsEnabled(GL_NORMAL_ARRAY);
    }

    void SetUp() override {
        glDisable(GL_CULL_FACE);
        glCullFace(GL_BACK);
        glFrontFace(GL_CCW);
    }

    // Vertices of `list` in object units, drawn after `transform` under the unit projection.
    static std::vector<FeedbackPrimitive> draw(GLuint list, float pixelsPerUnit,
                                               void (*transform)() = nullptr) {
        useUnitProjection(pixelsPerUnit);
        if (transform != nullptr)
            transform();
        auto primitives = captureFeedback([list] { glCallList(list); });
        for (auto& primitive : primitives) {
            for (auto& v : primitive.vertices)
                v = toObjectUnits(v, pixelsPerUnit);
        }
        return primitives;
    }
};

Vec toVec(const FeedbackVertex& v) {
    return {v.x, v.y, v.z};
}

// Centres of the cubes of a drawing whose centres lie on a grid of `pitch` through
// (originX, originY): each vertex is snapped to its cube's centre, which must lie 0.46875
// pitches away on both axes, and each cube must bring its 12 triangles.
std::map<std::pair<double, double>, int> cubeCentres(const std::vector<FeedbackPrimitive>& prims,
                                                     double pitch, double originX, double originY) {
    std::map<std::pair<double, double>, int> centres;
    for (const auto& primitive : prims) {
        EXPECT_EQ(primitive.token, static_cast<GLenum>(GL_POLYGON_TOKEN));
        for (const auto& v : primitive.vertices) {
            const double cx = originX + pitch * std::round((v.x - originX) / pitch);
            const double cy = originY + pitch * std::round((v.y - originY) / pitch);
            EXPECT_NEAR(std::fabs(v.x - cx), 0.46875 * pitch, 2e-3);
            EXPECT_NEAR(std::fabs(v.y - cy), 0.46875 * pitch, 2e-3);
            ++centres[{cx, cy}];
        }
    }
    for (const auto& [centre, vertices] : centres)
        EXPECT_EQ(vertices, 36) << centre.first << ", " << centre.second;
    return centres;
}

std::set<std::pair<double, double>> keys(const std::map<std::pair<double, double>, int>& m) {
    std::set<std::pair<double, double>> out;
    for (const auto& entry : m)
        out.insert(entry.first);
    return out;
}

bool ink(int row, int column) {
    return glyphGrid[row * glyphGridColumns + column] == 0;
}

size_t inkCells(char character) {
    const GlyphWindow window = glyphWindow(glyphListId(character));
    size_t count = 0;
    for (int j = 0; j < window.width; ++j) {
        for (int r = 0; r < glyphGridRows; ++r)
            count += ink(r, window.firstColumn + j) ? 1 : 0;
    }
    return count;
}

} // namespace

TEST_F(Lists, EveryCatalogueIdHoldsAListAndNoOtherIdDoes) {
    std::set<GLuint> expected = {1, 660, 661, 662, 666, 667, 668, 669, 670, 671, 676, 679, 680};
    for (GLuint id = 33; id <= 68; ++id)
        expected.insert(id);
    for (GLuint id = 100; id <= 112; ++id)
        expected.insert(id);
    for (GLuint id = 200; id <= 225; ++id)
        expected.insert(id);
    for (GLuint id = 0; id <= 700; ++id)
        EXPECT_EQ(glIsList(id) == GL_TRUE, expected.count(id) == 1) << "list " << id;
}

TEST_F(Lists, BuildingLeavesClientVertexAndNormalArraysDisabled) {
    ASSERT_TRUE(clientArraysEnabledBefore);
    EXPECT_FALSE(vertexArrayAfterBuild);
    EXPECT_FALSE(normalArrayAfterBuild);
}

// The cube drawers hand the caller's client state back as it was, and read no array but
// their own positions (the normal array below is enabled without any data).
TEST_F(Lists, CubeDrawersRestoreTheCallersClientArrays) {
    static const float callerVertices[3] = {0, 0, 0};
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, callerVertices);
    glEnableClientState(GL_NORMAL_ARRAY);
    glNormalPointer(GL_FLOAT, 0, nullptr);
    // Two lists: Mesa's feedback mode crashes on a list that mixes quads and lines.
    glNewList(900, GL_COMPILE);
    drawSolidCube(1.25f);
    glEndList();
    glNewList(901, GL_COMPILE);
    drawWireCube(1.25f);
    glEndList();
    GLvoid* pointer = nullptr;
    glGetPointerv(GL_VERTEX_ARRAY_POINTER, &pointer);
    EXPECT_TRUE(glIsEnabled(GL_VERTEX_ARRAY));
    EXPECT_TRUE(glIsEnabled(GL_NORMAL_ARRAY));
    EXPECT_EQ(pointer, callerVertices);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);

    const auto solid = draw(900, 100);
    const auto wire = draw(901, 100);
    glDeleteLists(900, 2);
    EXPECT_EQ(solid.size(), 12u);
    EXPECT_EQ(wire.size(), 12u);
}

// Views that turn each of the six faces towards the viewer, tilted so three faces show.
struct View {
    float yaw, pitch;
};
const View cubeViews[] = {{25, 20}, {205, 20}, {115, 20}, {-65, 20}, {25, 110}, {25, -70}};
View currentView;
void applyView() {
    glRotatef(currentView.pitch, 1, 0, 0);
    glRotatef(currentView.yaw, 0, 1, 0);
}

// Each face is two triangles; every triangle winds counter-clockwise seen from outside, so with
// back faces culled exactly the faces turned to the viewer are drawn, from every side.
TEST_F(Lists, SolidCubeFacesWindCounterClockwiseFromOutside) {
    for (GLuint list : {1u, 667u}) {
        for (const View& view : cubeViews) {
            currentView = view;
            auto all = draw(list, 100, applyView);
            ASSERT_EQ(all.size(), 12u) << list;
            std::set<std::vector<int>> faces;
            for (const auto& tri : all) {
                ASSERT_EQ(tri.vertices.size(), 3u);
                const Vec a = toVec(tri.vertices[0]), b = toVec(tri.vertices[1]),
                          c = toVec(tri.vertices[2]);
                const Vec normal = cross(sub(b, a), sub(c, a));
                const Vec centroid = {(a.x + b.x + c.x) / 3, (a.y + b.y + c.y) / 3,
                                      (a.z + b.z + c.z) / 3};
                EXPECT_GT(dot(normal, centroid), 0.0) << "list " << list << " view " << view.yaw;
                const double length = std::sqrt(dot(normal, normal));
                faces.insert({static_cast<int>(std::lround(normal.x / length * 4)),
                              static_cast<int>(std::lround(normal.y / length * 4)),
                              static_cast<int>(std::lround(normal.z / length * 4))});
                for (const auto& v : tri.vertices)
                    EXPECT_NEAR(std::sqrt(dot(toVec(v), toVec(v))), 0.625 * std::sqrt(3.0), 2e-3);
            }
            EXPECT_EQ(faces.size(), 6u);

            glEnable(GL_CULL_FACE);
            auto front = draw(list, 100, applyView);
            glDisable(GL_CULL_FACE);
            EXPECT_EQ(front.size(), 6u);
            for (const auto& tri : front) {
                const Vec a = toVec(tri.vertices[0]), b = toVec(tri.vertices[1]),
                          c = toVec(tri.vertices[2]);
                EXPECT_GT(cross(sub(b, a), sub(c, a)).z, 0.0);
            }
        }
    }
}

// Twelve distinct axis-parallel edges of length 1.25 between corners at +-0.625.
TEST_F(Lists, WireCubeHoldsTheTwelveEdges) {
    auto lines = draw(668, 100);
    ASSERT_EQ(lines.size(), 12u);
    std::set<std::pair<std::vector<long>, std::vector<long>>> edges;
    for (const auto& line : lines) {
        ASSERT_EQ(line.token, static_cast<GLenum>(GL_LINE_TOKEN));
        std::vector<long> ends[2];
        for (int e = 0; e < 2; ++e) {
            const auto& v = line.vertices[e];
            for (float coordinate : {v.x, v.y, v.z}) {
                EXPECT_NEAR(std::fabs(coordinate), 0.625, 2e-3);
                ends[e].push_back(std::lround(coordinate * 8));
            }
        }
        const Vec d = sub(toVec(line.vertices[1]), toVec(line.vertices[0]));
        EXPECT_NEAR(std::sqrt(dot(d, d)), 1.25, 2e-3);
        edges.insert(std::minmax(ends[0], ends[1]));
    }
    EXPECT_EQ(edges.size(), 12u);
}

// A glyph list puts a 0.9375 cube on every ink cell of its window: row r at x = r - 5,
// column offset j at y = j - 7.5.
TEST_F(Lists, GlyphCellsLieWhereTheGlyphFramePutsThem) {
    struct Case {
        char character;
        size_t cubes;
    };
    const Case cases[] = {{'A', 82}, {'E', 95}, {'I', 21}, {'V', 39}, {'Q', 0}, {'0', 0}, {'7', 0}};
    for (const Case& c : cases) {
        const int list = glyphListId(c.character);
        const GlyphWindow window = glyphWindow(list);
        std::set<std::pair<double, double>> expected;
        for (int j = 0; j < window.width; ++j) {
            for (int r = 0; r < glyphGridRows; ++r) {
                if (ink(r, window.firstColumn + j))
                    expected.insert({r - 5.0, j - 7.5});
            }
        }
        const auto found = keys(cubeCentres(draw(static_cast<GLuint>(list), 20), 1.0, 0.0, 0.5));
        EXPECT_EQ(found, expected) << c.character;
        if (c.cubes != 0) {
            EXPECT_EQ(found.size(), c.cubes) << c.character;
        }
    }
}

struct WordCase {
    GLuint list;
    const char* word;
    double base;
    std::vector<int> offsets;
};

const WordCase wordCases[] = {
    {200, "WE", -8, {0, 16}},
    {202, "GOING", -26.5, {0, 16, 32, 37, 53}},
    {219, "CHILDREN", -50.5, {0, 16, 32, 37, 53, 69, 85, 101}},
    {204, "A", 0, {0}},
};

// Cell centres of a word in the caller's frame, letter by letter.
std::vector<std::set<std::pair<double, double>>> expectedWordCells(const WordCase& w) {
    std::vector<std::set<std::pair<double, double>>> letters;
    for (size_t k = 0; k < w.offsets.size(); ++k) {
        const GlyphWindow window = glyphWindow(glyphListId(w.word[k]));
        std::set<std::pair<double, double>> cells;
        for (int j = 0; j < window.width; ++j) {
            for (int r = 0; r < glyphGridRows; ++r) {
                if (ink(r, window.firstColumn + j))
                    cells.insert({0.5 * (r - 10), 0.5 * (j - 7.5 + w.offsets[k] + w.base)});
            }
        }
        letters.push_back(cells);
    }
    return letters;
}

TEST_F(Lists, WordListsPlaceTheirLettersAtTheirBasesAndPitches) {
    for (const WordCase& w : wordCases) {
        std::set<std::pair<double, double>> expected;
        for (const auto& letter : expectedWordCells(w))
            expected.insert(letter.begin(), letter.end());
        const auto found = keys(cubeCentres(draw(w.list, 8), 0.5, 0.0, 0.5 * (w.base - 7.5)));
        EXPECT_EQ(found, expected) << w.word;
        for (const auto& cell : found) {
            EXPECT_GE(cell.first, -5.0) << w.word;
            EXPECT_LE(cell.first, -0.5) << w.word;
        }
    }
    // WE spans y = -7.75 ... 7.25: its letter origins are centred, its cells half a cell low.
    const auto we = keys(cubeCentres(draw(200, 8), 0.5, 0.0, 0.25));
    double low = 1e9, high = -1e9;
    for (const auto& cell : we) {
        low = std::min(low, cell.second);
        high = std::max(high, cell.second);
    }
    EXPECT_DOUBLE_EQ(low, -7.75);
    EXPECT_DOUBLE_EQ(high, 7.25);
}

// The sentence of the lyric word lists: id, word and base.
struct LyricWord {
    GLuint list;
    const char* word;
    double base;
};

const LyricWord sentence[] = {
    {200, "WE", -8},      {201, "ARE", -16},     {202, "GOING", -26.5}, {203, "ON", -8},
    {204, "A", 0},        {205, "QUIET", -26.5}, {206, "HARBOUR", -48}, {207, "PARADE", -40},
    {208, "VERY", -24},   {209, "SOON", -24},    {210, "WE", -8},       {211, "WILL", -18.5},
    {212, "BE", -8},      {213, "LIKE", -18.5},  {214, "OUR", -16},     {215, "PARADE", -40},
    {216, "WE", -8},      {217, "HOPE", -24},    {218, "OUR", -16},     {219, "CHILDREN", -50.5},
    {220, "WILL", -18.5}, {221, "BE", -8},       {222, "LIKE", -18.5},  {223, "PARADE", -40},
    {224, "YOU", -16},    {225, "TOO", -16},
};

// With every glyph list replaced by one point at z = its id, a word list shows which glyphs it
// calls and where: letter k of the word at y = 0.5 (16 k - 11 n + base), n the narrow glyphs
// (I) before it, all at x = -2.5 and z = id / 2.
TEST_F(Lists, LyricWordListsSpellTheSentence) {
    // The real glyph lists come back however the test ends.
    struct RebuildAtEnd {
        ~RebuildAtEnd() { buildDisplayLists(); }
    } rebuildAtEnd;
    for (GLuint id = 33; id <= 68; ++id) {
        glNewList(id, GL_COMPILE);
        glBegin(GL_POINTS);
        glVertex3f(0.0f, 0.0f, static_cast<GLfloat>(id));
        glEnd();
        glEndList();
    }
    for (const LyricWord& w : sentence) {
        SCOPED_TRACE(testing::Message() << "list " << w.list << " " << w.word);
        std::vector<FeedbackVertex> letters;
        for (const auto& p : draw(w.list, 8)) {
            ASSERT_EQ(p.token, static_cast<GLenum>(GL_POINT_TOKEN));
            letters.push_back(p.vertices[0]);
        }
        std::sort(letters.begin(), letters.end(),
                  [](const FeedbackVertex& a, const FeedbackVertex& b) { return a.y < b.y; });
        std::string spelt;
        for (const auto& letter : letters)
            spelt += static_cast<char>(std::lround(2.0 * letter.z) + 32);
        EXPECT_EQ(spelt, w.word);
        ASSERT_EQ(letters.size(), std::strlen(w.word));
        int narrowBefore = 0;
        for (size_t k = 0; k < letters.size(); ++k) {
            EXPECT_NEAR(letters[k].x, -2.5, 1e-3) << k;
            EXPECT_NEAR(letters[k].y, 0.5 * (16.0 * k - 11.0 * narrowBefore + w.base), 1e-3) << k;
            narrowBefore += w.word[k] == 'I' ? 1 : 0;
        }
    }
}

void rollMinus90() {
    glRotatef(-90.0f, 0.0f, 0.0f, 1.0f);
}

// Rolled by -90 degrees about z, as the effects show them, words read left to right and stand
// upright between 0.5 and 5 units above the horizontal axis.
TEST_F(Lists, RolledWordsReadLeftToRightAboveTheAxis) {
    for (const WordCase& w : wordCases) {
        const auto found =
            keys(cubeCentres(draw(w.list, 8, rollMinus90), 0.5, 0.5 * (w.base - 7.5), 0.0));
        std::set<std::pair<double, double>> expected;
        double previousRight = -1e9;
        for (const auto& letter : expectedWordCells(w)) {
            double left = 1e9, right = -1e9;
            for (const auto& [x, y] : letter) {
                // (x, y) rolled by -90 degrees is (y, -x).
                expected.insert({y, -x});
                left = std::min(left, y);
                right = std::max(right, y);
            }
            EXPECT_GT(left, previousRight) << w.word;
            previousRight = right;
        }
        EXPECT_EQ(found, expected) << w.word;
        for (const auto& cell : found) {
            EXPECT_GE(cell.second, 0.5) << w.word;
            EXPECT_LE(cell.second, 5.0) << w.word;
        }
    }
}

// AK 47 calls glyph lists 62 and 65 for its digits: replaced by markers, they show up at the
// third and fourth letter places (the blank takes one pitch).
TEST_F(Lists, SpareListAk47DrawsItsDigitsFromGlyphLists62And65) {
    for (GLuint id : {62u, 65u}) {
        glNewList(id, GL_COMPILE);
        glBegin(GL_POINTS);
        glVertex3f(id == 62u ? 0.0f : 2.0f, 0.0f, 0.0f);
        glEnd();
        glEndList();
    }
    auto primitives = draw(111, 8);
    std::vector<std::pair<double, double>> points;
    size_t triangles = 0;
    for (const auto& p : primitives) {
        if (p.token == static_cast<GLenum>(GL_POINT_TOKEN))
            points.push_back({p.vertices[0].x, p.vertices[0].y});
        else
            ++triangles;
    }
    buildDisplayLists();
    // Base -32: the 4 at y = 0.5 * (48 - 32), the 7 (marked 2 cells along x) at 0.5 * (64 - 32).
    ASSERT_EQ(points.size(), 2u);
    std::sort(points.begin(), points.end(), [](auto a, auto b) { return a.second < b.second; });
    EXPECT_NEAR(points[0].first, -2.5, 1e-3);
    EXPECT_NEAR(points[0].second, 8.0, 1e-3);
    EXPECT_NEAR(points[1].first, -1.5, 1e-3);
    EXPECT_NEAR(points[1].second, 16.0, 1e-3);
    // A and K are still drawn as cubes.
    EXPECT_EQ(triangles, 12u * (inkCells('A') + inkCells('K')));
}

// The outline zig-zags over 96 vertices between the outer ellipse at x = 0 and the inner one at
// x = -0.25 and +0.25, from the y axis (angle 0) to the z axis (angle pi/2).
TEST_F(Lists, ArcOutlineIsOneStripOf96Vertices) {
    auto lines = draw(671, 20);
    ASSERT_EQ(lines.size(), 95u);
    for (size_t i = 1; i < lines.size(); ++i) {
        EXPECT_FLOAT_EQ(lines[i].vertices[0].x, lines[i - 1].vertices[1].x);
        EXPECT_FLOAT_EQ(lines[i].vertices[0].y, lines[i - 1].vertices[1].y);
    }
    const auto& first = lines.front().vertices[0];
    const auto& last = lines.back().vertices[1];
    EXPECT_NEAR(first.x, 0.0, 1e-3);
    EXPECT_NEAR(first.y, 6.25, 1e-3);
    EXPECT_NEAR(first.z, 0.0, 0.05);
    EXPECT_NEAR(last.x, 0.25, 1e-3);
    EXPECT_NEAR(last.y, 0.0, 1e-3);
    EXPECT_NEAR(last.z, 8.75, 0.05);
    for (const auto& line : lines) {
        for (const auto& v : line.vertices) {
            const bool outer = std::fabs(v.x) < 1e-3;
            const double a = outer ? 6.25 : 5.75, b = outer ? 9.25 : 8.75;
            EXPECT_NEAR(v.y * v.y / (a * a) + v.z * v.z / (b * b), 1.0, 0.01);
            EXPECT_TRUE(outer || std::fabs(std::fabs(v.x) - 0.25) < 1e-3);
        }
    }
}

// The GLUT shapes reach exactly ring radius + tube radius (the sphere its radius) from the
// origin.
TEST_F(Lists, GlutShapesHaveTheirRadii) {
    struct Case {
        GLuint list;
        double reach;
    };
    const Case cases[] = {{660, 1.5 + 0.17}, {661, 1.5 + 0.07}, {666, 1.5 + 0.07}, {662, 1.0}};
    for (const Case& c : cases) {
        auto primitives = draw(c.list, 100);
        ASSERT_FALSE(primitives.empty()) << c.list;
        double reach = 0;
        for (const auto& p : primitives) {
            EXPECT_EQ(p.token, static_cast<GLenum>(GL_POLYGON_TOKEN)) << c.list;
            for (const auto& v : p.vertices)
                reach = std::max(reach, std::sqrt(dot(toVec(v), toVec(v))));
        }
        EXPECT_NEAR(reach, c.reach, 0.01) << c.list;
    }
}

// Mesa's feedback mode crashes on the wire torus, so it is drawn and read back instead: its
// lines reach 0.55 units (55 pixels) from the centre, in the x-y plane.
TEST_F(Lists, WireTorusReachesItsRadius) {
    useUnitProjection(100);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glColor3f(1, 1, 1);
    glCallList(670);
    const auto pixels = readPixelsRgba(0, 0, 640, 480);
    double reach = 0;
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x) {
            if (pixels[(static_cast<size_t>(y) * 640 + x) * 4] > 128)
                reach = std::max(reach, std::hypot(x + 0.5 - 320, y + 0.5 - 240));
        }
    }
    EXPECT_NEAR(reach, 55.0, 2.0);
}

// Under identity the handgun lies in the x-y plane: muzzle near x = -1, grip below y = 0 at
// the +x end; the list hands the modelview matrix back unchanged.
TEST_F(Lists, HandgunListLiesMuzzleLeftGripDown) {
    auto triangles = draw(669, 200);
    ASSERT_GT(triangles.size(), 9000u);
    Vec lowest = {0, 1e9, 0};
    double left = 1e9, thickness = 0;
    for (const auto& t : triangles) {
        for (const auto& v : t.vertices) {
            left = std::min<double>(left, v.x);
            thickness = std::max<double>(thickness, std::fabs(v.z));
            if (v.y < lowest.y)
                lowest = toVec(v);
        }
    }
    EXPECT_NEAR(left, -1.0, 0.01);
    EXPECT_LT(lowest.y, -0.3);
    EXPECT_GT(lowest.x, 0.0);
    EXPECT_LT(thickness, 0.25);

    useUnitProjection(200);
    glCallList(669);
    GLfloat matrix[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, matrix);
    for (int i = 0; i < 16; ++i)
        EXPECT_FLOAT_EQ(matrix[i], i % 5 == 0 ? 1.0f : 0.0f) << i;
}

// Every mesh list spans x = -1 ... 1 as its table does.
TEST_F(Lists, MeshListsSpanTheirTables) {
    for (GLuint list : {669u, 676u, 679u, 680u}) {
        double reach = 0;
        for (const auto& t : draw(list, 200)) {
            for (const auto& v : t.vertices)
                reach = std::max<double>(reach, std::fabs(v.x));
        }
        EXPECT_NEAR(reach, 0.9997, 2e-3) << list;
    }
}
