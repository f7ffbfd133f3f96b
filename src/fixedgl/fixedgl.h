// Fixed-function GL: the subset of OpenGL 1.1 that the demo calls, drawn through one shader
// program on OpenGL ES 3.0 / WebGL 2 or desktop OpenGL 3.3 core, so that the demo's rendering
// code compiles unchanged for the browser and can be held against real GL 1.1 natively.
//
// Building against it: compile the rendering code with `src/fixedgl/include` first on the
// include path (CMake: link `parade_fixedgl`, whose interface puts it there). Its <GL/gl.h>
// declares the covered entry points and enumerants and maps each gl* name onto the fgl*
// function below, so anything the demo calls that is not covered fails to compile. Its
// <GL/freeglut.h> and <GL/glut.h> include the real toolkit for windowing and end the layer's
// frame before a buffer swap. The program creates the window and a GL 3.3 core or
// ES 3 context itself (natively: glutInitContextVersion(3, 3) with GLUT_CORE_PROFILE); the
// layer sets itself up on its first drawing call in the current context. Natively link
// OpenGL::GL (libGL exports the core entry points); under Emscripten link with
// -sMAX_WEBGL_VERSION=2 -sMIN_WEBGL_VERSION=2 and without -sLEGACY_GL_EMULATION (the layer
// and the demo's rendering sources compile with em++ as they are). Code built against the
// layer sees PARADE_FIXEDGL defined (the interface of `parade_fixedgl` defines it). CMake's
// parade_add_renderer() (the top CMakeLists.txt) builds each of the demo's rendering
// libraries a second time against the layer on the desktop, as parade_textures_fgl,
// parade_geometry_fgl, parade_effects_fgl, parade_director_fgl and parade_shell_fgl.
//
// Covered:
// - matrix stacks (modelview and projection, 32 deep): glMatrixMode, glLoadIdentity,
//   glPushMatrix, glPopMatrix, glTranslate{f,d}, glScale{f,d}, glRotate{f,d}, glFrustum, with
//   the float arithmetic of a classic implementation;
// - immediate mode (glBegin/glEnd for every primitive type, glVertex2f/3f, glNormal3f,
//   glColor4f, glTexCoord2f);
// - client vertex and normal arrays (GL_FLOAT) with glDrawElements (unsigned byte, short and
//   int indices); glPushClientAttrib/glPopClientAttrib; the colour, index, texture-coordinate
//   and edge-flag arrays can be enabled and disabled but, having no pointer calls, are never
//   read;
// - display lists (glNewList with GL_COMPILE or GL_COMPILE_AND_EXECUTE, glEndList,
//   glCallList, nested calls resolved when executed, 64 deep); vertices of a list take the
//   normal, colour and texture
//   coordinate current when the list runs unless the list set them first (a vertex before
//   the list's first glNormal in the same glBegin takes the normal current at glNewList,
//   where GL 1.1 would take the one current when the list runs); vertices read
//   from client arrays leave the current values as they were, as a classic implementation
//   does;
// - glPushAttrib/glPopAttrib (16 deep) for the current, enable, lighting, fog, colour buffer,
//   depth buffer, polygon, texture (binding and environment), transform, viewport, point and
//   hint groups;
// - one light, GL_LIGHT0 (position, ambient, diffuse, specular; no attenuation or spot), with
//   the GL 1.1 lighting equation per vertex for a directional or positional light, one-sided,
//   non-local viewer, global ambient 0.2; materials (ambient, diffuse, ambient-and-diffuse,
//   specular, emission, shininess) for the front faces (back-face materials are kept but not
//   used); GL_NORMALIZE, with the normal matrix taken as the identity for a singular
//   model-view matrix, as a classic implementation does;
// - fog (linear, exp, exp2) on the eye-plane distance |z_eye| per fragment;
// - 2D textures (glGenTextures, glBindTexture, glTexImage2D of RGB or RGBA bytes,
//   glTexParameteri for nearest or linear filters and repeat or clamp-to-edge wrap) with
//   GL_MODULATE; a texture without a complete image is not applied; an upload without pixels
//   is black; texture parameters are not part of glPushAttrib;
// - blending, depth test and function, face culling (back faces, counter-clockwise front),
//   viewport, clear colour and clear, point size, line width, hints (accepted, no effect);
// - glPolygonMode GL_FILL, GL_LINE (edges) and GL_POINT (corners), for faces that survive
//   culling;
// - lines and points of any width: rounded to whole pixels as the GL does; one pixel wide
//   they are the GPU's lines and points, wider ones become triangles on the processor by the
//   GL's rules for non-antialiased wide lines (x-major lines widened into columns of `width`
//   pixels, y-major into rows; cut by the near plane first) and points (a square of
//   `size` x `size` pixels on pixel edges, dropped when its centre is outside the view);
// - glGetError: the layer's own errors first, then the context's;
//
// Not recorded in display lists (they act at once, as the client-side calls do): texture
// creation, upload and parameters, glGetError, glFinish, glReadPixels, glPixelStorei. Not
// allowed between glBegin and glEnd: everything but the vertex attribute calls (GL 1.1 also
// allows glMaterial and glCallList there; the layer reports GL_INVALID_OPERATION).
//
// How it draws: every batch (a glBegin/glEnd, a glDrawElements, a display list's geometry) is
// transformed into clip space and lit on the processor, culled and put through the polygon
// modes there, and added to one stream; the stream is sent as one draw call per primitive
// kind when the blend, depth, texture, fog or viewport state changes, at glClear, glFinish,
// glFlush, glReadPixels, a texture upload and the toolkit's buffer swap: a program that reads
// the frame back any other way (a canvas read without a swap) calls glFlush first. A frame of
// the show takes a handful of draw calls.
//
// Drawn differently from a classic implementation: lines and points are never smooth whatever
// the hints say; the ends of wide lines follow the rule above, not the rasteriser's diamond
// exit; a few operations in another order move a value by a step. The native comparison test
// (tests/gl/fixedgl_compare_test.cpp) finds every act frame within 1 per channel of Mesa's
// GL 1.1 at 640x480.
#pragma once

