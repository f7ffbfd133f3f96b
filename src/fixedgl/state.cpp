// The layer's state calls: matrix stacks (float arithmetic in the classic order, so positions
// match a GL 1.1 implementation's), enables, attribute stacks, material, light, fog, textures,
// errors. Calls made while a display list is compiled are recorded there instead (lists.cpp).
#include "internal.h"
#include "lists.h"

#include <cmath>
#include <cstring>

namespace fgl {

ServerState state;
ClientState client;
bool matricesChanged = true;
bool lightingChanged = true;

namespace {
constexpr int matrixStackDepth = 32;
constexpr int attribStackDepth = 16;
constexpr double pi = 3.14159265358979323846;

Matrix modelviewStack[matrixStackDepth] = {identityMatrix()};
Matrix projectionStack[matrixStackDepth] = {identityMatrix()};
int modelviewDepth = 0;
int projectionDepth = 0;

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

Matrix& top() {
    return state.transform.matrixMode == FGL_PROJECTION ? projectionStack[projectionDepth]
                                                        : modelviewStack[modelviewDepth];
}

// Multiplies the current matrix on the right by `m`.
void multiplyTop(const Matrix& m) {
    Matrix& t = top();
    t = multiply(t, m);
    matricesChanged = true;
}

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

Matrix identityMatrix() {
    Matrix m{};
    m.m[0] = m.m[5] = m.m[10] = m.m[15] = 1.0f;
    return m;
}

Matrix multiply(const Matrix& a, const Matrix& b) {
    Matrix p{};
    for (int i = 0; i < 4; ++i) {
        const float ai0 = a.m[i], ai1 = a.m[4 + i], ai2 = a.m[8 + i], ai3 = a.m[12 + i];
        for (int j = 0; j < 4; ++j) {
            const float* bj = &b.m[j * 4];
            p.m[j * 4 + i] = ai0 * bj[0] + ai1 * bj[1] + ai2 * bj[2] + ai3 * bj[3];
        }
    }
    return p;
}

void normalMatrix(const Matrix& mv, float out[9]) {
    const float* m = mv.m;
    // a(r, c) of the upper 3x3, column-major storage.
    auto a = [m](int r, int c) { return m[c * 4 + r]; };
    float inv[3][3];
    const bool diagonal = a(0, 1) == 0.0f && a(0, 2) == 0.0f && a(1, 0) == 0.0f &&
                          a(1, 2) == 0.0f && a(2, 0) == 0.0f && a(2, 1) == 0.0f;
    bool singular = false;
    if (diagonal) {
        // Scales only: a zero scale has no inverse.
        singular = a(0, 0) == 0.0f || a(1, 1) == 0.0f || a(2, 2) == 0.0f;
        if (!singular) {
            std::memset(inv, 0, sizeof inv);
            for (int i = 0; i < 3; ++i)
                inv[i][i] = 1.0f / a(i, i);
        }
    } else {
        // The determinant summed from its positive and negative terms apart, in float, and
        // the adjugate over it, as a classic implementation computes them.
        float pos = 0.0f, neg = 0.0f;
        const float terms[6] = {a(0, 0) * a(1, 1) * a(2, 2),  a(1, 0) * a(2, 1) * a(0, 2),
                                a(2, 0) * a(0, 1) * a(1, 2),  -a(2, 0) * a(1, 1) * a(0, 2),
                                -a(1, 0) * a(0, 1) * a(2, 2), -a(0, 0) * a(2, 1) * a(1, 2)};
        for (float t : terms)
            (t >= 0.0f ? pos : neg) += t;
        float det = pos + neg;
        singular = std::fabs(det) < 1e-25f;
        if (!singular) {
            det = 1.0f / det;
            inv[0][0] = (a(1, 1) * a(2, 2) - a(2, 1) * a(1, 2)) * det;
            inv[0][1] = -(a(0, 1) * a(2, 2) - a(2, 1) * a(0, 2)) * det;
            inv[0][2] = (a(0, 1) * a(1, 2) - a(1, 1) * a(0, 2)) * det;
            inv[1][0] = -(a(1, 0) * a(2, 2) - a(2, 0) * a(1, 2)) * det;
            inv[1][1] = (a(0, 0) * a(2, 2) - a(2, 0) * a(0, 2)) * det;
            inv[1][2] = -(a(0, 0) * a(1, 2) - a(1, 0) * a(0, 2)) * det;
            inv[2][0] = (a(1, 0) * a(2, 1) - a(2, 0) * a(1, 1)) * det;
            inv[2][1] = -(a(0, 0) * a(2, 1) - a(2, 0) * a(0, 1)) * det;
            inv[2][2] = (a(0, 0) * a(1, 1) - a(1, 0) * a(0, 1)) * det;
        }
    }
    // Without an inverse, normals are transformed by the identity.
    if (singular) {
        const float id[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
        std::memcpy(out, id, sizeof id);
        return;
    }
    // Normals are transformed by the inverse's transpose: column c, row r is inv[c][r].
    for (int c = 0; c < 3; ++c)
        for (int r = 0; r < 3; ++r)
            out[c * 3 + r] = inv[c][r];
}

const Matrix& modelviewTop() {
    return modelviewStack[modelviewDepth];
}

const Matrix& projectionTop() {
    return projectionStack[projectionDepth];
}

void setError(GLenum error) {
    if (pendingError == FGL_NO_ERROR)
        pendingError = error;
}

// ---- Execution of the recordable calls
// -----------------------------------------------------------

void execMatrixMode(GLenum mode) {
    if (mode != FGL_MODELVIEW && mode != FGL_PROJECTION) {
        setError(FGL_INVALID_ENUM);
        return;
    }
    state.transform.matrixMode = mode;
}

void execLoadIdentity() {
    top() = identityMatrix();
    matricesChanged = true;
}

void execPushMatrix() {
    int& depth = state.transform.matrixMode == FGL_PROJECTION ? projectionDepth : modelviewDepth;
    Matrix* stack = state.transform.matrixMode == FGL_PROJECTION ? projectionStack : modelviewStack;
    if (depth + 1 >= matrixStackDepth) {
        setError(FGL_STACK_OVERFLOW);
        return;
    }
    stack[depth + 1] = stack[depth];
    ++depth;
}

void execPopMatrix() {
    int& depth = state.transform.matrixMode == FGL_PROJECTION ? projectionDepth : modelviewDepth;
    if (depth == 0) {
        setError(FGL_STACK_UNDERFLOW);
        return;
    }
    --depth;
    matricesChanged = true;
}

void execTranslate(float x, float y, float z) {
    float* m = top().m;
    m[12] = m[0] * x + m[4] * y + m[8] * z + m[12];
    m[13] = m[1] * x + m[5] * y + m[9] * z + m[13];
    m[14] = m[2] * x + m[6] * y + m[10] * z + m[14];
    m[15] = m[3] * x + m[7] * y + m[11] * z + m[15];
    matricesChanged = true;
}

void execScale(float x, float y, float z) {
    float* m = top().m;
    for (int i = 0; i < 4; ++i) {
        m[i] *= x;
        m[4 + i] *= y;
        m[8 + i] *= z;
    }
    matricesChanged = true;
}

void execRotate(float angle, float x, float y, float z) {
    // The angle in radians is rounded to float before its sine, as a classic implementation does.
    const auto radians = static_cast<float>(angle * pi / 180.0);
    const float s = std::sin(radians);
    const float c = std::cos(radians);
    Matrix r = identityMatrix();
    float* m = r.m;
    auto at = [m](int row, int col) -> float& { return m[col * 4 + row]; };
    // Rotations about one axis are written out, as a classic implementation does.
    if (x == 0.0f && y == 0.0f && z != 0.0f) {
        at(0, 0) = c;
        at(1, 1) = c;
        at(0, 1) = z < 0.0f ? s : -s;
        at(1, 0) = z < 0.0f ? -s : s;
    } else if (x == 0.0f && z == 0.0f && y != 0.0f) {
        at(0, 0) = c;
        at(2, 2) = c;
        at(0, 2) = y < 0.0f ? -s : s;
        at(2, 0) = y < 0.0f ? s : -s;
    } else if (y == 0.0f && z == 0.0f && x != 0.0f) {
        at(1, 1) = c;
        at(2, 2) = c;
        at(1, 2) = x < 0.0f ? s : -s;
        at(2, 1) = x < 0.0f ? -s : s;
    } else {
        const float mag = std::sqrt(x * x + y * y + z * z);
        if (mag <= 1.0e-4f)
            return;
        x /= mag;
        y /= mag;
        z /= mag;
        const float xx = x * x, yy = y * y, zz = z * z;
        const float xy = x * y, yz = y * z, zx = z * x;
        const float xs = x * s, ys = y * s, zs = z * s;
        const float oneC = 1.0f - c;
        at(0, 0) = (oneC * xx) + c;
        at(0, 1) = (oneC * xy) - zs;
        at(0, 2) = (oneC * zx) + ys;
        at(1, 0) = (oneC * xy) + zs;
        at(1, 1) = (oneC * yy) + c;
        at(1, 2) = (oneC * yz) - xs;
        at(2, 0) = (oneC * zx) - ys;
        at(2, 1) = (oneC * yz) + xs;
        at(2, 2) = (oneC * zz) + c;
    }
    multiplyTop(r);
}

void execFrustum(float left, float right, float bottom, float top_, float nearVal, float farVal) {
    if (nearVal <= 0.0f || farVal <= 0.0f || nearVal == farVal || left == right || top_ == bottom) {
        setError(FGL_INVALID_VALUE);
        return;
    }
    const float x = (2.0f * nearVal) / (right - left);
    const float y = (2.0f * nearVal) / (top_ - bottom);
    const float a = (right + left) / (right - left);
    const float b = (top_ + bottom) / (top_ - bottom);
    const float c = -(farVal + nearVal) / (farVal - nearVal);
    const float d = -(2.0f * farVal * nearVal) / (farVal - nearVal);
    Matrix f{};
    f.m[0] = x;
    f.m[5] = y;
    f.m[8] = a;
    f.m[9] = b;
    f.m[10] = c;
    f.m[11] = -1.0f;
    f.m[14] = d;
    multiplyTop(f);
}

void execViewport(GLint x, GLint y, GLsizei width, GLsizei height) {
    state.viewport = {x, y, width, height, true};
}

void execClearColor(float red, float green, float blue, float alpha) {
    const float c[4] = {red, green, blue, alpha};
    for (int i = 0; i < 4; ++i)
        state.colorBuffer.clearColor[i] = c[i] < 0.0f ? 0.0f : (c[i] > 1.0f ? 1.0f : c[i]);
}

void execEnable(GLenum cap, bool on) {
    setCapability(cap, on);
}

void execBlendFunc(GLenum src, GLenum dst) {
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

void execDepthFunc(GLenum func) {
    if (func < FGL_NEVER || func > FGL_ALWAYS) {
        setError(FGL_INVALID_ENUM);
        return;
    }
    state.depth.func = func;
}

void execPolygonMode(GLenum face, GLenum mode) {
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

void execPointSize(float size) {
    if (size <= 0.0f) {
        setError(FGL_INVALID_VALUE);
        return;
    }
    state.pointSize = size;
}

void execLineWidth(float width) {
    if (width <= 0.0f) {
        setError(FGL_INVALID_VALUE);
        return;
    }
    state.lineWidth = width;
}

void execHint(GLenum target, GLenum mode) {
    int index = 0;
    if (!isHintTarget(target, index) || mode < FGL_DONT_CARE || mode > FGL_NICEST) {
        setError(FGL_INVALID_ENUM);
        return;
    }
    state.hint.hints[index] = mode;
}

void execMaterial(GLenum face, GLenum pname, const float* p) {
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

void execLight(GLenum light, GLenum pname, const float* p) {
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
        const float* m = modelviewStack[modelviewDepth].m;
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

void execFog(GLenum pname, const float* p) {
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

void execBindTexture(GLenum target, GLuint name) {
    if (target != FGL_TEXTURE_2D) {
        setError(FGL_INVALID_ENUM);
        return;
    }
    state.texture.binding = name;
}

void execTexEnv(GLenum target, GLenum pname, GLint param) {
    if (target != FGL_TEXTURE_ENV || pname != FGL_TEXTURE_ENV_MODE ||
        static_cast<GLenum>(param) != FGL_MODULATE) {
        setError(FGL_INVALID_ENUM);
        return;
    }
    state.texture.envMode = static_cast<GLenum>(param);
}

void execPushAttrib(GLbitfield mask) {
    if (static_cast<int>(attribStack.size()) >= attribStackDepth) {
        setError(FGL_STACK_OVERFLOW);
        return;
    }
    attribStack.push_back({mask, state});
}

void execPopAttrib() {
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
    // The outermost group closes a frame (the demo brackets each in one): what it drew is
    // sent now, so that a frame read from the canvas without a buffer swap is whole.
    if (attribStack.empty())
        flushStream();
}

} // namespace fgl

using namespace fgl;

// ---- Entry points
// --------------------------------------------------------------------------------- Each one
// records itself while a list is compiled (and executes too in compile-and-execute).

extern "C" {

void fglMatrixMode(GLenum mode) {
    if (recordCall(Op::matrixMode, {mode}))
        execMatrixMode(mode);
}

void fglLoadIdentity() {
    if (recordCall(Op::loadIdentity, {}))
        execLoadIdentity();
}

void fglPushMatrix() {
    if (recordCall(Op::pushMatrix, {}))
        execPushMatrix();
}

void fglPopMatrix() {
    if (recordCall(Op::popMatrix, {}))
        execPopMatrix();
}

void fglTranslatef(GLfloat x, GLfloat y, GLfloat z) {
    if (recordCall(Op::translate, {}, {x, y, z}))
        execTranslate(x, y, z);
}

void fglTranslated(GLdouble x, GLdouble y, GLdouble z) {
    fglTranslatef(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
}

void fglScalef(GLfloat x, GLfloat y, GLfloat z) {
    if (recordCall(Op::scale, {}, {x, y, z}))
        execScale(x, y, z);
}

void fglScaled(GLdouble x, GLdouble y, GLdouble z) {
    fglScalef(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
}

void fglRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) {
    if (recordCall(Op::rotate, {}, {angle, x, y, z}))
        execRotate(angle, x, y, z);
}

void fglRotated(GLdouble angle, GLdouble x, GLdouble y, GLdouble z) {
    fglRotatef(static_cast<float>(angle), static_cast<float>(x), static_cast<float>(y),
               static_cast<float>(z));
}

void fglFrustum(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble zNear,
                GLdouble zFar) {
    const float f[6] = {static_cast<float>(left),   static_cast<float>(right),
                        static_cast<float>(bottom), static_cast<float>(top),
                        static_cast<float>(zNear),  static_cast<float>(zFar)};
    if (recordCall(Op::frustum, {}, {f[0], f[1], f[2], f[3], f[4], f[5]}))
        execFrustum(f[0], f[1], f[2], f[3], f[4], f[5]);
}

void fglViewport(GLint x, GLint y, GLsizei width, GLsizei height) {
    if (width < 0 || height < 0) {
        setError(FGL_INVALID_VALUE);
        return;
    }
    if (recordCall(Op::viewport, {static_cast<GLuint>(x), static_cast<GLuint>(y),
                                  static_cast<GLuint>(width), static_cast<GLuint>(height)}))
        execViewport(x, y, width, height);
}

void fglEnable(GLenum cap) {
    if (recordCall(Op::enable, {cap}))
        execEnable(cap, true);
}

void fglDisable(GLenum cap) {
    if (recordCall(Op::disable, {cap}))
        execEnable(cap, false);
}

void fglBlendFunc(GLenum sfactor, GLenum dfactor) {
    if (recordCall(Op::blendFunc, {sfactor, dfactor}))
        execBlendFunc(sfactor, dfactor);
}

void fglDepthFunc(GLenum func) {
    if (recordCall(Op::depthFunc, {func}))
        execDepthFunc(func);
}

void fglPolygonMode(GLenum face, GLenum mode) {
    if (recordCall(Op::polygonMode, {face, mode}))
        execPolygonMode(face, mode);
}

void fglPointSize(GLfloat size) {
    if (recordCall(Op::pointSize, {}, {size}))
        execPointSize(size);
}

void fglLineWidth(GLfloat width) {
    if (recordCall(Op::lineWidth, {}, {width}))
        execLineWidth(width);
}

void fglHint(GLenum target, GLenum mode) {
    if (recordCall(Op::hint, {target, mode}))
        execHint(target, mode);
}

void fglClearColor(GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha) {
    if (recordCall(Op::clearColor, {}, {red, green, blue, alpha}))
        execClearColor(red, green, blue, alpha);
}

GLenum fglGetError() {
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

void fglMaterialfv(GLenum face, GLenum pname, const GLfloat* params) {
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
        execMaterial(face, pname, p);
}

void fglLightfv(GLenum light, GLenum pname, const GLfloat* params) {
    if (pname != FGL_AMBIENT && pname != FGL_DIFFUSE && pname != FGL_SPECULAR &&
        pname != FGL_POSITION) {
        setError(FGL_INVALID_ENUM);
        return;
    }
    const float p[4] = {params[0], params[1], params[2], params[3]};
    if (recordCall(Op::light, {light, pname}, {p[0], p[1], p[2], p[3]}))
        execLight(light, pname, p);
}

void fglFogf(GLenum pname, GLfloat param) {
    if (pname == FGL_FOG_COLOR) {
        setError(FGL_INVALID_ENUM);
        return;
    }
    const float p[4] = {param, 0.0f, 0.0f, 0.0f};
    if (recordCall(Op::fog, {pname}, {p[0]}))
        execFog(pname, p);
}

void fglFogfv(GLenum pname, const GLfloat* params) {
    const bool four = pname == FGL_FOG_COLOR;
    const float p[4] = {params[0], four ? params[1] : 0.0f, four ? params[2] : 0.0f,
                        four ? params[3] : 0.0f};
    if (recordCall(Op::fog, {pname}, {p[0], p[1], p[2], p[3]}))
        execFog(pname, p);
}

void fglNormal3f(GLfloat x, GLfloat y, GLfloat z) {
    noteNormal(x, y, z);
}

void fglColor4f(GLfloat red, GLfloat green, GLfloat blue, GLfloat alpha) {
    noteColor(red, green, blue, alpha);
}

void fglTexCoord2f(GLfloat s, GLfloat t) {
    noteTexCoord(s, t);
}

void fglEnableClientState(GLenum array) {
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

void fglDisableClientState(GLenum array) {
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

void fglVertexPointer(GLint size, GLenum type, GLsizei stride, const GLvoid* pointer) {
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

void fglNormalPointer(GLenum type, GLsizei stride, const GLvoid* pointer) {
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

void fglPushClientAttrib(GLbitfield mask) {
    if (static_cast<int>(clientStack.size()) >= attribStackDepth) {
        setError(FGL_STACK_OVERFLOW);
        return;
    }
    clientStack.push_back({mask, client});
}

void fglPopClientAttrib() {
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

void fglPushAttrib(GLbitfield mask) {
    if (recordCall(Op::pushAttrib, {mask}))
        execPushAttrib(mask);
}

void fglPopAttrib() {
    if (recordCall(Op::popAttrib, {}))
        execPopAttrib();
}

void fglBindTexture(GLenum target, GLuint texture) {
    if (recordCall(Op::bindTexture, {target, texture}))
        execBindTexture(target, texture);
}

void fglTexEnvi(GLenum target, GLenum pname, GLint param) {
    if (recordCall(Op::texEnv, {target, pname, static_cast<GLuint>(param)}))
        execTexEnv(target, pname, param);
}

} // extern "C"
