// The GPU side of the layer: one shader program that evaluates the fixed-function state
// (per-vertex GL 1.1 lighting with light 0, texture modulate, fog per fragment), the stream
// buffer for immediate batches, the real context's blend, depth, culling and viewport, the
// textures, and the polygon modes that draw edges or corners.
#include "lists.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>

namespace fgl {
namespace {

// Shared by the GLSL 3.30 core and GLSL ES 3.00 versions; only the first lines differ.
const char* vertexSource = R"(
layout(location = 0) in vec4 aPosition;
layout(location = 1) in vec3 aNormal;
layout(location = 2) in vec4 aColor;
layout(location = 3) in vec2 aTexCoord;
// Projection x model-view, model-view, and the normal matrix in the upper left of the third.
uniform mat4 uMatrices[3];
// Scene colour (emission + global ambient, alpha), light x material ambient, diffuse and
// specular products, the light's eye position (w = 1) or unit direction (w = 0), and
// (shininess, normalize, 0, 0).
uniform vec4 uLight[6];
uniform bool uLighting;
uniform float uPointSize;
out vec4 vColor;
out vec2 vTexCoord;
out float vFogDistance;
void main() {
    gl_Position = uMatrices[0] * aPosition;
    vec4 eye = uMatrices[1] * aPosition;
    vFogDistance = abs(eye.z);
    vTexCoord = aTexCoord;
    gl_PointSize = uPointSize;
    if (!uLighting) {
        vColor = clamp(aColor, 0.0, 1.0);
        return;
    }
    vec3 n = mat3(uMatrices[2]) * aNormal;
    if (uLight[5].y != 0.0)
        n = n * inversesqrt(dot(n, n));
    vec4 light = uLight[4];
    vec3 l = light.xyz;
    if (light.w != 0.0) {
        l = light.xyz - eye.xyz;
        l = l * inversesqrt(dot(l, l));
    }
    float nDotL = dot(n, l);
    vec3 color = uLight[0].rgb + uLight[1].rgb + max(nDotL, 0.0) * uLight[2].rgb;
    if (nDotL > 0.0) {
        vec3 h = normalize(l + vec3(0.0, 0.0, 1.0));
        float nDotH = max(dot(n, h), 0.0);
        float power = uLight[5].x == 0.0 ? 1.0 : pow(nDotH, uLight[5].x);
        color += power * uLight[3].rgb;
    }
    vColor = clamp(vec4(color, uLight[0].a), 0.0, 1.0);
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
    GLint matrices, light, lighting, pointSize, texturing, texture, fogMode, fogColor, fogParams;
};

bool ready = false;
bool isEs = false;
GLuint program = 0;
GLuint vertexArray = 0;
GLuint streamBuffer = 0;
size_t streamCapacity = 0;
// Every display list's vertices, in one buffer so that replaying lists never rebinds it.
GLuint listBuffer = 0;
std::vector<Vertex> listStore;
bool listStoreSent = true;
Uniforms u{};
GLuint boundBuffer = ~0u;

// What the real context has now, so that only changes are sent.
struct RealState {
    bool blend = false;
    GLenum src = GL_ONE, dst = GL_ZERO;
    bool depthTest = false;
    GLenum depthFunc = GL_LESS;
    bool cull = false;
    GLint viewport[4] = {-1, -1, -1, -1};
    float clearColor[4] = {-1, -1, -1, -1};
    GLuint texture = ~0u;
} real;

// Last values sent to the uniforms that are not derived from matrices or lighting.
struct SentUniforms {
    int lighting = -1, texturing = -1, fogMode = -1;
    float fogColor[3] = {-1, -1, -1};
    float fogParams[3] = {0, 0, 0};
    float pointSize = -1;
    unsigned enabledArrays = ~0u;
    // The constant attribute values, valid for an attribute while its array is disabled.
    CurrentGroup constants;
    unsigned constantsValid = 0;
} sent;

struct TextureInfo {
    bool image = false;
    GLint minFilter = GL_NEAREST_MIPMAP_LINEAR;
};
std::unordered_map<GLuint, TextureInfo> textures;

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
    u = {at("uMatrices"), at("uLight"),   at("uLighting"), at("uPointSize"), at("uTexturing"),
         at("uTexture"),  at("uFogMode"), at("uFogColor"), at("uFogParams")};
    glUniform1i(u.texture, 0);
}

void bindVertexBuffer(GLuint buffer) {
    if (boundBuffer == buffer)
        return;
    boundBuffer = buffer;
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    const GLsizei stride = sizeof(Vertex);
    glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, stride,
                          reinterpret_cast<const void*>(offsetof(Vertex, position)));
    glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, stride,
                          reinterpret_cast<const void*>(offsetof(Vertex, normal)));
    glVertexAttribPointer(2, 4, GL_FLOAT, GL_FALSE, stride,
                          reinterpret_cast<const void*>(offsetof(Vertex, color)));
    glVertexAttribPointer(3, 2, GL_FLOAT, GL_FALSE, stride,
                          reinterpret_cast<const void*>(offsetof(Vertex, texCoord)));
}

