// Private to the fixed-function layer: the calls a display list records, and how they are
// carried out and replayed.
#pragma once

#include "internal.h"

#include <initializer_list>

namespace fgl {

// The calls that a display list records, one line each: the name (of the op and of the
// function in `exec` that carries the call out), the function's parameters, and its arguments
// read back from a recorded Command `c`. Each call's entry point (fgl*), which packs the
// Command, sits beside its exec function.
#define FGL_RECORDED_CALLS(X)                                                                      \
    X(matrixMode, (GLenum mode), (c.u[0]))                                                         \
    X(loadIdentity, (), ())                                                                        \
    X(pushMatrix, (), ())                                                                          \
    X(popMatrix, (), ())                                                                           \
    X(translate, (float x, float y, float z), (c.f[0], c.f[1], c.f[2]))                            \
    X(scale, (float x, float y, float z), (c.f[0], c.f[1], c.f[2]))                                \
    X(rotate, (float angle, float x, float y, float z), (c.f[0], c.f[1], c.f[2], c.f[3]))          \
    X(frustum, (float left, float right, float bottom, float top, float nearVal, float farVal),    \
      (c.f[0], c.f[1], c.f[2], c.f[3], c.f[4], c.f[5]))                                            \
    X(viewport, (GLint x, GLint y, GLsizei width, GLsizei height),                                 \
      (static_cast<GLint>(c.u[0]), static_cast<GLint>(c.u[1]), static_cast<GLsizei>(c.u[2]),       \
       static_cast<GLsizei>(c.u[3])))                                                              \
    X(enable, (GLenum cap), (c.u[0]))                                                              \
    X(disable, (GLenum cap), (c.u[0]))                                                             \
    X(blendFunc, (GLenum src, GLenum dst), (c.u[0], c.u[1]))                                       \
    X(depthFunc, (GLenum func), (c.u[0]))                                                          \
    X(polygonMode, (GLenum face, GLenum mode), (c.u[0], c.u[1]))                                   \
    X(pointSize, (float size), (c.f[0]))                                                           \
    X(lineWidth, (float width), (c.f[0]))                                                          \
    X(hint, (GLenum target, GLenum mode), (c.u[0], c.u[1]))                                        \
    X(clearColor, (float red, float green, float blue, float alpha),                               \
      (c.f[0], c.f[1], c.f[2], c.f[3]))                                                            \
    X(clear, (GLbitfield mask), (c.u[0]))                                                          \
    X(material, (GLenum face, GLenum pname, const float* p), (c.u[0], c.u[1], c.f))                \
    X(light, (GLenum light, GLenum pname, const float* p), (c.u[0], c.u[1], c.f))                  \
    X(fog, (GLenum pname, const float* p), (c.u[0], c.f))                                          \
    X(pushAttrib, (GLbitfield mask), (c.u[0]))                                                     \
    X(popAttrib, (), ())                                                                           \
    X(bindTexture, (GLenum target, GLuint name), (c.u[0], c.u[1]))                                 \
    X(texEnv, (GLenum target, GLenum pname, GLint param),                                          \
      (c.u[0], c.u[1], static_cast<GLint>(c.u[2])))

#define FGL_OP_NAME(name, parameters, replayed) name,
// The recorded calls, then what a list stores of its own: a nested list, a batch of its
// geometry, and the current attributes set outside glBegin/glEnd.
enum class Op : unsigned char {
    FGL_RECORDED_CALLS(FGL_OP_NAME) callList,
    draw,
    setNormal,
    setColor,
    setTexCoord,
};
#undef FGL_OP_NAME

struct Command {
    Op op;
    GLuint u[4];
    float f[6];
};

// Carrying out each recorded call, on the layer's state.
namespace exec {
#define FGL_EXEC_PROTOTYPE(name, parameters, replayed) void name parameters;
FGL_RECORDED_CALLS(FGL_EXEC_PROTOTYPE)
#undef FGL_EXEC_PROTOTYPE
} // namespace exec

// Records the call while a list is compiled. True when the caller should also execute it now
// (no list open, or compile-and-execute); false (with GL_INVALID_OPERATION noted) when the
// call is not allowed between glBegin and glEnd.
bool recordCall(Op op, std::initializer_list<GLuint> u, std::initializer_list<float> f = {});

// True between glBegin and glEnd.
bool insideBeginEnd();

} // namespace fgl
