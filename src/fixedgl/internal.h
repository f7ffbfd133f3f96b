// Private to the fixed-function layer: the real GL API underneath, the layer's state (what
// glPushAttrib saves, by group), vertices and batches, the draw path and the GPU side.
#pragma once

#if defined(__EMSCRIPTEN__)
#include <GLES3/gl3.h>
#else
#define GL_GLEXT_PROTOTYPES 1
#include <GL/glcorearb.h>
#endif

#include "fixedgl.h"
#include "fixedgl_enums.h"

#include <chrono>
#include <cstdint>
#include <vector>

namespace fgl {

struct Matrix {
    float m[16]; // column-major, as GL stores it
};
Matrix identityMatrix();
Matrix multiply(const Matrix& a, const Matrix& b); // a x b
// The inverse transpose's upper 3x3 for normals (column-major); identity when singular.
void normalMatrix(const Matrix& modelview, float out[9]);

// ---- State, by attribute group ----------------------------------------------------------------

struct CurrentGroup {
    float normal[3] = {0.0f, 0.0f, 1.0f};
    float color[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    float texCoord[2] = {0.0f, 0.0f};
};

struct Material {
    float ambient[4] = {0.2f, 0.2f, 0.2f, 1.0f};
    float diffuse[4] = {0.8f, 0.8f, 0.8f, 1.0f};
    float specular[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    float emission[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    float shininess = 0.0f;
};

struct LightingGroup {
    bool lighting = false;
    bool light0 = false;
    float lightAmbient[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    float lightDiffuse[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    float lightSpecular[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    float lightPosition[4] = {0.0f, 0.0f, 1.0f, 0.0f}; // eye coordinates
    Material front;
    Material back;
};

struct FogGroup {
    bool enabled = false;
    GLenum mode = FGL_EXP;
    float density = 1.0f;
    float start = 0.0f;
    float end = 1.0f;
    float color[4] = {0.0f, 0.0f, 0.0f, 0.0f};
};

struct ColorBufferGroup {
    bool blend = false;
    GLenum srcFactor = FGL_ONE;
    GLenum dstFactor = FGL_ZERO;
    float clearColor[4] = {0.0f, 0.0f, 0.0f, 0.0f};
};

struct DepthGroup {
    bool test = false;
    GLenum func = FGL_LESS;
};

struct PolygonGroup {
    bool cull = false;
    GLenum frontMode = FGL_FILL;
    GLenum backMode = FGL_FILL;
};

struct TextureGroup {
    bool enabled = false;
    GLuint binding = 0;
    GLenum envMode = FGL_MODULATE;
};

struct TransformGroup {
    GLenum matrixMode = FGL_MODELVIEW;
    bool normalize = false;
};

struct ViewportGroup {
    GLint x = 0, y = 0;
    GLsizei width = 0, height = 0;
    bool set = false;
};

struct HintGroup {
    GLenum hints[5] = {FGL_DONT_CARE, FGL_DONT_CARE, FGL_DONT_CARE, FGL_DONT_CARE, FGL_DONT_CARE};
};

struct ServerState {
    CurrentGroup current;
    LightingGroup lighting;
    FogGroup fog;
    ColorBufferGroup colorBuffer;
    DepthGroup depth;
    PolygonGroup polygon;
    TextureGroup texture;
    TransformGroup transform;
    ViewportGroup viewport;
    float pointSize = 1.0f;
    float lineWidth = 1.0f;
    HintGroup hint;
};

struct ClientArray {
    bool enabled = false;
    GLint size = 3;
    GLsizei stride = 0;
    const void* pointer = nullptr;
};

struct ClientState {
    ClientArray vertex;
    ClientArray normal;
    bool colorArray = false;
    bool indexArray = false;
    bool texCoordArray = false;
    bool edgeFlagArray = false;
    GLint packAlignment = 4;
    GLint unpackAlignment = 4;
};

extern ServerState state;
extern ClientState client;
const Matrix& modelviewTop();
const Matrix& projectionTop();
extern bool matricesChanged;
extern bool lightingChanged;

void setError(GLenum error);

// ---- Vertices, batches and display lists
// ---------------------------------------------------------

// One vertex as the GPU reads it: position, normal, colour, texture coordinate.
struct Vertex {
    float position[4];
    float normal[3];
    float color[4];
    float texCoord[2];
};
constexpr int vertexFloats = 13;

// Which vertex attributes a batch carries per vertex; the others come from the current values
// when the batch is drawn.
enum AttributeBits : unsigned { hasNormal = 1u, hasColor = 2u, hasTexCoord = 4u };

// One primitive group after decomposition: triangles (with the polygons they came from, for
// the line and point polygon modes), lines or points.
struct Batch {
    GLenum kind; // FGL_TRIANGLES, FGL_LINES or FGL_POINTS
    unsigned attributes;
    int first; // first vertex in the owner's vertex array
    int count;
    // For triangles: polygons as (first index into polygonCorners, corner count).
    std::vector<int> polygonStarts;
    std::vector<int> polygonSizes;
    std::vector<int> polygonCorners; // vertex numbers relative to `first`
    // For each vertex, the first one of the batch made from the same input vertex (itself if
    // none), so that a vertex that strips and quads share is transformed and lit once.
    std::vector<int> sameAs;
};

// What a batch leaves as the current attributes when it runs (the last vertex's values).
struct BatchTail {
    bool setsCurrent;
    float normal[3];
    float color[4];
    float texCoord[2];
};

// Turns the vertices of one glBegin/glEnd or glDrawElements into a batch appended to
// `vertices` (which holds everything before `begin` already) (assembly.cpp).
bool assembleBatch(GLenum mode, const std::vector<Vertex>& input, unsigned attributes,
                   std::vector<Vertex>& vertices, Batch& batch);

// For benchmarks: the time spent turning batches into the stream (the processor's share of a
// frame that the layer adds), and the time spent sending the stream (the driver's).
extern double layerSeconds;
extern double sendingSeconds;
inline double layerClock() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// ---- The draw path (stream.cpp) ------------------------------------------------------------

// Transforms a batch of `vertices` on the processor (positions to clip space, lighting per
// vertex in eye space, culling and polygon modes, wide lines and points to triangles) and adds
// it to the pending stream, which is sent as one draw per primitive kind when the state it
// was drawn under changes.
void streamBatch(const Batch& batch, const std::vector<Vertex>& vertices);

// ---- GPU side (gpu.cpp) ---------------------------------------------------------------------

// One vertex as the GPU reads it from the stream: clip-space position, final colour (lit and
// clamped), texture coordinate, and the eye-plane distance for fog.
struct StreamVertex {
    float position[4];
    float color[4];
    float texCoord[2];
    float fogDistance;
};

// The state that one draw of the stream is sent under: everything the real context or the
// shader applies after the vertex stage.
struct DrawState {
    bool blend;
    GLenum srcFactor, dstFactor;
    bool depthTest;
    GLenum depthFunc;
    GLint viewport[4];
    GLuint texture; // 0 when not texturing
    int fogMode;    // 0 off, 1 linear, 2 exp, 3 exp2
    float fogColor[3];
    float fogParams[3];
};

// Sets up the program and buffers in the current context on first use.
void ensureGpu();
// The viewport in force: the last glViewport, or the drawable's when none was set.
void currentViewport(GLint out[4]);
// The draw state of the layer's current state.
DrawState currentDrawState();
// Appends primitives to the pending stream (kind FGL_TRIANGLES, FGL_LINES or FGL_POINTS),
// sending what is pending first when it was drawn under another state, or under the same one
// where drawing out of order could change the picture.
void appendToStream(const DrawState& drawState, GLenum kind, const StreamVertex* vertices,
                    size_t count);
// Sends everything pending to the GPU.
void flushStream();

// Real GL texture bookkeeping: whether a name holds an image.
bool textureHasImage(GLuint name);

} // namespace fgl