#include <cstddef>

typedef unsigned int GLenum;
typedef unsigned char GLboolean;
typedef unsigned int GLbitfield;
typedef void GLvoid;
typedef signed char GLbyte;
typedef short GLshort;
typedef int GLint;
typedef int GLsizei;
typedef unsigned char GLubyte;
typedef unsigned short GLushort;
typedef unsigned int GLuint;
typedef float GLfloat;
typedef float GLclampf;
typedef double GLdouble;
typedef double GLclampd;

extern "C" {
void fglMatrixMode(GLenum mode);
void fglLoadIdentity();
void fglPushMatrix();
void fglPopMatrix();
void fglTranslatef(GLfloat x, GLfloat y, GLfloat z);
void fglTranslated(GLdouble x, GLdouble y, GLdouble z);
void fglScalef(GLfloat x, GLfloat y, GLfloat z);
void fglScaled(GLdouble x, GLdouble y, GLdouble z);
void fglRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z);
void fglRotated(GLdouble angle, GLdouble x, GLdouble y, GLdouble z);
void fglFrustum(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble zNear,
                GLdouble zFar);
void fglViewport(GLint x, GLint y, GLsizei width, GLsizei height);

void fglEnable(GLenum cap);
void fglDisable(GLenum cap);
void fglBlendFunc(GLenum sfactor, GLenum dfactor);
void fglDepthFunc(GLenum func);
void fglPolygonMode(GLenum face, GLenum mode);
void fglPointSize(GLfloat size);
void fglLineWidth(GLfloat width);
void fglHint(GLenum target, GLenum mode);
void fglClearColor(GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha);
void fglClear(GLbitfield mask);
GLenum fglGetError();
// For tools and tests that read the frame back: RGBA bytes only; alignments pass through.
void fglFinish();
void fglFlush();
void fglReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type,
                   GLvoid* pixels);
void fglPixelStorei(GLenum pname, GLint param);

void fglMaterialfv(GLenum face, GLenum pname, const GLfloat* params);
void fglLightfv(GLenum light, GLenum pname, const GLfloat* params);
void fglFogf(GLenum pname, GLfloat param);
void fglFogfv(GLenum pname, const GLfloat* params);

void fglBegin(GLenum mode);
void fglEnd();
void fglVertex2f(GLfloat x, GLfloat y);
void fglVertex3f(GLfloat x, GLfloat y, GLfloat z);
void fglNormal3f(GLfloat x, GLfloat y, GLfloat z);
void fglColor4f(GLfloat red, GLfloat green, GLfloat blue, GLfloat alpha);
void fglTexCoord2f(GLfloat s, GLfloat t);

void fglEnableClientState(GLenum array);
void fglDisableClientState(GLenum array);
void fglVertexPointer(GLint size, GLenum type, GLsizei stride, const GLvoid* pointer);
void fglNormalPointer(GLenum type, GLsizei stride, const GLvoid* pointer);
void fglDrawElements(GLenum mode, GLsizei count, GLenum type, const GLvoid* indices);
void fglPushClientAttrib(GLbitfield mask);
void fglPopClientAttrib();

void fglNewList(GLuint list, GLenum mode);
void fglEndList();
void fglCallList(GLuint list);

void fglPushAttrib(GLbitfield mask);
void fglPopAttrib();

void fglGenTextures(GLsizei n, GLuint* textures);
void fglBindTexture(GLenum target, GLuint texture);
void fglTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height,
                   GLint border, GLenum format, GLenum type, const GLvoid* pixels);
void fglTexParameteri(GLenum target, GLenum pname, GLint param);
void fglTexEnvi(GLenum target, GLenum pname, GLint param);

// Not GL: the end of a frame (the toolkit's buffer swap calls it first), and, for benchmarks,
// what the layer has done since it started: draw calls sent, frames ended, and seconds spent
// turning batches into the stream (transforming, lighting, culling, widening; the GL calls
// that send the stream are the driver's time, not counted).
void fglFrameDone();
unsigned long fglDrawCallCount();
unsigned long fglFrameCount();
double fglLayerSeconds();
}
