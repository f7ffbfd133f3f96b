// The GPU side of the layer: one small shader program (the vertices arrive transformed and lit
// from the processor; texture modulate and fog per fragment), the stream buffer that the
// pending draws are sent through, the real context's blend, depth and viewport, and the
// textures.
#include "lists.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>

#if defined(__EMSCRIPTEN__)
#include <emscripten.h>
// The counters are exported to the page, for measuring in a browser.
#define FGL_COUNTER EMSCRIPTEN_KEEPALIVE
#else
#define FGL_COUNTER
#endif

namespace fgl {
namespace {

// Shared by the GLSL 3.30 core and GLSL ES 3.00 versions; only the first lines differ.
const char* vertexSource = R"(
layout(location = 0) in vec4 aPosition;
layout(location = 1) in vec4 aColor;
layout(location = 2) in vec2 aTexCoord;
layout(location = 3) in float aFogDistance;
out vec4 vColor;
out vec2 vTexCoord;
out float vFogDistance;
void main() {
    gl_Position = aPosition;
    gl_PointSize = 1.0;
    vColor = aColor;
    vTexCoord = aTexCoord;
    vFogDistance = aFogDistance;
}
)";

const char* fragmentSource = R"(
in vec4 vColor;
in vec2 vTexCoord;
in float vFogDistance;
uniform bool uTexturing;
uniform sampler2D uTexture;
uniform int uFogMode; // 0 off, 1 linear, 2 exp, 3 exp2
uniform vec3 uFogColor;
uniform vec3 uFogParams; // linear: f = z * x + y; exp and exp2: density in z
out vec4 fragColor;
void main() {
    vec4 color = vColor;
    if (uTexturing)
        color *= texture(uTexture, vTexCoord);
    if (uFogMode != 0) {
        float z = vFogDistance;
        float f;
        if (uFogMode == 1)
            f = z * uFogParams.x + uFogParams.y;
        else if (uFogMode == 2)
            f = exp(-uFogParams.z * z);
        else
            f = exp(-(uFogParams.z * z) * (uFogParams.z * z));
        color.rgb = mix(uFogColor, color.rgb, clamp(f, 0.0, 1.0));
    }
    fragColor = color;
}
)";

struct Uniforms {
    GLint texturing, texture, fogMode, fogColor, fogParams;
};

bool ready = false;
bool isEs = false;
GLuint program = 0;
// The stream goes to a ring of buffers, each with its vertex array, so that a flush writes to
// a buffer the GPU has long finished reading, without a fresh allocation each time.
constexpr int ringSize = 8;
GLuint vertexArrays[ringSize] = {};
GLuint streamBuffers[ringSize] = {};
size_t streamCapacities[ringSize] = {};
int nextBuffer = 0;
Uniforms u{};
GLint drawableViewport[4] = {0, 0, 0, 0};

// What the real context and the uniforms hold now, so that only changes are sent.
struct RealState {
    bool blend = false;
    GLenum src = GL_ONE, dst = GL_ZERO;
    bool depthTest = false;
    GLenum depthFunc = GL_LESS;
    GLint viewport[4] = {-1, -1, -1, -1};
    float clearColor[4] = {-1, -1, -1, -1};
    GLuint texture = ~0u;
    int texturing = -1, fogMode = -1;
    float fogColor[3] = {-1, -1, -1};
    float fogParams[3] = {0, 0, 0};
} real;

// The draws not sent yet: all under one state, one vertex list per primitive kind; where the
// order does not matter, triangles that reach outside the view volume have a list of their
// own, so that the rest stays on the rasteriser's fast path (a draw that needs clipping
// anywhere is clipped everywhere in some drivers).
struct Pending {
    DrawState drawState{};
    std::vector<StreamVertex> triangles, outside, lines, points;
    GLenum lastKind = 0;
    bool empty = true;
} pending;

// What the layer has sent since it started, for benchmarks.
unsigned long drawCalls = 0;
unsigned long frames = 0;

// Texture names are the layer's own, handed out from 1 in order as a classic implementation
// does: the demo's effects read them as numbers, and WebGL's names count every kind of object.
struct TextureInfo {
    GLuint real = 0;
    bool image = false;
    GLint minFilter = GL_NEAREST_MIPMAP_LINEAR;
};
std::unordered_map<GLuint, TextureInfo> textures;
GLuint lastTextureName = 0;

