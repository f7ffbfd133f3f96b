// Private to the fixed-function layer: recorded calls of display lists, the current vertex
// attributes, and the state calls that a list replays.
#pragma once

#include "internal.h"

#include <initializer_list>

namespace fgl {

enum class Op : unsigned char {
    matrixMode,
    loadIdentity,
    pushMatrix,
    popMatrix,
    translate,
    scale,
    rotate,
    frustum,
    viewport,
    enable,
    disable,
    blendFunc,
    depthFunc,
    polygonMode,
    pointSize,
    lineWidth,
    hint,
    clearColor,
    clear,
    material,
    light,
    fog,
    pushAttrib,
    popAttrib,
    bindTexture,
    texEnv,
    callList,
    draw,
    setNormal,
    setColor,
    setTexCoord,
};

struct Command {
    Op op;
    GLuint u[4];
    float f[6];
};

// Records the call while a list is compiled. True when the caller should also execute it now
// (no list open, or compile-and-execute); false (with GL_INVALID_OPERATION noted) when the
// call is not allowed between glBegin and glEnd.
bool recordCall(Op op, std::initializer_list<GLuint> u, std::initializer_list<float> f = {});

// True between glBegin and glEnd.
bool insideBeginEnd();

void noteNormal(float x, float y, float z);
void noteColor(float r, float g, float b, float a);
void noteTexCoord(float s, float t);

void execMatrixMode(GLenum mode);
void execLoadIdentity();
void execPushMatrix();
void execPopMatrix();
void execTranslate(float x, float y, float z);
void execScale(float x, float y, float z);
void execRotate(float angle, float x, float y, float z);
void execFrustum(float left, float right, float bottom, float top, float nearVal, float farVal);
void execViewport(GLint x, GLint y, GLsizei width, GLsizei height);
void execClearColor(float red, float green, float blue, float alpha);
void execEnable(GLenum cap, bool on);
void execBlendFunc(GLenum src, GLenum dst);
void execDepthFunc(GLenum func);
void execPolygonMode(GLenum face, GLenum mode);
void execPointSize(float size);
void execLineWidth(float width);
void execHint(GLenum target, GLenum mode);
void execMaterial(GLenum face, GLenum pname, const float* p);
void execLight(GLenum light, GLenum pname, const float* p);
void execFog(GLenum pname, const float* p);
void execBindTexture(GLenum target, GLuint name);
void execTexEnv(GLenum target, GLenum pname, GLint param);
void execPushAttrib(GLbitfield mask);
void execPopAttrib();
void execClear(GLbitfield mask);

} // namespace fgl
