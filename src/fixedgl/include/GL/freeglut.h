// The windowing toolkit as the demo sees it when built against the fixed-function layer: the
// real toolkit for windows, callbacks and menus, with the layer's frame end before a swap.
#pragma once
// Marks this header as a system header, for #include_next.
#pragma GCC system_header

#include <GL/gl.h>
#if defined(__EMSCRIPTEN__)
#include_next <GL/glut.h>
#else
#include_next <GL/freeglut.h>
#endif

// The layer sends the frame's pending draws before the buffers are swapped.
#ifndef FGL_SWAP_BUFFERS
#define FGL_SWAP_BUFFERS
static inline void fglutSwapBuffers() {
    fglFrameDone();
    glutSwapBuffers();
}
#define glutSwapBuffers fglutSwapBuffers
#endif