// The real texture behind a layer name; a name bound without glGenTextures gets one then.
GLuint realTexture(GLuint name) {
    if (name == 0)
        return 0;
    TextureInfo& info = textures[name];
    if (info.real == 0)
        glGenTextures(1, &info.real);
    return info.real;
}

GLuint compile(GLenum type, const char* body) {
    const std::string source =
        std::string(isEs ? "#version 300 es\nprecision highp float;\n" : "#version 330 core\n") +
        body;
    const GLuint shader = glCreateShader(type);
    const char* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[2048] = {};
        glGetShaderInfoLog(shader, sizeof log, nullptr, log);
        std::fprintf(stderr, "fixedgl: shader does not compile: %s\n", log);
        std::abort();
    }
    return shader;
}

void setupProgram() {
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    if (version == nullptr) {
        std::fprintf(stderr, "fixedgl: no current GL context\n");
        std::abort();
    }
    isEs = std::strncmp(version, "OpenGL ES", 9) == 0;
    const GLuint vs = compile(GL_VERTEX_SHADER, vertexSource);
    const GLuint fs = compile(GL_FRAGMENT_SHADER, fragmentSource);
    program = glCreateProgram();
    glAttachShader(program, vs);
    glAttachShader(program, fs);
    glLinkProgram(program);
    GLint ok = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    if (!ok) {
        char log[2048] = {};
        glGetProgramInfoLog(program, sizeof log, nullptr, log);
        std::fprintf(stderr, "fixedgl: program does not link: %s\n", log);
        std::abort();
    }
    glDeleteShader(vs);
    glDeleteShader(fs);
    glUseProgram(program);
    auto at = [](const char* name) { return glGetUniformLocation(program, name); };
    u = {at("uTexturing"), at("uTexture"), at("uFogMode"), at("uFogColor"), at("uFogParams")};
    glUniform1i(u.texture, 0);
}

void enable(GLenum cap, bool on, bool& cached) {
    if (cached == on)
        return;
    cached = on;
    if (on)
        glEnable(cap);
    else
        glDisable(cap);
}

void bindRealTexture(GLuint name) {
    if (real.texture == name)
        return;
    real.texture = name;
    glBindTexture(GL_TEXTURE_2D, realTexture(name));
}

// Brings the real context and the uniforms in line with a draw state.
void applyDrawState(const DrawState& d) {
    enable(GL_BLEND, d.blend, real.blend);
    if (real.src != d.srcFactor || real.dst != d.dstFactor) {
        real.src = d.srcFactor;
        real.dst = d.dstFactor;
        // Blend factors and depth functions have the same values in every GL version.
        glBlendFunc(d.srcFactor, d.dstFactor);
    }
    enable(GL_DEPTH_TEST, d.depthTest, real.depthTest);
    if (real.depthFunc != d.depthFunc) {
        real.depthFunc = d.depthFunc;
        glDepthFunc(d.depthFunc);
    }
    if (std::memcmp(real.viewport, d.viewport, sizeof real.viewport) != 0) {
        std::memcpy(real.viewport, d.viewport, sizeof real.viewport);
        glViewport(d.viewport[0], d.viewport[1], d.viewport[2], d.viewport[3]);
    }
    const int texturing = d.texture != 0 ? 1 : 0;
    if (texturing)
        bindRealTexture(d.texture);
    if (real.texturing != texturing) {
        real.texturing = texturing;
        glUniform1i(u.texturing, texturing);
    }
    if (real.fogMode != d.fogMode) {
        real.fogMode = d.fogMode;
        glUniform1i(u.fogMode, d.fogMode);
    }
    if (d.fogMode == 0)
        return;
    if (std::memcmp(real.fogColor, d.fogColor, sizeof real.fogColor) != 0) {
        std::memcpy(real.fogColor, d.fogColor, sizeof real.fogColor);
        glUniform3fv(u.fogColor, 1, d.fogColor);
    }
    if (std::memcmp(real.fogParams, d.fogParams, sizeof real.fogParams) != 0) {
        std::memcpy(real.fogParams, d.fogParams, sizeof real.fogParams);
        glUniform3fv(u.fogParams, 1, d.fogParams);
    }
}

