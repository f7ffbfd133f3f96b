// The windowing toolkit as the demo sees it when built against the fixed-function layer: the
// real toolkit for windows, callbacks and menus, the layer's own builders for the shapes that
// the display lists compile (they must draw through the layer, not through GL 1.1).
#pragma once
// Marks this header as a system header, for #include_next.
#pragma GCC system_header

#include <GL/gl.h>
#if defined(__EMSCRIPTEN__)
#include_next <GL/glut.h>
#else
#include_next <GL/glut.h>
#endif

#define glutSolidTorus fglutSolidTorus
#define glutWireTorus fglutWireTorus
#define glutSolidSphere fglutSolidSphere

// The layer sends the frame's pending draws before the buffers are swapped.
#ifndef FGL_SWAP_BUFFERS
#define FGL_SWAP_BUFFERS
static inline void fglutSwapBuffers() {
    fglFrameDone();
    glutSwapBuffers();
}
#define glutSwapBuffers fglutSwapBuffers
#endif