void sendMatrices() {
    if (!matricesChanged)
        return;
    matricesChanged = false;
    float matrices[48] = {};
    const Matrix mvp = multiply(projectionTop(), modelviewTop());
    std::memcpy(matrices, mvp.m, sizeof mvp.m);
    std::memcpy(matrices + 16, modelviewTop().m, sizeof mvp.m);
    float normals[9];
    normalMatrix(modelviewTop(), normals);
    for (int c = 0; c < 3; ++c)
        std::memcpy(matrices + 32 + c * 4, normals + c * 3, 3 * sizeof(float));
    glUniformMatrix4fv(u.matrices, 3, GL_FALSE, matrices);
}

void sendLighting() {
    if (!lightingChanged)
        return;
    lightingChanged = false;
    const LightingGroup& l = state.lighting;
    const Material& m = l.front;
    float packed[6][4] = {};
    for (int i = 0; i < 3; ++i)
        packed[0][i] = m.emission[i] + 0.2f * m.ambient[i];
    packed[0][3] = m.diffuse[3];
    if (l.light0) {
        for (int i = 0; i < 3; ++i) {
            packed[1][i] = l.lightAmbient[i] * m.ambient[i];
            packed[2][i] = l.lightDiffuse[i] * m.diffuse[i];
            packed[3][i] = l.lightSpecular[i] * m.specular[i];
        }
    }
    const float* p = l.lightPosition;
    float* vector = packed[4];
    if (p[3] != 0.0f) {
        vector[0] = p[0] / p[3];
        vector[1] = p[1] / p[3];
        vector[2] = p[2] / p[3];
        vector[3] = 1.0f;
    } else {
        const float length = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
        const float scale = length > 0.0f ? 1.0f / length : 0.0f;
        vector[0] = p[0] * scale;
        vector[1] = p[1] * scale;
        vector[2] = p[2] * scale;
        vector[3] = 0.0f;
    }
    packed[5][0] = m.shininess;
    packed[5][1] = state.transform.normalize ? 1.0f : 0.0f;
    glUniform4fv(u.light, 6, &packed[0][0]);
}

void sendOthers() {
    const int lighting = state.lighting.lighting ? 1 : 0;
    if (sent.lighting != lighting) {
        sent.lighting = lighting;
        glUniform1i(u.lighting, lighting);
    }
    const int texturing = state.texture.enabled && textureHasImage(state.texture.binding) ? 1 : 0;
    if (sent.texturing != texturing) {
        sent.texturing = texturing;
        glUniform1i(u.texturing, texturing);
    }
    const FogGroup& f = state.fog;
    const int fogMode = !f.enabled ? 0 : (f.mode == FGL_LINEAR ? 1 : (f.mode == FGL_EXP ? 2 : 3));
    if (sent.fogMode != fogMode) {
        sent.fogMode = fogMode;
        glUniform1i(u.fogMode, fogMode);
    }
    if (fogMode != 0) {
        if (std::memcmp(sent.fogColor, f.color, sizeof sent.fogColor) != 0) {
            std::memcpy(sent.fogColor, f.color, sizeof sent.fogColor);
            glUniform3fv(u.fogColor, 1, f.color);
        }
        float params[3] = {0.0f, 1.0f, f.density};
        if (f.end != f.start) {
            params[0] = -1.0f / (f.end - f.start);
            params[1] = f.end / (f.end - f.start);
        }
        if (std::memcmp(sent.fogParams, params, sizeof params) != 0) {
            std::memcpy(sent.fogParams, params, sizeof params);
            glUniform3fv(u.fogParams, 1, params);
        }
    }
    if (sent.pointSize != state.pointSize) {
        sent.pointSize = state.pointSize;
        glUniform1f(u.pointSize, state.pointSize);
    }
}