bool sameDrawState(const DrawState& a, const DrawState& b) {
    if (a.blend != b.blend || a.depthTest != b.depthTest || a.texture != b.texture ||
        a.fogMode != b.fogMode || std::memcmp(a.viewport, b.viewport, sizeof a.viewport) != 0)
        return false;
    if (a.blend && (a.srcFactor != b.srcFactor || a.dstFactor != b.dstFactor))
        return false;
    if (a.depthTest && a.depthFunc != b.depthFunc)
        return false;
    return a.fogMode == 0 || (std::memcmp(a.fogColor, b.fogColor, sizeof a.fogColor) == 0 &&
                              std::memcmp(a.fogParams, b.fogParams, sizeof a.fogParams) == 0);
}

// Whether primitives of another kind may be drawn before those pending: only where each
// fragment is added to the colour buffer whatever is there, without a depth test.
bool orderFree(const DrawState& d) {
    return d.blend && !d.depthTest && d.dstFactor == FGL_ONE &&
           (d.srcFactor == FGL_ONE || d.srcFactor == FGL_SRC_ALPHA || d.srcFactor == FGL_ZERO);
}

bool insideView(const StreamVertex& v) {
    const float* p = v.position;
    return std::fabs(p[0]) <= p[3] && std::fabs(p[1]) <= p[3] && std::fabs(p[2]) <= p[3];
}

} // namespace

void ensureGpu() {
    if (ready)
        return;
    ready = true;
    setupProgram();
    glGenVertexArrays(ringSize, vertexArrays);
    glGenBuffers(ringSize, streamBuffers);
    const GLsizei stride = sizeof(StreamVertex);
    for (int b = 0; b < ringSize; ++b) {
        glBindVertexArray(vertexArrays[b]);
        glBindBuffer(GL_ARRAY_BUFFER, streamBuffers[b]);
        glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, stride,
                              reinterpret_cast<const void*>(offsetof(StreamVertex, position)));
        glVertexAttribPointer(1, 4, GL_FLOAT, GL_FALSE, stride,
                              reinterpret_cast<const void*>(offsetof(StreamVertex, color)));
        glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, stride,
                              reinterpret_cast<const void*>(offsetof(StreamVertex, texCoord)));
        glVertexAttribPointer(3, 1, GL_FLOAT, GL_FALSE, stride,
                              reinterpret_cast<const void*>(offsetof(StreamVertex, fogDistance)));
        for (GLuint i = 0; i < 4; ++i)
            glEnableVertexAttribArray(i);
    }
    // Culling is decided on the processor, per polygon.
    glDisable(GL_CULL_FACE);
    glGetIntegerv(GL_VIEWPORT, drawableViewport);
}

void currentViewport(GLint out[4]) {
    ensureGpu();
    const ViewportGroup& v = state.viewport;
    if (!v.set) {
        std::memcpy(out, drawableViewport, sizeof drawableViewport);
        return;
    }
    out[0] = v.x;
    out[1] = v.y;
    out[2] = v.width;
    out[3] = v.height;
}

DrawState currentDrawState() {
    DrawState d{};
    const ColorBufferGroup& c = state.colorBuffer;
    d.blend = c.blend;
    d.srcFactor = c.srcFactor;
    d.dstFactor = c.dstFactor;
    d.depthTest = state.depth.test;
    d.depthFunc = state.depth.func;
    currentViewport(d.viewport);
    d.texture =
        state.texture.enabled && textureHasImage(state.texture.binding) ? state.texture.binding : 0;
    const FogGroup& f = state.fog;
    d.fogMode = !f.enabled ? 0 : (f.mode == FGL_LINEAR ? 1 : (f.mode == FGL_EXP ? 2 : 3));
    if (d.fogMode != 0) {
        std::memcpy(d.fogColor, f.color, sizeof d.fogColor);
        d.fogParams[0] = 0.0f;
        d.fogParams[1] = 1.0f;
        d.fogParams[2] = f.density;
        if (f.end != f.start) {
            d.fogParams[0] = -1.0f / (f.end - f.start);
            d.fogParams[1] = f.end / (f.end - f.start);
        }
    }
    return d;
}

