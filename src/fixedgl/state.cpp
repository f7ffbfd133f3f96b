// The layer's state calls: enables, attribute stacks, material, light, fog, the texture
// binding, client arrays, errors. Each recordable call is carried out by its function in
// `exec`, beside its entry point, which records it while a display list is compiled
// (lists.cpp) and carries it out unless the list is only compiled.
#include "internal.h"
#include "lists.h"

#include <cmath>
#include <cstring>

namespace fgl {

ServerState state;
ClientState client;
bool lightingChanged = true;

namespace {
constexpr int attribStackDepth = 16;

GLenum pendingError = FGL_NO_ERROR;

struct SavedAttrib {
    GLbitfield mask;
    ServerState saved;
};
std::vector<SavedAttrib> attribStack;

struct SavedClient {
    GLbitfield mask;
    ClientState saved;
};
std::vector<SavedClient> clientStack;

void copy4(float* to, const float* from) {
    std::memcpy(to, from, 4 * sizeof(float));
}

bool isHintTarget(GLenum target, int& index) {
    const GLenum targets[5] = {FGL_PERSPECTIVE_CORRECTION_HINT, FGL_POINT_SMOOTH_HINT,
                               FGL_LINE_SMOOTH_HINT, FGL_POLYGON_SMOOTH_HINT, FGL_FOG_HINT};
    for (int i = 0; i < 5; ++i) {
        if (targets[i] == target) {
            index = i;
            return true;
        }
    }
    return false;
}

bool* capability(GLenum cap) {
    switch (cap) {
    case FGL_LIGHTING:
        return &state.lighting.lighting;
    case FGL_LIGHT0:
        return &state.lighting.light0;
    case FGL_FOG:
        return &state.fog.enabled;
    case FGL_BLEND:
        return &state.colorBuffer.blend;
    case FGL_DEPTH_TEST:
        return &state.depth.test;
    case FGL_CULL_FACE:
        return &state.polygon.cull;
    case FGL_TEXTURE_2D:
        return &state.texture.enabled;
    case FGL_NORMALIZE:
        return &state.transform.normalize;
    default:
        return nullptr;
    }
}

void setCapability(GLenum cap, bool on) {
    bool* flag = capability(cap);
    if (flag == nullptr) {
        setError(FGL_INVALID_ENUM);
        return;
    }
    *flag = on;
    if (cap == FGL_NORMALIZE || cap == FGL_LIGHTING || cap == FGL_LIGHT0)
        lightingChanged = true;
}

// The enable flags that the enable group saves, whichever groups they also belong to.
void restoreEnables(const ServerState& from) {
    state.lighting.lighting = from.lighting.lighting;
    state.lighting.light0 = from.lighting.light0;
    state.fog.enabled = from.fog.enabled;
    state.colorBuffer.blend = from.colorBuffer.blend;
    state.depth.test = from.depth.test;
    state.polygon.cull = from.polygon.cull;
    state.texture.enabled = from.texture.enabled;
    state.transform.normalize = from.transform.normalize;
}
} // namespace

void setError(GLenum error) {
    if (pendingError == FGL_NO_ERROR)
        pendingError = error;
}

// ---- The recordable calls

void exec::viewport(GLint x, GLint y, GLsizei width, GLsizei height) {
    state.viewport = {x, y, width, height, true};
}

extern "C" void fglViewport(GLint x, GLint y, GLsizei width, GLsizei height) {
    if (width < 0 || height < 0) {
        setError(FGL_INVALID_VALUE);
        return;
    }
    if (recordCall(Op::viewport, {static_cast<GLuint>(x), static_cast<GLuint>(y),
                                  static_cast<GLuint>(width), static_cast<GLuint>(height)}))
        exec::viewport(x, y, width, height);
}

void exec::enable(GLenum cap) {
    setCapability(cap, true);
}

extern "C" void fglEnable(GLenum cap) {
    if (recordCall(Op::enable, {cap}))
        exec::enable(cap);
}

void exec::disable(GLenum cap) {
    setCapability(cap, false);
}

extern "C" void fglDisable(GLenum cap) {
    if (recordCall(Op::disable, {cap}))
        exec::disable(cap);
}

void exec::blendFunc(GLenum src, GLenum dst) {
    auto valid = [](GLenum f, bool source) {
        if (f == FGL_ZERO || f == FGL_ONE)
            return true;
        if (f >= FGL_SRC_COLOR && f <= FGL_ONE_MINUS_DST_COLOR)
            return true;
        return source && f == FGL_SRC_ALPHA_SATURATE;
    };
    if (!valid(src, true) || !valid(dst, false)) {
        setError(FGL_INVALID_ENUM);
        return;
    }
    state.colorBuffer.srcFactor = src;
    state.colorBuffer.dstFactor = dst;
}

extern "C" void fglBlendFunc(GLenum sfactor, GLenum dfactor) {
    if (recordCall(Op::blendFunc, {sfactor, dfactor}))
        exec::blendFunc(sfactor, dfactor);
}

void exec::depthFunc(GLenum func) {
    if (func < FGL_NEVER || func > FGL_ALWAYS) {
        setError(FGL_INVALID_ENUM);
        return;
    }
    state.depth.func = func;
}

extern "C" void fglDepthFunc(GLenum func) {
    if (recordCall(Op::depthFunc, {func}))
        exec::depthFunc(func);
}

void exec::polygonMode(GLenum face, GLenum mode) {
    if (mode != FGL_POINT && mode != FGL_LINE && mode != FGL_FILL) {
        setError(FGL_INVALID_ENUM);
        return;
    }
    if (face == FGL_FRONT || face == FGL_FRONT_AND_BACK)
        state.polygon.frontMode = mode;
    if (face == FGL_BACK || face == FGL_FRONT_AND_BACK)
        state.polygon.backMode = mode;
    if (face != FGL_FRONT && face != FGL_BACK && face != FGL_FRONT_AND_BACK)
        setError(FGL_INVALID_ENUM);
}

extern "C" void fglPolygonMode(GLenum face, GLenum mode) {
    if (recordCall(Op::polygonMode, {face, mode}))
        exec::polygonMode(face, mode);
}

void exec::pointSize(float size) {
    if (size <= 0.0f) {
        setError(FGL_INVALID_VALUE);
        return;
    }
    state.pointSize = size;
}

extern "C" void fglPointSize(GLfloat size) {
    if (recordCall(Op::pointSize, {}, {size}))
        exec::pointSize(size);
}

void exec::lineWidth(float width) {
    if (width <= 0.0f) {
        setError(FGL_INVALID_VALUE);
        return;
    }
    state.lineWidth = width;
}

extern "C" void fglLineWidth(GLfloat width) {
    if (recordCall(Op::lineWidth, {}, {width}))
        exec::lineWidth(width);
}

void exec::hint(GLenum target, GLenum mode) {
    int index = 0;
    if (!isHintTarget(target, index) || mode < FGL_DONT_CARE || mode > FGL_NICEST) {
        setError(FGL_INVALID_ENUM);
        return;
    }
    state.hint.hints[index] = mode;
}

extern "C" void fglHint(GLenum target, GLenum mode) {
    if (recordCall(Op::hint, {target, mode}))
        exec::hint(target, mode);
}

void exec::clearColor(float red, float green, float blue, float alpha) {
    const float c[4] = {red, green, blue, alpha};
    for (int i = 0; i < 4; ++i)
        state.colorBuffer.clearColor[i] = c[i] < 0.0f ? 0.0f : (c[i] > 1.0f ? 1.0f : c[i]);
}

extern "C" void fglClearColor(GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha) {
    if (recordCall(Op::clearColor, {}, {red, green, blue, alpha}))
        exec::clearColor(red, green, blue, alpha);
}

void exec::material(GLenum face, GLenum pname, const float* p) {
    if (face != FGL_FRONT && face != FGL_BACK && face != FGL_FRONT_AND_BACK) {
        setError(FGL_INVALID_ENUM);
        return;
    }
    Material* targets[2] = {face != FGL_BACK ? &state.lighting.front : nullptr,
                            face != FGL_FRONT ? &state.lighting.back : nullptr};
    for (Material* m : targets) {
        if (m == nullptr)
            continue;
        switch (pname) {
        case FGL_AMBIENT:
            copy4(m->ambient, p);
            break;
        case FGL_DIFFUSE:
            copy4(m->diffuse, p);
            break;
        case FGL_AMBIENT_AND_DIFFUSE:
            copy4(m->ambient, p);
            copy4(m->diffuse, p);
            break;
        case FGL_SPECULAR:
            copy4(m->specular, p);
            break;
        case FGL_EMISSION:
            copy4(m->emission, p);
            break;
        case FGL_SHININESS:
            if (p[0] < 0.0f || p[0] > 128.0f) {
                setError(FGL_INVALID_VALUE);
                return;
            }
            m->shininess = p[0];
            break;
        default:
            setError(FGL_INVALID_ENUM);
            return;
        }
    }
    lightingChanged = true;
}

extern "C" void fglMaterialfv(GLenum face, GLenum pname, const GLfloat* params) {
    // Only as many values are read as the parameter has.
    float p[4] = {params[0], 0.0f, 0.0f, 0.0f};
    if (pname != FGL_SHININESS) {
        if (pname != FGL_AMBIENT && pname != FGL_DIFFUSE && pname != FGL_AMBIENT_AND_DIFFUSE &&
            pname != FGL_SPECULAR && pname != FGL_EMISSION) {
            setError(FGL_INVALID_ENUM);
            return;
        }
        std::memcpy(p, params, sizeof p);
    }
    if (recordCall(Op::material, {face, pname}, {p[0], p[1], p[2], p[3]}))
        exec::material(face, pname, p);
}

void exec::light(GLenum light, GLenum pname, const float* p) {
    if (light != FGL_LIGHT0) {
        setError(FGL_INVALID_ENUM);
        return;
    }
    LightingGroup& l = state.lighting;
    switch (pname) {
    case FGL_AMBIENT:
        copy4(l.lightAmbient, p);
        break;
    case FGL_DIFFUSE:
        copy4(l.lightDiffuse, p);
        break;
    case FGL_SPECULAR:
        copy4(l.lightSpecular, p);
        break;
    case FGL_POSITION: {
        // Stored in eye coordinates: transformed by the model-view matrix of the moment.
        const float* m = modelviewTop().m;
        for (int i = 0; i < 4; ++i)
            l.lightPosition[i] = m[i] * p[0] + m[4 + i] * p[1] + m[8 + i] * p[2] + m[12 + i] * p[3];
        break;
    }
    default:
        setError(FGL_INVALID_ENUM);
        return;
    }
    lightingChanged = true;
}

extern "C" void fglLightfv(GLenum light, GLenum pname, const GLfloat* params) {
    if (pname != FGL_AMBIENT && pname != FGL_DIFFUSE && pname != FGL_SPECULAR &&
        pname != FGL_POSITION) {
        setError(FGL_INVALID_ENUM);
        return;
    }
    const float p[4] = {params[0], params[1], params[2], params[3]};
    if (recordCall(Op::light, {light, pname}, {p[0], p[1], p[2], p[3]}))
        exec::light(light, pname, p);
}

void exec::fog(GLenum pname, const float* p) {
    FogGroup& f = state.fog;
    switch (pname) {
    case FGL_FOG_MODE: {
        const auto mode = static_cast<GLenum>(p[0]);
        if (mode != FGL_LINEAR && mode != FGL_EXP && mode != FGL_EXP2) {
            setError(FGL_INVALID_ENUM);
            return;
        }
        f.mode = mode;
        break;
    }
    case FGL_FOG_DENSITY:
        if (p[0] < 0.0f) {
            setError(FGL_INVALID_VALUE);
            return;
        }
        f.density = p[0];
        break;
    case FGL_FOG_START:
        f.start = p[0];
        break;
    case FGL_FOG_END:
        f.end = p[0];
        break;
    case FGL_FOG_COLOR:
        for (int i = 0; i < 4; ++i)
            f.color[i] = p[i] < 0.0f ? 0.0f : (p[i] > 1.0f ? 1.0f : p[i]);
        break;
    default:
        setError(FGL_INVALID_ENUM);
    }
}

extern "C" void fglFogf(GLenum pname, GLfloat param) {
    if (pname == FGL_FOG_COLOR) {
        setError(FGL_INVALID_ENUM);
        return;
    }
    const float p[4] = {param, 0.0f, 0.0f, 0.0f};
    if (recordCall(Op::fog, {pname}, {p[0]}))
        exec::fog(pname, p);
}

extern "C" void fglFogfv(GLenum pname, const GLfloat* params) {
    const bool four = pname == FGL_FOG_COLOR;
    const float p[4] = {params[0], four ? params[1] : 0.0f, four ? params[2] : 0.0f,
                        four ? params[3] : 0.0f};
    if (recordCall(Op::fog, {pname}, {p[0], p[1], p[2], p[3]}))
        exec::fog(pname, p);
}

void exec::bindTexture(GLenum target, GLuint name) {
    if (target != FGL_TEXTURE_2D) {
        setError(FGL_INVALID_ENUM);
        return;
    }
    state.texture.binding = name;
}

extern "C" void fglBindTexture(GLenum target, GLuint texture) {
    if (recordCall(Op::bindTexture, {target, texture}))
        exec::bindTexture(target, texture);
}

void exec::texEnv(GLenum target, GLenum pname, GLint param) {
    if (target != FGL_TEXTURE_ENV || pname != FGL_TEXTURE_ENV_MODE ||
        static_cast<GLenum>(param) != FGL_MODULATE) {
        setError(FGL_INVALID_ENUM);
        return;
    }
    state.texture.envMode = static_cast<GLenum>(param);
}

extern "C" void fglTexEnvi(GLenum target, GLenum pname, GLint param) {
    if (recordCall(Op::texEnv, {target, pname, static_cast<GLuint>(param)}))
        exec::texEnv(target, pname, param);
}

void exec::pushAttrib(GLbitfield mask) {
    if (static_cast<int>(attribStack.size()) >= attribStackDepth) {
        setError(FGL_STACK_OVERFLOW);
        return;
    }
    attribStack.push_back({mask, state});
}

extern "C" void fglPushAttrib(GLbitfield mask) {
    if (recordCall(Op::pushAttrib, {mask}))
        exec::pushAttrib(mask);
}

void exec::popAttrib() {
    if (attribStack.empty()) {
        setError(FGL_STACK_UNDERFLOW);
        return;
    }
    const SavedAttrib entry = attribStack.back();
    attribStack.pop_back();
    const GLbitfield mask = entry.mask;
    const ServerState& s = entry.saved;
    if (mask & FGL_CURRENT_BIT)
        state.current = s.current;
    if (mask & FGL_ENABLE_BIT)
        restoreEnables(s);
    if (mask & FGL_LIGHTING_BIT)
        state.lighting = s.lighting;
    if (mask & FGL_FOG_BIT)
        state.fog = s.fog;
    if (mask & FGL_COLOR_BUFFER_BIT)
        state.colorBuffer = s.colorBuffer;
    if (mask & FGL_DEPTH_BUFFER_BIT)
        state.depth = s.depth;
    if (mask & FGL_POLYGON_BIT)
        state.polygon = s.polygon;
    if (mask & FGL_TEXTURE_BIT)
        state.texture = s.texture;
    if (mask & FGL_TRANSFORM_BIT)
        state.transform = s.transform;
    if (mask & FGL_VIEWPORT_BIT)
        state.viewport = s.viewport;
    if (mask & FGL_POINT_BIT)
        state.pointSize = s.pointSize;
    if (mask & FGL_LINE_BIT)
        state.lineWidth = s.lineWidth;
    if (mask & FGL_HINT_BIT)
        state.hint = s.hint;
    lightingChanged = true;
}

extern "C" void fglPopAttrib() {
    if (recordCall(Op::popAttrib, {}))
        exec::popAttrib();
}

// ---- Calls that act at once, also while a list is compiled

extern "C" GLenum fglGetError() {
    // Between glBegin and glEnd the query itself is the error, and answers nothing.
    if (insideBeginEnd()) {
        setError(FGL_INVALID_OPERATION);
        return FGL_NO_ERROR;
    }
    if (pendingError != FGL_NO_ERROR) {
        const GLenum error = pendingError;
        pendingError = FGL_NO_ERROR;
        return error;
    }
    ensureGpu();
    return glGetError();
}

extern "C" void fglEnableClientState(GLenum array) {
    switch (array) {
    case FGL_VERTEX_ARRAY:
        client.vertex.enabled = true;
        break;
    case FGL_NORMAL_ARRAY:
        client.normal.enabled = true;
        break;
    case FGL_COLOR_ARRAY:
        client.colorArray = true;
        break;
    case FGL_INDEX_ARRAY:
        client.indexArray = true;
        break;
    case FGL_TEXTURE_COORD_ARRAY:
        client.texCoordArray = true;
        break;
    case FGL_EDGE_FLAG_ARRAY:
        client.edgeFlagArray = true;
        break;
    default:
        setError(FGL_INVALID_ENUM);
    }
}

extern "C" void fglDisableClientState(GLenum array) {
    switch (array) {
    case FGL_VERTEX_ARRAY:
        client.vertex.enabled = false;
        break;
    case FGL_NORMAL_ARRAY:
        client.normal.enabled = false;
        break;
    case FGL_COLOR_ARRAY:
        client.colorArray = false;
        break;
    case FGL_INDEX_ARRAY:
        client.indexArray = false;
        break;
    case FGL_TEXTURE_COORD_ARRAY:
        client.texCoordArray = false;
        break;
    case FGL_EDGE_FLAG_ARRAY:
        client.edgeFlagArray = false;
        break;
    default:
        setError(FGL_INVALID_ENUM);
    }
}

extern "C" void fglVertexPointer(GLint size, GLenum type, GLsizei stride, const GLvoid* pointer) {
    if (size < 2 || size > 4 || stride < 0) {
        setError(FGL_INVALID_VALUE);
        return;
    }
    if (type != FGL_FLOAT) {
        setError(FGL_INVALID_ENUM);
        return;
    }
    client.vertex.size = size;
    client.vertex.stride = stride;
    client.vertex.pointer = pointer;
}

extern "C" void fglNormalPointer(GLenum type, GLsizei stride, const GLvoid* pointer) {
    if (stride < 0) {
        setError(FGL_INVALID_VALUE);
        return;
    }
    if (type != FGL_FLOAT) {
        setError(FGL_INVALID_ENUM);
        return;
    }
    client.normal.size = 3;
    client.normal.stride = stride;
    client.normal.pointer = pointer;
}

extern "C" void fglPushClientAttrib(GLbitfield mask) {
    if (static_cast<int>(clientStack.size()) >= attribStackDepth) {
        setError(FGL_STACK_OVERFLOW);
        return;
    }
    clientStack.push_back({mask, client});
}

extern "C" void fglPopClientAttrib() {
    if (clientStack.empty()) {
        setError(FGL_STACK_UNDERFLOW);
        return;
    }
    const SavedClient entry = clientStack.back();
    clientStack.pop_back();
    if (entry.mask & FGL_CLIENT_VERTEX_ARRAY_BIT) {
        client.vertex = entry.saved.vertex;
        client.normal = entry.saved.normal;
        client.colorArray = entry.saved.colorArray;
        client.indexArray = entry.saved.indexArray;
        client.texCoordArray = entry.saved.texCoordArray;
        client.edgeFlagArray = entry.saved.edgeFlagArray;
    }
    if (entry.mask & FGL_CLIENT_PIXEL_STORE_BIT) {
        client.packAlignment = entry.saved.packAlignment;
        client.unpackAlignment = entry.saved.unpackAlignment;
    }
}

} // namespace fgl