// Per-vertex arrays for the attributes the batch carries; the current values otherwise.
void useAttributes(unsigned attributes) {
    if (sent.enabledArrays != attributes) {
        sent.enabledArrays = attributes;
        sent.constantsValid = 0;
        const unsigned bits[3] = {hasNormal, hasColor, hasTexCoord};
        for (int i = 0; i < 3; ++i) {
            if (attributes & bits[i])
                glEnableVertexAttribArray(static_cast<GLuint>(i + 1));
            else
                glDisableVertexAttribArray(static_cast<GLuint>(i + 1));
        }
    }
    const CurrentGroup& c = state.current;
    CurrentGroup& k = sent.constants;
    if (!(attributes & hasNormal) &&
        (!(sent.constantsValid & hasNormal) || std::memcmp(k.normal, c.normal, sizeof k.normal))) {
        glVertexAttrib3f(1, c.normal[0], c.normal[1], c.normal[2]);
        std::memcpy(k.normal, c.normal, sizeof k.normal);
        sent.constantsValid |= hasNormal;
    }
    if (!(attributes & hasColor) &&
        (!(sent.constantsValid & hasColor) || std::memcmp(k.color, c.color, sizeof k.color))) {
        glVertexAttrib4f(2, c.color[0], c.color[1], c.color[2], c.color[3]);
        std::memcpy(k.color, c.color, sizeof k.color);
        sent.constantsValid |= hasColor;
    }
    if (!(attributes & hasTexCoord) && (!(sent.constantsValid & hasTexCoord) ||
                                        std::memcmp(k.texCoord, c.texCoord, sizeof k.texCoord))) {
        glVertexAttrib2f(3, c.texCoord[0], c.texCoord[1]);
        std::memcpy(k.texCoord, c.texCoord, sizeof k.texCoord);
        sent.constantsValid |= hasTexCoord;
    }
}

void drawFromStream(GLenum kind, const Vertex* vertices, int count) {
    const size_t bytes = sizeof(Vertex) * static_cast<size_t>(count);
    bindVertexBuffer(streamBuffer);
    if (bytes > streamCapacity) {
        streamCapacity = bytes * 2;
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(streamCapacity), nullptr,
                     GL_STREAM_DRAW);
    }
    glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(bytes), vertices);
    glDrawArrays(kind, 0, count);
}

GLenum primitive(GLenum kind) {
    return kind == FGL_TRIANGLES ? GL_TRIANGLES : (kind == FGL_LINES ? GL_LINES : GL_POINTS);
}

// Window-space orientation of a polygon: positive when counter-clockwise (front).
float signedArea(const Matrix& mvp, const std::vector<Vertex>& vertices, int first,
                 const int* corners, int size) {
    float area = 0.0f;
    float px = 0.0f, py = 0.0f, fx = 0.0f, fy = 0.0f;
    for (int k = 0; k < size; ++k) {
        const float* p = vertices[static_cast<size_t>(first + corners[k])].position;
        float clip[4];
        for (int i = 0; i < 4; ++i)
            clip[i] =
                mvp.m[i] * p[0] + mvp.m[4 + i] * p[1] + mvp.m[8 + i] * p[2] + mvp.m[12 + i] * p[3];
        const float x = clip[0] / clip[3], y = clip[1] / clip[3];
        if (k == 0) {
            fx = x;
            fy = y;
        } else {
            area += px * y - x * py;
        }
        px = x;
        py = y;
    }
    area += px * fy - fx * py;
    return area;
}

// Triangles drawn as edges or corners where the polygon mode of their side asks for it.
void drawPolygonModes(const Batch& batch, const std::vector<Vertex>& vertices) {
    const Matrix mvp = multiply(projectionTop(), modelviewTop());
    std::vector<Vertex> fill, lines, points;
    int triangle = 0; // first vertex of the polygon's triangles within the batch
    for (size_t p = 0; p < batch.polygonStarts.size(); ++p) {
        const int* corners = &batch.polygonCorners[static_cast<size_t>(batch.polygonStarts[p])];
        const int size = batch.polygonSizes[p];
        const int triangles = (size - 2) * 3;
        const bool front = signedArea(mvp, vertices, batch.first, corners, size) > 0.0f;
        const GLenum mode = front ? state.polygon.frontMode : state.polygon.backMode;
        const bool culled = state.polygon.cull && !front;
        auto vertexAt = [&](int k) { return vertices[static_cast<size_t>(batch.first + k)]; };
        if (!culled && mode == FGL_FILL) {
            for (int k = 0; k < triangles; ++k)
                fill.push_back(vertexAt(triangle + k));
        } else if (!culled && mode == FGL_LINE) {
            for (int k = 0; k < size; ++k) {
                lines.push_back(vertexAt(corners[k]));
                lines.push_back(vertexAt(corners[(k + 1) % size]));
            }
        } else if (!culled) {
            for (int k = 0; k < size; ++k)
                points.push_back(vertexAt(corners[k]));
        }
        triangle += triangles;
    }
    // Culling is decided above, per polygon; the real context must not cull again.
    glDisable(GL_CULL_FACE);
    real.cull = false;
    if (!fill.empty())
        drawFromStream(GL_TRIANGLES, fill.data(), static_cast<int>(fill.size()));
    if (!lines.empty())
        drawFromStream(GL_LINES, lines.data(), static_cast<int>(lines.size()));
    if (!points.empty())
        drawFromStream(GL_POINTS, points.data(), static_cast<int>(points.size()));
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

} // namespace