void appendToStream(const DrawState& drawState, GLenum kind, const StreamVertex* vertices,
                    size_t count) {
    if (count == 0)
        return;
    if (!pending.empty && (!sameDrawState(pending.drawState, drawState) ||
                           (pending.lastKind != kind && !orderFree(drawState))))
        flushStream();
    if (pending.empty) {
        pending.drawState = drawState;
        pending.empty = false;
    }
    pending.lastKind = kind;
    if (kind == FGL_TRIANGLES && orderFree(drawState)) {
        for (size_t t = 0; t + 2 < count; t += 3) {
            const bool inside = insideView(vertices[t]) && insideView(vertices[t + 1]) &&
                                insideView(vertices[t + 2]);
            std::vector<StreamVertex>& list = inside ? pending.triangles : pending.outside;
            list.insert(list.end(), vertices + t, vertices + t + 3);
        }
        return;
    }
    std::vector<StreamVertex>& list = kind == FGL_TRIANGLES ? pending.triangles
                                      : kind == FGL_LINES   ? pending.lines
                                                            : pending.points;
    list.insert(list.end(), vertices, vertices + count);
}

double layerSeconds = 0.0;
double sendingSeconds = 0.0;

void flushStream() {
    if (pending.empty)
        return;
    const double begin = layerClock();
    applyDrawState(pending.drawState);
    const size_t total = pending.triangles.size() + pending.outside.size() + pending.lines.size() +
                         pending.points.size();
    const size_t bytes = sizeof(StreamVertex) * total;
    const int ring = nextBuffer;
    nextBuffer = (nextBuffer + 1) % ringSize;
    glBindVertexArray(vertexArrays[ring]);
    glBindBuffer(GL_ARRAY_BUFFER, streamBuffers[ring]);
    if (bytes > streamCapacities[ring]) {
        streamCapacities[ring] = bytes * 2;
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(streamCapacities[ring]), nullptr,
                     GL_STREAM_DRAW);
    }
    const struct {
        std::vector<StreamVertex>& vertices;
        GLenum primitive;
    } kinds[] = {{pending.triangles, GL_TRIANGLES},
                 {pending.outside, GL_TRIANGLES},
                 {pending.lines, GL_LINES},
                 {pending.points, GL_POINTS}};
    // Every part is in the buffer before the first draw reads it: writing to a buffer that a
    // queued draw reads makes the driver wait for that draw.
    size_t first = 0;
    for (const auto& k : kinds) {
        if (k.vertices.empty())
            continue;
        glBufferSubData(GL_ARRAY_BUFFER, static_cast<GLintptr>(first * sizeof(StreamVertex)),
                        static_cast<GLsizeiptr>(k.vertices.size() * sizeof(StreamVertex)),
                        k.vertices.data());
        first += k.vertices.size();
    }
    first = 0;
    for (const auto& k : kinds) {
        if (k.vertices.empty())
            continue;
        glDrawArrays(k.primitive, static_cast<GLint>(first),
                     static_cast<GLsizei>(k.vertices.size()));
        ++drawCalls;
        first += k.vertices.size();
        k.vertices.clear();
    }
    pending.empty = true;
    pending.lastKind = 0;
    sendingSeconds += layerClock() - begin;
}

bool textureHasImage(GLuint name) {
    const auto found = textures.find(name);
    if (found == textures.end())
        return false;
    const TextureInfo& info = found->second;
    return info.image && (info.minFilter == GL_NEAREST || info.minFilter == GL_LINEAR);
}

void exec::clear(GLbitfield mask) {
    if (mask & ~static_cast<GLbitfield>(FGL_COLOR_BUFFER_BIT | FGL_DEPTH_BUFFER_BIT)) {
        setError(FGL_INVALID_VALUE);
        return;
    }
    ensureGpu();
    flushStream();
    const float* c = state.colorBuffer.clearColor;
    if (std::memcmp(real.clearColor, c, sizeof real.clearColor) != 0) {
        std::memcpy(real.clearColor, c, sizeof real.clearColor);
        glClearColor(c[0], c[1], c[2], c[3]);
    }
    GLbitfield realMask = 0;
    if (mask & FGL_COLOR_BUFFER_BIT)
        realMask |= GL_COLOR_BUFFER_BIT;
    if (mask & FGL_DEPTH_BUFFER_BIT)
        realMask |= GL_DEPTH_BUFFER_BIT;
    glClear(realMask);
}

extern "C" void fglClear(GLbitfield mask) {
    if (recordCall(Op::clear, {mask}))
        exec::clear(mask);
}

} // namespace fgl

using namespace fgl;

