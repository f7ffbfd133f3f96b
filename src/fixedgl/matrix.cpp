// The matrix stacks and their arithmetic: the products, the rotation and the frustum in float,
// in the order of a classic implementation, so that positions match a GL 1.1's; the normal
// matrix for lighting.
#include "internal.h"
#include "lists.h"

#include <cmath>
#include <cstring>

namespace fgl {

bool matricesChanged = true;

namespace {
constexpr int matrixStackDepth = 32;
constexpr double pi = 3.14159265358979323846;

Matrix modelviewStack[matrixStackDepth] = {identityMatrix()};
Matrix projectionStack[matrixStackDepth] = {identityMatrix()};
int modelviewDepth = 0;
int projectionDepth = 0;

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

// ---- The matrix calls: each one carried out, and its entry point, which records it while a
// list is compiled.

void exec::matrixMode(GLenum mode) {
    if (mode != FGL_MODELVIEW && mode != FGL_PROJECTION) {
        setError(FGL_INVALID_ENUM);
        return;
    }
    state.transform.matrixMode = mode;
}

extern "C" void fglMatrixMode(GLenum mode) {
    if (recordCall(Op::matrixMode, {mode}))
        exec::matrixMode(mode);
}

void exec::loadIdentity() {
    top() = identityMatrix();
    matricesChanged = true;
}

extern "C" void fglLoadIdentity() {
    if (recordCall(Op::loadIdentity, {}))
        exec::loadIdentity();
}

void exec::pushMatrix() {
    int& depth = state.transform.matrixMode == FGL_PROJECTION ? projectionDepth : modelviewDepth;
    Matrix* stack = state.transform.matrixMode == FGL_PROJECTION ? projectionStack : modelviewStack;
    if (depth + 1 >= matrixStackDepth) {
        setError(FGL_STACK_OVERFLOW);
        return;
    }
    stack[depth + 1] = stack[depth];
    ++depth;
}

extern "C" void fglPushMatrix() {
    if (recordCall(Op::pushMatrix, {}))
        exec::pushMatrix();
}

void exec::popMatrix() {
    int& depth = state.transform.matrixMode == FGL_PROJECTION ? projectionDepth : modelviewDepth;
    if (depth == 0) {
        setError(FGL_STACK_UNDERFLOW);
        return;
    }
    --depth;
    matricesChanged = true;
}

extern "C" void fglPopMatrix() {
    if (recordCall(Op::popMatrix, {}))
        exec::popMatrix();
}

void exec::translate(float x, float y, float z) {
    float* m = top().m;
    m[12] = m[0] * x + m[4] * y + m[8] * z + m[12];
    m[13] = m[1] * x + m[5] * y + m[9] * z + m[13];
    m[14] = m[2] * x + m[6] * y + m[10] * z + m[14];
    m[15] = m[3] * x + m[7] * y + m[11] * z + m[15];
    matricesChanged = true;
}

extern "C" void fglTranslatef(GLfloat x, GLfloat y, GLfloat z) {
    if (recordCall(Op::translate, {}, {x, y, z}))
        exec::translate(x, y, z);
}

extern "C" void fglTranslated(GLdouble x, GLdouble y, GLdouble z) {
    fglTranslatef(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
}

void exec::scale(float x, float y, float z) {
    float* m = top().m;
    for (int i = 0; i < 4; ++i) {
        m[i] *= x;
        m[4 + i] *= y;
        m[8 + i] *= z;
    }
    matricesChanged = true;
}

extern "C" void fglScalef(GLfloat x, GLfloat y, GLfloat z) {
    if (recordCall(Op::scale, {}, {x, y, z}))
        exec::scale(x, y, z);
}

extern "C" void fglScaled(GLdouble x, GLdouble y, GLdouble z) {
    fglScalef(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
}

void exec::rotate(float angle, float x, float y, float z) {
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

extern "C" void fglRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) {
    if (recordCall(Op::rotate, {}, {angle, x, y, z}))
        exec::rotate(angle, x, y, z);
}

extern "C" void fglRotated(GLdouble angle, GLdouble x, GLdouble y, GLdouble z) {
    fglRotatef(static_cast<float>(angle), static_cast<float>(x), static_cast<float>(y),
               static_cast<float>(z));
}

void exec::frustum(float left, float right, float bottom, float top_, float nearVal, float farVal) {
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

extern "C" void fglFrustum(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top,
                           GLdouble zNear, GLdouble zFar) {
    const float f[6] = {static_cast<float>(left),   static_cast<float>(right),
                        static_cast<float>(bottom), static_cast<float>(top),
                        static_cast<float>(zNear),  static_cast<float>(zFar)};
    if (recordCall(Op::frustum, {}, {f[0], f[1], f[2], f[3], f[4], f[5]}))
        exec::frustum(f[0], f[1], f[2], f[3], f[4], f[5]);
}

} // namespace fgl