void ensureGpu() {
    if (ready)
        return;
    ready = true;
    setupProgram();
    glGenVertexArrays(1, &vertexArray);
    glBindVertexArray(vertexArray);
    glGenBuffers(1, &streamBuffer);
    glGenBuffers(1, &listBuffer);
    glEnableVertexAttribArray(0);
#if !defined(__EMSCRIPTEN__)
    if (!isEs)
        glEnable(GL_PROGRAM_POINT_SIZE);
#endif
    glCullFace(GL_BACK);
    glFrontFace(GL_CCW);
}

void syncRealState() {
    ensureGpu();
    const ColorBufferGroup& c = state.colorBuffer;
    enable(GL_BLEND, c.blend, real.blend);
    if (real.src != c.srcFactor || real.dst != c.dstFactor) {
        real.src = c.srcFactor;
        real.dst = c.dstFactor;
        // Blend factors and depth functions have the same values in every GL version.
        glBlendFunc(c.srcFactor, c.dstFactor);
    }
    enable(GL_DEPTH_TEST, state.depth.test, real.depthTest);
    if (real.depthFunc != state.depth.func) {
        real.depthFunc = state.depth.func;
        glDepthFunc(state.depth.func);
    }
    enable(GL_CULL_FACE, state.polygon.cull, real.cull);
    const ViewportGroup& v = state.viewport;
    if (v.set && (real.viewport[0] != v.x || real.viewport[1] != v.y ||
                  real.viewport[2] != v.width || real.viewport[3] != v.height)) {
        real.viewport[0] = v.x;
        real.viewport[1] = v.y;
        real.viewport[2] = v.width;
        real.viewport[3] = v.height;
        glViewport(v.x, v.y, v.width, v.height);
    }
    if (std::memcmp(real.clearColor, c.clearColor, sizeof real.clearColor) != 0) {
        std::memcpy(real.clearColor, c.clearColor, sizeof real.clearColor);
        glClearColor(c.clearColor[0], c.clearColor[1], c.clearColor[2], c.clearColor[3]);
    }
    if (real.texture != state.texture.binding) {
        real.texture = state.texture.binding;
        glBindTexture(GL_TEXTURE_2D, state.texture.binding);
    }
}

int storeListVertices(const std::vector<Vertex>& vertices) {
    const auto base = static_cast<int>(listStore.size());
    listStore.insert(listStore.end(), vertices.begin(), vertices.end());
    listStoreSent = false;
    return base;
}

void drawBatch(const Batch& batch, int base, const std::vector<Vertex>& vertices) {
    syncRealState();
    sendMatrices();
    sendLighting();
    sendOthers();
    useAttributes(batch.attributes);
    const bool allFill = state.polygon.frontMode == FGL_FILL &&
                         (state.polygon.backMode == FGL_FILL || state.polygon.cull);
    if (batch.kind == FGL_TRIANGLES && !allFill) {
        drawPolygonModes(batch, vertices);
        return;
    }
    if (base < 0) {
        drawFromStream(primitive(batch.kind), &vertices[static_cast<size_t>(batch.first)],
                       batch.count);
        return;
    }
    bindVertexBuffer(listBuffer);
    if (!listStoreSent) {
        listStoreSent = true;
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(sizeof(Vertex) * listStore.size()),
                     listStore.data(), GL_STATIC_DRAW);
    }
    glDrawArrays(primitive(batch.kind), base + batch.first, batch.count);
}

bool textureHasImage(GLuint name) {
    const auto found = textures.find(name);
    if (found == textures.end())
        return false;
    const TextureInfo& info = found->second;
    return info.image && (info.minFilter == GL_NEAREST || info.minFilter == GL_LINEAR);
}

void execClear(GLbitfield mask) {
    if (mask & ~static_cast<GLbitfield>(FGL_COLOR_BUFFER_BIT | FGL_DEPTH_BUFFER_BIT)) {
        setError(FGL_INVALID_VALUE);
        return;
    }
    syncRealState();
    GLbitfield realMask = 0;
    if (mask & FGL_COLOR_BUFFER_BIT)
        realMask |= GL_COLOR_BUFFER_BIT;
    if (mask & FGL_DEPTH_BUFFER_BIT)
        realMask |= GL_DEPTH_BUFFER_BIT;
    glClear(realMask);
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
    glGenTextures(n, names);
    for (GLsizei i = 0; i < n; ++i)
        textures[names[i]] = TextureInfo{};
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
    syncRealState();
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
    syncRealState();
    glTexParameteri(GL_TEXTURE_2D, pname, param);
    if (pname == FGL_TEXTURE_MIN_FILTER)
        textures[state.texture.binding].minFilter = param;
}

void fglFinish() {
    ensureGpu();
    glFinish();
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
    glReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
}

} // extern "C"