extern "C" {

void fglGenTextures(GLsizei n, GLuint* names) {
    if (n < 0) {
        setError(FGL_INVALID_VALUE);
        return;
    }
    ensureGpu();
    for (GLsizei i = 0; i < n; ++i) {
        do
            ++lastTextureName;
        while (textures.count(lastTextureName) != 0);
        names[i] = lastTextureName;
        textures[names[i]] = TextureInfo{};
        glGenTextures(1, &textures[names[i]].real);
    }
}

void fglTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height,
                   GLint border, GLenum format, GLenum type, const GLvoid* pixels) {
    if (target != FGL_TEXTURE_2D || type != FGL_UNSIGNED_BYTE ||
        (format != FGL_RGB && format != FGL_RGBA)) {
        setError(FGL_INVALID_ENUM);
        return;
    }
    const bool rgb = internalFormat == 3 || static_cast<GLenum>(internalFormat) == FGL_RGB;
    const bool rgba = internalFormat == 4 || static_cast<GLenum>(internalFormat) == FGL_RGBA;
    if ((!rgb && !rgba) || level != 0 || border != 0 || width < 0 || height < 0) {
        setError(FGL_INVALID_VALUE);
        return;
    }
    ensureGpu();
    // Pending draws use the texture as it was.
    flushStream();
    bindRealTexture(state.texture.binding);
    // Without pixels the image is defined as black here, as a browser would have it.
    std::vector<unsigned char> zeros;
    if (pixels == nullptr) {
        zeros.assign(static_cast<size_t>(width) * height * (format == FGL_RGB ? 3 : 4), 0);
        pixels = zeros.data();
    }
    glTexImage2D(GL_TEXTURE_2D, 0, rgb ? GL_RGB8 : GL_RGBA8, width, height, 0,
                 format == FGL_RGB ? GL_RGB : GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    // A refused image stays refused: the error is left for glGetError.
    const GLenum error = glGetError();
    if (error == GL_NO_ERROR)
        textures[state.texture.binding].image = true;
    else
        setError(error);
}

void fglTexParameteri(GLenum target, GLenum pname, GLint param) {
    if (target != FGL_TEXTURE_2D) {
        setError(FGL_INVALID_ENUM);
        return;
    }
    const auto value = static_cast<GLenum>(param);
    bool valid = false;
    if (pname == FGL_TEXTURE_MIN_FILTER || pname == FGL_TEXTURE_MAG_FILTER)
        valid = value == FGL_NEAREST || value == FGL_LINEAR;
    else if (pname == FGL_TEXTURE_WRAP_S || pname == FGL_TEXTURE_WRAP_T)
        valid = value == FGL_REPEAT || value == FGL_CLAMP_TO_EDGE;
    if (!valid) {
        setError(FGL_INVALID_ENUM);
        return;
    }
    ensureGpu();
    flushStream();
    bindRealTexture(state.texture.binding);
    glTexParameteri(GL_TEXTURE_2D, pname, param);
    if (pname == FGL_TEXTURE_MIN_FILTER)
        textures[state.texture.binding].minFilter = param;
}

void fglFinish() {
    ensureGpu();
    flushStream();
    glFinish();
}

void fglFlush() {
    ensureGpu();
    flushStream();
    glFlush();
}

void fglFrameDone() {
    fglFlush();
    ++frames;
}

FGL_COUNTER unsigned long fglDrawCallCount() {
    return drawCalls;
}

FGL_COUNTER unsigned long fglFrameCount() {
    return frames;
}

FGL_COUNTER double fglLayerSeconds() {
    return layerSeconds;
}

void fglPixelStorei(GLenum pname, GLint param) {
    if (pname != FGL_PACK_ALIGNMENT && pname != FGL_UNPACK_ALIGNMENT) {
        setError(FGL_INVALID_ENUM);
        return;
    }
    if (param != 1 && param != 2 && param != 4 && param != 8) {
        setError(FGL_INVALID_VALUE);
        return;
    }
    ensureGpu();
    (pname == FGL_PACK_ALIGNMENT ? client.packAlignment : client.unpackAlignment) = param;
    glPixelStorei(pname, param);
}

void fglReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type,
                   GLvoid* pixels) {
    if (format != FGL_RGBA || type != FGL_UNSIGNED_BYTE) {
        setError(FGL_INVALID_ENUM);
        return;
    }
    ensureGpu();
    flushStream();
    glReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
}

} // extern "C"
